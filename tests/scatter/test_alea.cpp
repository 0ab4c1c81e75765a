// The 19-bit congruential generator.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "scatter/scatter.hpp"

namespace {

TEST(Alea, ListedValues) {
    int32_t seed = 1;
    float r = -1.0f;
    scatter::alea(seed, r);
    EXPECT_EQ(seed, 3132);
    EXPECT_EQ(r, 3132.0f / 524288.0f);
    EXPECT_FLOAT_EQ(r, 0.0059738159f);

    // The successor 0 is replaced by 7; seed 0 itself steps to 7.
    seed = 308533;
    scatter::alea(seed, r);
    EXPECT_EQ(seed, 7);
    EXPECT_EQ(r, 7.0f / 524288.0f);
    seed = 0;
    scatter::alea(seed, r);
    EXPECT_EQ(seed, 7);
    EXPECT_EQ(r, 1.3351440e-5f);

    // The largest deviate stays below 1 in single precision.
    int32_t pred = 0;
    for (int32_t s = 1; s < 524288; ++s) {
        int32_t t = s;
        scatter::alea(t, r);
        if (t == 524287) {
            pred = s;
            break;
        }
    }
    ASSERT_NE(pred, 0);
    scatter::alea(pred, r);
    EXPECT_EQ(r, 524287.0f / 524288.0f);
    EXPECT_LT(r, 1.0f);
}

TEST(Alea, FullPeriodVisitsEveryValueOnce) {
    for (int32_t start : {1, 12113, 45123, 524287}) {
        std::vector<bool> seen(524288, false);
        int32_t seed = start;
        float r = 0.0f;
        for (int32_t n = 1; n <= 524287; ++n) {
            scatter::alea(seed, r);
            ASSERT_GE(seed, 1);
            ASSERT_LE(seed, 524287);
            ASSERT_FALSE(seen[static_cast<size_t>(seed)])
                << "value repeated after " << n << " calls";
            seen[static_cast<size_t>(seed)] = true;
            ASSERT_EQ(r, static_cast<float>(seed) / 524288.0f);
            ASSERT_GT(r, 0.0f);
            ASSERT_LT(r, 1.0f);
            if (n < 524287) {
                ASSERT_NE(seed, start) << "short period " << n;
            }
        }
        EXPECT_EQ(seed, start);
    }
}

}  // namespace
