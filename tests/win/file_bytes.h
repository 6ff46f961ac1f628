// Whole files as bytes, for tests that prepare or inspect files.
#pragma once
#include <windows.h>

#include <string>

namespace guitest {

// The file's bytes, also while another writer has it open; empty when it cannot be opened.
inline std::string ReadFileBytes(const std::wstring& path) {
    std::string out;
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return out;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(h, buffer, sizeof(buffer), &got, nullptr) && got) out.append(buffer, got);
    ::CloseHandle(h);
    return out;
}

// Creates or replaces the file with `bytes`; false when it cannot be written in full.
inline bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = bytes.empty() ||
                    (::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                     written == bytes.size());
    ::CloseHandle(h);
    return ok;
}

}  // namespace guitest
