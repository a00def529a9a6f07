// Opening and loading as the host and the user do it: the dialog, a dropped
// file, the command line; the events and what a failed load keeps.
#include "control_fixture.h"
#include "engine/codecs/codecs.h"

#include <QFile>

using namespace controltest;
using testsupport::makeTestPicture;

namespace {
const QString kCannotRead = QStringLiteral("\r画像ﾌｧｲﾙを読み込めません");
const QString kCannotOpen = QStringLiteral("\rこの形式の画像は開けません");
}  // namespace

TEST_F(ControlTest, LoadRaisesFileThenStateThenInformation) {
    REQUIRE_BMP();
    QFile f(work + QStringLiteral("$$Undo007.bmp"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();

    const engine::Picture pic = makeTestPicture(33, 17, 24);
    const QString path = openPicture(pic);
    EXPECT_EQ(log, QStringList({QStringLiteral("eStFile ") + path, QStringLiteral("eEdtMode 読込"),
                                QStringLiteral("eStPcTyp 24.")}));
    EXPECT_EQ(spyType->at(0).at(0).toString(), path);
    EXPECT_EQ(ctl->prFile(), path);
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("読込"));
    EXPECT_EQ(ctl->iUndo(), 1);
    EXPECT_EQ(undoFiles(), QStringList({QStringLiteral("$$Undo001.bmp")}));  // the stale file is gone
    EXPECT_TRUE(testsupport::samePixels(current(), pic));
    EXPECT_TRUE(testsupport::samePixels(readFile(work + QStringLiteral("$$Undo001.bmp")), pic));
    EXPECT_TRUE(prompt.messages.isEmpty());
}

TEST_F(ControlTest, OpenWithoutEventSuppressesOnlyTheFileEvent) {
    REQUIRE_BMP();
    QString path = writeBmp(QStringLiteral("a.bmp"), makeTestPicture(8, 8, 8));
    ctl->pcOpen(0, path, true);
    EXPECT_EQ(spyFile->count(), 0);
    EXPECT_EQ(spyType->count(), 1);
    EXPECT_EQ(ctl->sBit(), QStringLiteral("8."));
}

TEST_F(ControlTest, OpenDialogComesBackToItsFolderAndName) {
    REQUIRE_BMP();
    ctl->SetDlgFd(pics);  // the host's last folder
    QDir().mkpath(pics + QStringLiteral("sub"));
    const QString a = writeBmp(QStringLiteral("sub/a.bmp"), makeTestPicture(4, 4, 24));
    prompt.openNames.push_back(a);
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("ﾌｧｲﾙを開く"));
    ASSERT_EQ(ctl->prFile(), a);
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("ﾌｧｲﾙを開く"));  // cancelled
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("ﾌｧｲﾙを開く"));  // and again: still there
    EXPECT_EQ(prompt.openStartPaths, QStringList({pics, a, a}));
    EXPECT_EQ(ctl->DlgFdUsed(), pics + QStringLiteral("sub/"));

    // Without a folder of the user's from the host: the pictures folder,
    // never the work folder.
    uPcE other;
    other.cOn(work);
    other.SetDlgFd(work);
    QString none;
    other.pcOpen(0, none);
    EXPECT_EQ(prompt.openStartPaths.last(), picturesFolder());
}

TEST_F(ControlTest, OpenDialogAndExtensionRules) {
    REQUIRE_BMP();
    const engine::Picture pic = makeTestPicture(9, 5, 24);
    // Every spelling the dialog offers is accepted, in any case.
    for (const QString& name : {QStringLiteral("x.jpeg"), QStringLiteral("y.TIFF"), QStringLiteral("z.Bmp")}) {
        const QString path = writeBmp(name, pic);  // the content decides how it is read
        prompt.openNames.push_back(path);
        clearEvents();
        ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("ﾌｧｲﾙを開く"));
        EXPECT_EQ(ctl->prFile(), path) << name.toStdString();
        EXPECT_EQ(spyFile->count(), 1);
    }
    EXPECT_TRUE(prompt.messages.isEmpty());

    // A name the program cannot open is refused with a message, and the picture stays.
    const QString text = pics + QStringLiteral("notes.txt");
    prompt.openNames.push_back(text);
    clearEvents();
    const QString before = ctl->prFile();
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("ﾌｧｲﾙを開く"));
    EXPECT_EQ(prompt.messages, QStringList({text + kCannotOpen}));
    EXPECT_EQ(ctl->prFile(), before);
    EXPECT_TRUE(log.isEmpty());

    // Cancelling the dialog opens nothing, silently.
    prompt.messages.clear();
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("ﾌｧｲﾙを開く"));
    EXPECT_TRUE(prompt.messages.isEmpty());
    EXPECT_EQ(ctl->prFile(), before);
}

TEST_F(ControlTest, NewFileNamesGetALowerCaseExtensionExistingOnesKeepTheirs) {
    REQUIRE_BMP();
    // On a case-sensitive file system the file must be opened by its own name.
    QString path = writeBmp(QStringLiteral("Photo.BMP"), makeTestPicture(4, 4, 24));
    ctl->pcOpen(0, path);
    EXPECT_EQ(path, pics + QStringLiteral("Photo.BMP"));
    EXPECT_EQ(ctl->prFile(), path);
    EXPECT_NE(ctl->ImgHandle(), 0u);
}

TEST_F(ControlTest, FailedLoadKeepsEverythingAndSaysSo) {
    REQUIRE_BMP();
    const engine::Picture pic = makeTestPicture(12, 10, 24);
    const QString path = openPicture(pic);
    putPicture(makeTestPicture(12, 10, 24, 7));  // one unsaved edit
    ASSERT_EQ(ctl->iUndo(), 2);
    const engine::Picture edited = current();
    select(1, 2, 3, 4);

    QFile damaged(pics + QStringLiteral("damaged.bmp"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("BM this is no bitmap at all");
    damaged.close();
    QFile unknown(pics + QStringLiteral("text.png"));
    ASSERT_TRUE(unknown.open(QIODevice::WriteOnly));
    unknown.write("plain text pretending to be a picture");
    unknown.close();
    const QStringList bad = {pics + QStringLiteral("missing.bmp"), damaged.fileName(), unknown.fileName()};
    for (QString p : bad) {
        clearEvents();
        prompt.messages.clear();
        ctl->pcOpen(0, p);
        EXPECT_EQ(prompt.messages, QStringList({p + kCannotRead}));
        EXPECT_TRUE(log.isEmpty()) << log.join(QChar('|')).toStdString();
        EXPECT_EQ(ctl->prFile(), path);
        EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
        EXPECT_EQ(ctl->iUndo(), 2);
        EXPECT_EQ(undoFiles(), QStringList({QStringLiteral("$$Undo001.bmp"), QStringLiteral("$$Undo002.bmp")}));
        EXPECT_TRUE(testsupport::samePixels(current(), edited));
        EXPECT_EQ(ctl->ikImg().SelRight(), 3);
    }
}

// A JPEG cut short opens with what it holds, and the user is told that only
// part of the picture could be read; the newer formats open by their names.
TEST_F(ControlTest, CutShortAndNewerFormatFilesOpen) {
    const engine::Picture pic = makeTestPicture(48, 64, 24);
    QByteArray bytes;
    engine::Error err = engine::Error::None;
    ASSERT_TRUE(engine::codecs::encode(engine::codecs::Jpeg, pic, engine::codecs::EncodeOptions(), bytes, err));
    QString path = pics + QStringLiteral("cut.jpg");
    QFile cut(path);
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(bytes.left(bytes.size() * 2 / 3));
    cut.close();
    ctl->pcOpen(0, path);
    EXPECT_EQ(prompt.messages, QStringList({path + QStringLiteral("\r画像ﾌｧｲﾙの一部しか読み込めませんでした")}));
    EXPECT_EQ(ctl->prFile(), path);
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("読込"));
    EXPECT_EQ(current().image.size(), QSize(48, 64));

    struct Named {
        const char* name;
        engine::codecs::Format format;
    };
    for (const Named& n : {Named{"a.webp", engine::codecs::WebP}, Named{"b.AVIF", engine::codecs::Avif},
                           Named{"c.heic", engine::codecs::Heif}, Named{"d.heif", engine::codecs::Heif},
                           Named{"e.jxl", engine::codecs::Jxl}, Named{"f.jp2", engine::codecs::Jp2},
                           Named{"g.j2k", engine::codecs::J2k}, Named{"h.jpc", engine::codecs::J2k}}) {
        QString file = pics + QString::fromLatin1(n.name);
        ASSERT_TRUE(engine::codecs::saveFile(file, n.format, pic, engine::codecs::EncodeOptions(), err)) << n.name;
        prompt.messages.clear();
        emit ctl->ikImg().fileDropped(file, 0);
        EXPECT_TRUE(prompt.messages.isEmpty()) << n.name << prompt.messages.join(QChar('|')).toStdString();
        EXPECT_EQ(ctl->prFile(), file) << n.name;
        EXPECT_EQ(ctl->sBit(), QStringLiteral("24.")) << n.name;
    }
}

TEST_F(ControlTest, DroppedFiles) {
    REQUIRE_BMP();
    const QString first = openPicture(makeTestPicture(6, 6, 24));
    putPicture(makeTestPicture(6, 6, 24, 3));  // unsaved edit: the drop asks first
    const QString png = writeBmp(QStringLiteral("drop.PNG"), makeTestPicture(5, 5, 8));

    prompt.answers.push_back(platform::No);
    emit ctl->ikImg().fileDropped(png, 0);
    EXPECT_EQ(prompt.messages, QStringList({QStringLiteral("現在の画像の変更を保存しますか")}));
    EXPECT_EQ(ctl->prFile(), png);

    // Cancel keeps the picture and repeats the current file to the host.
    putPicture(makeTestPicture(6, 6, 24, 4));
    clearEvents();
    prompt.answers.push_back(platform::Cancel);
    emit ctl->ikImg().fileDropped(first, 0);
    EXPECT_EQ(log, QStringList({QStringLiteral("eStFile ") + png}));
    EXPECT_EQ(ctl->prFile(), png);

    // A file the program cannot open: a message, no question.
    prompt.messages.clear();
    const QString doc = pics + QStringLiteral("letter.doc");
    emit ctl->ikImg().fileDropped(doc, 0);
    EXPECT_EQ(prompt.messages, QStringList({doc + kCannotOpen}));
    EXPECT_EQ(ctl->prFile(), png);
}

TEST_F(ControlTest, EditsGivenUpForAnOpenThatDidNotHappenStayProtected) {
    REQUIRE_BMP();
    const QString first = openPicture(makeTestPicture(6, 6, 24));
    const engine::Picture edited = makeTestPicture(6, 6, 24, 3);
    putPicture(edited);
    ASSERT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));

    // No to the question, then the dialog is cancelled: the edits are still there.
    prompt.answers.push_back(platform::No);
    QString none;
    ctl->pcOpen(1, none);
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
    EXPECT_TRUE(testsupport::samePixels(current(), edited));

    // No, then a file that cannot be read: the same.
    const QString bad = pics + QStringLiteral("bad.bmp");
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("BM not a picture");
    f.close();
    prompt.answers.push_back(platform::No);
    QString path = bad;
    ctl->pcOpen(1, path);
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
    EXPECT_EQ(ctl->prFile(), first);

    // So the next question is asked again.
    prompt.messages.clear();
    EXPECT_EQ(ctl->vCheckSave(), platform::Cancel);
    EXPECT_EQ(prompt.messages, QStringList({QStringLiteral("現在の画像の変更を保存しますか")}));
}

TEST_F(ControlTest, RevertReadsTheFileAsItIsNowOnDisk) {
    REQUIRE_BMP();
    REQUIRE_OPS();
    const QString path = openPicture(makeTestPicture(10, 6, 24));
    ctl->pcAct(QStringLiteral("回転"), QStringLiteral("右90度"));
    ASSERT_EQ(ctl->iUndo(), 2);
    const engine::Picture changed = makeTestPicture(7, 3, 8, 42);
    writeBmp(QStringLiteral("pic.bmp"), changed);

    clearEvents();
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("読込時に戻す"));
    EXPECT_TRUE(testsupport::samePixels(current(), changed));
    EXPECT_EQ(log, QStringList({QStringLiteral("eStFile ") + path, QStringLiteral("eEdtMode 読込"),
                                QStringLiteral("eStPcTyp 8.")}));
    EXPECT_EQ(ctl->iUndo(), 1);
    EXPECT_EQ(undoFiles(), QStringList({QStringLiteral("$$Undo001.bmp")}));
    EXPECT_TRUE(prompt.messages.isEmpty());  // no save question on revert
}

TEST_F(ControlTest, RightClickAsksForThePopupUnlessTheHostSaidInitial) {
    emit ctl->ikImg().mouseButton(2, 0, 0, 0);  // before any picture: the state is empty, not "初期"
    emit ctl->ikImg().mouseButton(1, 0, 0, 0);
    EXPECT_EQ(spyPopUp->count(), 1);
    ctl->pcAct(QStringLiteral("編集状態"), QStringLiteral("初期"));
    emit ctl->ikImg().mouseButton(2, 0, 0, 0);
    EXPECT_EQ(spyPopUp->count(), 1);
}
