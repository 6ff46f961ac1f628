// Item semantics without a grid: list indices, check-box types, enabling, texts.
#include <gtest/gtest.h>

#include <string>

#include "controls/property_grid.h"

namespace {

TEST(ItemsTest, AListTakesItsTextsExactlyAndAnythingElseBecomesTheFirstEntry) {
    CPropertyListItem list(L"");
    PropertyValue v;
    ASSERT_TRUE(list.value(v));
    EXPECT_EQ(v, PropertyValue(-1));  // no list yet
    EXPECT_FALSE(list.displayText(nullptr, 0));
    const wchar_t* entries[] = {L"Mono", L"Left channel", L"Right channel", nullptr};
    list.SetList(entries);
    EXPECT_EQ(list.index(), 0);
    const struct {
        PropertyValue value;
        bool taken;
        int index;
    } cases[] = {
        {PropertyValue(L"Right channel"), true, 2}, {PropertyValue(L"right channel"), false, 0},  // case counts
        {PropertyValue(L"Stereo"), false, 0},       {PropertyValue(1), true, 1},
        {PropertyValue(3), true, 0},                {PropertyValue(7), true, 0},  // past the end
        {PropertyValue(-4), true, 0},               {PropertyValue::Bool(false), true, 0},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(list.setValue(PropertyValue(2)));
        EXPECT_EQ(list.setValue(c.value), c.taken);
        EXPECT_EQ(list.index(), c.index);
    }
    list.setValue(PropertyValue(1));
    EXPECT_EQ(list.displayString(), L"Left channel");
    EXPECT_EQ(list.displayTextLength(), 12u);
    wchar_t small[4] = {L'x', L'x', L'x', L'x'};
    EXPECT_TRUE(list.displayText(small, 4));
    EXPECT_STREQ(small, L"Lef");
    list.SetList({L"a", L"b", L"c"});  // a new list keeps a chosen index
    EXPECT_EQ(list.displayString(), L"b");
    list.SetList(nullptr);  // a null list empties the entries and keeps the index
    EXPECT_TRUE(list.entries().empty());
    EXPECT_EQ(list.index(), 1);
    EXPECT_EQ(list.displayString(), L"");
}

TEST(ItemsTest, ACheckBoxTakesOnlyBooleansAndAnItemIsEnabledOnlyByOne) {
    CPropertyCheckButtonItem box(L"", false);
    for (const PropertyValue& v : {PropertyValue(1), PropertyValue(L"True"), PropertyValue()})
        EXPECT_FALSE(box.setValue(v));
    EXPECT_FALSE(box.checked());
    EXPECT_TRUE(box.setValue(PropertyValue::Bool(true)));
    PropertyValue v;
    ASSERT_TRUE(box.value(v));
    EXPECT_EQ(v, PropertyValue::Bool(true));
    box.activate(PROPERTY_ACT_CLICK, POINT{});  // no grid: nothing to ask, nothing changes
    EXPECT_TRUE(box.checked());

    CPropertyItem item(L"name");
    EXPECT_TRUE(item.isEnabled());
    EXPECT_FALSE(item.setEnabled(2));
    EXPECT_FALSE(item.isEnabled());
    EXPECT_TRUE(item.setEnabled(1));
    EXPECT_TRUE(item.isEnabled());
    EXPECT_FALSE(item.setEnabled(0));
    item.setUserData(1234);
    EXPECT_EQ(item.userData(), 1234);
    EXPECT_STREQ(item.name(), L"name");
}

TEST(ItemsTest, PlainDirectoryLabelAndAddRowTexts) {
    CPropertyItem plain(L"");
    EXPECT_FALSE(plain.displayText(nullptr, 10));
    EXPECT_EQ(plain.displayString(), L"");
    EXPECT_TRUE(plain.setValue(PropertyValue(42)));
    EXPECT_EQ(plain.displayString(), L"42");

    const std::wstring longPath(400, L'p');
    CPropertyFileNameItem dir(L"", longPath.c_str());
    EXPECT_EQ(dir.displayTextLength(), 259u);
    EXPECT_EQ(dir.displayString(), std::wstring(259, L'p'));
    EXPECT_TRUE(dir.takeValueFromEditor(nullptr));  // the browse handler changes the value, not the editor
    PropertyValue v;
    dir.value(v);
    EXPECT_EQ(v, PropertyValue(longPath));

    CPropertyReadOnlyItem label(L"", L"Center frequency");
    EXPECT_EQ(label.displayString(), L"Center frequency");
    EXPECT_EQ(label.createEditor(nullptr, RECT{}), nullptr);
    EXPECT_EQ(CPropertyLastItem().displayString(), L"<< Click here to add a new item >>");
}

}  // namespace
