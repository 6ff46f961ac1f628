// The key table: the order of the keys in a file, its agreement with the rows and the record's
// fields, and the start-up values it gives.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "settings/key_table.h"
#include "settings/settings.h"
#include "settings_printer.h"

using namespace settings;

namespace {

// The field type each rule fills, the reader's form, and the grid editor of its row.
struct RuleShape {
    TextRule rule;
    std::size_t fieldType;  // index into Field
    bool readsText;
    Kind rowKind;
};
constexpr RuleShape kShapes[] = {
    {TextRule::Integer, 0, false, Kind::RateList},   {TextRule::Centre, 1, false, Kind::CentreText},
    {TextRule::Device, 0, true, Kind::DeviceList},   {TextRule::Channel, 0, false, Kind::ChannelList},
    {TextRule::Switch, 2, false, Kind::Check},       {TextRule::Directory, 3, true, Kind::Directory},
};

}  // namespace

TEST(KeyTable, TheEighteenKeysComeFirstInTheirFileOrder) {
    // The order of a new file; keys added later follow these.
    const wchar_t* const fileOrder[] = {L"SampleRate", L"Center",     L"SoundCard", L"CardChannel", L"UpdChk",
                                        L"FileEGC",    L"FileMsg",    L"FileRaw",   L"TarEGC",      L"TarMsg",
                                        L"TarRaw",     L"HideDecWnd", L"DisableFFT", L"LogOut",     L"LogOutFlt",
                                        L"FileDir",    L"TarDir",     L"LogDir"};
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
    for (const KeyRule& k : Keys()) {
        SCOPED_TRACE(Narrow(k.key));
        const RuleShape* shape = nullptr;
        for (const RuleShape& s : kShapes)
            if (s.rule == k.rule) shape = &s;
        ASSERT_NE(shape, nullptr);
        EXPECT_EQ(k.field.index(), shape->fieldType);
        EXPECT_EQ(k.startup.index(), shape->fieldType);  // Value lists its types in Field's order
        EXPECT_EQ(ReadsAsText(k.rule), shape->readsText);
        EXPECT_EQ(std::holds_alternative<std::wstring>(k.missing), shape->readsText);
        ASSERT_LT(static_cast<std::size_t>(k.row), Rows().size());
        EXPECT_EQ(Rows()[static_cast<std::size_t>(k.row)].kind, shape->rowKind);
    }
}

TEST(KeyTable, StartupValues) {
    Settings expected;
    expected.soundCard = 0;
    expected.sampleRate = 48000;
    expected.cardChannel = 0;
    expected.centerFrequency = 2000.0;
    expected.checkForUpdates = true;
    expected.hideDecoderWindow = true;
    EXPECT_EQ(StartupSettings(), expected);  // everything else off or empty
    EXPECT_EQ(StartupSettings().centerFrequency, kStartCentreHz);
    EXPECT_EQ(SampleRateIndex(StartupSettings().sampleRate), kStartSampleRateIndex);
}

TEST(KeyTable, MissingValuesInTheReadersForm) {
    const struct {
        const wchar_t* key;
        Stored missing;
    } cases[] = {
        {L"SampleRate", 48000},
        {L"Center", 2000},
        {L"SoundCard", std::wstring(L"Primary Sound Capture Driver")},
        {L"CardChannel", 0},
        {L"UpdChk", 0},       // starts set, but a file without it clears it
        {L"HideDecWnd", -1},  // starts set and a file without it keeps it set
        {L"DisableFFT", 0},
        {L"FileDir", std::wstring()},
        {L"LogOutFlt", 0},
    };
    for (const auto& c : cases) {
        const KeyRule* found = nullptr;
        for (const KeyRule& k : Keys())
            if (std::wstring(k.key) == c.key) found = &k;
        ASSERT_NE(found, nullptr) << Narrow(c.key);
        EXPECT_EQ(found->missing, c.missing) << Narrow(c.key);
    }
}
