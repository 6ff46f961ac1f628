// The portable settings record: lists, orders and the centre text.
#include <gtest/gtest.h>

#include <set>

#include "settings/settings.h"

TEST(SettingsRecord, EveryRowAppearsOnceInEachFileOrder) {
    for (const auto* order : {&settings::WriteOrder(), &settings::ReadOrder()}) {
        std::set<int> seen(order->begin(), order->end());
        EXPECT_EQ(seen.size(), static_cast<size_t>(settings::kRowCount));
    }
    EXPECT_EQ(settings::WriteOrder().front(), settings::kSampleRate);
    EXPECT_EQ(settings::WriteOrder().back(), settings::kDecoderLogDir);
    EXPECT_EQ(settings::ReadOrder()[5], settings::kHideDecoderWindow);
}

TEST(SettingsRecord, SampleRateListAndIndices) {
    EXPECT_EQ(settings::SampleRateIndex(44100), 3);
    EXPECT_EQ(settings::SampleRateIndex(32000), -1);
    EXPECT_EQ(settings::SampleRateAt(6), 192000);
    EXPECT_EQ(settings::SampleRateAt(7), 48000);
    EXPECT_EQ(settings::SampleRateAt(-1), 48000);
}

TEST(SettingsRecord, CentreTextRoundsToWholeHertz) {
    EXPECT_EQ(settings::CentreText(1234.6), L"1235 Hz");
    EXPECT_EQ(settings::CentreText(2000.0), L"2000 Hz");
    EXPECT_EQ(settings::CentreText(-1.0), L"-1 Hz");
}

TEST(SettingsRecord, LoadedCentreIsKeptOnlyInsideTheDisplayedBand) {
    EXPECT_EQ(settings::ClampLoadedCentre(1234, 48000), 1234.0);
    EXPECT_EQ(settings::ClampLoadedCentre(24000, 48000), 24000.0);
    EXPECT_EQ(settings::ClampLoadedCentre(24001, 48000), 2000.0);
    EXPECT_EQ(settings::ClampLoadedCentre(-5, 48000), 2000.0);
    EXPECT_EQ(settings::ClampLoadedCentre(100, 0), 2000.0);
}
