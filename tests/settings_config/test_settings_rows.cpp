// The setting rows in the main window's grid: what each kind of row shows at start-up, what editing
// it changes, a refused alert filter, and the capture rows while capture runs.
#include "config_fixture.h"

using namespace settings;

class RowsTest : public ConfigTest {
protected:
    // As the grid's editors do: the item takes the value as the user's change, and the grid notifies.
    void Edit(Row row, const PropertyValue& v) {
        ::SendMessageW(guitest::GridOf(frame->hwnd()).hwnd(), GRID_MSG_SET_VALUE, reinterpret_cast<WPARAM>(&v),
                       reinterpret_cast<LPARAM>(rows().ValueItem(row)));
        guitest::Pump();
    }
};

TEST_F(RowsTest, EachKindOfRowShowsItsStartValueAndAnEditChangesItsSetting) {
    const struct {
        Row row;
        const wchar_t* atStart;
        PropertyValue edit;
        const wchar_t* shown;
        void (*change)(Settings&);
    } cases[] = {
        {kSampleRate, L"48000 Hz", PropertyValue(5), L"96000 Hz", [](Settings& s) { s.sampleRate = 96000; }},
        {kCardChannel, L"Mono", PropertyValue(2), L"Right channel", [](Settings& s) { s.cardChannel = 2; }},
        {kHideDecoderWindow, L"on", PropertyValue::Bool(false), L"off", [](Settings& s) { s.hideDecoderWindow = false; }},
        {kLogLinesKept, L"10,000", PropertyValue(3), L"All", [](Settings& s) { s.logLinesKept = 0; }},
        {kStoreFile, L"vastrel-messages.db", PropertyValue(L"C:\\no\\r.db"), L"C:\\no\\r.db", [](Settings& s) { s.storeFile = L"C:\\no\\r.db"; }},
        {kHomePosition, L"", PropertyValue(L"5022N00408W"), L"5022N00408W", [](Settings& s) { s.homePosition = L"5022N00408W"; }},
        {kAlertFilter, L"priority>=urgency", PropertyValue(L"dist<=100"), L"dist<=100", [](Settings& s) { s.alertFilter = L"dist<=100"; }},
    };
    EXPECT_EQ(Shown(kCenterFrequency), L"2000 Hz");
    EXPECT_EQ(Shown(kSoundCard), frame->CaptureDevices().Count() ? frame->CaptureDevices().Name(0) : L"");
    Settings expected = frame->CurrentSettings();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        EXPECT_EQ(Shown(c.row), c.atStart);
        Edit(c.row, c.edit);
        EXPECT_EQ(Shown(c.row), c.shown);
        c.change(expected);
        EXPECT_EQ(frame->CurrentSettings(), expected);  // that setting, and no other
    }
    EXPECT_EQ(frame->Spectrum().endFrequency, 48000);  // the display follows the rate picked
    // Picking the rate in force changes nothing, not even the centre row that shows the old centre.
    frame->Spectrum().centerFrequency = 1234.0;
    Edit(kSampleRate, PropertyValue(5));
    EXPECT_EQ(Shown(kCenterFrequency), L"2000 Hz");
    expected.centerFrequency = 1500.7;  // the centre row shows the display's centre in whole hertz
    frame->ApplySettings(expected);
    EXPECT_EQ(Shown(kCenterFrequency), L"1501 Hz");
    EXPECT_EQ(frame->Spectrum().pointerFrequency, 1500.7);
    // A wrong alert filter is refused with the filter language's message; the row keeps the last good one.
    guitest::MessageBoxWatcher boxes;
    Edit(kAlertFilter, PropertyValue(L"priority>=urgent"));
    ASSERT_TRUE(guitest::PumpUntil([&] { return boxes.count() == 1; }, 5000));
    EXPECT_NE(boxes.boxes()[0].text.find(L"urgent"), std::wstring::npos) << boxes.boxes()[0].text;
    EXPECT_EQ(Shown(kAlertFilter), L"dist<=100");
}

TEST_F(RowsTest, CaptureRowsOpenNoEditorWhileDisabledAndNoDeviceLeavesTheCardRowEmpty) {
    CPropertyGridCtrl& grid = guitest::GridOf(frame->hwnd());
    const auto click = [&](int row) {
        RECT rc{LVIR_BOUNDS, 1, 0, 0};
        ::SendMessageW(grid.hwnd(), LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&rc));
        const LPARAM at = MAKELPARAM(rc.left + 20, (rc.top + rc.bottom) / 2);
        ::SendMessageW(grid.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, at), ::SendMessageW(grid.hwnd(), WM_LBUTTONUP, 0, at);
        guitest::Pump();
        return grid.editorWindow() != nullptr;
    };
    rows().EnableCaptureRows(false);
    for (int row = kSoundCard; row <= kCardChannel; ++row) EXPECT_FALSE(click(row)) << row;
    rows().EnableCaptureRows(true);
    EXPECT_TRUE(click(kSampleRate));  // the same click opens the list once capture is over
    // A grid of its own, built from an empty device list as on a machine without a sound card.
    CPropertyGridCtrl bare;
    ASSERT_NE(bare.create(frame->hwnd(), RECT{0, 0, 400, 300}, WS_CHILD, 0), nullptr);
    bare.AddColumn(L"Name", 220), bare.AddColumn(L"Value", 220);
    const wchar_t* const noDevices[] = {nullptr};
    SettingsRows bareRows;
    bareRows.Build(bare, noDevices);
    EXPECT_EQ(bareRows.ValueItem(kSoundCard)->displayString(), L"");
    EXPECT_EQ(bareRows.ReadIndex(kSoundCard), 0);  // names no entry: a capture start finds no device
    EXPECT_EQ(bareRows.Read(), StartupSettings());
}
