// The main window's life: its content tree, the load sequence, the settings
// it restores and stores, size changes and the close.
#include "main_window/fm_main.h"

#include "engine/image_engine.h"
#include "main_window/info_panel.h"
#include "main_window/japanese_font.h"
#include "main_window/twips.h"
#include "main_window/work_folder_lock.h"
#include "menus/sp_pic.h"
#include "picture_control/upce.h"
#include "platform/prompt.h"
#include "settings/yini.h"
#include "platform/program_state.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLineEdit>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

// Resources of a static library are registered by hand.
static void initTolvaneResources() { Q_INIT_RESOURCE(tolvane); }

using namespace mainwin;

namespace {
// Design sizes in twips.
constexpr int kDesignClientWidth = 10020;
constexpr int kDesignClientHeight = 9495;
constexpr int kMenuPaneHeight = 330;
constexpr int kPicturePaneHeight = 5895;
constexpr int kColourPaneHeight = 3120;
constexpr int kSplitterBar = 75;  // the gap between the design panes
}  // namespace

fmMain::fmMain(QWidget* parent) : QWidget(parent) {
    initTolvaneResources();
    applyJapaneseFont();
    spPic_ = &spPic::instance();
    setWindowIcon(QIcon(QStringLiteral(":/tolvane.png")));
    setWindowTitle(QString());
    resize(toPx(kDesignClientWidth), toPx(kDesignClientHeight));

    splitter_ = new QSplitter(Qt::Vertical, this);
    splitter_->setObjectName(QStringLiteral("Splitter"));
    splitter_->setHandleWidth(std::max(2, toPx(kSplitterBar)));
    splitter_->setChildrenCollapsible(false);

    fMnu_ = new QFrame;
    fMnu_->setObjectName(QStringLiteral("pMnu"));
    fMnu_->setMinimumHeight(toPx(kMenuPaneHeight));
    uPcE_ = new uPcE;
    uPcE_->setObjectName(QStringLiteral("pPcE"));
    frCol_ = new QGroupBox(QStringLiteral("色設定"));
    frCol_->setObjectName(QStringLiteral("pCol"));
    splitter_->addWidget(fMnu_);
    splitter_->addWidget(uPcE_);
    splitter_->addWidget(frCol_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setStretchFactor(2, 0);
    splitter_->setSizes({toPx(kMenuPaneHeight), toPx(kPicturePaneHeight), toPx(kColourPaneHeight)});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter_);

    buildCommandBar(fMnu_);
    buildColourPanel(frCol_);
    frCol_->installEventFilter(this);

    connect(uPcE_, &uPcE::eStFile, this, &fmMain::onStFile, Qt::DirectConnection);
    connect(uPcE_, &uPcE::eStPcTyp, this, &fmMain::onStPcTyp, Qt::DirectConnection);
    connect(uPcE_, &uPcE::eEdtMode, this, &fmMain::onEdtMode, Qt::DirectConnection);
    connect(uPcE_, &uPcE::ePopUp, this, &fmMain::onPopUp, Qt::DirectConnection);
    connect(uPcE_, &uPcE::eHistory, this, &fmMain::onHistory, Qt::DirectConnection);
    engine::ImageEngine* view = &uPcE_->ikImg();
    connect(view, &engine::ImageEngine::pointerMoved, this, [this](QPoint pixel, bool inside) {
        pointerPixel_ = inside ? std::optional<QPoint>(pixel) : std::nullopt;
        updateStatus();
    });
    connect(view, &engine::ImageEngine::zoomChanged, this, &fmMain::updateStatus);
    connect(view, &engine::ImageEngine::selectionChanged, this, &fmMain::updateStatus);

    // Key preview: the window's own native window sees every key press before
    // the focused widget does.
    create();
    if (QWindow* w = windowHandle()) {
        w->installEventFilter(this);
        keyFilterInstalled_ = true;
    }
}

fmMain::~fmMain() = default;

void fmMain::load(const QStringList& args) {
    Usr::bLoading = true;
    bool bOk = false;
    Usr::oIni().GetTxt(Usr::sUsrFd + QStringLiteral("User.xml"), bOk);
    SetMnu();
    FmIni(false);
    restoreExtraSettings();
    loadRecentFiles();

    // A second running copy gets a work folder of its own.
    wrkLock_ = std::make_unique<WorkFolderLock>();
    QString refusal;
    sWrkFd_ = wrkLock_->acquire(Usr::sUsrFd + QStringLiteral("Wrk/"), &refusal);
    if (!refusal.isEmpty())
        platform::prompt().message(refusal, platform::Buttons::Ok);
    uPcE_->cOn(sWrkFd_);
    spPic_->mnRedo()->setEnabled(uPcE_->canRedo());

    QString path = args.join(u' ');
    if (!path.isEmpty()) {
        path.remove(u'"');
        Usr::CutAt(path, QStringLiteral("\t"));
        if (Usr::F_FileExists(path)) {
            Usr::sLastFd = path.left(path.lastIndexOf(u'/') + 1);
            uPcE_->pcOpen(0, path);
        }
    }

    uPcE_->SetDlgFd(dialogStartFolder());

    SldSet(0, 255, 10, 1);
    SldLet(128);
    txSld_->setText(formatOneDecimal(128, false));
    Usr::bLoading = false;
}

QString fmMain::dialogStartFolder() const {
    // The user data folder (the fallback of the last folder) holds settings
    // and undo files, not pictures: the dialogs do not start there.
    const QString data = QFileInfo(Usr::sUsrFd).absoluteFilePath() + QChar('/');
    for (const QString& folder : {Usr::sLastFd, Usr::sPicFd}) {
        if (!Usr::F_FldExists(folder))
            continue;
        if (!(QFileInfo(folder).absoluteFilePath() + QChar('/')).startsWith(data))
            return folder;
    }
    return QString();
}

void fmMain::applyDefaultGeometry() {
    const QScreen* s = QGuiApplication::primaryScreen();
    const QRect screen = s ? s->geometry() : QRect(0, 0, 1024, 768);
    const double sw = toTwips(screen.width()), sh = toTwips(screen.height());
    setGeometry(toPx(double(roundEven(sw * 0.1))), toPx(double(roundEven(sh * 0.1))), toPx(double(roundEven(sw * 0.7))),
                toPx(double(roundEven(sh * 0.7))));
}

void fmMain::FmIni(bool bSave) {
    yIni& ini = Usr::oIni();
    if (!bSave) {
        const QScreen* s = QGuiApplication::primaryScreen();
        const QRect screen = s ? s->geometry() : QRect(0, 0, 1024, 768);
        const double sw = toTwips(screen.width()), sh = toTwips(screen.height());
        ini.GetGtx(QStringLiteral("画面"));
        const long long left = roundEven(ini.vGtVal(QStringLiteral("LEFT"), sw * 0.1).toDouble());
        const long long top = roundEven(ini.vGtVal(QStringLiteral("TOP"), sh * 0.1).toDouble());
        const long long width = roundEven(ini.vGtVal(QStringLiteral("WIDTH"), sw * 0.7).toDouble());
        const long long height = roundEven(ini.vGtVal(QStringLiteral("HEIGHT"), sh * 0.7).toDouble());

        ini.GetGtx(QStringLiteral("設定"));
        const int iEd = int(roundEven(ini.vGtVal(QStringLiteral("編集更新"), 0).toDouble()));
        const QString sDsp = ini.vGtVal(QStringLiteral("ｽｹｰﾙ表示"), QStringLiteral("ｽｹｰﾙ")).toString();
        Usr::sLastFd = ini.vGtVal(QStringLiteral("ﾌｫﾙﾀﾞ"), QString()).toString();
        Usr::sPicFd = ini.vGtVal(QStringLiteral("画像ﾌｫﾙﾀﾞ"), QString()).toString();
        if (!Usr::F_FldExists(Usr::sLastFd))
            Usr::sLastFd = Usr::sUsrFd;
        if (Usr::sPicFd.isEmpty())
            Usr::sPicFd = Usr::sLastFd;

        chScl_[0]->setChecked(sDsp == QStringLiteral("ｽｹｰﾙ"));
        uPcE_->SetUsrP(iEd, sDsp);

        if (width <= 0 || height <= 0) {
            setWindowState(windowState() | Qt::WindowMaximized);
            return;
        }
        const QRect wanted(toPx(double(left)), toPx(double(top)), toPx(double(width)), toPx(double(height)));
        // A window stored on a screen that is no longer there would open out of
        // reach: such a geometry falls back to the default one.
        bool visible = false;
        for (const QScreen* each : QGuiApplication::screens())
            visible = visible || each->geometry().intersects(wanted);
        if (!visible) {
            applyDefaultGeometry();
            return;
        }
        // The window's own rectangle, without the frame the window manager
        // adds: the one FmIni (True) stores, so a start puts the window
        // exactly where the last run left it. A position that includes the
        // frame cannot be kept before the window manager has framed the
        // window, and came back shifted by the frame on every start.
        setGeometry(wanted);
        return;
    }

    int iEd = 0;
    QString sDsp;
    uPcE_->GetUsrP(iEd, sDsp);
    // Where the dialogs were last used is the last folder of this run.
    if (!uPcE_->DlgFdUsed().isEmpty())
        Usr::sLastFd = uPcE_->DlgFdUsed();
    const QRect g = geometry();  // the rectangle the restore sets
    ini.GetGtx(QStringLiteral("画面"));
    ini.SetVal(QStringLiteral("LEFT"), int(roundEven(toTwips(g.x()))));
    ini.SetVal(QStringLiteral("TOP"), int(roundEven(toTwips(g.y()))));
    ini.SetVal(QStringLiteral("WIDTH"), int(roundEven(toTwips(g.width()))));
    ini.SetVal(QStringLiteral("HEIGHT"), int(roundEven(toTwips(g.height()))));
    ini.SetGtx();
    ini.GetGtx(QStringLiteral("設定"));
    ini.SetVal(QStringLiteral("編集更新"), iEd);
    ini.SetVal(QStringLiteral("ｽｹｰﾙ表示"), sDsp);
    ini.SetVal(QStringLiteral("ﾌｫﾙﾀﾞ"), Usr::sLastFd);
    ini.SetVal(QStringLiteral("画像ﾌｫﾙﾀﾞ"), Usr::sPicFd);
    ini.SetGtx();
}

void fmMain::FmEnd() {
    // Each step runs whatever happened in the one before: the program always ends.
    try {
        FmIni(true);
    } catch (...) {
    }
    try {
        uPcE_->cOFF();
    } catch (...) {
    }
    if (wrkLock_)
        wrkLock_->release();
    closingByProgram_ = true;
    try {
        if (appEnd)
            appEnd();
    } catch (...) {
    }
}

bool fmMain::queryUnload(bool byUser) {
    if (closingByProgram_ || !byUser)
        return true;
    if (uPcE_->vCheckSave() == 2)
        return false;
    FmEnd();
    return true;
}

void fmMain::closeEvent(QCloseEvent* e) {
    // A close from the window system is the user's; a close by the program
    // (or by the session ending) asks nothing and stores nothing.
    if (queryUnload(e->spontaneous()))
        e->accept();
    else
        e->ignore();
}

void fmMain::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (!Usr::bRun || isMinimized())
        return;
    uPcE_->StSize();
    const double w = toTwips(width()) - toTwips(ssImg_->x()) - 300;
    if (w >= 100)
        ssImg_->resize(toPx(w), ssImg_->height());
}

void fmMain::pColResized() {
    if (!Usr::bRun)
        return;
    const long long W = roundEven(toTwips(frCol_->width()));
    const long long H = roundEven(toTwips(frCol_->height()));
    const long long w = W - roundEven(toTwips(ikImg_->x())) - 100;
    if (w < 0)
        return;
    const long long h = H - roundEven(toTwips(ikImg_->y())) - 100;
    ikImg_->resize(toPx(double(w)), h >= 0 ? toPx(double(h)) : ikImg_->height());
}

namespace {
std::function<void(fmMain&)>& firstShownHook() {
    static std::function<void(fmMain&)> hook;
    return hook;
}
}  // namespace

void fmMain::setFirstShownHook(std::function<void(fmMain&)> hook) { firstShownHook() = std::move(hook); }

void fmMain::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!keyFilterInstalled_ && windowHandle()) {
        windowHandle()->installEventFilter(this);
        keyFilterInstalled_ = true;
    }
    if (!firstShown_) {
        firstShown_ = true;
        if (auto& hook = firstShownHook())
            QTimer::singleShot(0, this, [this, hook] { hook(*this); });
    }
}

bool fmMain::eventFilter(QObject* watched, QEvent* e) {
    if (watched == windowHandle() && e->type() == QEvent::KeyPress) {
        const auto* k = static_cast<QKeyEvent*>(e);
        keyDown(k->key(), k->modifiers());
        return false;  // the focused widget still gets the key
    }
    if (watched == frCol_ && e->type() == QEvent::Resize)
        pColResized();
    // The whole threshold text is selected on entry; queued, because a mouse
    // press that brings the focus would clear a selection made at once.
    if (watched == txSld_ && e->type() == QEvent::FocusIn)
        QMetaObject::invokeMethod(txSld_, &QLineEdit::selectAll, Qt::QueuedConnection);
    return QWidget::eventFilter(watched, e);
}
