#pragma once
// The picture editor control: holds one picture with its file, depth, edit
// state, undo history, view mode and selection. The host talks to it through
// the public members and hears from it through four signals.
#include "engine/picture_origin.h"

#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>
#include <map>

namespace engine { class ImageEngine; }
namespace upce { class UndoHistory; }

class uPcE : public QWidget {
    Q_OBJECT
public:
    explicit uPcE(QWidget* parent = nullptr);
    ~uPcE() override;

    // --- public members, in the order of the control's interface
    QString sBit() const { return sBit_; }
    void setSBit(const QString& v) { sBit_ = v; }
    void cOn(const QString& sPhW);
    void cOFF();
    void StSize();
    void SetUsrP(int iEd, const QString& sDsp);
    void GetUsrP(int& iEd, QString& sDsp) const;
    QString prFile() const { return sFile_; }
    void pcAct(const QString& sGp, const QString& sJb);
    // How the last pcAct ended: it did what it was asked, there was nothing to
    // do (no picture, no selection, no step to go back to), or it failed (the
    // user was told, and the picture and the state are as they were before).
    enum class Outcome { Done, NothingToDo, Failed };
    Outcome lastOutcome() const { return lastOutcome_; }
    quint32 ImgHandle() const;
    void SetImgHandle(quint32 nHnd);  // "ImgHandle let": the picture as an undoable edit
    int vCheckSave();
    void pcOpen(int iJb, QString& sFL, bool bNEVN = false);
    void SetRect(double gWd, double gHi);

    // --- zoom (beside the view modes): one step in (direction > 0) or out
    // about the centre of the view; ZoomReset shows the picture by its view
    // mode again. Both do nothing without a picture and return whether they acted.
    bool ZoomStep(int direction);
    bool ZoomReset();
    // Whether pcOpen takes a file by its name (its extension).
    bool canOpen(const QString& path) const { return extensionAccepted(path); }

    // --- read access for the host, the batch tool and tests
    engine::ImageEngine& ikImg() { return *ikImg_; }
    engine::ImageEngine& ikImg2() { return *ikImg2_; }
    QString sEdtMode() const { return sEdtMode_; }
    QString sWrkFld() const { return sWrkFld_; }
    QString sImgFile() const { return sImgFile_; }
    QString sCmt() const { return sCmt_; }
    QString sSavePath() const { return sSavePath_; }
    int iUndo() const { return iUndo_; }
    int iEdtUpd() const { return iEdtUpd_; }
    int iDspMode() const { return iDspMode_; }
    bool bRet() const { return bRet_; }
    double PicWidth() const { return PicWidth_; }
    double PicHeight() const { return PicHeight_; }
    const int* CornerX() const { return CornerX_; }
    const int* CornerY() const { return CornerY_; }

    // The folder the open and save dialogs start in until one of them has
    // been used (the host's last folder); empty: the pictures folder.
    void SetDlgFd(const QString& folder);
    // The folder of the last name chosen in the open or save dialog during
    // this run; empty while neither has been used.
    QString DlgFdUsed() const { return sDlgFdUsed_; }

    // The undo file of a step: work folder + "$$Undo" + at least three digits + ".bmp".
    QString undoFileName(int step) const;
    // Undo files are written in the background; this waits until every one
    // recorded so far is on disk (or its loss has been reported).
    void settleUndo();
    // Whether the steps' undo files are written (the default). A caller that
    // never goes back (the batch tool on a run without undo, redo or a picture
    // from the clipboard) turns them off: the steps are still counted, and
    // nothing is written or read.
    void setUndoFiles(bool write) { undoFiles_ = write; }
    // Whether "やり直し" has a step to bring back, and whether "編集を一つ戻す"
    // would take back the revert just done.
    bool canRedo() const;
    bool canTakeBackRevert() const;

    // Where the drawing toolbar opens: the main window's left and top in twips
    // and the screen's twips per pixel. By default read from Usr::oMainFm and
    // the screen's logical DPI; hosts and tests may supply their own.
    struct HostGeometry {
        double leftTwips = 0;
        double topTwips = 0;
        double twipsPerPixelX = 15;
        double twipsPerPixelY = 15;
    };
    void setHostGeometryProvider(std::function<HostGeometry()> provider) { hostGeometry_ = std::move(provider); }

    // The most undo steps one history can hold.
    static constexpr int kMaxUndo = 32767;

signals:
    void eStFile(const QString& sFL);
    void eStPcTyp(const QString& sFL, const QString& sBt, const QString& sTy);
    void eEdtMode(const QString& sMd);
    void ePopUp();
    // Raised when what redo or undo can reach changes beyond the edit state:
    // bRedo, a step to redo; bRevertBack, a revert that undo takes back.
    void eHistory(bool bRedo, bool bRevertBack);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    friend struct UpceTestAccess;  // tests only: preset counters that take hours to reach

    engine::ImageEngine* ikImg_ = nullptr;
    engine::ImageEngine* ikImg2_ = nullptr;
    upce::UndoHistory* history_ = nullptr;

    QString sBit_;
    QString sCmt_;
    QString sEdtMode_;
    bool bRet_ = false;
    QString sFile_;
    QString sImgFile_;
    QString sWrkFld_;
    int iEdtUpd_ = 0;
    double PicWidth_ = 0;
    double PicHeight_ = 0;
    int iUndo_ = 0;
    int CornerX_[4] = {0, 0, 0, 0};
    int CornerY_[4] = {0, 0, 0, 0};
    bool bSzWait_ = false;
    int iDspMode_ = 0;
    QString sSavePath_;
    QString sOpenPath_;   // the open dialog's last choice, offered again next time
    QString sDlgFd_;      // the dialogs' folder before either was used
    QString sDlgFdUsed_;  // the folder of the dialogs' last choice
    std::function<HostGeometry()> hostGeometry_;
    // The metadata and lineage of the picture at each undo step, which its
    // undo file (pixels only) cannot hold.
    std::map<int, engine::Origin> origins_;
    std::map<int, engine::Origin> keptOrigins_;  // those of a history a revert kept aside
    Outcome lastOutcome_ = Outcome::Done;
    bool failed_ = false;  // guarded() caught a failure since pcAct began

    // core
    void StEdtMode(const QString& sMd);
    void StBusy(bool on, bool atOnce = false);
    void ClrRect();
    void onMouseButton(int button);
    void onFileDropped(const QString& path);
    void onDrawToolState(int state);
    void onDrawingApplied();
    // Runs a command body so that no exception reaches the event loop. The one
    // place where failures arrive: the reason is shown through the prompt
    // layer, and the picture, the undo step, the selection and the state are
    // put back as they were before the body. False when it failed.
    bool guarded(const std::function<void()>& body);
    // The result of an engine call that may find nothing to do: false then,
    // true when it did its work; a real failure stops the command (throws).
    bool edited(bool ok, engine::ImageEngine& e);
    // An engine call the command cannot go on without: any false stops it.
    void require(bool ok, engine::ImageEngine& e);
    struct Snapshot;
    Snapshot snapshot();
    void restore(const Snapshot& s);
    void showMessage(const QString& text);
    void reportEngineError(engine::ImageEngine& e);

    // dispatch helpers
    Outcome runCommand(const QString& sGp, const QString& sJb, bool& saveWritten);

    // open and load
    bool pcLoad(const QString& path, int mode, bool bNEVN);
    bool loadPixels(const QString& path);
    void finishLoad(const QString& path, int mode, bool bNEVN);
    bool pcNewClip();
    bool extensionAccepted(const QString& path) const;

    // save
    bool pcSave(int saveAs);
    bool fileIsInWorkFolder(const QString& path) const;
    // Where a dialog starts that has nothing of its own to go back to: the
    // folder of the dialogs' last choice, else the host's folder (never the
    // work folder), else the pictures folder. Ends with "/".
    QString dialogFolder() const;

    // undo
    bool bRevert_ = false;  // the load under way is "読込時に戻す"
    bool lastRedo_ = false, lastRevertBack_ = false;
    bool undoFiles_ = true;
    void vPutUndo(bool undoLoad);
    bool nextUndoStep();
    void recordStep();
    bool vUndo();
    void vRedo();
    void vClrUndo();
    void keepOrigin(int step);
    void restoreOrigin(int step);
    void startHistory();
    void takeBackRevert();
    int reachableStep(int target, int direction);
    bool showStep(int step);
    void reportHistory();

    // view and information
    void SetViewMode(const QString& caption);
    void UpdatePicInfo();

    // selection
    void LoadSelCorners();
    bool HasSelection() const;

    // edits
    bool TrimToSelection();
    bool ShrinkToSelection(const QString& caption);
    bool RotateFlip(const QString& caption);
    bool CloseUpSelection(int direction);
    bool HighlightSelection();
    bool CopyPicture();
    bool ShowDrawToolbar();
    bool fullColour() const;

    // resize and turn by numbers
    void ResizeByText(const QString& text);
    void ResizeDialog();
    void resizeTo(QSize size);
    void finishNumberEdit();
    void TurnByText(const QString& text);
    void TurnDialog();
};
