// PropertyValue: the tagged value a grid item holds (empty, 32-bit integer, boolean or text), with the
// conversions the grid and its owner rely on. Portable: no Windows header.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

class PropertyValue {
public:
    enum class Type : std::uint8_t { Empty, Int32, Bool, Text };

    PropertyValue() noexcept = default;
    explicit PropertyValue(std::int32_t v) noexcept : type_(Type::Int32), int_(v) {}
    explicit PropertyValue(std::wstring text) : type_(Type::Text), text_(std::move(text)) {}
    explicit PropertyValue(const wchar_t* text) : type_(Type::Text), text_(text ? text : L"") {}
    // Booleans get their own factory so that a literal 0 or 1 never turns into a boolean by accident.
    static PropertyValue Bool(bool v) noexcept {
        PropertyValue p;
        p.type_ = Type::Bool;
        p.int_ = v ? -1 : 0;  // true keeps every bit set, as the platform's variants do
        return p;
    }

    Type type() const noexcept { return type_; }
    bool isEmpty() const noexcept { return type_ == Type::Empty; }

    // Conversions: false when the value cannot be expressed in the wanted type; `out` is then untouched.
    //  empty   -> 0, false, ""
    //  integer -> decimal text; boolean: non-zero is true
    //  boolean -> -1 / 0 as integer (all bits set); "True" / "False" as text
    //  text    -> integer: optional blanks, optional sign, decimal digits, within 32 bits;
    //             boolean: "true"/"false" in any case, or an integer (non-zero is true)
    bool toInt32(std::int32_t& out) const noexcept;
    bool toBool(bool& out) const noexcept;
    bool toText(std::wstring& out) const;  // throws only std::bad_alloc
    // The same, into a value of the wanted type.
    bool convertTo(Type wanted, PropertyValue& out) const;

    bool operator==(const PropertyValue& o) const noexcept;
    bool operator!=(const PropertyValue& o) const noexcept { return !(*this == o); }

    // Parses decimal text as a 32-bit integer (blanks around it allowed); false on anything else.
    static bool ParseInt32(std::wstring_view text, std::int32_t& out) noexcept;

private:
    Type type_ = Type::Empty;
    std::int32_t int_ = 0;
    std::wstring text_;
};
