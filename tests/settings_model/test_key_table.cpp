// The key table: the keys' order in a file, its agreement with the rows and the record's fields, and
// the start-up values it gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "settings/key_table.h"
#include "settings_printer.h"

using namespace settings;

TEST(KeyTable, TheEighteenKeysComeFirstInTheirFileOrderEachOnce) {
    const wchar_t* const fileOrder[] = {L"SampleRate", L"Center", L"SoundCard", L"CardChannel", L"UpdChk",
                                        L"FileEGC", L"FileMsg", L"FileRaw", L"TarEGC", L"TarMsg", L"TarRaw",
                                        L"HideDecWnd", L"DisableFFT", L"LogOut", L"LogOutFlt", L"FileDir",
                                        L"TarDir", L"LogDir"};
    ASSERT_GE(Keys().size(), std::size(fileOrder));
    for (std::size_t i = 0; i < std::size(fileOrder); ++i) EXPECT_STREQ(Keys()[i].key, fileOrder[i]) << i;

    std::set<std::wstring> keys;
    std::set<int> rows;
    std::vector<Field> fields;
    for (const KeyRule& k : Keys()) {
        EXPECT_TRUE(keys.insert(k.key).second) << "key twice: " << Narrow(k.key);
        EXPECT_TRUE(rows.insert(k.row).second) << "row twice: " << k.row;
        for (const Field& f : fields) EXPECT_FALSE(f == k.field) << "field twice: " << Narrow(k.key);
        fields.push_back(k.field);
    }
    for (int r = 0; r < kRowCount; ++r) EXPECT_TRUE(rows.count(r)) << "no key for row " << r;
}

TEST(KeyTable, EachRuleFitsItsFieldItsRowAndItsReader) {
    const struct {
        TextRule rule;
        std::size_t type;  // index into Field (and Value, which lists the same types first)
        bool readsText;
        Kind rowKind;
    } shapes[] = {
        {TextRule::Integer, 0, false, Kind::RateList}, {TextRule::Centre, 1, false, Kind::CentreText},
        {TextRule::Device, 0, true, Kind::DeviceList}, {TextRule::Channel, 0, false, Kind::ChannelList},
        {TextRule::Switch, 2, false, Kind::Check},     {TextRule::Directory, 3, true, Kind::Directory},
        {TextRule::Choice, 0, false, Kind::Choice},
    };
    for (const KeyRule& k : Keys()) {
        SCOPED_TRACE(Narrow(k.key));
        const auto* shape =
            std::find_if(std::begin(shapes), std::end(shapes), [&](const auto& s) { return s.rule == k.rule; });
        if (k.rule == TextRule::Position || k.rule == TextRule::Filter) {  // a text typed in place; its grid row comes with the Windows side
            EXPECT_EQ(k.field.index(), 3u);
            EXPECT_TRUE(ReadsAsText(k.rule));
            if (k.row < kRowCount) {
                EXPECT_EQ(Rows()[static_cast<std::size_t>(k.row)].kind, Kind::Text);
            }
            continue;
        }
        if (k.rule == TextRule::Text) {  // a text typed in place, with or without a save dialog
            EXPECT_EQ(k.field.index(), 3u);
            EXPECT_TRUE(ReadsAsText(k.rule));
            const Kind kind = Rows()[static_cast<std::size_t>(k.row)].kind;
            EXPECT_TRUE(kind == Kind::Text || kind == Kind::SaveFile || kind == Kind::Sound);
            continue;
        }
        ASSERT_NE(shape, std::end(shapes));
        EXPECT_EQ(k.field.index(), shape->type);
        EXPECT_EQ(k.startup.index(), shape->type);
        EXPECT_EQ(ReadsAsText(k.rule), shape->readsText);
        EXPECT_EQ(std::holds_alternative<std::wstring>(k.missing), shape->readsText);
        ASSERT_LT(static_cast<std::size_t>(k.row), Rows().size());
        EXPECT_EQ(Rows()[static_cast<std::size_t>(k.row)].kind, shape->rowKind);
        // A choice starts as one of its entries, and a file without the key gives the same.
        if (k.rule == TextRule::Choice) {
            EXPECT_GE(ChoiceIndex(Rows()[static_cast<std::size_t>(k.row)].choices, std::get<std::int32_t>(k.startup)), 0);
            EXPECT_EQ(std::get<std::int32_t>(k.missing), std::get<std::int32_t>(k.startup));
        }
    }
}

TEST(KeyTable, KeysAddedLaterFollowTheEighteenInTheirGroupsOrder) {
    const wchar_t* const added[] = {L"AutoRestart", L"LogLines",    L"LogDaily",    L"StoreFile", L"KeepRecords",
                                    L"KeepMessages", L"FeedTo",     L"FeedStation", L"FeedAll", L"HomePosition",
                                    L"SilenceRestart", L"AlertFilter", L"AlertSound", L"AlertProgram",
                                    L"TrayOnMinimise"};
    ASSERT_EQ(Keys().size(), 18 + std::size(added));
    for (std::size_t i = 0; i < std::size(added); ++i) {
        EXPECT_STREQ(Keys()[18 + i].key, added[i]);
        EXPECT_EQ(Keys()[18 + i].row, static_cast<Row>(kFirstAddedRow + i)) << "rows follow row 17 in key order";
    }
    // Each added group has a colour of its own, which no earlier group has.
    const auto colourOf = [](Row r) { return Rows()[static_cast<std::size_t>(r)].labelRgb; };
    EXPECT_EQ(colourOf(kAutoRestart), colourOf(kDecoderTextLog));
    EXPECT_EQ(colourOf(kSilenceRestart), colourOf(kDecoderTextLog));
    for (Row r = kSoundCard; r < kFirstAddedRow; r = static_cast<Row>(r + 1)) {
        EXPECT_NE(colourOf(kStoreFile), colourOf(r));
        EXPECT_NE(colourOf(kFeedTo), colourOf(r));
        EXPECT_NE(colourOf(kAlertFilter), colourOf(r));
    }
    EXPECT_EQ(colourOf(kAlertFilter), colourOf(kTrayOnMinimise));
    EXPECT_NE(colourOf(kStoreFile), colourOf(kFeedTo));
}

TEST(KeyTable, StartupValues) {
    Settings expected;  // everything else off or empty, the first device, Mono
    expected.sampleRate = 48000;
    expected.centerFrequency = 2000.0;
    expected.checkForUpdates = expected.hideDecoderWindow = true;
    expected.logLinesKept = 10000;
    expected.storeFile = L"vastrel-messages.db";
    expected.keepRecordDays = 7;
    expected.keepMessageDays = 0;
    expected.alertFilter = L"priority>=urgency";
    expected.alertSound = L"Warning";
    EXPECT_EQ(StartupSettings(), expected);
    // The rules' fall-backs agree with the table.
    EXPECT_EQ(StartupSettings().centerFrequency, kStartCentreHz);
    EXPECT_EQ(SampleRateIndex(StartupSettings().sampleRate), kStartSampleRateIndex);
}
