// Loading and saving configuration files through the real main window: what the rows show after a
// file and after a missing one, the working rate, a round trip, the file a save writes, files that
// are no configuration files, and a loaded run-on-alert program. (Each key's rule: settings_model.)
#include <utility>

#include "config_fixture.h"

using namespace settings;

TEST_F(ConfigTest, LoadShowsTheFileInTheRowsAndTheDisplayFollowsItsRate) {
    const std::wstring file = FileWith(L"some.ccf", "[Settings]\r\nSampleRate=44100\r\nCenter=1000.9\r\nCardChannel=2\r\n"
                                                    "HideDecWnd=0\r\nLogLines=100000\r\nStoreFile=C:\\radio\\store.db\r\n");
    const std::pair<Row, const wchar_t*> cases[] = {
        {kSampleRate, L"44100 Hz"}, {kCenterFrequency, L"1000 Hz"},  // the leading integer of "1000.9"
        {kCardChannel, L"Right channel"}, {kHideDecoderWindow, L"off"}, {kCheckForUpdates, L"off"},  // a key not in the file
        {kLogLinesKept, L"100,000"}, {kStoreFile, L"C:\\radio\\store.db"}};
    Load(file);
    for (const auto& [row, shown] : cases) EXPECT_EQ(Shown(row), shown) << "row " << row;
    EXPECT_EQ(frame->Spectrum().endFrequency, 22050);
    EXPECT_EQ(frame->Spectrum().pointerFrequency, 1000.0);
    // A rate the list does not hold is the working rate; the row keeps the last choice; a save keeps it.
    const std::wstring odd = FileWith(L"odd.ccf", "[Settings]\r\nSampleRate=32000\r\nCenter=1000\r\n");
    Load(odd);
    EXPECT_EQ(Shown(kSampleRate), L"44100 Hz");
    EXPECT_EQ(frame->Spectrum().endFrequency, 16000);
    Save(odd);
    EXPECT_EQ(Key(odd, L"SampleRate"), L"32000");
}

TEST_F(ConfigTest, SaveThenLoadGivesEverySettingBackAndTheFileIsUnicode) {
    Settings saved{.soundCard = frame->CaptureDevices().Count() > 1 ? 1 : 0, .sampleRate = 96000, .cardChannel = 1,
                   .centerFrequency = 1500, .checkForUpdates = false, .hideDecoderWindow = false,
                   .disableFftWhileDecoding = true, .fileLogDir = L"C:\\\u65e5\u672c\\\u0416urnal", .fileLogEgc = true,
                   .tarLogDir = L"C:\\tar", .tarLogRaw = true, .decoderLogDir = L"C:\\out", .decoderTextLog = true,
                   .autoRestart = true, .logLinesKept = 0, .logDaily = true, .storeFile = L"C:\\no\\st\u00f6re.db",
                   .keepRecordDays = 365, .keepMessageDays = 1, .feedTo = L"[::1]:5556", .feedStation = L"North Sea",
                   .feedAll = true, .homePosition = L"33-55S 018-25E", .silenceRestartMinutes = 30,
                   .alertFilter = L"dist<=100", .alertSound = L"None", .trayOnMinimise = true};
    frame->ApplySettings(saved);
    ASSERT_EQ(frame->CurrentSettings(), saved);
    const std::wstring folder = PathOf(L"Donn\u00e9es");  // a new file in a folder whose name is no ASCII
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\r\u00e9glages.ccf";
    Save(path);
    frame->ApplySettings(StartupSettings());
    Load(path);
    EXPECT_EQ(frame->CurrentSettings(), saved);
    EXPECT_EQ(guitest::ReadFileBytes(path).substr(0, 2), "\xFF\xFE");  // UTF-16, so that the folder names survive
    // Another section and keys of the program's section that it does not know stay.
    const std::wstring mixed = FileWith(L"mixed.ccf", "[Before]\r\nA=1\r\n[Settings]\r\nOwn=kept\r\nSampleRate=8000\r\n");
    Save(mixed);
    EXPECT_EQ(Key(mixed, L"A", L"Before"), L"1");
    EXPECT_EQ(Key(mixed, L"Own"), L"kept");
    EXPECT_EQ(Key(mixed, L"SampleRate"), L"96000");
}

// (What the profile reader makes of other broken files is the system's; every value it can give is
// tested natively.)
TEST_F(ConfigTest, OverlongZeroRateAndUnreadableFilesLeaveDefinedValues) {
    Load(FileWith(L"long.ccf", "[Settings]\r\nFileDir=" + std::string(10000, 'd') + "\r\nLogOut=1\r\n"));
    EXPECT_EQ(Shown(kFileLogDir), std::wstring(255, L'd'));  // cut, and the keys after it are still read
    EXPECT_EQ(Shown(kDecoderTextLog), L"on");
    Load(FileWith(L"zero.ccf", "[Settings]\r\nSampleRate=0\r\n"));
    ::RedrawWindow(frame->hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);  // divides by no rate
    EXPECT_EQ(frame->Spectrum().centerFrequency, 2000.0);
    const std::wstring nowhere = dir + L"\\no\\such\\folder\\x.ccf";
    Load(nowhere);  // reads as an empty file
    EXPECT_EQ(frame->CurrentSettings().sampleRate, 48000);
    Save(nowhere);  // fails quietly
    EXPECT_EQ(::GetFileAttributesW(nowhere.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ConfigTest, ALoadedRunOnAlertIsNamedFirstAndNoKeepsTheOneInForce) {
    rows().WriteText(kAlertProgram, L"notify.exe --quiet");
    const std::wstring path =
        FileWith(L"other.ccf", "[Settings]\r\nAlertProgram=C:\\tools\\post.exe --to \"x y\"\r\nFeedStation=Elsewhere\r\n");
    guitest::MessageBoxWatcher boxes;
    boxes.AnswerWithDefault(true);
    Load(path);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_NE(boxes.boxes()[0].text.find(L"C:\\tools\\post.exe --to \"x y\""), std::wstring::npos);
    EXPECT_EQ(boxes.boxes()[0].answer, IDNO);  // the default button
    EXPECT_EQ(Shown(kAlertProgram), L"notify.exe --quiet");
    EXPECT_EQ(Shown(kFeedStation), L"Elsewhere");  // the rest is loaded
    // The same program as in force, or none, asks nothing.
    rows().WriteText(kAlertProgram, L"C:\\tools\\post.exe --to \"x y\"");
    Load(path);
    Load(FileWith(L"none.ccf", "[Settings]\r\nAlertProgram=\r\n"));
    EXPECT_EQ(boxes.count(), 1u);
    EXPECT_EQ(Shown(kAlertProgram), L"");
}
