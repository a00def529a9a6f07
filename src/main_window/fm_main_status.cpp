// The status line: the picture's size, the zoom, the pixel under the pointer
// and the selection's size, kept beside the picture information.
#include "main_window/fm_main.h"

#include "engine/image_engine.h"
#include "main_window/info_panel.h"
#include "main_window/status_line.h"
#include "picture_control/upce.h"

void fmMain::updateStatus() {
    engine::ImageEngine& view = uPcE_->ikImg();
    mainwin::StatusFacts facts;
    if (const engine::Picture* p = view.current()) {
        facts.picture = p->image.size();
        facts.zoom = view.ShownZoom();
        facts.pointer = pointerPixel_;
        const engine::SelectionEdges s = view.selection();
        if (!s.isNone())
            facts.selection = QSize(s.right - s.left, s.bottom - s.top);
    }
    ssImg_->setStatus(facts.picture.isEmpty() ? QString() : QStringLiteral(" ") + mainwin::statusText(facts));
}
