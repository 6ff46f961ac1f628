#include <gtest/gtest.h>

#include "app/window_placement.h"

TEST(WindowPlacement, CentresOnTheWorkAreaWithIntegerHalving) {
    long x = 0, y = 0;
    CentreOnWorkArea({0, 0, 800, 600}, {0, 0, 1281, 1025}, x, y);
    EXPECT_EQ(x, 1281 / 2 - 400);
    EXPECT_EQ(y, 1025 / 2 - 300);
}

TEST(WindowPlacement, WorkAreaWithAnOffsetOnASecondMonitor) {
    long x = 0, y = 0;
    CentreOnWorkArea({10, 10, 810, 610}, {1920, 40, 3840, 1080}, x, y);
    EXPECT_EQ(x, (1920 + 3840) / 2 - 400);
    EXPECT_EQ(y, (40 + 1080) / 2 - 300);
}

TEST(WindowPlacement, SmallerWorkAreaPutsTheWindowAtItsTopLeftCorner) {
    long x = 0, y = 0;
    CentreOnWorkArea({0, 0, 800, 600}, {100, 50, 740, 530}, x, y);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 50);
}
