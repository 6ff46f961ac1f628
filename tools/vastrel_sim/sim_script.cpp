#include "sim_script.h"

#include <charconv>

namespace sim {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ReadNumber(std::string_view& rest, std::int64_t& value, std::int64_t min, std::int64_t max) {
    std::size_t start = rest.find_first_not_of(" \t");
    if (start == std::string_view::npos) return false;
    rest.remove_prefix(start);
    auto r = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (r.ec != std::errc() || value < min || value > max) return false;
    rest.remove_prefix(static_cast<std::size_t>(r.ptr - rest.data()));
    return rest.empty() || rest[0] == ' ' || rest[0] == '\t';
}

bool OnlyBlanks(std::string_view s) { return s.find_first_not_of(" \t") == std::string_view::npos; }

}  // namespace

bool DecodeEscapes(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\\') {
            out.push_back(c);
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
            case 'n': out.push_back('\n'); break;
            case 'r': out.push_back('\r'); break;
            case 't': out.push_back('\t'); break;
            case '0': out.push_back('\0'); break;
            case '\\': out.push_back('\\'); break;
            case 'x': {
                if (i + 2 >= text.size()) return false;
                int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
                if (hi < 0 || lo < 0) return false;
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                break;
            }
            default: return false;
        }
    }
    return true;
}

bool ParseScript(std::string_view text, Script& out, std::string& error) {
    out = Script{};
    int lineNo = 0;
    while (!text.empty()) {
        std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos || line[start] == '#') continue;
        line.remove_prefix(start);

        std::size_t wordEnd = line.find_first_of(" \t");
        std::string_view word = line.substr(0, wordEnd);
        // The argument is everything after the single blank that ends the word, kept as it is.
        std::string_view rest = wordEnd == std::string_view::npos ? std::string_view() : line.substr(wordEnd + 1);
        auto fail = [&](const char* why) {
            error = "line " + std::to_string(lineNo) + ": " + why;
            return false;
        };

        ScriptStep step;
        step.line = lineNo;
        const std::int64_t big = 1'000'000'000;
        if (word == "nopipe" || word == "noevent" || word == "ignore-stop") {
            if (!OnlyBlanks(rest)) return fail("no argument expected");
            (word == "nopipe" ? out.noPipe : word == "noevent" ? out.noEvent : out.ignoreStop) = true;
            continue;
        } else if (word == "wait-client" || word == "wait-stop") {
            if (!OnlyBlanks(rest)) return fail("no argument expected");
            step.kind = word == "wait-client" ? StepKind::WaitClient : StepKind::WaitStop;
        } else if (word == "record" || word == "raw") {
            step.kind = word == "record" ? StepKind::Record : StepKind::Raw;
            if (!DecodeEscapes(rest, step.bytes)) return fail("bad escape (use \\n \\r \\t \\0 \\\\ \\xNN)");
            if (step.kind == StepKind::Raw && step.bytes.empty()) return fail("raw needs bytes");
        } else if (word == "mark") {
            step.kind = StepKind::Mark;
            step.bytes.assign(rest);
            if (step.bytes.empty()) return fail("mark needs a path");
        } else if (word == "sleep") {
            step.kind = StepKind::Sleep;
            if (!ReadNumber(rest, step.number, 0, big) || !OnlyBlanks(rest)) return fail("expected milliseconds");
        } else if (word == "live") {
            step.kind = StepKind::Live;
            step.size = 1;
            if (!ReadNumber(rest, step.number, 0, big)) return fail("expected milliseconds");
            if (!OnlyBlanks(rest) && (!ReadNumber(rest, step.size, 1, 1000) || !OnlyBlanks(rest)))
                return fail("expected: live <ms> [speed 1..1000]");
        } else if (word == "exit") {
            step.kind = StepKind::Exit;
            if (!ReadNumber(rest, step.number, 0, 0xFFFFFFFFLL) || !OnlyBlanks(rest)) return fail("expected an exit code");
        } else if (word == "flood") {
            step.kind = StepKind::Flood;
            if (!ReadNumber(rest, step.number, 0, big) || !ReadNumber(rest, step.size, 10, 1 << 20) || !OnlyBlanks(rest))
                return fail("expected: flood <count> <bytes per record, at least 10>");
        } else if (word == "garbage" || word == "long") {
            step.kind = word == "garbage" ? StepKind::Garbage : StepKind::Long;
            if (!ReadNumber(rest, step.number, word == "long" ? 10 : 0, 1 << 24) || !OnlyBlanks(rest))
                return fail("expected a byte count");
        } else {
            return fail("unknown command");
        }
        out.steps.push_back(std::move(step));
    }
    return true;
}

}  // namespace sim
