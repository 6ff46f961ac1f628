// ChannelPicker and CaptureDeviceList: the portable halves of the sink and of enumeration.
#include "audio/capture_device_list.h"
#include "audio/channel_picker.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace audio;

namespace {

std::vector<int16_t> Numbered(size_t n) {
    std::vector<int16_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<int16_t>(i * 7 - 3000);
    return v;
}

TEST(ChannelPicker, MonoPiecesAreHandedOnInPlace) {
    auto v = Numbered(6000);
    ChannelPicker picker;
    auto s = picker.Pick(v.data(), 12000, 0);
    EXPECT_EQ(s.data(), v.data());
    EXPECT_EQ(s.size(), 6000u);
    EXPECT_EQ(picker.Pick(v.data(), 12001, 0).size(), 6000u);  // a stray odd byte is dropped
}

TEST(ChannelPicker, MatchesEveryOtherSampleForAnyLengthAndReusesItsBuffer) {
    std::mt19937 rng(5);
    std::vector<int16_t> v(4097);
    for (auto& x : v) x = static_cast<int16_t>(rng());
    ChannelPicker picker;
    picker.Reserve(static_cast<uint32_t>(v.size() * 2));
    const int16_t* firstData = nullptr;
    for (size_t n : {size_t{0}, size_t{1}, size_t{2}, size_t{5}, size_t{4096}, size_t{4097}}) {
        for (int32_t channel : {1, 2}) {
            SCOPED_TRACE(::testing::Message() << "n=" << n << " channel=" << channel);
            std::vector<int16_t> expected;
            for (size_t pos = static_cast<size_t>(channel) - 1; pos < n; pos += 2) expected.push_back(v[pos]);
            auto got = picker.Pick(v.data(), static_cast<uint32_t>(n * 2), channel);
            ASSERT_EQ(std::vector<int16_t>(got.begin(), got.end()), expected);
            if (!got.empty()) {
                if (!firstData) firstData = got.data();
                EXPECT_EQ(got.data(), firstData);  // no allocation per piece
            }
        }
    }
}

TEST(ChannelPicker, UnknownChannelsAndNullPiecesYieldNothing) {
    auto v = Numbered(8);
    ChannelPicker picker;
    EXPECT_TRUE(picker.Pick(v.data(), 16, 3).empty());
    EXPECT_TRUE(picker.Pick(v.data(), 16, -1).empty());
    EXPECT_TRUE(picker.Pick(nullptr, 16, 0).empty());
    EXPECT_TRUE(picker.Pick(nullptr, 16, 1).empty());
}

TEST(CaptureDeviceList, OnlyThePrimaryDevice) {
    CaptureDeviceList list;
    EXPECT_EQ(list.Names()[0], nullptr);
    EXPECT_FALSE(list.Id(0).has_value());  // an empty list has no valid selection
    ASSERT_TRUE(list.Add(std::nullopt, L"Primary Sound Capture Driver"));
    EXPECT_EQ(list.Count(), 1);
    auto id = list.Id(0);
    ASSERT_TRUE(id.has_value());
    EXPECT_FALSE(id->has_value());  // the primary device has no GUID
    EXPECT_STREQ(list.Name(0), L"Primary Sound Capture Driver");
    EXPECT_STREQ(list.Names()[0], L"Primary Sound Capture Driver");
    EXPECT_EQ(list.Names()[1], nullptr);
    EXPECT_FALSE(list.Id(1).has_value());
    EXPECT_FALSE(list.Id(-1).has_value());
    EXPECT_EQ(list.Name(1), nullptr);
}

TEST(CaptureDeviceList, KeepsNineteenDevicesAndClosesTheList) {
    CaptureDeviceList list;
    std::vector<std::wstring> names;
    for (int i = 0; i < 25; ++i) {
        names.push_back(L"Device " + std::to_wstring(i));
        DeviceGuid g{static_cast<uint32_t>(i), 1, 2, {}};
        bool added = list.Add(i == 0 ? CaptureDeviceId{} : CaptureDeviceId{g}, names.back().c_str());
        EXPECT_EQ(added, i < 19) << i;
    }
    ASSERT_EQ(list.Count(), 19);
    for (int i = 0; i < 19; ++i) {
        EXPECT_EQ(list.Names()[i], names[i]);
        EXPECT_EQ(list.Id(i)->has_value(), i != 0);
        if (i) {
            EXPECT_EQ((*list.Id(i))->data1, static_cast<uint32_t>(i));
        }
    }
    EXPECT_EQ(list.Names()[19], nullptr);
    names.clear();  // the list holds its own copies
    EXPECT_STREQ(list.Name(18), L"Device 18");

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Names()[0], nullptr);
    EXPECT_TRUE(list.Add(std::nullopt, nullptr));
    EXPECT_STREQ(list.Name(0), L"");
}

}  // namespace
