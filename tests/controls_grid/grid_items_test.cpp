// Item semantics without a grid: list indices, check-box types, enabling, texts.
#include <gtest/gtest.h>

#include <string>

#include "controls/property_grid.h"

namespace {

TEST(ItemsTest, ListTakesTextsExactlyAndFallsBackToTheFirstEntry) {
    CPropertyListItem list(L"");
    PropertyValue v;
    ASSERT_TRUE(list.value(v));
    EXPECT_EQ(v, PropertyValue(-1));  // no list yet
    EXPECT_FALSE(list.displayText(nullptr, 0));
    list.SetList({L"Mono", L"Left channel", L"Right channel"});
    EXPECT_EQ(list.index(), 0);
    EXPECT_TRUE(list.setValue(PropertyValue(L"Right channel")));
    EXPECT_EQ(list.index(), 2);
    EXPECT_FALSE(list.setValue(PropertyValue(L"right channel")));  // case matters
    EXPECT_EQ(list.index(), 0);
    EXPECT_TRUE(list.setValue(PropertyValue(2)));
    EXPECT_FALSE(list.setValue(PropertyValue(L"Stereo")));
    EXPECT_EQ(list.index(), 0);
}

TEST(ItemsTest, ListIndexOutsideTheEntriesBecomesZero) {
    CPropertyListItem list(L"");
    const wchar_t* entries[] = {L"a", L"b", L"c", nullptr};
    list.SetList(entries);
    // Past the end, negative, or a boolean false (which reads as 0): the first entry.
    for (const PropertyValue& v : {PropertyValue(7), PropertyValue(3), PropertyValue(-4), PropertyValue::Bool(false)}) {
        ASSERT_TRUE(list.setValue(PropertyValue(2)));
        EXPECT_TRUE(list.setValue(v));
        EXPECT_EQ(list.index(), 0);
    }
    list.SetList(nullptr);  // a null list empties the entries and keeps the index
    EXPECT_TRUE(list.entries().empty());
    EXPECT_EQ(list.displayString(), L"");
}

TEST(ItemsTest, ListDisplaysItsEntryAndSettingAListKeepsAChosenIndex) {
    CPropertyListItem list(L"");
    list.SetList({L"8000 Hz", L"48000 Hz"});
    list.setValue(PropertyValue(1));
    EXPECT_EQ(list.displayString(), L"48000 Hz");
    EXPECT_EQ(list.displayTextLength(), 8u);
    wchar_t small[4] = {L'x', L'x', L'x', L'x'};
    EXPECT_TRUE(list.displayText(small, 4));
    EXPECT_STREQ(small, L"480");
    list.SetList({L"a", L"b", L"c"});
    EXPECT_EQ(list.index(), 1);
    EXPECT_EQ(list.kind(), PROPERTY_KIND_LIST);
}

TEST(ItemsTest, CheckBoxAcceptsOnlyBooleans) {
    CPropertyCheckButtonItem box(L"", false);
    EXPECT_EQ(box.kind(), PROPERTY_KIND_CHECK);
    EXPECT_FALSE(box.setValue(PropertyValue(1)));
    EXPECT_FALSE(box.setValue(PropertyValue(L"True")));
    EXPECT_FALSE(box.setValue(PropertyValue()));
    EXPECT_FALSE(box.checked());
    EXPECT_TRUE(box.setValue(PropertyValue::Bool(true)));
    PropertyValue v;
    ASSERT_TRUE(box.value(v));
    EXPECT_EQ(v, PropertyValue::Bool(true));
    box.activate(PROPERTY_ACT_CLICK, POINT{});  // no grid: nothing to ask, nothing changes
    EXPECT_TRUE(box.checked());
}

TEST(ItemsTest, EnabledOnlyByExactlyOne) {
    CPropertyItem item(L"name");
    EXPECT_TRUE(item.isEnabled());
    EXPECT_FALSE(item.setEnabled(2));
    EXPECT_FALSE(item.isEnabled());
    EXPECT_TRUE(item.setEnabled(1));
    EXPECT_FALSE(item.setEnabled(0));
    item.setUserData(1234);
    EXPECT_EQ(item.userData(), 1234);
    EXPECT_STREQ(item.name(), L"name");
}

TEST(ItemsTest, PlainAndDirectoryTexts) {
    CPropertyItem plain(L"");
    EXPECT_FALSE(plain.displayText(nullptr, 10));
    EXPECT_EQ(plain.displayString(), L"");
    EXPECT_TRUE(plain.setValue(PropertyValue(42)));
    EXPECT_EQ(plain.displayString(), L"42");
    EXPECT_EQ(plain.kind(), PROPERTY_KIND_PLAIN);

    std::wstring longPath(400, L'p');
    CPropertyFileNameItem dir(L"", longPath.c_str());
    EXPECT_EQ(dir.displayTextLength(), CPropertyFileNameItem::kMaxPath);
    EXPECT_EQ(dir.displayString().size(), CPropertyFileNameItem::kMaxPath);
    EXPECT_TRUE(dir.takeValueFromEditor(nullptr));  // the browse handler changes the value, not the editor
    PropertyValue v;
    dir.value(v);
    EXPECT_EQ(v, PropertyValue(longPath));

    CPropertyReadOnlyItem label(L"", L"Center frequency");
    EXPECT_EQ(label.displayString(), L"Center frequency");
    EXPECT_EQ(label.createEditor(nullptr, RECT{}), nullptr);
    CPropertyLastItem last;
    EXPECT_EQ(last.displayString(), L"<< Click here to add a new item >>");
}

}  // namespace
