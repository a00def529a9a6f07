// Qt's own dialogs in Japanese, and message boxes centred on the main window,
// read from real message boxes and file dialogs (answered by a timer).
#include "platform/prompt.h"
#include "platform/qt_translation.h"
#include "settings/yini.h"
#include "startup/usr.h"
#include "support/test_support.h"
#include "support/user_env.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QTranslator>
#include <functional>
#include <gtest/gtest.h>

using testsupport::UserEnv;

namespace {

// Runs inspect on the first message box that appears, then answers it with
// the button of the given role.
class BoxWatcher {
public:
    BoxWatcher(QMessageBox::ButtonRole answer, std::function<void(QMessageBox&)> inspect)
        : answer_(answer), inspect_(std::move(inspect)) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }
    bool seen() const { return seen_; }

private:
    void poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        timer_.stop();
        seen_ = true;
        inspect_(*box);
        for (QAbstractButton* b : box->buttons())
            if (box->buttonRole(b) == answer_) {
                b->click();
                return;
            }
        box->close();
    }
    QTimer timer_;
    QMessageBox::ButtonRole answer_;
    std::function<void(QMessageBox&)> inspect_;
    bool seen_ = false;
};

bool hasJapanese(const QString& text) {
    for (QChar c : text)
        if (c.unicode() >= 0x3000)
            return true;
    return false;
}

class QtJapanese : public ::testing::Test {
protected:
    void SetUp() override {
        translator = platform::installQtJapanese();
        ASSERT_NE(translator, nullptr) << "Qt's Japanese translation (qt6-translations-l10n) is not installed";
    }
    void TearDown() override {
        if (translator) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }
    QTranslator* translator = nullptr;
    platform::ScopedPrompt real{nullptr};
};

}  // namespace

TEST_F(QtJapanese, StandardButtonsFileDialogAndOverwriteQuestionSpeakJapanese) {
    QStringList texts;
    QString question;
    BoxWatcher watcher(QMessageBox::RejectRole, [&](QMessageBox& box) {
        for (QAbstractButton* b : box.buttons())
            texts << b->text();
        question = box.text();
    });
    const int answer = platform::prompt().message(QStringLiteral("現在の画像の変更を保存しますか"),
                                                  platform::Buttons::YesNoCancel);
    ASSERT_TRUE(watcher.seen());
    EXPECT_EQ(answer, platform::Cancel);
    EXPECT_EQ(question, QStringLiteral("現在の画像の変更を保存しますか")) << "the program's own text is unchanged";
    ASSERT_EQ(texts.size(), 3);
    const QString all = texts.join(u' ');
    for (const char* word : {"はい", "いいえ", "キャンセル"})
        EXPECT_TRUE(all.contains(QString::fromUtf8(word))) << all.toStdString();

    // Qt's own file dialog, as the prompt layer shows it.
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"}) {
        auto* label = dialog.findChild<QLabel*>(QLatin1String(name));
        ASSERT_NE(label, nullptr) << name;
        EXPECT_TRUE(hasJapanese(label->text())) << name << ": " << label->text().toStdString();
    }
    EXPECT_TRUE(hasJapanese(QFileDialog::tr("%1 already exists.\nDo you want to replace it?")));
}

TEST(StartUp, AMessageBeforeTheWindowAppearsIsCentredOnIt) {
    UserEnv env;
    ASSERT_TRUE(env.ok());
    env.writeDefinition("%usr%");
    Usr::oIni().programPath = env.programFolder() + QStringLiteral("tolvane");
    const QString damaged = env.root() + QStringLiteral("/damaged.png");
    UserEnv::writeFile(damaged, "\x89PNG\r\n\x1a\n not really a picture");
    Usr::bRun = false;
    platform::ScopedPrompt real(nullptr);

    QPointer<QWidget> parent;
    bool windowShown = true;
    QRect box, window;
    BoxWatcher watcher(QMessageBox::AcceptRole, [&](QMessageBox& b) {
        parent = b.parentWidget();
        windowShown = Usr::oMainFm && Usr::oMainFm->isVisible();
        box = b.frameGeometry();
        if (Usr::oMainFm)
            window = Usr::oMainFm->geometry();
    });
    ASSERT_TRUE(Usr::StartUp({damaged}));
    ASSERT_TRUE(watcher.seen()) << "the damaged picture is reported";
    EXPECT_FALSE(windowShown) << "reported while the window loads";
    EXPECT_EQ(parent.data(), Usr::oMainFm);
    // Centred on the window, up to the frames the two may have.
    EXPECT_LE(std::abs(box.center().x() - window.center().x()), 4) << box.center().x() << " " << window.center().x();
    EXPECT_LE(std::abs(box.center().y() - window.center().y()), 4) << box.center().y() << " " << window.center().y();

    platform::setDialogOwner(nullptr);
    testsupport::destroyTopLevelWindows();
    Usr::oMainFm = nullptr;
}
