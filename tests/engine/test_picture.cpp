#include "engine/picture.h"
#include "engine/picture_store.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace engine;

TEST(Picture, DepthCodeAndDibSize) {
    struct Case { int code; int width; qint64 dib; };
    // rows padded to 4 bytes: 33 px at 1 bit = 5 bytes -> 8; at 4 bits 17 -> 20; 24 bits 99 -> 100
    const Case cases[] = {{1, 33, 8}, {4, 33, 20}, {40, 33, 20}, {8, 33, 36}, {80, 33, 36},
                          {16, 33, 68}, {24, 33, 100}, {32, 33, 132}};
    for (const Case& c : cases) {
        const Picture p = testsupport::makeTestPicture(c.width, 3, c.code);
        EXPECT_EQ(depthCode(p), c.code);
        EXPECT_EQ(dibSize(p), c.dib * 3) << c.code;
    }
}

TEST(Picture, SizeLimits) {
    EXPECT_TRUE(sizeAllowed(6000, 4000, 32));
    EXPECT_FALSE(sizeAllowed(65536, 1, 1));
    EXPECT_FALSE(sizeAllowed(0, 10, 24));
    EXPECT_FALSE(sizeAllowed(20000, 20000, 32));  // 1.6 GB
}

TEST(PictureStore, HandlesAreProcessWideAndCopiesIndependent) {
    auto& store = PictureStore::instance();
    const quint32 h = store.add(testsupport::makeTestPicture(5, 5, 24));
    ASSERT_NE(h, 0u);
    const quint32 c = store.copy(h);
    ASSERT_NE(c, h);
    store.find(c)->image.setPixel(0, 0, qRgb(1, 2, 3));
    EXPECT_NE(store.find(h)->image.pixel(0, 0), store.find(c)->image.pixel(0, 0));
    EXPECT_TRUE(store.remove(h));
    EXPECT_FALSE(store.remove(h));
    EXPECT_EQ(store.find(h), nullptr);
    EXPECT_TRUE(store.remove(c));
    EXPECT_EQ(store.find(0), nullptr);
}
