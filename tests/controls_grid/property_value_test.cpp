// PropertyValue conversions: what the grid items and the settings rows rely on.
#include <gtest/gtest.h>

#include "controls/property_value.h"

namespace {

TEST(PropertyValueTest, TextOfDigitsBecomesIntegerAndBack) {
    const std::pair<const wchar_t*, std::int32_t> cases[] = {
        {L"48000", 48000}, {L"  -12 ", -12}, {L"-2147483648", INT32_MIN}, {L"+2147483647", INT32_MAX}};
    for (auto [text, value] : cases) {
        std::int32_t n = 0;
        EXPECT_TRUE(PropertyValue(text).toInt32(n));
        EXPECT_EQ(n, value);
    }
    std::wstring text;
    EXPECT_TRUE(PropertyValue(-305).toText(text));
    EXPECT_EQ(text, L"-305");
}

TEST(PropertyValueTest, FailedConversionsRefuseAndLeaveTheOutputAlone) {
    std::int32_t n = 77;
    for (const wchar_t* bad : {L"", L" ", L"12a", L"2147483648", L"-2147483649", L"1 2", L"--1", L"0x10", L"+"}) {
        EXPECT_FALSE(PropertyValue(bad).toInt32(n)) << "text: '" << std::string(bad, bad + wcslen(bad)) << "'";
        EXPECT_EQ(n, 77);
    }
    bool b = true;
    EXPECT_FALSE(PropertyValue(L"maybe").toBool(b));
    EXPECT_TRUE(b);
    PropertyValue out(5);
    EXPECT_FALSE(PropertyValue(L"x").convertTo(PropertyValue::Type::Int32, out));
    EXPECT_EQ(out, PropertyValue(5));
}

TEST(PropertyValueTest, BooleanKeepsAllBitsSetAndConvertsBothWays) {
    std::int32_t n = 0;
    EXPECT_TRUE(PropertyValue::Bool(true).toInt32(n));
    EXPECT_EQ(n, -1);
    EXPECT_TRUE(PropertyValue::Bool(false).toInt32(n));
    EXPECT_EQ(n, 0);
    bool b = false;
    for (auto [v, expected] : {std::pair{PropertyValue(3), true}, std::pair{PropertyValue(0), false},
                               std::pair{PropertyValue(L"TRUE"), true}, std::pair{PropertyValue(L"0"), false}}) {
        EXPECT_TRUE(v.toBool(b));
        EXPECT_EQ(b, expected);
    }
    std::wstring text;
    EXPECT_TRUE(PropertyValue::Bool(true).toText(text));
    EXPECT_TRUE(PropertyValue(text).toBool(b));  // text of a boolean reads back
    EXPECT_TRUE(b);
}

TEST(PropertyValueTest, EmptyConvertsToZeroFalseAndNothing) {
    PropertyValue empty;
    EXPECT_TRUE(empty.isEmpty());
    std::int32_t n = 9;
    EXPECT_TRUE(empty.toInt32(n));
    EXPECT_EQ(n, 0);
    std::wstring text = L"x";
    EXPECT_TRUE(empty.toText(text));
    EXPECT_TRUE(text.empty());
}

TEST(PropertyValueTest, ConvertToAndEqualityFollowTheTag) {
    PropertyValue out;
    ASSERT_TRUE(PropertyValue(L"17").convertTo(PropertyValue::Type::Int32, out));
    EXPECT_EQ(out.type(), PropertyValue::Type::Int32);
    EXPECT_EQ(out, PropertyValue(17));
    ASSERT_TRUE(PropertyValue(17).convertTo(PropertyValue::Type::Bool, out));
    EXPECT_EQ(out, PropertyValue::Bool(true));
    EXPECT_NE(PropertyValue(1), PropertyValue(L"1"));
    EXPECT_NE(PropertyValue::Bool(false), PropertyValue(0));
    PropertyValue null(static_cast<const wchar_t*>(nullptr));
    EXPECT_EQ(null, PropertyValue(L""));
}

}  // namespace
