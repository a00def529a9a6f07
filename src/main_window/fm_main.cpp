#include "main_window/fm_main.h"

#include "picture_control/upce.h"
#include "startup/usr.h"

#include <QCloseEvent>
#include <QVBoxLayout>

fmMain::fmMain(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    uPcE_ = new uPcE(this);
    layout->addWidget(uPcE_);
}

fmMain::~fmMain() = default;

void fmMain::load(const QStringList& args) {
    Usr::bLoading = true;
    uPcE_->cOn(Usr::sUsrFd + QStringLiteral("Wrk/"));
    if (!args.isEmpty()) {
        QString path = args.first();
        if (Usr::F_FileExists(path))
            uPcE_->pcOpen(0, path);
    }
    Usr::bLoading = false;
}

void fmMain::FmIni(bool) {}

void fmMain::FmEnd() {
    uPcE_->cOFF();
    closingByProgram_ = true;
    Usr::AppEnd();
}

void fmMain::closeEvent(QCloseEvent* e) {
    if (closingByProgram_) {
        e->accept();
        return;
    }
    e->ignore();
    FmEnd();
}

void fmMain::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (Usr::bRun && !isMinimized())
        uPcE_->StSize();
}
