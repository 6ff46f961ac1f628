// A main window created in-process for each test, with a scratch directory for configuration files.
#pragma once
#include "win/file_bytes.h"
#include "win/main_frame_fixture.h"

#include <string>
#include <vector>

class ConfigTest : public MainFrameTest {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        dir = std::wstring(temp) + L"vastrel-config-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
              std::to_wstring(++serial);
        ::CreateDirectoryW(dir.c_str(), nullptr);
        MainFrameTest::SetUp();
    }
    void TearDown() override {
        MainFrameTest::TearDown();
        for (const auto& f : made) ::DeleteFileW(f.c_str());
        for (auto it = dirs.rbegin(); it != dirs.rend(); ++it) ::RemoveDirectoryW(it->c_str());
        ::RemoveDirectoryW(dir.c_str());
    }

    std::wstring PathOf(const std::wstring& name) {
        made.push_back(dir + L"\\" + name);
        return made.back();
    }
    std::wstring SubDir(const std::wstring& name) {
        dirs.push_back(dir + L"\\" + name);
        ::CreateDirectoryW(dirs.back().c_str(), nullptr);
        return dirs.back();
    }
    std::wstring FileWith(const std::wstring& name, const std::string& bytes) {
        const std::wstring path = PathOf(name);
        EXPECT_TRUE(guitest::WriteFileBytes(path, bytes));
        return path;
    }
    static std::string Bytes(const std::wstring& path) { return guitest::ReadFileBytes(path); }
    // The file as text: UTF-16 LE after its mark, otherwise bytes taken one by one.
    static std::wstring Text(const std::wstring& path) {
        const std::string b = Bytes(path);
        std::wstring out;
        if (b.size() >= 2 && static_cast<unsigned char>(b[0]) == 0xFF && static_cast<unsigned char>(b[1]) == 0xFE) {
            for (size_t i = 2; i + 1 < b.size(); i += 2)
                out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(b[i]) |
                                                   (static_cast<unsigned char>(b[i + 1]) << 8)));
        } else {
            for (char c : b) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
        }
        return out;
    }
    static std::wstring Key(const std::wstring& path, const wchar_t* key, const wchar_t* section = L"Settings") {
        wchar_t text[1024] = {};
        ::GetPrivateProfileStringW(section, key, L"<missing>", text, 1024, path.c_str());
        return text;
    }

    void Load(const std::wstring& path) { frame->LoadConfiguration(path.c_str()); }
    void Save(const std::wstring& path) { frame->SaveConfiguration(path.c_str()); }
    SettingsRows& rows() { return frame->Rows(); }

    // Every row and both numbers, for comparing before and after.
    struct Snapshot {
        std::vector<std::wstring> cells;
        int rate = 0;
        double centre = 0;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot Take() {
        Snapshot s;
        for (int r = 0; r < settings::kRowCount; ++r) {
            const auto row = static_cast<settings::Row>(r);
            switch (settings::Rows()[r].kind) {
            case settings::Kind::Check: s.cells.push_back(rows().ReadBool(row) ? L"1" : L"0"); break;
            case settings::Kind::Directory:
            case settings::Kind::Text:
            case settings::Kind::SaveFile:
            case settings::Kind::Sound:
            case settings::Kind::CentreText: s.cells.push_back(rows().ReadText(row)); break;
            default: s.cells.push_back(std::to_wstring(rows().ReadIndex(row))); break;
            }
        }
        s.rate = frame->CurrentSettings().sampleRate;
        s.centre = frame->Spectrum().centerFrequency;
        return s;
    }

    std::wstring dir;
    std::vector<std::wstring> made;
    std::vector<std::wstring> dirs;
    static inline int serial = 0;
};
