#pragma once
// A picture control driven the way its host drives it: a work folder, a
// scripted prompt, and a log of the four events in the order they arrived.
#include "engine/codecs/codecs.h"
#include "engine/image_engine.h"
#include "engine/picture_store.h"
#include "picture_control/upce.h"
#include "platform/prompt.h"
#include "support/test_support.h"

#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// Reaches the one counter that would take hours of edits to drive up.
struct UpceTestAccess {
    static void setIUndo(uPcE& c, int n) { c.iUndo_ = n; }
};

namespace controltest {

// Whether the engine's BMP codec (the undo-file format) reads and writes. The
// guards below fail a test outright: a broken codec or operation must never
// hide behind skipped control tests.
bool bmpReady();
// Whether the codec of a format writes a small picture of the depth code.
bool codecWrites(engine::codecs::Format f, int depthCode);
// Whether the picture operations the edits use work.
bool opsReady();
bool depthOpsReady();

#define REQUIRE_BMP()                                                                         \
    do {                                                                                      \
        if (!controltest::bmpReady())                                                         \
            GTEST_FAIL() << "the BMP codec (undo files) does not read and write";           \
    } while (0)
#define REQUIRE_OPS()                                                                         \
    do {                                                                                      \
        if (!controltest::opsReady())                                                         \
            GTEST_FAIL() << "the geometry operations do not work";                          \
    } while (0)
#define REQUIRE_DEPTH_OPS()                                                                   \
    do {                                                                                      \
        if (!controltest::depthOpsReady())                                                    \
            GTEST_FAIL() << "the depth conversions do not work";                            \
    } while (0)

class ControlTest : public ::testing::Test {
protected:
    ControlTest();
    ~ControlTest() override;

    QTemporaryDir tmp;
    QString work;  // the work folder, ending with "/"
    QString pics;  // a folder for picture files, ending with "/"
    platform::ScriptedPrompt prompt;
    std::unique_ptr<platform::ScopedPrompt> scoped;
    std::unique_ptr<uPcE> ctl;
    QStringList log;  // "eStFile <path>", "eEdtMode <state>", "eStPcTyp <code>", "ePopUp"
    std::unique_ptr<QSignalSpy> spyFile, spyType, spyMode, spyPopUp;

    // Writes pic as a BMP file in the picture folder; the full path.
    QString writeBmp(const QString& name, const engine::Picture& pic);
    // Writes pic and opens it as the host does at start (pcOpen 0).
    QString openPicture(const engine::Picture& pic, const QString& name = QStringLiteral("pic.bmp"));
    // Hands pic to the control as the colour panel does (an undoable edit).
    void putPicture(const engine::Picture& pic);
    engine::Picture current();
    void select(int l, int t, int r, int b);
    // The "$$*.bmp" files of the work folder, sorted.
    QStringList undoFiles() const;
    engine::Picture readFile(const QString& path);
    void clearEvents();
};

// The desktop's pictures folder (the home folder when there is none), with
// a trailing "/": where the dialogs go when nothing better is known.
QString picturesFolder();

// The undo file names of the steps, "$$Undo001.bmp" and on, in that order.
QStringList undoNames(std::initializer_list<int> steps);

// QImage helpers for independent expectations.
QImage rgb(const engine::Picture& p);

}  // namespace controltest
