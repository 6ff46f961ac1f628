// Wide text to UTF-8: every encoded length at its edges, surrogate pairs joined, and lone surrogates
// replaced so that what is stored is always valid UTF-8.
#include <gtest/gtest.h>

#include <string>

#include "decoder/wide_text.h"

namespace {

TEST(WideToUtf8, EncodesEachLengthAndReplacesWhatIsNotText) {
    struct Case {
        std::wstring wide;
        std::string utf8;
    };
    const Case cases[] = {
        {L"", ""},
        {{wchar_t{0x7F}}, "\x7F"},
        {{wchar_t{0x80}}, "\xC2\x80"},
        {{wchar_t{0x7FF}}, "\xDF\xBF"},
        {{wchar_t{0x800}}, "\xE0\xA0\x80"},
        {{wchar_t{0xFFFF}}, "\xEF\xBF\xBF"},
        {L"caf\u00E9 \u20AC", "caf\xC3\xA9 \xE2\x82\xAC"},
        {{wchar_t(0xD83C), wchar_t(0xDF0A)}, "\xF0\x9F\x8C\x8A"},       // a pair: U+1F30A
        {{wchar_t(0xD83C), L'a'}, "\xEF\xBF\xBD" "a"},                 // a high one alone
        {{wchar_t(0xDF0A), wchar_t(0xD83C)}, "\xEF\xBF\xBD\xEF\xBF\xBD"},  // the wrong way round
        {{L'x', wchar_t(0xD83C)}, "x\xEF\xBF\xBD"},                    // cut off at the end
    };
    for (const Case& c : cases) EXPECT_EQ(decoder::WideToUtf8(c.wide), c.utf8) << c.utf8;
}

}  // namespace
