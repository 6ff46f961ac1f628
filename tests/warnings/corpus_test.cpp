// The reader against corpus.txt: each message, first heard at its block's time, gives exactly the
// expected lines (the corpus's head gives the format).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "warnings/reader.h"

using namespace warnings;

namespace {

struct Block {
    int line = 0;       // where its "===" is, for failure messages
    std::string heard;  // "2022-11-18T12:00Z"
    std::string text;
    std::vector<std::string> expected;
};

std::vector<Block> LoadCorpus() {
    std::ifstream in(WARNINGS_CORPUS, std::ios::binary);
    std::vector<Block> blocks;
    std::string line;
    bool inText = false;
    for (int n = 1; std::getline(in, line); ++n) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("=== ", 0) == 0) {
            blocks.push_back(Block{n, line.substr(4), "", {}});
            inText = true;
        } else if (blocks.empty()) {
            continue;  // the head: format notes
        } else if (inText && line == "---") {
            inText = false;
        } else if (inText) {
            blocks.back().text += (blocks.back().text.empty() ? "" : "\n") + line;
        } else if (!line.empty() && line[0] != '#') {
            blocks.back().expected.push_back(line);
        }
    }
    return blocks;
}

// "2022-11-18T12:00Z" as UTC milliseconds, and back: by the standard calendar, not the reader's own.
std::int64_t ParseTime(const std::string& s) {
    int y = 0;
    unsigned mo = 0, d = 0, h = 0, mi = 0;
    std::sscanf(s.c_str(), "%d-%u-%uT%u:%uZ", &y, &mo, &d, &h, &mi);
    using namespace std::chrono;
    const sys_days day{year{y} / month{mo} / d};
    return duration_cast<milliseconds>(day.time_since_epoch() + hours{h} + minutes{mi}).count();
}

std::string Time(std::int64_t ms) {
    using namespace std::chrono;
    const sys_days day = floor<days>(sys_time<milliseconds>{milliseconds{ms}});
    const year_month_day ymd{day};
    const auto rest = (ms - duration_cast<milliseconds>(day.time_since_epoch()).count()) / 60'000;
    char out[40];
    std::snprintf(out, sizeof out, "%04d-%02u-%02uT%02d:%02dZ", static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                  static_cast<unsigned>(ymd.day()), static_cast<int>(rest / 60), static_cast<int>(rest % 60));
    return out;
}

// Degrees to six places without trailing zeros.
std::string Degrees(double v) {
    char out[32];
    std::snprintf(out, sizeof out, "%.6f", v);
    std::string s = out;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

std::string Key(const WarningKey& k) { return k.series + " " + std::to_string(k.number) + "/" + std::to_string(k.year); }

// The reading in the corpus's own lines.
std::vector<std::string> Lines(const Reading& r) {
    std::vector<std::string> out;
    if (!r.series.empty()) out.push_back("series " + r.series);
    if (r.navarea) out.push_back("navarea " + std::to_string(r.navarea));
    if (r.metarea) out.push_back("metarea " + std::to_string(r.metarea));
    if (r.number) out.push_back("number " + std::to_string(r.number) + "/" + std::to_string(r.year));
    out.push_back("kind " + std::string(KindName(r.kind)));
    for (const Shape& s : r.shapes) {
        std::string line(ShapeKindName(s.kind));
        if (s.kind == ShapeKind::Circle) line += " r" + Degrees(s.radiusNm);
        for (std::size_t i = 0; i < s.points.size(); ++i) {
            line += (i ? " | " : " ") + Degrees(s.points[i].lat) + " " + Degrees(s.points[i].lon);
        }
        out.push_back(line);
    }
    for (const WarningKey& k : r.cancels) out.push_back("cancels " + Key(k));
    if (r.expiresMs) out.push_back("expires " + Time(*r.expiresMs));
    if (r.bulletinMs) out.push_back("bulletin " + Time(*r.bulletinMs));
    for (const WarningKey& k : r.inForce) out.push_back("inforce " + Key(k));
    return out;
}

}  // namespace

TEST(WarningCorpus, EveryMessageReadsAsExpected) {
    const std::vector<Block> blocks = LoadCorpus();
    ASSERT_GE(blocks.size(), 150u) << "corpus not found or short: " << WARNINGS_CORPUS;
    for (const Block& b : blocks) EXPECT_EQ(Lines(Read(b.text, ParseTime(b.heard))), b.expected) << "corpus.txt:" << b.line << "\n" << b.text;
}
