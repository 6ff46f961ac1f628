#include "decoder/argument_split.h"

namespace decoder {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

std::vector<std::wstring> SplitCommandLine(std::wstring_view line) {
    std::vector<std::wstring> args;
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n && IsBlank(line[i])) ++i;
    if (i == n) return args;

    std::wstring program;
    if (line[i] == L'"') {
        ++i;
        while (i < n && line[i] != L'"') program.push_back(line[i++]);
        if (i < n) ++i;
    } else {
        while (i < n && !IsBlank(line[i])) program.push_back(line[i++]);
    }
    args.push_back(std::move(program));

    // Anything right after the program name (without a blank) starts the next argument.
    while (i < n && IsBlank(line[i])) ++i;
    while (i < n) {
        std::wstring arg;
        int quoteCount = 0;      // odd: inside quotes
        std::size_t backslashes = 0;
        while (i < n) {
            wchar_t c = line[i];
            if (IsBlank(c) && quoteCount == 0) break;
            if (c == L'\\') {
                arg.push_back(c);
                ++backslashes;
                ++i;
                continue;
            }
            if (c == L'"') {
                if (backslashes % 2 == 0) {
                    arg.resize(arg.size() - backslashes / 2);
                    ++quoteCount;
                } else {
                    arg.resize(arg.size() - backslashes / 2 - 1);
                    arg.push_back(L'"');
                }
                backslashes = 0;
                ++i;
                // A run of marks: quoteCount counts the opening mark too; every third is literal.
                while (i < n && line[i] == L'"') {
                    if (++quoteCount == 3) {
                        arg.push_back(L'"');
                        quoteCount = 0;
                    }
                    ++i;
                }
                if (quoteCount == 2) quoteCount = 0;
                continue;
            }
            backslashes = 0;
            arg.push_back(c);
            ++i;
        }
        args.push_back(std::move(arg));
        while (i < n && IsBlank(line[i])) ++i;
    }
    return args;
}

}  // namespace decoder
