// The key table: the keys a save writes, in file order, with the start-up values' texts (which pins
// every start-up value); each row edited by one key whose rule fills the row's kind.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "settings/config_rules.h"
#include "settings_printer.h"

using namespace settings;

TEST(KeyTable, AStartupSaveWritesTheExampleFileEveryRowByOneKey) {
    const std::vector<std::wstring> example = {
        L"SampleRate=48000", L"Center=2000", L"SoundCard=Primary Sound Capture Driver", L"CardChannel=0",
        L"UpdChk=1", L"FileEGC=0", L"FileMsg=0", L"FileRaw=0", L"TarEGC=0", L"TarMsg=0", L"TarRaw=0",
        L"HideDecWnd=1", L"DisableFFT=0", L"LogOut=0", L"LogOutFlt=0", L"FileDir=", L"TarDir=", L"LogDir=",
        // the keys added later, after the eighteen
        L"AutoRestart=0", L"LogLines=10000", L"LogDaily=0", L"StoreFile=vastrel-messages.db", L"KeepRecords=7",
        L"KeepMessages=0", L"FeedTo=", L"FeedStation=", L"FeedAll=0", L"HomePosition=", L"SilenceRestart=0",
        L"AlertFilter=priority>=urgency", L"AlertSound=Warning", L"AlertProgram=", L"TrayOnMinimise=0"};
    const wchar_t* const primaryFirst[] = {L"Primary Sound Capture Driver", L"Line In"};
    std::vector<std::wstring> written;
    std::set<int> rows;
    for (const KeyRule& k : Keys()) {
        written.push_back(std::wstring(k.key) + L"=" + StoredText(k, StartupSettings(), primaryFirst).value_or(L"?"));
        EXPECT_TRUE(rows.insert(k.row).second) << "row twice: " << k.row;
    }
    EXPECT_EQ(written, example);
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kRowCount));
    EXPECT_EQ(*rows.begin(), 0);
    EXPECT_EQ(*rows.rbegin(), kRowCount - 1);
    for (int r = 0; r < kRowCount; ++r) EXPECT_EQ(Rows()[static_cast<std::size_t>(r)].row, r) << "grid order";
}

TEST(KeyTable, EachKeysRowIsOfAKindItsRuleFills) {
    const std::map<TextRule, std::set<Kind>> fills = {
        {TextRule::Integer, {Kind::RateList}},     {TextRule::Centre, {Kind::CentreText}},
        {TextRule::Device, {Kind::DeviceList}},    {TextRule::Channel, {Kind::ChannelList}},
        {TextRule::Switch, {Kind::Check}},         {TextRule::Directory, {Kind::Directory}},
        {TextRule::Choice, {Kind::Choice}},        {TextRule::Text, {Kind::Text, Kind::SaveFile, Kind::Sound}},
        {TextRule::Position, {Kind::Text}},        {TextRule::Filter, {Kind::Text}},
    };
    for (const KeyRule& k : Keys())
        EXPECT_EQ(fills.at(k.rule).count(Rows()[static_cast<std::size_t>(k.row)].kind), 1u) << Narrow(k.key);
}
