// Files that are not configuration files: defined values, no crash.
#include "config_fixture.h"

#include <random>

TEST_F(ConfigTest, GarbageOverlongAndUnreadableFilesLeaveDefinedValues) {
    std::mt19937 random(7);
    std::string garbage(1 << 16, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    std::string binary = "\xFF\xFE[\0S\0e\0t\0";  // a torn UTF-16 header
    binary.append(3000, '\0');
    const std::wstring overlong =
        FileWith(L"long.ccf", "[Settings]\r\nFileDir=" + std::string(10000, 'd') + "\r\nSoundCard=" +
                                  std::string(10000, 'x') + "\r\nSampleRate=" + std::string(10000, '9') + "\r\nLogOut=1\r\n");
    const std::wstring paths[] = {
        FileWith(L"garbage.ccf", garbage), FileWith(L"binary.ccf", binary),
        FileWith(L"flat.ccf", "[Settings]SampleRate=44100" + std::string(10000, '=')),
        overlong, SubDir(L"a-directory.ccf"), dir + L"\\no\\such\\folder\\x.ccf"};
    for (const std::wstring& path : paths) {
        SCOPED_TRACE(NarrowText(path));
        Load(path);
        ::RedrawWindow(frame->hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        const int rate = frame->CurrentSettings().sampleRate;
        const double centre = frame->Spectrum().centerFrequency;
        EXPECT_TRUE(centre == 2000.0 || (centre >= 0 && rate > 0 && centre <= rate / 2)) << centre;
        const int channel = rows().ReadIndex(settings::kCardChannel);
        EXPECT_TRUE(channel >= 0 && channel <= 2);
        const int rateRow = rows().ReadIndex(settings::kSampleRate);
        EXPECT_TRUE(rateRow >= 0 && rateRow <= 6);
        EXPECT_TRUE(::IsWindow(frame->hwnd()));
    }
    // Texts are cut to 255 characters, and the keys after the long lines are still read.
    Load(overlong);
    EXPECT_EQ(Shown(settings::kFileLogDir), std::wstring(255, L'd'));
    EXPECT_EQ(Shown(settings::kDecoderTextLog), L"on");
    // Zero and negative rates are kept and saved as they are, and the display divides nothing by them.
    for (const wchar_t* rate : {L"0", L"-8000"}) {
        const std::wstring path = PathOf(std::wstring(L"rate") + rate + L".ccf");
        ::WritePrivateProfileStringW(L"Settings", L"SampleRate", rate, path.c_str());
        Load(path);
        ::RedrawWindow(frame->hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        EXPECT_EQ(frame->CurrentSettings().sampleRate, _wtoi(rate));
        EXPECT_EQ(frame->Spectrum().centerFrequency, 2000.0);
        Save(path);
        EXPECT_EQ(Key(path, L"SampleRate"), rate);
    }
    // An unreadable file reads as an empty one; a save to a directory or a missing folder fails quietly.
    Load(paths[5]);
    EXPECT_EQ(frame->CurrentSettings().sampleRate, 48000);
    EXPECT_EQ(Shown(settings::kHideDecoderWindow), L"on");
    Save(paths[4]);
    Save(paths[5]);
    EXPECT_EQ(::GetFileAttributesW(paths[5].c_str()), INVALID_FILE_ATTRIBUTES);
}
