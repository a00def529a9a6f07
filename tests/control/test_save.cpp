// Saving: the target format by extension, the depth the format needs, the
// save question by edit-update mode, and what a failed save keeps.
#include "control_fixture.h"
#include "support/codec_test_support.h"
#include "support/metadata_test_support.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace controltest;
using testsupport::makeTestPicture;
using testsupport::samePixels;
namespace codecs = engine::codecs;

namespace {

codecs::Format formatOnDisk(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return codecs::UnknownFormat;
    return codecs::detectFormat(f.read(codecs::kDetectBytes));
}

// The first quantisation table of a baseline JPEG file.
QList<int> firstQuantTable(const QString& path) {
    const std::vector<int> t = testsupport::firstQuantTable(testsupport::readAll(path));
    return QList<int>(t.begin(), t.end());
}

// The standard luminance table scaled the way libjpeg scales it for a quality.
QList<int> scaledLuminance(int quality) {
    static const int base[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                 14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                 18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
    static const int zigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                   12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                   35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                   58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
    const int scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
    QList<int> t;
    for (int k = 0; k < 64; ++k)
        t << std::clamp((base[zigzag[k]] * scale + 50) / 100, 1, 255);
    return t;
}

struct Row {
    const char* name;       // the name typed in the save dialog
    const char* written;    // the file that must appear
    codecs::Format format;  // its format
    int from;               // depth code before
    int to;                 // depth code in the file and in the control afterwards
};

}  // namespace

class SaveRow : public ControlTest, public ::testing::WithParamInterface<Row> {};

const Row kRows[] = {
    {"a.bmp", "a.bmp", codecs::Bmp, 32, 32},
    {"b", "b.bmp", codecs::Bmp, 24, 24},
    {"c.xyz", "c.xyz", codecs::Bmp, 16, 16},
    {"d.JPG", "d.jpg", codecs::Jpeg, 4, 24},
    {"e.jpeg", "e.jpeg", codecs::Jpeg, 80, 80},
    {"f.jpg", "f.jpg", codecs::Jpeg, 32, 24},
    {"g.fpx", "g.fpx", codecs::Fpx, 8, 24},
    {"h.png", "h.png", codecs::Png, 32, 24},
    {"i.png", "i.png", codecs::Png, 40, 40},
    {"j.pcx", "j.pcx", codecs::Pcx, 16, 24},
    {"k.pcx", "k.pcx", codecs::Pcx, 1, 1},
    {"l.gif", "l.gif", codecs::Gif, 32, 8},
    {"m.GIF", "m.gif", codecs::Gif, 80, 80},
    {"n.tif", "n.tif", codecs::Tiff, 32, 32},
    {"o.tiff", "o.tiff", codecs::Tiff, 16, 16},
    {"p.webp", "p.webp", codecs::WebP, 32, 32},
    {"q.WEBP", "q.webp", codecs::WebP, 80, 24},
    {"r.avif", "r.avif", codecs::Avif, 80, 80},
    {"s.avif", "s.avif", codecs::Avif, 32, 24},
    {"t.heic", "t.heic", codecs::Heif, 32, 32},
    {"u.heif", "u.heif", codecs::Heif, 16, 24},
    {"v.jxl", "v.jxl", codecs::Jxl, 24, 24},
    {"w.jp2", "w.jp2", codecs::Jp2, 32, 32},
    {"x.j2k", "x.j2k", codecs::J2k, 80, 80},
    {"y.jpc", "y.jpc", codecs::J2k, 1, 24},
};

INSTANTIATE_TEST_SUITE_P(Formats, SaveRow, ::testing::ValuesIn(kRows), [](const auto& info) {
    QString n = QString::fromUtf8(info.param.name);
    n.replace(QChar('.'), QChar('_'));
    return n.toStdString();
});

TEST_P(SaveRow, SaveAsByExtension) {
    const Row& r = GetParam();
    const int bits = r.to == 40 || r.to == 80 ? r.to / 10 : r.to;
    if (!codecWrites(r.format, r.to))
        GTEST_SKIP() << "the codec of " << r.written << " does not write yet (encode reports Unsupported)";
    openPicture(makeTestPicture(21, 13, r.from), QStringLiteral("src.bmp"));
    ASSERT_EQ(ctl->sBit(), QString::number(r.from) + QChar('.'));
    const QString target = pics + QString::fromUtf8(r.written);
    prompt.saveNames.push_back(pics + QString::fromUtf8(r.name));
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("名前を付けて保存"));
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join(QChar('|')).toStdString();
    EXPECT_TRUE(QFileInfo::exists(target));
    EXPECT_EQ(ctl->prFile(), target);
    EXPECT_EQ(formatOnDisk(target), r.format);
    const engine::Picture onDisk = readFile(target);
    EXPECT_EQ(onDisk.bits, bits);
    EXPECT_EQ(engine::depthCode(onDisk), r.to);
    EXPECT_EQ(ctl->sBit(), QString::number(r.to) + QChar('.'));
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("読込"));
    EXPECT_EQ(undoFiles(), QStringList({QStringLiteral("$$Undo001.bmp")}));
    if (r.format == codecs::Jpeg)
        EXPECT_EQ(firstQuantTable(target), scaledLuminance(85));
    else if (r.format != codecs::Fpx)
        EXPECT_EQ(onDisk.image.size(), QSize(21, 13));
    const bool lossy = r.format == codecs::Jpeg || r.format == codecs::Fpx || r.format == codecs::WebP ||
                       r.format == codecs::Avif || r.format == codecs::Heif || r.format == codecs::Jxl;
    if (r.from == r.to && !lossy)
        EXPECT_TRUE(samePixels(onDisk, current()));
    EXPECT_EQ(ctl->sSavePath(), pics + QStringLiteral("Wrk.jpg"));
}

TEST_F(ControlTest, SaveAsDialogStartsWhereTheDialogsWereLastUsedNeverInTheWorkFolder) {
    REQUIRE_BMP();
    // The host's folder (its last folder) before any dialog was used.
    ctl->SetDlgFd(pics);
    openPicture(makeTestPicture(5, 5, 24));
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("名前を付けて保存"));  // cancelled
    QDir().mkpath(pics + QStringLiteral("out"));
    prompt.saveNames.push_back(pics + QStringLiteral("out/x.bmp"));
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("名前を付けて保存"));
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("名前を付けて保存"));  // cancelled
    EXPECT_EQ(ctl->DlgFdUsed(), pics + QStringLiteral("out/"));
    // A choice in the open dialog moves the save dialog along.
    QDir().mkpath(pics + QStringLiteral("other"));
    const QString other = writeBmp(QStringLiteral("other/y.bmp"), makeTestPicture(4, 4, 24));
    prompt.openNames.push_back(other);
    QString none;
    ctl->pcOpen(0, none);
    ASSERT_EQ(ctl->prFile(), other);
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("名前を付けて保存"));  // cancelled
    EXPECT_EQ(prompt.saveInitialPaths,
              QStringList({pics + QStringLiteral("Wrk.jpg"), pics + QStringLiteral("Wrk.jpg"),
                           pics + QStringLiteral("out/Wrk.jpg"),
                           pics + QStringLiteral("other/Wrk.jpg")}));
}

TEST_F(ControlTest, APastedPictureIsOfferedThePicturesFolderAndAPlainName) {
    REQUIRE_BMP();
    const auto pasteAndSaveAs = [&](uPcE& control) {
        QApplication::clipboard()->setImage(rgb(makeTestPicture(7, 5, 24)));
        control.pcAct(QStringLiteral("画像編集"), QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞから新規"));
        ASSERT_EQ(control.prFile(), work + QStringLiteral("$$Undo001.bmp"));
        control.pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("名前を付けて保存"));  // cancelled
    };
    // A host folder inside the work folder is no better than the work folder.
    ctl->SetDlgFd(work);
    pasteAndSaveAs(*ctl);
    uPcE other;
    other.cOn(work);
    other.SetDlgFd(pics);
    pasteAndSaveAs(other);
    ASSERT_EQ(prompt.saveInitialPaths.size(), 2);
    EXPECT_EQ(prompt.saveInitialPaths[0], picturesFolder() + QStringLiteral("Wrk.jpg"));
    EXPECT_EQ(prompt.saveInitialPaths[1], pics + QStringLiteral("Wrk.jpg"));
    for (const QString& offered : prompt.saveInitialPaths)
        EXPECT_FALSE(offered.startsWith(work)) << offered.toStdString();
}

TEST_F(ControlTest, OverwriteWritesTheCommentBackWithOneCarriageReturn) {
    REQUIRE_BMP();
    if (!codecWrites(codecs::Png, 24))
        GTEST_SKIP() << "the PNG codec does not write yet";
    const QString path = pics + QStringLiteral("c.png");
    codecs::EncodeOptions opt;
    opt.comment = QStringLiteral("撮影\r日");
    engine::Error err = engine::Error::None;
    ASSERT_TRUE(codecs::saveFile(path, codecs::Png, makeTestPicture(8, 8, 24), opt, err));
    QString p = path;
    ctl->pcOpen(0, p);
    EXPECT_EQ(ctl->sCmt(), QStringLiteral("撮影日"));
    putPicture(makeTestPicture(8, 8, 24, 5));
    clearEvents();
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("上書き保存"));
    EXPECT_TRUE(prompt.saveInitialPaths.isEmpty());  // no dialog
    codecs::Decoded d;
    ASSERT_TRUE(codecs::decodeFile(path, d, err));
    EXPECT_EQ(d.comment, QStringLiteral("撮影日\r"));
    EXPECT_TRUE(samePixels(d.picture, makeTestPicture(8, 8, 24, 5)));
    EXPECT_EQ(log, QStringList({QStringLiteral("eEdtMode 読込"), QStringLiteral("eStPcTyp 24."),
                                QStringLiteral("eEdtMode 読込")}));
}

TEST_F(ControlTest, CancelledOrFailedSaveKeepsEverything) {
    REQUIRE_BMP();
    const QString path = openPicture(makeTestPicture(8, 8, 24));
    putPicture(makeTestPicture(8, 8, 24, 9));
    const engine::Picture edited = current();

    // Cancelled dialog.
    clearEvents();
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("名前を付けて保存"));
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));

    // A folder that does not exist: the write fails.
    const QString nowhere = pics + QStringLiteral("no/such/folder/x.bmp");
    prompt.saveNames.push_back(nowhere);
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("名前を付けて保存"));
    EXPECT_EQ(prompt.messages, QStringList({nowhere + QStringLiteral("\r画像ﾌｧｲﾙを保存できません")}));
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(ctl->prFile(), path);
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
    EXPECT_EQ(ctl->iUndo(), 2);
    EXPECT_EQ(undoFiles().size(), 2);
    EXPECT_TRUE(samePixels(current(), edited));

    // A save that needs a conversion and then cannot write: the picture keeps
    // its depth (the conversion ran on a copy).
    prompt.messages.clear();
    putPicture(makeTestPicture(8, 8, 32, 2));
    const engine::Picture deep = current();
    const QString blocked = pics + QStringLiteral("blocked.png");
    QDir().mkpath(blocked);  // a folder where the file should go
    prompt.saveNames.push_back(blocked);
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("名前を付けて保存"));
    EXPECT_EQ(prompt.messages, QStringList({blocked + QStringLiteral("\r画像ﾌｧｲﾙを保存できません")}));
    EXPECT_EQ(ctl->sBit(), QStringLiteral("32."));
    EXPECT_TRUE(samePixels(current(), deep));
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
    EXPECT_EQ(ctl->iUndo(), 3);
}

TEST_F(ControlTest, FailedOverwriteLeavesTheOldFileWhole) {
    REQUIRE_BMP();
    const engine::Picture original = makeTestPicture(8, 8, 24);
    const QString path = openPicture(original);
    putPicture(makeTestPicture(8, 8, 24, 9));
    QFile::setPermissions(pics, QFile::ReadOwner | QFile::ExeOwner);  // no new files in the folder
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("上書き保存"));
    QFile::setPermissions(pics, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (prompt.messages.isEmpty())
        GTEST_SKIP() << "the folder stayed writable (running as root)";
    EXPECT_EQ(prompt.messages, QStringList({path + QStringLiteral("\r画像ﾌｧｲﾙを保存できません")}));
    EXPECT_TRUE(samePixels(readFile(path), original));
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));
}

TEST_F(ControlTest, TheOverwriteQuestionNamesTheFileReallyWritten) {
    REQUIRE_BMP();
    if (!codecWrites(codecs::Png, 24))
        GTEST_SKIP() << "the PNG codec does not write yet";
    const engine::Picture theirs = makeTestPicture(6, 4, 24, 3);
    const engine::Picture ours = makeTestPicture(6, 4, 24, 4);
    engine::Error err = engine::Error::None;
    const QString lower = pics + QStringLiteral("x.png");
    ASSERT_TRUE(codecs::saveFile(lower, codecs::Png, theirs, {}, err));
    ASSERT_TRUE(codecs::saveFile(pics + QStringLiteral("y.bmp"), codecs::Bmp, theirs, {}, err));
    const QString source = openPicture(ours, QStringLiteral("src.bmp"));
    const QString question = QStringLiteral("\rこのﾌｧｲﾙは既にあります。上書きしますか");

    // "x.PNG" is written as "x.png": the question is about that file; No keeps it.
    prompt.saveNames.push_back(pics + QStringLiteral("x.PNG"));
    prompt.answers.push_back(platform::No);
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("名前を付けて保存"));
    EXPECT_EQ(prompt.messages, QStringList({lower + question}));
    EXPECT_TRUE(samePixels(readFile(lower), theirs));
    EXPECT_FALSE(QFileInfo::exists(pics + QStringLiteral("x.PNG")));
    EXPECT_EQ(ctl->prFile(), source);

    // A name without an extension is written with ".bmp"; Yes saves over that file.
    prompt.messages.clear();
    prompt.saveNames.push_back(pics + QStringLiteral("y"));
    prompt.answers.push_back(platform::Yes);
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("名前を付けて保存"));
    EXPECT_EQ(prompt.messages, QStringList({pics + QStringLiteral("y.bmp") + question}));
    EXPECT_TRUE(samePixels(readFile(pics + QStringLiteral("y.bmp")), ours));
    EXPECT_EQ(ctl->prFile(), pics + QStringLiteral("y.bmp"));

    // The name the dialog asked about is the one written: no second question.
    prompt.messages.clear();
    prompt.saveNames.push_back(lower);
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("名前を付けて保存"));
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join(QChar('|')).toStdString();
    EXPECT_TRUE(samePixels(readFile(lower), ours));
}

TEST_F(ControlTest, SaveQuestionByEditUpdateMode) {
    REQUIRE_BMP();
    const QString path = openPicture(makeTestPicture(6, 6, 24));
    for (int mode : {0, 1, 2, 5}) {
        ctl->SetUsrP(mode, QStringLiteral("ｽｹｰﾙ"));
        EXPECT_EQ(ctl->vCheckSave(), 0);  // "読込": nothing to ask
    }
    EXPECT_TRUE(prompt.messages.isEmpty());

    putPicture(makeTestPicture(6, 6, 24, 2));
    ctl->pcAct(QStringLiteral("更新"), QStringLiteral("確認なし"));
    EXPECT_EQ(ctl->iEdtUpd(), 1);
    EXPECT_EQ(ctl->vCheckSave(), platform::No);
    EXPECT_EQ(ctl->vCheckSave(), platform::No);
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));

    ctl->pcAct(QStringLiteral("更新"), QStringLiteral("確認後更新"));
    prompt.answers = {platform::Cancel};
    EXPECT_EQ(ctl->vCheckSave(), platform::Cancel);
    EXPECT_EQ(prompt.messages, QStringList({QStringLiteral("現在の画像の変更を保存しますか")}));
    clearEvents();
    prompt.answers = {platform::No};
    EXPECT_EQ(ctl->vCheckSave(), platform::No);
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("読込"));
    EXPECT_TRUE(log.isEmpty());  // set quietly

    putPicture(makeTestPicture(6, 6, 24, 3));
    prompt.answers = {platform::Yes};
    EXPECT_EQ(ctl->vCheckSave(), platform::Yes);
    EXPECT_TRUE(samePixels(readFile(path), makeTestPicture(6, 6, 24, 3)));
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("読込"));

    putPicture(makeTestPicture(6, 6, 24, 4));
    ctl->pcAct(QStringLiteral("更新"), QStringLiteral("自動更新"));
    const int before = prompt.messages.size();
    EXPECT_EQ(ctl->vCheckSave(), platform::Yes);
    EXPECT_EQ(prompt.messages.size(), before);
    EXPECT_TRUE(samePixels(readFile(path), makeTestPicture(6, 6, 24, 4)));

    ctl->pcAct(QStringLiteral("更新"), QStringLiteral("何か"));
    EXPECT_EQ(ctl->iEdtUpd(), 2);
}

TEST_F(ControlTest, SaveThatDidNotWriteCancelsWhatWasAboutToHappen) {
    REQUIRE_BMP();
    const QString path = openPicture(makeTestPicture(6, 6, 24));
    putPicture(makeTestPicture(6, 6, 24, 2));
    QFile::remove(path);
    QDir().mkpath(path);  // a folder where the file was: the write must fail
    const QString next = writeBmp(QStringLiteral("next.bmp"), makeTestPicture(3, 3, 24));

    ctl->pcAct(QStringLiteral("更新"), QStringLiteral("自動更新"));
    EXPECT_EQ(ctl->vCheckSave(), platform::Cancel);
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));

    // Opening another picture stops: the edits are still only in the control.
    clearEvents();
    prompt.messages.clear();
    QString p = next;
    ctl->pcOpen(1, p);
    EXPECT_EQ(ctl->prFile(), path);
    EXPECT_EQ(log.first(), QStringLiteral("eStFile ") + path);
    EXPECT_EQ(prompt.messages.size(), 1);  // the save failure

    ctl->pcAct(QStringLiteral("更新"), QStringLiteral("確認後更新"));
    prompt.answers = {platform::Yes};
    EXPECT_EQ(ctl->vCheckSave(), platform::Cancel);
}

TEST_F(ControlTest, ClipboardPictureIsSavedUnderANewName) {
    REQUIRE_BMP();
    QApplication::clipboard()->setImage(rgb(makeTestPicture(7, 5, 24)));
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞから新規"));
    ASSERT_EQ(ctl->prFile(), work + QStringLiteral("$$Undo001.bmp"));
    ctl->pcAct(QStringLiteral("編集状態"), QStringLiteral("編集"));

    // Overwrite asks for a name; cancelling keeps the state.
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("上書き保存"));
    EXPECT_EQ(prompt.saveInitialPaths.size(), 1);
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("編集"));

    // The silent mode asks too, and a cancelled name cancels.
    ctl->pcAct(QStringLiteral("更新"), QStringLiteral("自動更新"));
    EXPECT_EQ(ctl->vCheckSave(), platform::Cancel);
    EXPECT_EQ(prompt.saveInitialPaths.size(), 2);

    prompt.saveNames.push_back(pics + QStringLiteral("clip"));
    EXPECT_EQ(ctl->vCheckSave(), platform::Yes);
    EXPECT_EQ(ctl->prFile(), pics + QStringLiteral("clip.bmp"));
    EXPECT_TRUE(QFileInfo::exists(pics + QStringLiteral("clip.bmp")));
}

// Pasting as new over unsaved edits: the save the question starts may need a
// depth conversion (here 32 bits into a PNG), which must not take the pasted
// picture with it.
TEST_F(ControlTest, PasteAsNewKeepsThePastedPictureWhenTheSaveConverts) {
    REQUIRE_BMP();
    if (!codecWrites(codecs::Png, 24))
        GTEST_SKIP() << "the PNG codec does not write yet";
    openPicture(makeTestPicture(9, 6, 24));
    const QString target = pics + QStringLiteral("kept.png");
    prompt.saveNames.push_back(target);
    ctl->pcAct(QStringLiteral("ﾌｧｲﾙ"), QStringLiteral("名前を付けて保存"));
    ASSERT_EQ(ctl->prFile(), target);
    putPicture(makeTestPicture(9, 6, 32));
    ASSERT_EQ(ctl->sBit(), QStringLiteral("32."));

    const engine::Picture pasted = makeTestPicture(7, 5, 24);
    QApplication::clipboard()->setImage(rgb(pasted));
    prompt.answers.push_back(platform::Yes);
    ctl->pcAct(QStringLiteral("画像編集"), QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞから新規"));

    EXPECT_TRUE(prompt.messages.size() == 1) << prompt.messages.join(QChar('|')).toStdString();
    EXPECT_EQ(readFile(target).bits, 24);
    EXPECT_EQ(ctl->prFile(), work + QStringLiteral("$$Undo001.bmp"));
    EXPECT_EQ(current().image.size(), QSize(7, 5));
    EXPECT_EQ(ctl->sEdtMode(), QStringLiteral("読込"));
}
