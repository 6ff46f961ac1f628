// PropertyValue conversions: what the grid items and the settings rows rely on.
#include <gtest/gtest.h>

#include <optional>
#include <utility>

#include "controls/property_value.h"

namespace {

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

// Each value as an integer, a boolean and a text; none where the conversion refuses (and then leaves
// its output alone). convertTo gives the same, tagged with the wanted type.
TEST(PropertyValueTest, EveryTypeConvertsAsDocumentedOrRefusesLeavingTheOutputAlone) {
    const struct {
        PropertyValue value;
        std::optional<std::int32_t> asInt;
        std::optional<bool> asBool;
        std::wstring asText;
    } cases[] = {
        {PropertyValue(), 0, false, L""},
        {PropertyValue(-305), -305, true, L"-305"},
        {PropertyValue(0), 0, false, L"0"},
        {PropertyValue::Bool(true), -1, true, L"True"},  // every bit set
        {PropertyValue::Bool(false), 0, false, L"False"},
        {PropertyValue(L"48000"), 48000, true, L"48000"},
        {PropertyValue(L" \t-12 "), -12, true, L" \t-12 "},
        {PropertyValue(L"-2147483648"), INT32_MIN, true, L"-2147483648"},
        {PropertyValue(L"+2147483647"), INT32_MAX, true, L"+2147483647"},
        {PropertyValue(L"0"), 0, false, L"0"},
        {PropertyValue(L"TRUE"), std::nullopt, true, L"TRUE"},
        {PropertyValue(L" false "), std::nullopt, false, L" false "},
        {PropertyValue(L"True"), std::nullopt, true, L"True"},  // a boolean's text reads back
        {PropertyValue(L"maybe"), std::nullopt, std::nullopt, L"maybe"},
        {PropertyValue(L"trueish"), std::nullopt, std::nullopt, L"trueish"},
        {PropertyValue(L"2147483648"), std::nullopt, std::nullopt, L"2147483648"},
        {PropertyValue(L"-2147483649"), std::nullopt, std::nullopt, L"-2147483649"},
        {PropertyValue(static_cast<const wchar_t*>(nullptr)), std::nullopt, std::nullopt, L""},
        {PropertyValue(L" "), std::nullopt, std::nullopt, L" "},
        {PropertyValue(L"12a"), std::nullopt, std::nullopt, L"12a"},
        {PropertyValue(L"1 2"), std::nullopt, std::nullopt, L"1 2"},
        {PropertyValue(L"--1"), std::nullopt, std::nullopt, L"--1"},
        {PropertyValue(L"0x10"), std::nullopt, std::nullopt, L"0x10"},
        {PropertyValue(L"+"), std::nullopt, std::nullopt, L"+"},
        {PropertyValue(L"/"), std::nullopt, std::nullopt, L"/"},
        {PropertyValue(L":"), std::nullopt, std::nullopt, L":"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.asText));
        std::int32_t n = 77;
        EXPECT_EQ(c.value.toInt32(n), c.asInt.has_value());
        EXPECT_EQ(n, c.asInt.value_or(77));
        bool b = true, b2 = false;  // a refusal leaves either start alone
        EXPECT_EQ(c.value.toBool(b), c.asBool.has_value());
        c.value.toBool(b2);
        EXPECT_EQ(b, c.asBool.value_or(true));
        EXPECT_EQ(b2, c.asBool.value_or(false));
        std::wstring text = L"x";
        EXPECT_TRUE(c.value.toText(text));
        EXPECT_EQ(text, c.asText);

        PropertyValue out(5);
        EXPECT_EQ(c.value.convertTo(PropertyValue::Type::Int32, out), c.asInt.has_value());
        EXPECT_EQ(out, c.asInt ? PropertyValue(*c.asInt) : PropertyValue(5));
        out = PropertyValue(5);
        EXPECT_EQ(c.value.convertTo(PropertyValue::Type::Bool, out), c.asBool.has_value());
        EXPECT_EQ(out, c.asBool ? PropertyValue::Bool(*c.asBool) : PropertyValue(5));
        ASSERT_TRUE(c.value.convertTo(PropertyValue::Type::Text, out));
        EXPECT_EQ(out, PropertyValue(c.asText));
        ASSERT_TRUE(c.value.convertTo(PropertyValue::Type::Empty, out));
        EXPECT_TRUE(out.isEmpty());
        EXPECT_EQ(c.value, c.value);
    }
}

TEST(PropertyValueTest, EqualityNeedsTheSameTagAndValue) {
    const std::pair<PropertyValue, PropertyValue> differ[] = {
        {PropertyValue(1), PropertyValue(L"1")}, {PropertyValue::Bool(false), PropertyValue(0)}, {PropertyValue(), PropertyValue(L"")},
        {PropertyValue(1), PropertyValue(2)}, {PropertyValue::Bool(true), PropertyValue::Bool(false)}, {PropertyValue(L"a"), PropertyValue(L"b")}};
    for (const auto& [a, b] : differ) EXPECT_NE(a, b);
    EXPECT_EQ(PropertyValue(static_cast<const wchar_t*>(nullptr)), PropertyValue(L""));
    EXPECT_EQ(PropertyValue(), PropertyValue());
    EXPECT_EQ(PropertyValue(L"1").type(), PropertyValue::Type::Text);
}

}  // namespace
