#pragma once
// The main window: hosts the picture editor control, the command bar and the
// colour-depth panel, and answers the control's events.
//
// The window is split by concern over several files:
//   fm_main_lifecycle.cpp     layout, load, settings restore and store, close
//   fm_main_command_bar.cpp   command bar, menu labels, buttons, Ctrl keys
//   fm_main_colour_panel.cpp  colour-depth preview and threshold slider
//   fm_main_events.cpp        answers to the control's four events
//   fm_main_status.cpp        the status line beside the picture information
//   fm_main_browse.cpp        folder steps and recent files
//   fm_main_options.cpp       the settings dialog and the settings beyond "User.xml"
#include "main_window/folder_steps.h"
#include "main_window/recent_files.h"

#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <QPoint>

class uPcE;
class spPic;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;
class QSplitter;
class QToolButton;
class QPushButton;
namespace engine {
class ImageEngine;
struct Picture;
}  // namespace engine
namespace mainwin {
class WorkFolderLock;
class InfoPanel;
class CommandLabel;
}  // namespace mainwin

class fmMain : public QWidget {
    Q_OBJECT
public:
    explicit fmMain(QWidget* parent = nullptr);
    ~fmMain() override;

    // The load sequence; args are the program's arguments (after the program name).
    void load(const QStringList& args);
    void FmIni(bool bSave);
    void FmEnd();

    // The close request. byUser: the user closed the window from its title bar
    // or system menu (the window system's close); every other reason does nothing.
    // Returns true when the window may close.
    bool queryUnload(bool byUser);

    uPcE& control() { return *uPcE_; }

    // Called once, from the event loop, after the first main window was shown.
    // The program sets none; test drivers set one before the window is made.
    static void setFirstShownHook(std::function<void(fmMain&)> hook);
    spPic& menus() { return *spPic_; }

    // --- command bar
    void SetMnu();
    void lbComClick(int i);
    // The access key of label i: as a click, with the menu dropping below the label.
    void lbComKey(int i);
    void DoCom();
    void BtnAct(int i);
    // The window's key preview: acts on the Ctrl keys of the command bar.
    void keyDown(int key, Qt::KeyboardModifiers shift);
    void chScl0Click();
    // Keys beside the Ctrl table: zoom (Ctrl and +, -, 0) and stepping
    // through the picture's folder (PageDown, PageUp, Home, End). True when
    // the key was one of them.
    bool zoomKey(int key, Qt::KeyboardModifiers shift);
    bool browseKey(int key, Qt::KeyboardModifiers shift);

    // --- another picture without the open dialog (each asks about unsaved
    // edits as an open does)
    void stepInFolder(mainwin::FolderStep step);
    void openRecentFile(const QString& path);
    const mainwin::RecentFiles& recentFiles() const { return recent_; }

    // --- the settings dialog of the settings menu
    void optionsDialog();

    // --- status line: refreshes it from the control's view now
    void updateStatus();

    // --- colour-depth panel
    void ColPrev();
    void SldSet(double dMin, double dMax, int iBig, int iStep);
    void SldLet(double v);
    double SldGet() const;
    void SldEnb(bool on);
    void SldChg();
    void opColorClick(int i);
    void cmRvcClick();
    void cmRetClick();
    void cmSldClick(int i);

    // --- answers to the control's events
    void onStFile(const QString& sFL);
    void onStPcTyp(const QString& sFL, const QString& sBt, const QString& sTy);
    void onEdtMode(const QString& sMd);
    void onPopUp();
    void onHistory(bool bRedo, bool bRevertBack);

    // --- widgets (read by tests and the script hook)
    QSplitter* splitter() const { return splitter_; }
    mainwin::CommandLabel* lbCom(int i) const { return lbCom_.at(i); }
    QToolButton* imBtn(int i) const { return imBtn_.at(i); }
    QCheckBox* chScl(int i) const { return chScl_.at(i); }
    mainwin::InfoPanel* ssImg() const { return ssImg_; }
    QFrame* ssPnl() const { return ssPnl_; }
    QRadioButton* opColor(int i) const { return opColor_.at(i); }
    QSlider* slider() const { return slider_; }
    QLineEdit* txSld() const { return txSld_; }
    QToolButton* cmSld(int i) const { return cmSld_.at(i); }
    QPushButton* cmRvc() const { return cmRvc_; }
    QPushButton* cmRet() const { return cmRet_; }
    QGroupBox* frCol() const { return frCol_; }
    engine::ImageEngine& ikImg() { return *ikImg_; }
    int iColCd() const { return iColCd_; }
    QString sEdtMd() const { return sEdtMd_; }
    QString workFolder() const { return sWrkFd_; }

    // The end of the close sequence: the start-up module hands in Usr::AppEnd
    // (tests their own); nothing when none was handed in.
    std::function<void()> appEnd;
    // Sees every command pair the window hands to the control, just before
    // the control runs it (tests record the routing with it).
    std::function<void(const QString& group, const QString& command)> commandObserver;

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // Hands a command pair to the control.
    void act(const QString& group, const QString& command);
    // layout
    void buildCommandBar(QWidget* bar);
    void buildColourPanel(QGroupBox* frame);
    void fitColourFrame(QGroupBox* frClS);
    void pColResized();
    void applyDefaultGeometry();
    // The folder the dialogs start in: the last folder or the picture folder,
    // when it is a folder of the user's own; empty for the pictures folder.
    QString dialogStartFolder() const;

    uPcE* uPcE_ = nullptr;
    spPic* spPic_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QFrame* fMnu_ = nullptr;
    QGroupBox* frCol_ = nullptr;

    std::array<mainwin::CommandLabel*, 5> lbCom_{};  // 1..4 used
    std::array<QToolButton*, 6> imBtn_{};
    std::array<QCheckBox*, 2> chScl_{};
    mainwin::InfoPanel* ssImg_ = nullptr;
    QFrame* ssPnl_ = nullptr;

    engine::ImageEngine* ikImg_ = nullptr;
    std::array<QRadioButton*, 8> opColor_{};
    QSlider* slider_ = nullptr;
    QLineEdit* txSld_ = nullptr;
    std::array<QToolButton*, 2> cmSld_{};
    QPushButton* cmRvc_ = nullptr;
    QPushButton* cmRet_ = nullptr;
    QLabel* lbCls_ = nullptr;

    // colour panel state
    int iColCd_ = 0;
    bool bSclPv_ = false;
    bool bSldBusy_ = false;
    bool bSldScl_ = false;
    double dSldK_ = 0;
    double dSldMin_ = 0;
    double dSldMax_ = 0;
    int iSldStep_ = 0;
    // What the preview shows: the control's picture it was built from (its
    // image's cache key, which any change of the pixels renews; 0 for none),
    // the depth code and threshold it was converted with, and whether
    // "色反転" turned it over since.
    qint64 pvSource_ = 0;
    int pvCode_ = 0;
    int pvThreshold_ = 128;
    bool pvInverted_ = false;
    qint64 controlPictureKey();
    // The threshold a conversion uses now: the slider's for black and white,
    // 128 for every other option.
    int previewThreshold() const;
    // Whether the preview shows the control's current picture at the option
    // and threshold shown.
    bool previewIsCurrent();
    // A rebuild asked for after a change of the control's picture, waiting
    // for that picture's paint (see requestPreview).
    bool pvRequested_ = false;
    QMetaObject::Connection pvWait_;
    static constexpr int kPreviewFallbackMs = 250;
    // Rebuilds the preview after the control's picture is on screen (at once
    // when the picture is not shown). A newer request replaces a waiting one.
    void requestPreview();
    // Converts a picture as the preview shows it (the commit's conversion).
    void setPreviewFilter();  // the preview converts what it shows as pvCode_, pvThreshold_, pvInverted_ say

    // event state
    QString sEdtMd_;
    bool bRevertBack_ = false;  // undo would take back the revert just done
    // status line: the picture pixel under the pointer, when it is over the picture
    std::optional<QPoint> pointerPixel_;
    mainwin::RecentFiles recent_;
    void loadRecentFiles();
    void noteRecentFile(const QString& path);
    void restoreExtraSettings();
    void showDrawToolbarIfWanted();

    bool closingByProgram_ = false;
    bool keyFilterInstalled_ = false;
    bool firstShown_ = false;
    QString sWrkFd_;
    std::unique_ptr<mainwin::WorkFolderLock> wrkLock_;
};
