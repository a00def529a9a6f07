#pragma once
// The main window: hosts the picture editor control, the command bar and the
// colour-depth panel.
#include <QWidget>

class uPcE;

class fmMain : public QWidget {
    Q_OBJECT
public:
    explicit fmMain(QWidget* parent = nullptr);
    ~fmMain() override;

    // The load sequence; args are the program's arguments (after the program name).
    void load(const QStringList& args);
    void FmIni(bool bSave);
    void FmEnd();

    uPcE& control() { return *uPcE_; }

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    uPcE* uPcE_ = nullptr;
    bool closingByProgram_ = false;
};
