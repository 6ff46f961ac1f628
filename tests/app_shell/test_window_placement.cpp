#include <gtest/gtest.h>

#include "app/window_placement.h"

TEST(WindowPlacement, CentresOnTheWorkAreaOrPinsToItsCorner) {
    const struct { PlacementRect window, work; long x, y; } cases[] = {
        {{0, 0, 800, 600}, {0, 0, 1281, 1025}, 240, 212},         // odd sizes halve down
        {{10, 10, 810, 610}, {1920, 40, 3840, 1080}, 2480, 260},  // a second monitor's offset
        {{0, 0, 800, 600}, {100, 50, 740, 530}, 100, 50},         // smaller work area: its top left
    };
    for (const auto& c : cases) {
        long x = 0, y = 0;
        CentreOnWorkArea(c.window, c.work, x, y);
        EXPECT_EQ(x, c.x) << c.work.left;
        EXPECT_EQ(y, c.y) << c.work.left;
    }
}
