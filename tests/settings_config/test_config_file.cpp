// Loading and saving configuration files through the real main window: what the rows show after a
// file and after a missing one, the working rate, a whole round trip, and the file a save writes.
// (Each key's text rule is tested natively in settings_model; here the window's wiring.)
#include <utility>

#include "config_fixture.h"

using namespace settings;

TEST_F(ConfigTest, LoadShowsTheFileInTheRowsAndAMissingFileGivesTheMissingValues) {
    const std::wstring file = FileWith(L"full.ccf",
                                       "[Settings]\r\nSampleRate=44100\r\nCenter=1000.9\r\nCardChannel=2\r\nUpdChk=5\r\n"
                                       "HideDecWnd=0\r\nTarMsg=-3\r\nTarDir=D:\\tar\r\nLogLines=100000\r\n"
                                       "KeepMessages=30\r\nStoreFile=C:\\radio\\store.db\r\nFeedTo=127.0.0.1:5555\r\n"
                                       "HomePosition=50-22.0N 004-08.5W\r\nSilenceRestart=5\r\n"
                                       "AlertFilter=priority>=safety\r\nAlertSound=None\r\n");
    const struct {
        Row row;
        const wchar_t* fromFile;
        const wchar_t* fromMissingFile;
    } cases[] = {
        {kSampleRate, L"44100 Hz", L"48000 Hz"},
        {kCenterFrequency, L"1000 Hz", L"2000 Hz"},  // the leading integer of "1000.9"
        {kCardChannel, L"Right channel", L"Mono"},
        {kCheckForUpdates, L"on", L"off"},  // on at start-up, off in a file without the key
        {kHideDecoderWindow, L"off", L"on"},
        {kTarLogMessages, L"on", L"off"},
        {kFileLogEgc, L"off", L"off"},
        {kTarLogDir, L"D:\\tar", L""},
        {kLogLinesKept, L"100,000", L"10,000"},
        {kKeepRecords, L"7 days", L"7 days"},
        {kKeepMessages, L"30 days", L"Forever"},
        {kStoreFile, L"C:\\radio\\store.db", L"vastrel-messages.db"},
        {kFeedTo, L"127.0.0.1:5555", L""},
        {kHomePosition, L"50-22.0N 004-08.5W", L""},
        {kSilenceRestart, L"5 min", L"Off"},
        {kAlertFilter, L"priority>=safety", L"priority>=urgency"},
        {kAlertSound, L"None", L"Warning"},
    };
    Load(file);
    for (const auto& c : cases) EXPECT_EQ(Shown(c.row), c.fromFile) << "row " << c.row;
    EXPECT_EQ(frame->CurrentSettings().sampleRate, 44100);
    EXPECT_EQ(frame->Spectrum().endFrequency, 22050);
    EXPECT_EQ(frame->Spectrum().centerFrequency, 1000.0);
    EXPECT_EQ(frame->Spectrum().pointerFrequency, 1000.0);

    Load(PathOf(L"absent.ccf"));
    for (const auto& c : cases) EXPECT_EQ(Shown(c.row), c.fromMissingFile) << "row " << c.row;
    EXPECT_EQ(frame->CurrentSettings().sampleRate, 48000);
    EXPECT_EQ(frame->Spectrum().endFrequency, 24000);
    EXPECT_EQ(frame->Spectrum().centerFrequency, 2000.0);

    // A rate the list does not hold is the working rate; the row keeps the last choice; a save keeps it.
    const std::wstring odd = FileWith(L"odd.ccf", "[Settings]\r\nSampleRate=32000\r\nCenter=1000\r\n");
    Load(odd);
    EXPECT_EQ(frame->CurrentSettings().sampleRate, 32000);
    EXPECT_EQ(Shown(kSampleRate), L"48000 Hz");
    EXPECT_EQ(frame->Spectrum().endFrequency, 16000);
    EXPECT_EQ(frame->Spectrum().centerFrequency, 1000.0);
    Save(odd);
    EXPECT_EQ(Key(odd, L"SampleRate"), L"32000");
}

TEST_F(ConfigTest, SaveThenLoadGivesEverySettingBackAndTheFileIsUnicode) {
    const int devices = frame->CaptureDevices().Count();
    Settings saved{.soundCard = devices > 1 ? 1 : 0, .sampleRate = 96000, .cardChannel = 1, .centerFrequency = 1500,
                   .checkForUpdates = false, .hideDecoderWindow = false, .disableFftWhileDecoding = true,
                   .fileLogDir = L"C:\\\u65e5\u672c\\\u0416urnal", .fileLogEgc = true, .fileLogMessages = true,
                   .fileLogRaw = true, .tarLogDir = L"C:\\tar", .tarLogEgc = true, .tarLogMessages = true,
                   .tarLogRaw = true, .decoderLogDir = L"C:\\out", .decoderTextLog = true,
                   .decoderLogUseFilter = true, .autoRestart = true, .logLinesKept = 0, .logDaily = true,
                   .storeFile = L"C:\\no-such-folder\\st\u00f6re.db", .keepRecordDays = 365, .keepMessageDays = 1,
                   .feedTo = L"[::1]:5556", .feedStation = L"North Sea", .feedAll = true,
                   .homePosition = L"33-55S 018-25E", .silenceRestartMinutes = 30,
                   .alertFilter = L"dist<=100", .alertSound = L"None", .alertProgram = L"", .trayOnMinimise = true};
    frame->ApplySettings(saved);
    ASSERT_EQ(frame->CurrentSettings(), saved);
    // A new file in a folder whose name is no ASCII.
    const std::wstring folder = SubDir(L"Donn\u00e9es");
    const std::wstring path = folder + L"\\r\u00e9glages.ccf";
    made.push_back(path);
    Save(path);
    frame->ApplySettings(StartupSettings());
    Load(path);
    EXPECT_EQ(frame->CurrentSettings(), saved);

    const std::string bytes = guitest::ReadFileBytes(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");  // UTF-16, so that the folder names survive
    // Another section and keys of the program's section that it does not know stay.
    const std::wstring mixed = FileWith(L"mixed.ccf", "[Before]\r\nA=1\r\n[Settings]\r\nOwn=kept\r\nSampleRate=8000\r\n");
    Save(mixed);
    EXPECT_EQ(Key(mixed, L"A", L"Before"), L"1");
    EXPECT_EQ(Key(mixed, L"Own"), L"kept");
    EXPECT_EQ(Key(mixed, L"SampleRate"), L"96000");
    // Without a capture device the device key goes rather than naming some other card next time.
    const std::wstring nodev = FileWith(L"nodev.ccf", "[Settings]\r\nSoundCard=Old card\r\n");
    audio::CaptureDeviceList& list = frame->CaptureDevices();
    std::vector<std::pair<audio::CaptureDeviceId, std::wstring>> kept;
    for (int i = 0; i < list.Count(); ++i) kept.emplace_back(*list.Id(i), list.Name(i));
    list.Clear();
    Save(nodev);
    for (const auto& [id, name] : kept) list.Add(id, name.c_str());
    EXPECT_EQ(Key(nodev, L"SoundCard"), L"<missing>");
    EXPECT_EQ(Key(nodev, L"Center"), L"1500");
}

TEST_F(ConfigTest, ALoadedRunOnAlertIsNamedFirstAndNoKeepsTheOneInForce) {
    rows().WriteText(kAlertProgram, L"notify.exe --quiet");
    const std::wstring path =
        FileWith(L"other.ccf", "[Settings]\r\nAlertProgram=C:\\tools\\post.exe --to \"x y\"\r\nFeedStation=Elsewhere\r\n");
    guitest::MessageBoxWatcher boxes;
    boxes.AnswerWithDefault(true);
    Load(path);
    ASSERT_EQ(boxes.count(), 1u);
    const auto box = boxes.boxes()[0];
    EXPECT_NE(box.text.find(L"C:\\tools\\post.exe --to \"x y\""), std::wstring::npos);
    EXPECT_EQ(box.answer, IDNO);  // the default button
    EXPECT_EQ(Shown(kAlertProgram), L"notify.exe --quiet");
    EXPECT_EQ(Shown(kFeedStation), L"Elsewhere");  // the rest is loaded
    // The same program as in force, or none, asks nothing.
    rows().WriteText(kAlertProgram, L"C:\\tools\\post.exe --to \"x y\"");
    Load(path);
    Load(FileWith(L"none.ccf", "[Settings]\r\nAlertProgram=\r\n"));
    EXPECT_EQ(boxes.count(), 1u);
    EXPECT_EQ(Shown(kAlertProgram), L"");
}
