#include "main_window/status_line.h"

#include "engine/view_mapping.h"

namespace mainwin {

QString statusText(const StatusFacts& f) {
    if (f.picture.isEmpty())
        return QString();
    const QString sep = QStringLiteral("  ");
    QString text = QStringLiteral("%1 x %2").arg(f.picture.width()).arg(f.picture.height());
    if (f.zoom > 0)
        text += sep + QString::number(engine::zoomPercent(f.zoom)) + u'%';
    if (f.pointer)
        text += sep + QStringLiteral("(%1, %2)").arg(f.pointer->x()).arg(f.pointer->y());
    if (!f.selection.isEmpty())
        text += sep + QStringLiteral("範囲 %1 x %2").arg(f.selection.width()).arg(f.selection.height());
    return text;
}

}  // namespace mainwin
