#include <string>
#include "sim_traffic.h"

#include <cstdio>

namespace sim {
namespace {

const char* const kLesIds[] = {"121", "102", "044", "112", "305"};

// Safety broadcasts of our own making; the wording follows the usual layout of such messages.
const char* const kMessages[] = {
    "SECURITE\nNAVAREA I 214/26\nNORTH SEA. DATA BUOY ADRIFT IN 55-48N 003-12E AT 061400 UTC.\n"
    "MARINERS REQUESTED TO KEEP WELL CLEAR AND REPORT SIGHTINGS.\nNNNN\n",
    "PAN PAN\nMETAREA III GALE WARNING 031\nWESTERN MEDITERRANEAN: NORTHWEST 8, LOCALLY 9 LATER.\n"
    "SEA STATE ROUGH TO VERY ROUGH. VISIBILITY MODERATE.\nNNNN\n",
    "SECURITE\nNAVAREA XI 0877/26\nSOUTH CHINA SEA. SURVEY VESSEL WORKING NEAR 12-05N 109-40E\n"
    "WITH TOWED ARRAY 3 MILES ASTERN. WIDE BERTH REQUESTED.\nCANCEL THIS MSG 151200 UTC.\nNNNN\n",
    "SECURITE\nMETAREA XIX ICE REPORT\nISOLATED GROWLERS SIGHTED 62-30N 041-10W AT 050900 UTC.\nNNNN\n",
    "SECURITE\nNAVAREA IV 0412/26\nCARIBBEAN SEA. LIGHT ON PUNTA VERDE 18-12N 066-31W UNLIT.\nNNNN\n",
    // A later warning that cancels the first one, an area and a circle, and the coordinator's weekly
    // list of what is in force (naming two warnings this stream never sends).
    "SECURITE\nNAVAREA I 221/26\nNORTH SEA. GERMAN BIGHT.\n"
    "1. HAZARDOUS OPERATIONS 081400Z TO 091800Z DEC IN AREA BOUNDED BY:\n"
    "   54-10.0N 007-20.0E, 54-15.0N 007-40.0E, 54-05.0N 007-45.0E, 54-00.0N 007-25.0E.\n"
    "2. CANCEL NAVAREA I 214/26.\n3. CANCEL THIS MSG 091900Z DEC 26.\nNNNN\n",
    "SECURITE\nNAVAREA III 0634/26\nWESTERN MEDITERRANEAN. GULF OF LION.\n"
    "ROCKET LAUNCHING 101000Z TO 101400Z DEC WITHIN 5 NM RADIUS OF 43-05.2N 004-10.8E.\n"
    "CANCEL THIS MSG 101500Z DEC 26.\nNNNN\n",
    "SECURITE\nNAVAREA I WARNINGS IN FORCE AT 081000 UTC DEC 26:\n2025 SERIES: 188.\n"
    "2026 SERIES: 205, 219, 221.\nNNNN\n",
};

const char* const kFrameTypes[] = {"bulletin board", "signalling channel descriptor", "LES TDM",
                                   "network update", "EGC packet"};

}  // namespace

LiveTraffic::LiveTraffic(double centerHz, std::uint32_t seed)
    : centerHz_(centerHz), rng_(seed), frame_(rng_() % 10000), les_(kLesIds[rng_() % 5]) {}

std::string LiveTraffic::Header(int category) const {
    char buf[16];
    std::snprintf(buf, sizeof buf, "L%d%s%04u", category, les_.c_str(), frame_ % 10000);
    return buf;
}

void LiveTraffic::BuildFrame() {
    std::vector<std::string> frame;
    char text[256];

    std::snprintf(text, sizeof text, "Frame %04u: %s, 10368 symbols, %u bit errors\n", frame_ % 10000,
                  kFrameTypes[rng_() % 5], static_cast<unsigned>(rng_() % 12));
    frame.push_back(Header(0) + text);

    double jitter = (static_cast<double>(rng_() % 2001) - 1000.0) / 1000.0;  // +-1 Hz at the carrier
    double reported = (centerHz_ + jitter) * 10240.0 / 10368.0;
    std::snprintf(text, sizeof text, "LES %s frame %04u frequency: %.1f\n", les_.c_str(), frame_ % 10000, reported);
    frame.push_back(Header(2) + text);

    // Five to seven bulletin-board contents: with the rest, about nine records a frame, as on the air.
    unsigned contents = 5 + rng_() % 3;
    for (unsigned i = 0; i < contents; ++i) {
        std::snprintf(text, sizeof text, "Bulletin board: channel %u, %u stations, random access slots %u\n",
                      static_cast<unsigned>(rng_() % 16), 3 + static_cast<unsigned>(rng_() % 20),
                      static_cast<unsigned>(rng_() % 8));
        frame.push_back(Header(1) + text);
    }
    if (rng_() % 3 == 0) {
        std::snprintf(text, sizeof text, "Unknown packet 0x%02X, %u bytes\n", static_cast<unsigned>(rng_() % 256),
                      8 + static_cast<unsigned>(rng_() % 120));
        frame.push_back(Header(3) + text);
    }
    if (rng_() % 4 == 0) {
        std::snprintf(text, sizeof text, "Demodulator: level %d dB, lock held\n", -20 + static_cast<int>(rng_() % 15));
        frame.push_back(Header(4) + text);
    }
    if (rng_() % 4 == 0) {
        frame.push_back(Header(5) + kMessages[messageCounter_++ % (sizeof kMessages / sizeof kMessages[0])]);
    }
    spacingMs_ = kFrameMs / static_cast<unsigned>(frame.size());
    pending_.assign(frame.rbegin(), frame.rend());
}

TrafficItem LiveTraffic::Next() {
    TrafficItem item;
    // A record waits for the slot of the record before it, so each frame fills its 8.64 s.
    item.delayMs = first_ ? 0 : spacingMs_;
    if (pending_.empty()) {
        if (!first_) {
            ++frame_;
            if (rng_() % 50 == 0) les_ = kLesIds[rng_() % 5];
        }
        BuildFrame();
    }
    first_ = false;
    item.record = std::move(pending_.back());
    pending_.pop_back();
    return item;
}

std::string FloodRecord(std::uint64_t index, std::size_t bytes) {
    if (bytes < 10) bytes = 10;
    int category = static_cast<int>(index % 6);
    char head[16];
    std::snprintf(head, sizeof head, "L%d121%04u", category, static_cast<unsigned>(index % 10000));
    std::string r = head;
    // The running number lets a reader check that nothing was lost or reordered.
    r += "#" + std::to_string(index) + " ";
    if (category == 2) r += "frequency: 1975.3 ";
    static const char filler[] = "FLOOD TEST RECORD ";
    for (std::size_t i = 0; r.size() < bytes - 1; ++i) r.push_back(filler[i % (sizeof filler - 1)]);
    r.resize(bytes - 1);
    r.push_back('\n');
    return r;
}

std::string LongRecord(std::size_t bytes) {
    std::string r = "L11210001";
    for (std::size_t i = 0; r.size() < bytes; ++i) r.push_back(static_cast<char>('A' + i % 26));
    r.resize(bytes < 10 ? 10 : bytes);
    return r;
}

std::string Garbage(std::size_t count, std::uint32_t seed) {
    std::minstd_rand rng(seed ? seed : 1);
    std::string out(count, '\0');
    for (auto& c : out) c = static_cast<char>(rng() & 0xFF);
    return out;
}

}  // namespace sim
