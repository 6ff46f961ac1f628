// Files that are not configuration files: defined values, no crash.
#include "config_fixture.h"

#include <random>

TEST_F(ConfigTest, OverlongValuesAreCutTo255Characters) {
    const std::string longDir(10000, 'd');
    const std::string longDevice(10000, 'x');
    Load(FileWith(L"long.ccf", "[Settings]\r\nFileDir=" + longDir + "\r\nSoundCard=" + longDevice +
                                   "\r\nSampleRate=" + std::string(10000, '9') + "\r\nLogOut=1\r\n"));
    EXPECT_EQ(rows().ReadText(settings::kFileLogDir), std::wstring(255, L'd'));
    EXPECT_TRUE(rows().ReadBool(settings::kDecoderTextLog));  // keys after the long lines are still read
    EXPECT_GE(rows().ReadIndex(settings::kSoundCard), frame->CaptureDevices().Count() ? 0 : -1);
    EXPECT_TRUE(::IsWindow(frame->hwnd()));
}

TEST_F(ConfigTest, GarbageAndUnreadablePathsLeaveDefinedValues) {
    std::mt19937 random(7);
    std::string garbage(1 << 20, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    std::string binary = "\xFF\xFE[\0S\0e\0t\0";  // a torn UTF-16 header
    binary.append(3000, '\0');
    std::string noNewline = "[Settings]SampleRate=44100" + std::string(10000, '=');
    const std::wstring paths[] = {FileWith(L"garbage.ccf", garbage), FileWith(L"binary.ccf", binary),
                                  FileWith(L"flat.ccf", noNewline), SubDir(L"a-directory.ccf"),
                                  dir + L"\\no\\such\\folder\\x.ccf"};
    for (const std::wstring& path : paths) {
        Load(path);
        const int rate = frame->CurrentSettings().sampleRate;
        const double centre = frame->Spectrum().centerFrequency;
        EXPECT_TRUE(centre == 2000.0 || (centre >= 0 && rate > 0 && centre <= rate / 2)) << centre;
        const int channel = rows().ReadIndex(settings::kCardChannel);
        EXPECT_TRUE(channel >= 0 && channel <= 2);
        const int rateRow = rows().ReadIndex(settings::kSampleRate);
        EXPECT_TRUE(rateRow >= 0 && rateRow <= 6);
        ::RedrawWindow(frame->hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    // The unreadable ones read as empty files.
    Load(paths[4]);
    EXPECT_EQ(frame->CurrentSettings().sampleRate, 48000);
    EXPECT_TRUE(rows().ReadBool(settings::kHideDecoderWindow));
    // A save to a directory or a missing folder fails silently.
    Save(paths[3]);
    Save(paths[4]);
    EXPECT_TRUE(::IsWindow(frame->hwnd()));
}
