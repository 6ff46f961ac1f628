// The reading line: series and number, kind, state, expiry, shapes; a bulletin's missing warnings.
#include "browser/reading_line.h"

#include <cmath>
#include <cstdio>

#include "browser/browser_row.h"

namespace browser {

namespace {

// "DD-MM.m" or "DDD-MM.m" with the hemisphere letter; minutes rounded to a tenth, carried into degrees.
std::string Angle(double value, int degreeDigits, char positive, char negative) {
    const char hemisphere = value < 0 ? negative : positive;
    const auto tenths = static_cast<long long>(std::llround(std::fabs(value) * 600.0));  // tenths of a minute
    const long long degrees = tenths / 600;
    const long long minuteTenths = tenths % 600;
    char text[32];
    std::snprintf(text, sizeof text, "%0*lld-%02lld.%lld%c", degreeDigits, degrees, minuteTenths / 10, minuteTenths % 10,
                  hemisphere);
    return text;
}

std::string ShapeText(const ShapeReading& shape) {
    std::string text = shape.kind;
    if (shape.kind == "circle") {
        char radius[32];
        std::snprintf(radius, sizeof radius, " %.1f nm around", shape.radiusNm);
        text += radius;
    }
    for (std::size_t i = 0; i < shape.points.size(); ++i)
        text += (i ? ", " : " ") + FormatPositionDm(shape.points[i].first, shape.points[i].second);
    return text;
}

}  // namespace

std::string FormatPositionDm(double lat, double lon) { return Angle(lat, 2, 'N', 'S') + " " + Angle(lon, 3, 'E', 'W'); }

ReadingLine MakeReadingLine(const MessageReadingInfo& info) {
    ReadingLine line;
    if (!info.read) return line;
    std::string head = WarningName(info.series, info.number, info.year);
    if (head.empty() && info.kind == "other" && info.shapes.empty()) return line;  // nothing read of note
    auto add = [&](std::string& to, const std::string& piece) {
        if (piece.empty()) return;
        if (!to.empty()) to += " | ";
        to += piece;
    };
    std::string& before = line.before;
    add(before, head);
    add(before, info.kind);
    const std::string state = StateText(info.state);
    if (info.state == "cancelled" && info.cancelledBy) {
        add(before, "cancelled by ");
        line.link = info.cancelledByName.empty() ? "message " + std::to_string(info.cancelledBy) : info.cancelledByName;
    } else {
        add(before, state);
    }
    std::string& rest = line.link.empty() ? line.before : line.after;
    if (info.expiresMs) {
        std::string expiry = "expires " + FormatUtc(*info.expiresMs).substr(0, 16) + " UTC";
        if (!line.link.empty()) {
            rest += " | " + expiry;
        } else {
            add(rest, expiry);
        }
    }
    for (const ShapeReading& shape : info.shapes) {
        if (!line.link.empty()) {
            rest += " | " + ShapeText(shape);
        } else {
            add(rest, ShapeText(shape));
        }
    }
    if (info.kind == "bulletin") {
        std::string missing;
        for (const std::string& name : info.missing) missing += (missing.empty() ? "" : ", ") + name;
        add(rest, missing.empty() ? std::string("every warning it lists was received") : "never received: " + missing);
    }
    return line;
}

}  // namespace browser
