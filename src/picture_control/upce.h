#pragma once
// The picture editor control: holds one picture with its file, depth, edit
// state, undo history, view mode and selection. The host talks to it through
// the public members and hears from it through four signals.
#include <QString>
#include <QWidget>

namespace engine { class ImageEngine; }

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
    quint32 ImgHandle() const;
    void SetImgHandle(quint32 nHnd);  // "ImgHandle let": the picture as an undoable edit
    int vCheckSave();
    void pcOpen(int iJb, QString& sFL, bool bNEVN = false);
    void SetRect(double gWd, double gHi);

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

signals:
    void eStFile(const QString& sFL);
    void eStPcTyp(const QString& sFL, const QString& sBt, const QString& sTy);
    void eEdtMode(const QString& sMd);
    void ePopUp();

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    engine::ImageEngine* ikImg_ = nullptr;
    engine::ImageEngine* ikImg2_ = nullptr;

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

    void StEdtMode(const QString& sMd);
    void StBusy(bool on);
    void ClrRect();
};
