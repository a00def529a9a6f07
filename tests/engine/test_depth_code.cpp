// The depth codes between their number, their text form and a picture's depth.
#include "engine/depth_code.h"

#include <gtest/gtest.h>

using engine::DepthCode;

TEST(DepthCode, TextFormsAndPictureDepths) {
    for (int n : {1, 4, 40, 8, 80, 16, 24, 32}) {
        const DepthCode d = DepthCode::fromNumber(n);
        ASSERT_TRUE(d.valid()) << n;
        EXPECT_EQ(DepthCode::fromText(d.text()), d) << n;
        EXPECT_EQ(DepthCode::of(d.bits(), d.grey()), d) << n;
    }
    // Only the exact text form names a code: the save table and the colour
    // panel must not take "2." or " 24." for a depth.
    for (const char* t : {"2.", "24", "+24.", " 24.", "24.0", "", ".", "0.", "240."})
        EXPECT_FALSE(DepthCode::fromText(QString::fromLatin1(t)).valid()) << t;
    EXPECT_EQ(DepthCode::of(8, true), DepthCode::Greys256);
    EXPECT_EQ(DepthCode::of(24, true), DepthCode::Bits24);  // grey only at 4 and 8 bits
    EXPECT_TRUE(DepthCode(DepthCode::Greys256).fullColour());
    EXPECT_FALSE(DepthCode(DepthCode::Greys256).directColour());
    EXPECT_FALSE(DepthCode(DepthCode::Colours256).fullColour());
    const engine::DepthSet set = {DepthCode::Greys256, DepthCode::Bits24};
    EXPECT_TRUE(set.contains(DepthCode::Bits24));
    EXPECT_FALSE(set.contains(DepthCode::Colours256));
    EXPECT_FALSE(set.contains(DepthCode::None));
}
