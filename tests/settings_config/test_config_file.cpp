// Loading and saving configuration files through the real main window.
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <cwchar>

#include "config_fixture.h"
#include "resource.h"

using settings::Row;

namespace {
std::wstring FirstWord(const wchar_t* text) {
    std::wstring s = text;
    return s.substr(0, s.find(L' '));
}
}  // namespace

TEST_F(ConfigTest, EmptyAndMissingFilesGiveTheMissingValues) {
    for (const std::wstring& path : {FileWith(L"empty.ccf", ""), PathOf(L"absent.ccf")}) {
        // Move every row away from what a file without keys gives.
        rows().WriteIndex(settings::kSampleRate, 0);
        guitest::RowChanged(frame->hwnd(), frame->Rows().ValueItem(settings::kSampleRate));
        rows().WriteIndex(settings::kCardChannel, 2);
        for (Row r : {settings::kCheckForUpdates, settings::kDisableFftWhileDecoding, settings::kFileLogEgc,
                      settings::kTarLogRaw, settings::kDecoderLogUseFilter})
            rows().WriteBool(r, true);
        rows().WriteBool(settings::kHideDecoderWindow, false);
        rows().WriteText(settings::kFileLogDir, L"C:\\logs");
        rows().WriteText(settings::kDecoderLogDir, L"C:\\out");
        frame->Spectrum().centerFrequency = 3000;
        const int deviceBefore = rows().ReadIndex(settings::kSoundCard);

        Load(path);
        EXPECT_EQ(frame->CurrentSettings().sampleRate, 48000);
        EXPECT_EQ(frame->Spectrum().endFrequency, 24000);
        EXPECT_EQ(rows().ReadIndex(settings::kSampleRate), 4);
        EXPECT_EQ(frame->Spectrum().centerFrequency, 2000.0);
        EXPECT_EQ(frame->Spectrum().pointerFrequency, 2000.0);
        EXPECT_EQ(rows().ReadText(settings::kCenterFrequency), L"2000 Hz");
        EXPECT_EQ(rows().ReadIndex(settings::kCardChannel), 0);
        EXPECT_FALSE(rows().ReadBool(settings::kCheckForUpdates));
        EXPECT_TRUE(rows().ReadBool(settings::kHideDecoderWindow));
        for (Row r : {settings::kDisableFftWhileDecoding, settings::kFileLogEgc, settings::kFileLogMessages,
                      settings::kFileLogRaw, settings::kTarLogEgc, settings::kTarLogMessages, settings::kTarLogRaw,
                      settings::kDecoderTextLog, settings::kDecoderLogUseFilter})
            EXPECT_FALSE(rows().ReadBool(r)) << r;
        for (Row r : {settings::kFileLogDir, settings::kTarLogDir, settings::kDecoderLogDir})
            EXPECT_EQ(rows().ReadText(r), L"") << r;
        // No test-bed device is called "Primary Sound Capture Driver" unless one contains it.
        int expected = deviceBefore;
        for (int i = 0; i < frame->CaptureDevices().Count(); ++i)
            if (std::wcsstr(frame->CaptureDevices().Name(i), L"Primary Sound Capture Driver")) {
                expected = i;
                break;
            }
        EXPECT_EQ(rows().ReadIndex(settings::kSoundCard), expected);
    }
}

TEST_F(ConfigTest, ChannelAndSwitchValues) {
    // (Which stored channel selects which entry is ConfigRules'; here the row follows the file.)
    const std::wstring path = FileWith(L"upd.ccf", "[Settings]\r\nUpdChk=5\r\nHideDecWnd=0\r\nTarMsg=-3\r\nCardChannel=1\r\n");
    Load(path);
    EXPECT_TRUE(rows().ReadBool(settings::kCheckForUpdates));
    EXPECT_FALSE(rows().ReadBool(settings::kHideDecoderWindow));
    EXPECT_TRUE(rows().ReadBool(settings::kTarLogMessages));
    EXPECT_EQ(rows().ReadIndex(settings::kCardChannel), 1);
    Save(path);
    EXPECT_EQ(Key(path, L"UpdChk"), L"1");
    EXPECT_EQ(Key(path, L"HideDecWnd"), L"0");
    EXPECT_EQ(Key(path, L"TarMsg"), L"1");
    EXPECT_EQ(Key(path, L"CardChannel"), L"1");
}

TEST_F(ConfigTest, CentreReadsItsLeadingIntegerAndSavesWithoutFraction) {
    Load(FileWith(L"c.ccf", "[Settings]\r\nCenter=1234.9\r\n"));
    EXPECT_EQ(frame->Spectrum().centerFrequency, 1234.0);
    EXPECT_EQ(frame->Spectrum().pointerFrequency, 1234.0);
    EXPECT_EQ(rows().ReadText(settings::kCenterFrequency), L"1234 Hz");

    frame->Spectrum().centerFrequency = 1234.9;
    const std::wstring out = PathOf(L"c-out.ccf");
    Save(out);
    EXPECT_EQ(Key(out, L"Center"), L"1234");

    // Beyond the display's band, or negative (read as a huge unsigned number): the start-up centre.
    Load(FileWith(L"neg.ccf", "[Settings]\r\nCenter=-5\r\n"));
    EXPECT_EQ(frame->Spectrum().centerFrequency, 2000.0);
    Load(FileWith(L"edge.ccf", "[Settings]\r\nCenter=24000\r\n"));
    EXPECT_EQ(frame->Spectrum().centerFrequency, 24000.0);
    Load(FileWith(L"far.ccf", "[Settings]\r\nCenter=24001\r\n"));
    EXPECT_EQ(frame->Spectrum().centerFrequency, 2000.0);
    EXPECT_EQ(rows().ReadText(settings::kCenterFrequency), L"2000 Hz");
    Load(FileWith(L"low.ccf", "[Settings]\r\nSampleRate=8000\r\nCenter=4001\r\n"));
    EXPECT_EQ(frame->Spectrum().centerFrequency, 2000.0);
    Load(FileWith(L"low2.ccf", "[Settings]\r\nSampleRate=8000\r\nCenter=4000\r\n"));
    EXPECT_EQ(frame->Spectrum().centerFrequency, 4000.0);
}

TEST_F(ConfigTest, SampleRateFromTheListOrKeptAsWorkingRate) {
    Load(FileWith(L"r1.ccf", "[Settings]\r\nSampleRate=44100\r\nCenter=1000\r\n"));
    EXPECT_EQ(frame->CurrentSettings().sampleRate, 44100);
    EXPECT_EQ(rows().ReadIndex(settings::kSampleRate), 3);
    EXPECT_EQ(frame->Spectrum().endFrequency, 22050);

    const std::wstring odd = FileWith(L"r2.ccf", "[Settings]\r\nSampleRate=32000\r\nCenter=1000\r\n");
    Load(odd);
    EXPECT_EQ(frame->CurrentSettings().sampleRate, 32000);
    EXPECT_EQ(rows().ReadIndex(settings::kSampleRate), 3);  // the previous choice stays
    EXPECT_EQ(frame->Spectrum().startFrequency, 0);
    EXPECT_EQ(frame->Spectrum().endFrequency, 16000);
    EXPECT_EQ(frame->Spectrum().centerFrequency, 1000.0);
    Save(odd);
    EXPECT_EQ(Key(odd, L"SampleRate"), L"32000");

    // Zero and negative rates are kept and saved but divide nothing.
    for (const char* rate : {"0", "-8000"}) {
        const std::wstring path = FileWith(L"r0.ccf", std::string("[Settings]\r\nSampleRate=") + rate + "\r\n");
        Load(path);
        EXPECT_EQ(frame->CurrentSettings().sampleRate, std::atoi(rate));
        EXPECT_EQ(rows().ReadIndex(settings::kSampleRate), 3);
        EXPECT_EQ(frame->Spectrum().centerFrequency, 2000.0);
        ::RedrawWindow(guitest::FindChild(frame->hwnd(), IDC_SPECTRUM), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        Save(path);
        EXPECT_EQ(Key(path, L"SampleRate"), std::wstring(rate, rate + std::strlen(rate)));
    }
    EXPECT_TRUE(::IsWindow(frame->hwnd()));
}

TEST_F(ConfigTest, SoundCardPartOfADescriptionSelectsTheFirstMatch) {
    const int count = frame->CaptureDevices().Count();
    if (count == 0) GTEST_SKIP() << "no capture device in the test bed";
    const std::wstring word = FirstWord(frame->CaptureDevices().Name(0));
    rows().WriteIndex(settings::kSoundCard, count - 1);
    const std::wstring path = PathOf(L"dev.ccf");
    ::WritePrivateProfileStringW(L"Settings", L"SoundCard", word.c_str(), path.c_str());
    Load(path);
    EXPECT_EQ(rows().ReadIndex(settings::kSoundCard), 0);

    // Nothing matches: the selection stays.
    rows().WriteIndex(settings::kSoundCard, count - 1);
    ::WritePrivateProfileStringW(L"Settings", L"SoundCard", L"No such device \x263A", path.c_str());
    Load(path);
    EXPECT_EQ(rows().ReadIndex(settings::kSoundCard), count - 1);
    // Case counts.
    std::wstring lower = word;
    for (auto& c : lower) c = static_cast<wchar_t>(std::towlower(c));
    if (lower != word && !std::wcsstr(frame->CaptureDevices().Name(count - 1), lower.c_str())) {
        ::WritePrivateProfileStringW(L"Settings", L"SoundCard", lower.c_str(), path.c_str());
        Load(path);
        EXPECT_EQ(rows().ReadIndex(settings::kSoundCard), count - 1);
    }
}

TEST_F(ConfigTest, SaveThenLoadReproducesEveryRow) {
    if (frame->CaptureDevices().Count() > 1) rows().WriteIndex(settings::kSoundCard, 1);
    rows().WriteIndex(settings::kSampleRate, 5);
    guitest::RowChanged(frame->hwnd(), frame->Rows().ValueItem(settings::kSampleRate));
    frame->Spectrum().centerFrequency = 1500.75;
    guitest::SpectrumClicked(frame->hwnd());
    rows().WriteIndex(settings::kCardChannel, 1);
    bool on = false;
    for (int r = 0; r < settings::kRowCount; ++r) {
        const auto row = static_cast<Row>(r);
        if (settings::Rows()[r].kind == settings::Kind::Check) rows().WriteBool(row, on = !on);
        const settings::Kind kind = settings::Rows()[r].kind;
        if (kind == settings::Kind::Directory || kind == settings::Kind::Text || kind == settings::Kind::SaveFile ||
            kind == settings::Kind::Sound)
            rows().WriteText(row, L"C:\\dir " + std::to_wstring(r));
        if (row == settings::kAlertFilter) rows().WriteText(row, L"les=" + std::to_wstring(r));
        if (row == settings::kAlertProgram) rows().WriteText(row, L"");  // another program asks first
        if (kind == settings::Kind::Choice) rows().WriteIndex(row, 2);
        if (row == settings::kHomePosition) rows().WriteText(row, L"50-22.0N 004-08.5W");
    }
    const std::wstring path = PathOf(L"round.ccf");
    Save(path);
    frame->Spectrum().centerFrequency = 1500;  // what the file holds
    guitest::SpectrumClicked(frame->hwnd());
    const Snapshot saved = Take();

    // Scramble, then load.
    rows().WriteIndex(settings::kSoundCard, 0);
    rows().WriteIndex(settings::kSampleRate, 0);
    guitest::RowChanged(frame->hwnd(), frame->Rows().ValueItem(settings::kSampleRate));
    rows().WriteIndex(settings::kCardChannel, 2);
    for (int r = 0; r < settings::kRowCount; ++r) {
        const auto row = static_cast<Row>(r);
        if (settings::Rows()[r].kind == settings::Kind::Check) rows().WriteBool(row, !rows().ReadBool(row));
        const settings::Kind kind = settings::Rows()[r].kind;
        if (kind == settings::Kind::Directory || kind == settings::Kind::Text || kind == settings::Kind::SaveFile ||
            kind == settings::Kind::Sound)
            rows().WriteText(row, L"");
        if (kind == settings::Kind::Choice) rows().WriteIndex(row, 0);
    }
    ASSERT_FALSE(Take() == saved);
    Load(path);
    const Snapshot loaded = Take();
    EXPECT_EQ(loaded.cells, saved.cells);
    EXPECT_EQ(loaded.rate, 96000);
    EXPECT_EQ(loaded.centre, 1500.0);
    EXPECT_EQ(frame->Spectrum().pointerFrequency, 1500.0);
}

TEST_F(ConfigTest, SaveKeepsOtherSectionsAndKeysInPlace) {
    const std::wstring path = FileWith(
        L"mixed.ccf", "[Before]\r\nA=1\r\n[Settings]\r\nOwn=kept\r\nSampleRate=8000\r\n[After]\r\nB=2\r\n");
    Save(path);
    const std::wstring text = Text(path);
    const auto at = [&](const wchar_t* s) { return text.find(s); };
    ASSERT_NE(at(L"[Before]"), std::wstring::npos);
    EXPECT_LT(at(L"[Before]"), at(L"A=1"));
    EXPECT_LT(at(L"A=1"), at(L"[Settings]"));
    EXPECT_LT(at(L"[Settings]"), at(L"Own=kept"));
    EXPECT_LT(at(L"Own=kept"), at(L"SampleRate=48000"));
    EXPECT_LT(at(L"SampleRate=48000"), at(L"Center=2000"));  // replaced in place, new keys after it
    EXPECT_LT(at(L"LogDir="), at(L"[After]"));
    EXPECT_LT(at(L"[After]"), at(L"B=2"));
    EXPECT_EQ(text.find(L"SampleRate=8000"), std::wstring::npos);
    EXPECT_EQ(Key(path, L"A", L"Before"), L"1");
    EXPECT_EQ(Key(path, L"B", L"After"), L"2");
}

TEST_F(ConfigTest, NewFileIsUnicodeAndHoldsTheKeysInWriteOrder) {
    const std::wstring path = PathOf(L"new.ccf");
    Save(path);
    const std::string bytes = Bytes(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xFE);
    const wchar_t* device = frame->CaptureDevices().Name(rows().ReadIndex(settings::kSoundCard));
    std::wstring expected = L"[Settings]\r\nSampleRate=48000\r\nCenter=2000\r\n";
    if (device) expected += L"SoundCard=" + std::wstring(device) + L"\r\n";
    expected +=
        L"CardChannel=0\r\nUpdChk=1\r\nFileEGC=0\r\nFileMsg=0\r\nFileRaw=0\r\nTarEGC=0\r\nTarMsg=0\r\nTarRaw=0\r\n"
        L"HideDecWnd=1\r\nDisableFFT=0\r\nLogOut=0\r\nLogOutFlt=0\r\nFileDir=\r\nTarDir=\r\nLogDir=\r\n"
        // the keys added later, after the eighteen
        L"AutoRestart=0\r\nLogLines=10000\r\nLogDaily=0\r\nStoreFile=vastrel-messages.db\r\nKeepRecords=7\r\n"
        L"KeepMessages=0\r\nFeedTo=\r\nFeedStation=\r\nFeedAll=0\r\nHomePosition=\r\nSilenceRestart=0\r\n"
        L"AlertFilter=priority>=urgency\r\nAlertSound=Warning\r\nAlertProgram=\r\nTrayOnMinimise=0\r\n";
    EXPECT_EQ(Text(path), expected);
}

TEST_F(ConfigTest, NonAsciiFolderAndValuesSurvive) {
    const std::wstring folder = SubDir(L"Donn\u00e9es");
    dirs.push_back(folder + L"\\\u03a9mega");
    ::CreateDirectoryW(dirs.back().c_str(), nullptr);
    const std::wstring path = dirs.back() + L"\\r\u00e9glages.ccf";
    made.push_back(path);
    const std::wstring logDir = L"C:\\\u65e5\u672c\\\u0416urnal";
    rows().WriteText(settings::kTarLogDir, logDir);
    rows().WriteBool(settings::kFileLogRaw, true);
    Save(path);
    rows().WriteText(settings::kTarLogDir, L"");
    rows().WriteBool(settings::kFileLogRaw, false);
    Load(path);
    EXPECT_EQ(rows().ReadText(settings::kTarLogDir), logDir);
    EXPECT_TRUE(rows().ReadBool(settings::kFileLogRaw));
}

TEST_F(ConfigTest, WithoutCaptureDevicesSaveDropsTheDeviceKey) {
    const std::wstring path = FileWith(L"nodev.ccf", "[Settings]\r\nSoundCard=Old card\r\n");
    frame->CaptureDevices().Clear();
    Save(path);
    EXPECT_EQ(Key(path, L"SoundCard"), L"<missing>");
    EXPECT_EQ(Key(path, L"SampleRate"), L"48000");
    const int before = rows().ReadIndex(settings::kSoundCard);
    Load(FileWith(L"dev.ccf", "[Settings]\r\nSoundCard=\r\n"));
    Load(path);
    EXPECT_EQ(rows().ReadIndex(settings::kSoundCard), before);
}
