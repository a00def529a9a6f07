#include "picture_control/upce.h"

#include "engine/draw_tool.h"
#include "engine/image_engine.h"
#include "picture_control/undo_history.h"
#include "picture_control/upce_util.h"
#include "platform/cursor.h"
#include "platform/private_folder.h"
#include "platform/prompt.h"
#include "platform/program_state.h"
#include "picture_control/commands.h"

#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>

uPcE::uPcE(QWidget* parent) : QWidget(parent) {
    ikImg_ = new engine::ImageEngine(this);
    ikImg2_ = new engine::ImageEngine(this);
    ikImg2_->hide();
    history_ = new upce::UndoHistory(this);
    // A step whose undo file could not be written is told at once: undo cannot
    // come back to it.
    history_->setLossHandler([](const QString& text) { platform::prompt().notice(text); });
    if (Usr::bRun)
        bSzWait_ = true;

    connect(ikImg_, &engine::ImageEngine::mouseButton, this,
            [this](int button, int, int, int) { onMouseButton(button); });
    connect(ikImg_, &engine::ImageEngine::fileDropped, this,
            [this](const QString& path, int) { onFileDropped(path); });
    connect(ikImg_, &engine::ImageEngine::drawToolState, this, [this](int state) { onDrawToolState(state); });
    // A stroke of the drawing toolbar is an edit like any other: an undo step
    // and the state "編集", so the save prompt protects it.
    connect(ikImg_, &engine::ImageEngine::drawingApplied, this, [this] { onDrawingApplied(); });
    for (engine::ImageEngine* e : {ikImg_, ikImg2_}) {
        connect(e, &engine::ImageEngine::longOperationStarted, this, [this](bool fileWork) { StBusy(true, fileWork); });
        connect(e, &engine::ImageEngine::longOperationFinished, this, [this] { StBusy(false); });
    }

    // The main window's position in twips, as the drawing toolbar expects it.
    hostGeometry_ = [] {
        HostGeometry g;
        const QScreen* screen = QGuiApplication::primaryScreen();
        const double dpiX = screen ? screen->logicalDotsPerInchX() : 96.0;
        const double dpiY = screen ? screen->logicalDotsPerInchY() : 96.0;
        g.twipsPerPixelX = dpiX > 0 ? 1440.0 / dpiX : 15.0;
        g.twipsPerPixelY = dpiY > 0 ? 1440.0 / dpiY : 15.0;
        if (Usr::oMainFm) {
            const QRect r = Usr::oMainFm->frameGeometry();
            g.leftTwips = r.left() * g.twipsPerPixelX;
            g.topTwips = r.top() * g.twipsPerPixelY;
        }
        return g;
    };
}

uPcE::~uPcE() = default;

void uPcE::cOn(const QString& sPhW) {
    sWrkFld_ = sPhW.trimmed();
    if (!sWrkFld_.isEmpty()) {
        // The undo files hold the user's pictures: only a real folder of the
        // user's own takes them (made private when it is new; the host keeps
        // its own work folders private, and a folder named by the user for
        // the batch tool is left as it is).
        const platform::FolderCheck check = platform::preparePrivateFolder(sWrkFld_, false);
        if (check != platform::FolderCheck::Ok) {
            showMessage(platform::folderCheckMessage(check, sWrkFld_));
            sWrkFld_.clear();
        }
    }
    history_->setFolder(sWrkFld_);
}

void uPcE::cOFF() {
    vClrUndo();
    sFile_.clear();
    sBit_.clear();
    sWrkFld_.clear();
    history_->setFolder(QString());
    sCmt_.clear();
    for (int i = 0; i < 4; ++i)
        CornerX_[i] = CornerY_[i] = 0;
}

void uPcE::StSize() {
    ikImg_->setGeometry(0, 0, width(), height());
    bSzWait_ = false;
}

void uPcE::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (Usr::bRun && !bSzWait_)
        StSize();
}

void uPcE::SetUsrP(int iEd, const QString& sDsp) {
    iEdtUpd_ = iEd;
    SetViewMode(sDsp);
}

void uPcE::GetUsrP(int& iEd, QString& sDsp) const {
    // Before any mode was set the engine shows its default, the scaled view.
    const int mode = (iDspMode_ >= 1 && iDspMode_ <= 5) ? iDspMode_ : 1;
    sDsp = commands::ViewModes[mode - 1].itemText();
    iEd = iEdtUpd_;
}

quint32 uPcE::ImgHandle() const { return ikImg_->ImageHandle(); }

void uPcE::StEdtMode(const QString& sMd) {
    sEdtMode_ = sMd;
    emit eEdtMode(sMd);
}

void uPcE::StBusy(bool on, bool atOnce) {
    // The application's pointer covers the view too. It shows once the work
    // has lasted a while, or at once for file work: that blocks the interface
    // thread for as long as the disk takes, and the delay would never end.
    ikImg_->SetMousePointer(on ? 14 : 0);
    platform::setAppPointer(on ? 13 : 0, atOnce);
}

void uPcE::ClrRect() {
    ikImg_->SetSelLeft(0);
    ikImg_->SetSelTop(0);
    ikImg_->SetSelRight(0);
    ikImg_->SetSelBottom(0);
    ikImg_->Refresh();
}

void uPcE::onMouseButton(int button) {
    if (sEdtMode_ != commands::states::Initial.toString() && button == 2)
        emit ePopUp();
}

void uPcE::onFileDropped(const QString& path) {
    guarded([&] {
        if (!extensionAccepted(path)) {
            showMessage(path + QStringLiteral("\rこの形式の画像は開けません"));
            return;
        }
        QString p = path;
        pcOpen(1, p, false);
    });
}

void uPcE::onDrawToolState(int state) {
    if (state == 0)
        ikImg_->drawTool().CloseDrawTool();
}

void uPcE::onDrawingApplied() {
    guarded([this] {
        StEdtMode(commands::states::Edited.toString());
        vPutUndo(false);
    });
}

void uPcE::showMessage(const QString& text) { platform::prompt().message(text, platform::Buttons::Ok); }

void uPcE::reportEngineError(engine::ImageEngine& e) {
    QString text = engine::errorText(e.lastError());
    if (text.isEmpty())
        text = QStringLiteral("処理を完了できませんでした");
    showMessage(text);
}

// What a command may change, kept so that a failed command leaves no trace.
// The picture is a copy by handle: it shares the pixels until an edit writes.
struct uPcE::Snapshot {
    quint32 picture = 0;
    QString sBit, sEdtMode, sImgFile, sFile, sCmt;
    int iUndo = 0;
    int sel[4] = {0, 0, 0, 0};
};

uPcE::Snapshot uPcE::snapshot() {
    Snapshot s;
    if (ikImg_->ImageHandle() != 0)
        s.picture = ikImg_->CopyImage(ikImg_->ImageHandle());
    s.sBit = sBit_;
    s.sEdtMode = sEdtMode_;
    s.sImgFile = sImgFile_;
    s.sFile = sFile_;
    s.sCmt = sCmt_;
    s.iUndo = iUndo_;
    s.sel[0] = ikImg_->SelLeft();
    s.sel[1] = ikImg_->SelTop();
    s.sel[2] = ikImg_->SelRight();
    s.sel[3] = ikImg_->SelBottom();
    return s;
}

void uPcE::restore(const Snapshot& s) {
    if (s.picture != 0) {
        ikImg_->SetImageHandle(s.picture);  // the engine now owns the copy
        ikImg_->ApplyDispMode(iDspMode_);
    } else if (ikImg_->ImageHandle() != 0) {
        ikImg_->FreeImage(ikImg_->ImageHandle());
    }
    ikImg_->SetSelLeft(s.sel[0]);
    ikImg_->SetSelTop(s.sel[1]);
    ikImg_->SetSelRight(s.sel[2]);
    ikImg_->SetSelBottom(s.sel[3]);
    ikImg_->Refresh();
    LoadSelCorners();
    sImgFile_ = s.sImgFile;
    sFile_ = s.sFile;
    sCmt_ = s.sCmt;
    iUndo_ = s.iUndo;
    if (sEdtMode_ != s.sEdtMode)
        StEdtMode(s.sEdtMode);
    UpdatePicInfo();
    sBit_ = s.sBit;
}

bool uPcE::edited(bool ok, engine::ImageEngine& e) {
    if (!ok && engine::isFailure(e.lastError()))
        throw engine::Failure(e.lastError());
    return ok;
}

void uPcE::require(bool ok, engine::ImageEngine& e) {
    if (!ok)
        throw engine::Failure(e.lastError() == engine::Error::None ? engine::Error::BadArgument : e.lastError());
}

bool uPcE::guarded(const std::function<void()>& body) {
    Snapshot before = snapshot();
    QString text;
    try {
        body();
        if (before.picture != 0)
            ikImg_->FreeImage(before.picture);
        return true;
    } catch (const engine::Failure& f) {
        text = engine::errorText(f.error());
    } catch (const std::bad_alloc&) {
        text = engine::errorText(engine::Error::OutOfMemory);
    } catch (const std::exception& ex) {
        text = engine::errorText(ikImg_->lastError());
        if (text.isEmpty())
            text = QStringLiteral("処理を完了できませんでした\r") + QString::fromLocal8Bit(ex.what());
    } catch (...) {
        text = QStringLiteral("処理を完了できませんでした");
    }
    StBusy(false);
    restore(before);
    failed_ = true;
    showMessage(text);
    return false;
}
