// The key table: for every setting its configuration-file key, its grid row, the field of Settings,
// its text rule, its start-up value and what a file without the key gives. The table's order is the
// order in which a save writes the keys (a new file holds them in this order); keys added later go
// after the first eighteen. Portable: no Windows header.
#pragma once
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "settings/settings.h"
#include "settings/settings_model.h"

namespace settings {

// How a value is written to and read from the file (config_rules.h has the conversions).
enum class TextRule {
    Integer,    // decimal integer, "-" if negative; read as the profile's integer
    Centre,     // written without its fraction; read as an unsigned integer, kept only inside the band
    Device,     // written as the selected device's description; read as text that picks a device
    Channel,    // one digit; a number outside the list reads as the first entry
    Switch,     // "1" or "0"; any non-zero number reads as set
    Directory,  // the text unchanged; read up to 255 characters
    Text,       // the same as Directory, for texts that are no folder
    Choice,     // decimal integer, one of its row's entries; any other number reads as the start-up value
    Position,   // a text that reads as a position, or empty; any other text keeps the value held before
    Filter,     // a filter expression (with the home position read before it); any other text keeps the value
};

// The member of Settings a key fills, by its type.
using Field = std::variant<std::int32_t Settings::*, double Settings::*, bool Settings::*, std::wstring Settings::*>;
// A value of one of those types.
using Value = std::variant<std::int32_t, double, bool, std::wstring>;
// What the profile reader gives for a key: a number (integer rules) or a text (device, directories).
using Stored = std::variant<std::int32_t, std::wstring>;

struct KeyRule {
    const wchar_t* key;
    Row row;        // the grid row that edits it
    TextRule rule;
    Field field;
    Value startup;  // what the grid is built with
    Stored missing; // what a file without the key gives, in the reader's form
};

// Every key, in writing order.
const std::vector<KeyRule>& Keys();

// The member of Settings that `k` fills, as a member of type T (the rule says which T it is).
template <class T>
T Settings::*FieldAs(const KeyRule& k) {
    return std::get<T Settings::*>(k.field);
}

// The section that holds the keys.
constexpr const wchar_t* kSection = L"Settings";

// The values the program starts with (the table's start-up column).
Settings StartupSettings();

// True for rules read as text, false for rules read as a number.
bool ReadsAsText(TextRule rule);

}  // namespace settings
