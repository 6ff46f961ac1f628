#include "controls/property_value.h"

#include <cwctype>

namespace {

bool IsBlank(wchar_t c) noexcept { return c == L' ' || c == L'\t'; }

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) return false;
    }
    return true;
}

std::wstring_view Trimmed(std::wstring_view s) noexcept {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace

bool PropertyValue::ParseInt32(std::wstring_view text, std::int32_t& out) noexcept {
    std::wstring_view s = Trimmed(text);
    bool negative = false;
    if (!s.empty() && (s.front() == L'-' || s.front() == L'+')) {
        negative = s.front() == L'-';
        s.remove_prefix(1);
    }
    if (s.empty()) return false;
    // Accumulate as a negative number so that INT32_MIN parses without overflow.
    std::int64_t acc = 0;
    for (wchar_t c : s) {
        if (c < L'0' || c > L'9') return false;
        acc = acc * 10 - (c - L'0');
        if (acc < -2147483648LL) return false;
    }
    if (!negative) {
        if (acc < -2147483647LL) return false;
        acc = -acc;
    }
    out = static_cast<std::int32_t>(acc);
    return true;
}

bool PropertyValue::toInt32(std::int32_t& out) const noexcept {
    switch (type_) {
    case Type::Empty: out = 0; return true;
    case Type::Int32:
    case Type::Bool: out = int_; return true;
    case Type::Text: return ParseInt32(text_, out);
    }
    return false;
}

bool PropertyValue::toBool(bool& out) const noexcept {
    switch (type_) {
    case Type::Empty: out = false; return true;
    case Type::Int32:
    case Type::Bool: out = int_ != 0; return true;
    case Type::Text: {
        std::wstring_view s = Trimmed(text_);
        if (EqualsNoCase(s, L"true")) { out = true; return true; }
        if (EqualsNoCase(s, L"false")) { out = false; return true; }
        std::int32_t n = 0;
        if (!ParseInt32(s, n)) return false;
        out = n != 0;
        return true;
    }
    }
    return false;
}

bool PropertyValue::toText(std::wstring& out) const {
    switch (type_) {
    case Type::Empty: out.clear(); return true;
    case Type::Int32: out = std::to_wstring(int_); return true;
    case Type::Bool: out = int_ ? L"True" : L"False"; return true;
    case Type::Text: out = text_; return true;
    }
    return false;
}

bool PropertyValue::convertTo(Type wanted, PropertyValue& out) const {
    switch (wanted) {
    case Type::Empty: out = PropertyValue(); return true;
    case Type::Int32: {
        std::int32_t v = 0;
        if (!toInt32(v)) return false;
        out = PropertyValue(v);
        return true;
    }
    case Type::Bool: {
        bool v = false;
        if (!toBool(v)) return false;
        out = Bool(v);
        return true;
    }
    case Type::Text: {
        std::wstring v;
        if (!toText(v)) return false;
        out = PropertyValue(std::move(v));
        return true;
    }
    }
    return false;
}

bool PropertyValue::operator==(const PropertyValue& o) const noexcept {
    if (type_ != o.type_) return false;
    switch (type_) {
    case Type::Empty: return true;
    case Type::Int32:
    case Type::Bool: return int_ == o.int_;
    case Type::Text: return text_ == o.text_;
    }
    return false;
}
