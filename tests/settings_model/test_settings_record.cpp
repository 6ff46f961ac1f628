// The portable row description: rate indices, the centre text and the loaded-centre band.
#include <gtest/gtest.h>

#include <cmath>

#include "settings/settings.h"

TEST(SettingsRecord, SampleRateListAndIndices) {
    const struct {
        std::int32_t rate;
        int index;
    } rates[] = {{8000, 0}, {11025, 1}, {22050, 2}, {44100, 3}, {48000, 4}, {96000, 5}, {192000, 6},
                 {32000, -1}, {0, -1}, {-8000, -1}};
    for (const auto& r : rates) {
        EXPECT_EQ(settings::SampleRateIndex(r.rate), r.index) << r.rate;
        if (r.index >= 0) {
            EXPECT_EQ(settings::SampleRateAt(r.index), r.rate);
        }
    }
    // An index that names no entry gives the start-up rate.
    for (int outside : {7, -1, 1000}) EXPECT_EQ(settings::SampleRateAt(outside), 48000) << outside;
}

TEST(SettingsRecord, CentreTextRoundsToWholeHertz) {
    EXPECT_EQ(settings::CentreText(1234.6), L"1235 Hz");
    EXPECT_EQ(settings::CentreText(2000.0), L"2000 Hz");
    EXPECT_EQ(settings::CentreText(-1.0), L"-1 Hz");
}

TEST(SettingsRecord, LoadedCentreOutsideTheBandFallsBackToTheStartupCentre) {
    // Through a load in test_settings_model; here what no file gives: fractions, negatives, NaN.
    EXPECT_EQ(settings::ClampLoadedCentre(1234.5, 48000), 1234.5);
    EXPECT_EQ(settings::ClampLoadedCentre(-1, 48000), 2000.0);
    EXPECT_EQ(settings::ClampLoadedCentre(std::nan(""), 48000), 2000.0);
}
