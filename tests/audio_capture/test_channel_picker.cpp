// ChannelPicker and CaptureDeviceList: the portable halves of the sink and of enumeration.
#include "audio/capture_device_list.h"
#include "audio/channel_picker.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace audio;

namespace {

TEST(ChannelPicker, MonoIsHandedOnInPlaceAndStereoPicksEveryOtherSample) {
    std::mt19937 rng(5);
    std::vector<int16_t> v(4097);
    for (auto& x : v) x = static_cast<int16_t>(rng());
    ChannelPicker picker;
    auto mono = picker.Pick(v.data(), 8000, 0);
    EXPECT_EQ(mono.data(), v.data());
    EXPECT_EQ(mono.size(), 4000u);
    EXPECT_EQ(picker.Pick(v.data(), 8001, 0).size(), 4000u);  // a stray odd byte is dropped

    picker.Reserve(static_cast<uint32_t>(v.size() * 2));
    const int16_t* firstData = nullptr;
    for (size_t n : {0, 1, 2, 5, 4096, 4097}) {
        for (int32_t channel : {1, 2}) {
            SCOPED_TRACE(::testing::Message() << "n=" << n << " channel=" << channel);
            std::vector<int16_t> expected;
            for (size_t pos = static_cast<size_t>(channel) - 1; pos < n; pos += 2) expected.push_back(v[pos]);
            const auto got = picker.Pick(v.data(), static_cast<uint32_t>(n * 2), channel);
            ASSERT_EQ(std::vector<int16_t>(got.begin(), got.end()), expected);
            if (got.empty()) continue;
            if (!firstData) firstData = got.data();
            EXPECT_EQ(got.data(), firstData);  // no allocation per piece
        }
    }
    // Unknown channels and null pieces yield nothing.
    for (auto [bytes, channel] : {std::pair<const void*, int>{v.data(), 3}, {v.data(), -1}, {nullptr, 0}, {nullptr, 1}})
        EXPECT_TRUE(picker.Pick(bytes, 16, channel).empty()) << channel;
}

TEST(CaptureDeviceList, KeepsNineteenDevicesPrimaryFirstAndClosesTheList) {
    CaptureDeviceList list;
    EXPECT_EQ(list.Names()[0], nullptr);
    EXPECT_FALSE(list.Id(0).has_value());  // an empty list has no valid selection
    for (int i = 0; i < 25; ++i) {
        const std::wstring name = i == 0 ? L"Primary Sound Capture Driver" : L"Device " + std::to_wstring(i);
        const bool added = list.Add(i == 0 ? CaptureDeviceId{} : DeviceGuid{static_cast<uint32_t>(i), 1, 2, {}}, name.c_str());
        EXPECT_EQ(added, i < 19) << i;  // the list keeps its own copy of the name
    }
    ASSERT_EQ(list.Count(), 19);
    EXPECT_STREQ(list.Name(0), L"Primary Sound Capture Driver");
    EXPECT_FALSE(list.Id(0)->has_value());  // the primary device has no GUID
    for (int i = 1; i < 19; ++i) {
        EXPECT_EQ(list.Names()[i], L"Device " + std::to_wstring(i));
        ASSERT_TRUE(list.Id(i)->has_value());
        EXPECT_EQ((*list.Id(i))->data1, static_cast<uint32_t>(i));
    }
    EXPECT_EQ(list.Names()[19], nullptr);
    for (int outside : {-1, 19}) {
        EXPECT_FALSE(list.Id(outside).has_value());
        EXPECT_EQ(list.Name(outside), nullptr);
    }

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Names()[0], nullptr);
    EXPECT_EQ(list.Name(0), nullptr);
    EXPECT_TRUE(list.Add(std::nullopt, nullptr));
    EXPECT_STREQ(list.Name(0), L"");
    EXPECT_EQ(list.Names()[1], nullptr);
}

}  // namespace
