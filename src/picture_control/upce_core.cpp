#include "picture_control/upce.h"

#include "engine/image_engine.h"
#include "startup/usr.h"

#include <QResizeEvent>

uPcE::uPcE(QWidget* parent) : QWidget(parent) {
    ikImg_ = new engine::ImageEngine(this);
    ikImg2_ = new engine::ImageEngine(this);
    ikImg2_->hide();
    if (Usr::bRun)
        bSzWait_ = true;
}

uPcE::~uPcE() = default;

void uPcE::cOn(const QString& sPhW) { sWrkFld_ = sPhW.trimmed(); }
void uPcE::cOFF() {}

void uPcE::StSize() {
    ikImg_->setGeometry(0, 0, width(), height());
    bSzWait_ = false;
}

void uPcE::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (Usr::bRun && !bSzWait_)
        StSize();
}

void uPcE::SetUsrP(int iEd, const QString&) { iEdtUpd_ = iEd; }
void uPcE::GetUsrP(int& iEd, QString& sDsp) const { iEd = iEdtUpd_; sDsp = QString(); }
void uPcE::pcAct(const QString&, const QString&) {}
quint32 uPcE::ImgHandle() const { return ikImg_->ImageHandle(); }
void uPcE::SetImgHandle(quint32) {}
int uPcE::vCheckSave() { return 0; }
void uPcE::pcOpen(int, QString&, bool) {}
void uPcE::SetRect(double, double) {}

void uPcE::StEdtMode(const QString& sMd) {
    sEdtMode_ = sMd;
    emit eEdtMode(sMd);
}

void uPcE::StBusy(bool) {}
void uPcE::ClrRect() {}
