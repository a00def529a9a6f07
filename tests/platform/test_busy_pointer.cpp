#include "engine/image_engine.h"
#include "platform/cursor.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QTest>

namespace {

// Runs the event loop until the busy pointer's wait is certainly over.
void pastTheWait() {
    QDeadlineTimer over(platform::kBusyPointerDelayMs * 3);
    while (!over.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace

// Work that ends before the wait leaves the pointer alone; work that lasts
// gets the busy pointer, and the end of the work takes it away.
TEST(BusyPointer, ShowsOnlyForWorkThatLasts) {
    platform::setAppPointer(13);
    EXPECT_EQ(platform::appPointer(), 13);
    EXPECT_EQ(platform::shownAppPointer(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    platform::setAppPointer(0);
    pastTheWait();
    EXPECT_EQ(platform::shownAppPointer(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    platform::setAppPointer(11);
    QTRY_COMPARE(platform::shownAppPointer(), 11);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    // Another kind while busy: at once, one override only.
    platform::setAppPointer(13);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    platform::setAppPointer(0);
    EXPECT_EQ(platform::shownAppPointer(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Work that keeps the event loop from running shows it without the wait.
    platform::setAppPointer(13, true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    platform::setAppPointer(0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Short pieces of work one after another never add up to a busy pointer.
    for (int i = 0; i < 5; ++i) {
        platform::setAppPointer(13);
        QCoreApplication::processEvents();
        platform::setAppPointer(0);
    }
    pastTheWait();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The view's own busy pointer (its MousePointer property, set at once) shows
// on screen after the same wait, and goes with the property.
TEST(BusyPointer, TheViewShowsItsBusyCodeAfterTheWait) {
    engine::ImageEngine view;
    view.SetMousePointer(14);
    EXPECT_EQ(view.MousePointer(), 14);
    EXPECT_NE(view.cursor().shape(), Qt::BusyCursor);
    QTRY_COMPARE(view.cursor().shape(), Qt::BusyCursor);
    view.SetMousePointer(0);
    EXPECT_EQ(view.cursor().shape(), Qt::ArrowCursor);

    view.SetMousePointer(14);
    view.SetMousePointer(0);
    pastTheWait();
    EXPECT_EQ(view.cursor().shape(), Qt::ArrowCursor);
}
