#include "platform/large_pages.h"

#include <gtest/gtest.h>

using platform::largePageTunables;

// The restart happens once: only where the kernel gives large pages on request
// and the C library can ask, and never again once the variable names the tunable.
TEST(LargePagesTest, RestartsOnceAndOnlyWhereItHelps) {
    const std::string mode = "always [madvise] never";
    EXPECT_EQ(largePageTunables(mode, "2.36", nullptr), "glibc.malloc.hugetlb=1");
    EXPECT_EQ(largePageTunables(mode, "2.36", ""), "glibc.malloc.hugetlb=1");
    // The user's own tunables are kept.
    EXPECT_EQ(largePageTunables(mode, "2.36", "glibc.malloc.arena_max=2"),
              "glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1");
    // Set already (after the restart, or by the user, whatever its value): no restart.
    EXPECT_EQ(largePageTunables(mode, "2.36", "glibc.malloc.hugetlb=1"), "");
    EXPECT_EQ(largePageTunables(mode, "2.36", "glibc.malloc.arena_max=2:glibc.malloc.hugetlb=0"), "");
    // Large pages come by themselves, or never; a C library that cannot ask.
    EXPECT_EQ(largePageTunables("[always] madvise never", "2.36", nullptr), "");
    EXPECT_EQ(largePageTunables("always madvise [never]", "2.36", nullptr), "");
    EXPECT_EQ(largePageTunables("", "2.36", nullptr), "");
    EXPECT_EQ(largePageTunables(mode, "2.34", nullptr), "");
    EXPECT_EQ(largePageTunables(mode, "", nullptr), "");
    EXPECT_EQ(largePageTunables(mode, "3.0", nullptr), "glibc.malloc.hugetlb=1");
}
