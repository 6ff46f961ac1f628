// A message's priority, as stored (0 distress .. 3 routine) and as read from its first line.
#pragma once
#include <optional>
#include <string_view>

namespace messages {

// Stored as these numbers; a lower number is more pressing.
enum class Priority : int { Distress = 0, Urgency = 1, Safety = 2, Routine = 3 };
inline constexpr int kPriorityCount = 4;

// "distress", "urgency", "safety", "routine".
std::string_view PriorityName(Priority p) noexcept;

// The name back (ASCII case-insensitive); nothing for any other word.
std::optional<Priority> PriorityFromName(std::string_view name) noexcept;

// The priority a message's first line (up to the first line feed or carriage return) announces:
// "DISTRESS" or "MAYDAY" give distress, "URGENT" or "PAN PAN" urgency, "SECURITE" or "SAFETY" safety,
// each found anywhere in the line with ASCII case folding; the most pressing one found wins; otherwise
// routine. Bytes beyond ASCII are compared as they are.
Priority PriorityOfText(std::string_view text) noexcept;

}  // namespace messages
