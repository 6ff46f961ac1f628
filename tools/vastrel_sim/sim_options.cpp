#include "sim_options.h"

#include <cmath>
#include <cwchar>

namespace sim {
namespace {

bool StartsWith(const std::wstring& s, const wchar_t* prefix) { return s.rfind(prefix, 0) == 0; }

bool ValidLetters(const std::wstring& letters) {
    return letters.find_first_not_of(L"emr") == std::wstring::npos;
}

bool ValidName(const std::wstring& name) {
    if (name.empty()) return false;
    for (wchar_t c : name) {
        bool ok = (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_' ||
                  c == L'-';
        if (!ok) return false;
    }
    return true;
}

}  // namespace

bool ParseSimArguments(const std::vector<std::wstring>& args, SimOptions& out, std::wstring& error) {
    out = SimOptions{};
    bool haveF = false, haveDevice = false, haveChannel = false, haveP = false;
    bool haveDf = false, haveDt = false;
    auto fail = [&](const std::wstring& why, const std::wstring& arg) {
        error = why + L": \"" + arg + L"\"";
        return false;
    };
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        if (StartsWith(a, L"-f")) {
            if (haveF) return fail(L"repeated option", a);
            std::wstring number = a.substr(2);
            wchar_t* end = nullptr;
            double v = std::wcstod(number.c_str(), &end);
            if (number.empty() || *end != 0 || !std::isfinite(v)) return fail(L"bad frequency", a);
            out.centerFrequency = v;
            haveF = true;
        } else if (StartsWith(a, L"-c")) {
            if (!haveDevice) {
                out.device = a.substr(2);
                haveDevice = true;
            } else if (!haveChannel && (a == L"-cL" || a == L"-cR")) {
                out.channel = a == L"-cL" ? 1 : 2;
                haveChannel = true;
            } else {
                return fail(L"unexpected channel option", a);
            }
        } else if (a == L"-n") {
            if (out.noUpdateCheck) return fail(L"repeated option", a);
            out.noUpdateCheck = true;
        } else if (StartsWith(a, L"-df") || StartsWith(a, L"-dt")) {
            bool file = a[2] == L'f';
            bool& seen = file ? haveDf : haveDt;
            if (seen) return fail(L"repeated option", a);
            if (a.size() == 3) return fail(L"missing directory", a);
            (file ? out.fileLogDir : out.tarLogDir) = a.substr(3);
            seen = true;
        } else if (StartsWith(a, L"-l") || StartsWith(a, L"-t")) {
            bool file = a[1] == L'l';
            bool& seen = file ? out.fileLog : out.tarLog;
            std::wstring letters = a.substr(2);
            if (seen) return fail(L"repeated option", a);
            if (letters.empty() || !ValidLetters(letters)) return fail(L"logging letters must be e, m or r", a);
            (file ? out.fileLogLetters : out.tarLogLetters) = letters;
            seen = true;
        } else if (a == L"-h") {
            if (out.hide) return fail(L"repeated option", a);
            out.hide = true;
        } else if (StartsWith(a, L"-p")) {
            if (haveP) return fail(L"repeated option", a);
            out.instanceName = a.substr(2);
            if (!ValidName(out.instanceName)) return fail(L"bad instance name", a);
            haveP = true;
        } else {
            return fail(L"unknown option", a);
        }
    }
    if (!haveP) {
        error = L"missing -p<instance name>";
        return false;
    }
    return true;
}

}  // namespace sim
