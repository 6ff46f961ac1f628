// A program to run on alerts in tests: it copies what it reads on its standard input into the file
// named by its first argument, then exits with the code its second argument gives (0 without one),
// or, given "hang", runs until it is ended.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    std::string input;
    char buffer[4096];
    DWORD read = 0;
    HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    while (::ReadFile(in, buffer, sizeof buffer, &read, nullptr) && read > 0) input.append(buffer, read);
    HANDLE out = ::CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return 2;
    DWORD written = 0;
    ::WriteFile(out, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    ::CloseHandle(out);
    if (argc > 2 && std::wstring(argv[2]) == L"hang") ::Sleep(INFINITE);
    return argc > 2 ? _wtoi(argv[2]) : 0;
}
