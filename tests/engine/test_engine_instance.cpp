// The engine instance: handles and ownership, picture information, the edit
// frame with its one-step undo, the clipboard and the error table.
#include "engine/errors.h"
#include "engine/image_engine.h"
#include "engine/ops/ops.h"
#include "engine/picture_store.h"
#include "support/test_support.h"

#include <QApplication>
#include <QClipboard>
#include <QSet>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace engine;
using testsupport::makeTestPicture;
using testsupport::samePixels;

namespace {

quint32 add(const Picture& p) { return PictureStore::instance().add(p); }
Picture copyOf(ImageEngine& e) { return *e.current(); }

}  // namespace

TEST(EngineHandles, OwnershipThroughTheUsualSequences) {
    auto& store = PictureStore::instance();
    const int base = store.count();
    {
        ImageEngine a, b;
        const quint32 h1 = add(makeTestPicture(9, 7, 24));
        a.SetImageHandle(h1);
        const quint32 h2 = add(makeTestPicture(5, 5, 16));
        a.SetImageHandle(h2);  // the picture held before is released
        EXPECT_EQ(store.find(h1), nullptr);
        EXPECT_EQ(store.count(), base + 1);

        // The close-up pattern: a scratch copy in a second instance, freed there.
        b.SetImageHandle(a.CopyImage(a.ImageHandle()));
        EXPECT_NE(b.ImageHandle(), a.ImageHandle());
        EXPECT_EQ(store.count(), base + 2);
        EXPECT_TRUE(b.FreeImage(b.ImageHandle()));
        EXPECT_EQ(b.ImageHandle(), 0u);
        EXPECT_EQ(store.count(), base + 1);

        // Edits, undo, paste and load replace the picture without leaving one behind.
        ASSERT_TRUE(a.ConvertBits(24));
        ASSERT_TRUE(a.UndoLastEdit());
        a.ClipboardCopy();
        ASSERT_TRUE(b.PasteClipboard());
        ASSERT_TRUE(b.PasteClipboard());
        EXPECT_EQ(store.count(), base + 2);

        // A copy handed to another instance belongs to it; the source keeps its own.
        const quint32 c = a.CopyImage(a.ImageHandle());
        b.SetImageHandle(c);
        store.find(c)->image.setPixel(0, 0, qRgb(1, 2, 3));
        EXPECT_NE(a.current()->image.pixel(0, 0), b.current()->image.pixel(0, 0));
        EXPECT_EQ(store.count(), base + 2);
    }
    EXPECT_EQ(store.count(), base);  // each instance released what it held
}

TEST(EngineHandles, BadHandlesAreRefusedAndReported) {
    ImageEngine e;
    const quint32 h = add(makeTestPicture(4, 4, 24));
    e.SetImageHandle(h);
    e.SetImageHandle(0xDEAD0000u);
    EXPECT_EQ(e.ErrorNumber(), int(Error::BadHandle));
    EXPECT_EQ(e.ImageHandle(), h);  // the current picture stays
    EXPECT_EQ(e.CopyImage(0xDEAD0000u), 0u);
    EXPECT_FALSE(e.FreeImage(0xDEAD0000u));
    EXPECT_FALSE(e.FreeImage(0));
    EXPECT_EQ(e.ErrorNumber(), int(Error::BadHandle));
    EXPECT_TRUE(e.FreeImage(h));
    EXPECT_EQ(e.ImageHandle(), 0u);
    EXPECT_FALSE(e.ReadImageInfo());
    EXPECT_EQ(e.ImageType(), 0);
    EXPECT_EQ(e.ImageSize(), 0);
    EXPECT_EQ(e.ErrorNumber(), int(Error::NoPicture));
}

TEST(EngineInfo, EveryDepth) {
    struct Case { int code; int bits; bool gray; qint64 size; };
    // 33 x 5: rows padded to 4 bytes (1 bit: 5 -> 8 bytes, 4 bits: 17 -> 20, ...).
    const Case cases[] = {{1, 1, false, 8 * 5},   {4, 4, false, 20 * 5}, {40, 4, true, 20 * 5},
                          {8, 8, false, 36 * 5},  {80, 8, true, 36 * 5}, {16, 16, false, 68 * 5},
                          {24, 24, false, 100 * 5}, {32, 32, false, 132 * 5}};
    ImageEngine e;
    for (const Case& c : cases) {
        e.SetImageHandle(add(makeTestPicture(33, 5, c.code)));
        ASSERT_TRUE(e.ReadImageInfo());
        EXPECT_EQ(e.ImageWidth(), 33);
        EXPECT_EQ(e.ImageHeight(), 5);
        EXPECT_EQ(e.BitCount(), c.bits) << c.code;
        EXPECT_EQ(e.IsGray(), c.gray) << c.code;
        EXPECT_EQ(e.ImageSize(), c.size) << c.code;
        EXPECT_EQ(e.ImageType(), 1);
    }
}

TEST(EngineEdits, UndoLastEditRestoresPixelsAndDepth) {
    ImageEngine e;
    const Picture original = makeTestPicture(31, 17, 4);
    e.SetImageHandle(add(original));
    QSignalSpy started(&e, &ImageEngine::longOperationStarted), finished(&e, &ImageEngine::longOperationFinished);

    ASSERT_TRUE(e.ConvertBits(24));
    EXPECT_EQ(e.current()->bits, 24);
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(finished.count(), 1);
    ASSERT_TRUE(e.UndoLastEdit());
    QString why;
    EXPECT_TRUE(samePixels(*e.current(), original, &why)) << why.toStdString();
    EXPECT_FALSE(e.UndoLastEdit());  // one step only
    EXPECT_EQ(e.ErrorNumber(), int(Error::NothingToUndo));

    e.Edit().TrimLeft = 3;
    e.Edit().TrimTop = 2;
    e.Edit().TrimRight = 20;
    e.Edit().TrimBottom = 9;
    ASSERT_TRUE(e.Edit().Trim());
    EXPECT_EQ(e.current()->image.size(), QSize(17, 7));
    EXPECT_EQ(e.current()->image.pixelIndex(0, 0), original.image.pixelIndex(3, 2));
    ASSERT_TRUE(e.UndoLastEdit());
    EXPECT_TRUE(samePixels(*e.current(), original));
}

TEST(EngineEdits, FailedEditsLeaveThePictureAndSayWhy) {
    ImageEngine e;
    const Picture original = makeTestPicture(20, 10, 24);
    e.SetImageHandle(add(original));
    ASSERT_TRUE(e.ConvertBits(24));  // an edit whose undo must survive the failures below

    e.Edit().TrimLeft = 5;
    e.Edit().TrimRight = 5;  // nothing would remain
    e.Edit().TrimBottom = 10;
    EXPECT_FALSE(e.Edit().Trim());
    EXPECT_EQ(e.ErrorNumber(), int(Error::BadArgument));
    EXPECT_FALSE(e.Edit().ConvertDepth(7, 0, false, 128));
    EXPECT_EQ(e.ErrorNumber(), int(Error::BadArgument));
    EXPECT_FALSE(e.Edit().Resize(0, 10));
    EXPECT_FALSE(e.Edit().Resize(70000, 10));
    EXPECT_EQ(e.ErrorNumber(), int(Error::TooLarge));
    EXPECT_FALSE(e.Edit().PasteImage(0xDEAD0000u, 0, 0));
    EXPECT_EQ(e.ErrorNumber(), int(Error::BadHandle));
    EXPECT_FALSE(e.Edit().RegionTrim({}, {}, 0));
    EXPECT_FALSE(e.applyEdit([](Picture&) -> bool { throw std::bad_alloc(); }));
    EXPECT_EQ(e.ErrorNumber(), int(Error::OutOfMemory));
    EXPECT_FALSE(e.applyEdit([](Picture& p) {
        p = Picture();  // claims success but leaves nothing
        return true;
    }));
    EXPECT_TRUE(samePixels(*e.current(), original));
    EXPECT_TRUE(e.canUndoLastEdit());

    ImageEngine none;
    EXPECT_FALSE(none.ConvertBits(24));
    EXPECT_EQ(none.ErrorNumber(), int(Error::NoPicture));
}

TEST(EngineEdits, PastePositionsReachTheOperationUnrounded) {
    ImageEngine e;
    const Picture base = makeTestPicture(41, 23, 24, 3);
    const Picture piece = makeTestPicture(9, 7, 24, 4);
    e.SetImageHandle(add(base));
    const quint32 src = add(piece);
    ASSERT_TRUE(e.Edit().PasteImage(src, 3.5, -2.5));
    Picture expected = base;
    ASSERT_TRUE(ops::pasteImage(expected, piece, 3.5, -2.5));
    EXPECT_TRUE(samePixels(*e.current(), expected));
    // Pasting the current picture onto itself works on a snapshot.
    ASSERT_TRUE(e.Edit().PasteImage(e.ImageHandle(), 10, 5));
    PictureStore::instance().remove(src);
}

TEST(EngineEdits, RefreshCommitsSoCopyThenUndoKeepsTheUsersEdit) {
    ImageEngine e;
    e.SetImageHandle(add(makeTestPicture(30, 20, 24)));
    // The user's edit, accepted and shown by the host.
    e.Edit().TrimRight = 25;
    e.Edit().TrimBottom = 20;
    ASSERT_TRUE(e.Edit().Trim());
    e.Refresh();
    const Picture edited = copyOf(e);
    // Copy without a cut: the undo that follows must not take the edit back.
    ASSERT_TRUE(e.ClipboardCopy());
    EXPECT_FALSE(e.UndoLastEdit());
    EXPECT_TRUE(samePixels(*e.current(), edited));
    // Copy of a cut: the cut is taken back.
    ASSERT_TRUE(e.Edit().RegionTrim({2, 9, 9, 2}, {3, 3, 8, 8}, 4));
    EXPECT_EQ(e.current()->image.size(), QSize(8, 6));
    ASSERT_TRUE(e.ClipboardCopy());
    ASSERT_TRUE(e.UndoLastEdit());
    EXPECT_TRUE(samePixels(*e.current(), edited));
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(8, 6));
}

TEST(EngineClipboard, RoundTripsKeepPixelsAndDepth) {
    ImageEngine from, to;
    struct Case { int code; int pastedBits; };
    for (const Case c : {Case{24, 24}, Case{32, 32}, Case{8, 24}, Case{1, 24}, Case{40, 24}, Case{16, 24}}) {
        const Picture pic = makeTestPicture(37, 11, c.code, 7);
        from.SetImageHandle(add(pic));
        ASSERT_TRUE(from.ClipboardCopy());
        const QImage onClipboard = QApplication::clipboard()->image();
        EXPECT_TRUE(onClipboard.depth() == 32) << c.code;  // other programs get true colour
        ASSERT_TRUE(to.PasteClipboard());
        EXPECT_EQ(to.current()->bits, c.pastedBits) << c.code;
        EXPECT_EQ(testsupport::maxChannelDiff(to.current()->image, pic.image), 0) << c.code;
    }
}

TEST(EngineClipboard, AlphaPicturesStay32AndEmptyClipboardFails) {
    ImageEngine e;
    QImage argb(5, 4, QImage::Format_ARGB32);
    argb.fill(qRgba(10, 20, 30, 128));
    QApplication::clipboard()->setImage(argb);
    ASSERT_TRUE(e.PasteClipboard());
    EXPECT_EQ(e.current()->bits, 32);
    EXPECT_EQ(e.current()->image.pixel(2, 2) & 0xffffff, qRgb(10, 20, 30) & 0xffffff);

    const quint32 kept = e.ImageHandle();
    QApplication::clipboard()->clear();
    EXPECT_FALSE(e.PasteClipboard());
    EXPECT_EQ(e.ErrorNumber(), int(Error::ClipboardEmpty));
    EXPECT_EQ(e.ImageHandle(), kept);
    ImageEngine none;
    EXPECT_FALSE(none.ClipboardCopy());
    EXPECT_EQ(none.ErrorNumber(), int(Error::NoPicture));
}

TEST(EngineErrors, EveryNumberHasItsOwnJapaneseText) {
    QSet<QString> seen;
    EXPECT_TRUE(errorText(Error::None).isEmpty());
    for (int n = 1; n <= kLastError; ++n) {
        const QString text = errorText(Error(n));
        EXPECT_FALSE(text.isEmpty()) << n;
        EXPECT_FALSE(seen.contains(text)) << n;
        seen.insert(text);
    }
}
