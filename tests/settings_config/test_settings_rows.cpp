// The setting rows in the main window's grid: what they show at start-up, what editing one changes,
// their colours, a refused alert filter, and the capture rows while capture runs.
#include "config_fixture.h"
#include "settings_model/settings_printer.h"

#include <cwctype>

using namespace settings;

namespace {

// As the grid's editors do: the item takes the value as the user's change, and the grid notifies.
void Edit(HWND mainWindow, IProperty* item, const PropertyValue& v) {
    ::SendMessageW(guitest::FindChild(mainWindow, IDC_SETTINGS_GRID), GRID_MSG_SET_VALUE,
                   reinterpret_cast<WPARAM>(&v), reinterpret_cast<LPARAM>(item));
    guitest::Pump();
}

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(::towlower(c));
    return s;
}

}  // namespace

using RowsTest = ConfigTest;

TEST_F(RowsTest, EachKindOfRowShowsItsStartValueAndAnEditChangesItsSetting) {
    const struct {
        Row row;
        const wchar_t* labelWord;  // a word of the row's label, in lower case
        const wchar_t* atStart;
        PropertyValue edit;
        const wchar_t* shown;
        void (*change)(Settings&);
    } cases[] = {
        {kSampleRate, L"sample rate", L"48000 Hz", PropertyValue(5), L"96000 Hz", [](Settings& s) { s.sampleRate = 96000; }},
        {kCardChannel, L"channel", L"Mono", PropertyValue(2), L"Right channel", [](Settings& s) { s.cardChannel = 2; }},
        {kCheckForUpdates, L"updates", L"on", PropertyValue::Bool(false), L"off", [](Settings& s) { s.checkForUpdates = false; }},
        {kHideDecoderWindow, L"hide window", L"on", PropertyValue::Bool(false), L"off", [](Settings& s) { s.hideDecoderWindow = false; }},
        {kTarLogRaw, L"raw", L"off", PropertyValue::Bool(true), L"on", [](Settings& s) { s.tarLogRaw = true; }},
        {kFileLogDir, L"directory", L"", PropertyValue(L"C:\\logs"), L"C:\\logs", [](Settings& s) { s.fileLogDir = L"C:\\logs"; }},
        {kLogLinesKept, L"lines kept", L"10,000", PropertyValue(3), L"All", [](Settings& s) { s.logLinesKept = 0; }},
        {kKeepRecords, L"keep records", L"7 days", PropertyValue(3), L"365 days", [](Settings& s) { s.keepRecordDays = 365; }},
        {kKeepMessages, L"keep messages", L"Forever", PropertyValue(0), L"1 day", [](Settings& s) { s.keepMessageDays = 1; }},
        {kSilenceRestart, L"silence", L"Off", PropertyValue(4), L"30 min", [](Settings& s) { s.silenceRestartMinutes = 30; }},
        {kStoreFile, L"file", L"vastrel-messages.db", PropertyValue(L"C:\\no\\r.db"), L"C:\\no\\r.db", [](Settings& s) { s.storeFile = L"C:\\no\\r.db"; }},
        {kFeedTo, L"destinations", L"", PropertyValue(L"[::1]:5556"), L"[::1]:5556", [](Settings& s) { s.feedTo = L"[::1]:5556"; }},
        {kHomePosition, L"home position", L"", PropertyValue(L"5022N00408W"), L"5022N00408W", [](Settings& s) { s.homePosition = L"5022N00408W"; }},
        {kAlertFilter, L"alert when", L"priority>=urgency", PropertyValue(L"dist<=100"), L"dist<=100", [](Settings& s) { s.alertFilter = L"dist<=100"; }},
        {kAlertSound, L"sound", L"Warning", PropertyValue(L"None"), L"None", [](Settings& s) { s.alertSound = L"None"; }},
        {kTrayOnMinimise, L"tray", L"off", PropertyValue::Bool(true), L"on", [](Settings& s) { s.trayOnMinimise = true; }},
    };
    CPropertyGridCtrl& grid = guitest::GridOf(frame->hwnd());
    ASSERT_EQ(grid.dataRowCount(), kRowCount);
    EXPECT_EQ(Shown(kCenterFrequency), L"2000 Hz");
    EXPECT_EQ(Shown(kSoundCard), frame->CaptureDevices().Count() ? frame->CaptureDevices().Name(0) : L"");
    Settings expected = frame->CurrentSettings();
    for (const auto& c : cases) {
        SCOPED_TRACE(NarrowText(c.atStart));
        EXPECT_NE(Lower(grid.getSubItem(c.row, 0)->displayString()).find(c.labelWord), std::wstring::npos) << c.row;
        EXPECT_EQ(Shown(c.row), c.atStart);
        Edit(frame->hwnd(), rows().ValueItem(c.row), c.edit);
        EXPECT_EQ(Shown(c.row), c.shown);
        c.change(expected);
        EXPECT_EQ(frame->CurrentSettings(), expected);  // that setting, and no other
    }
    EXPECT_EQ(frame->Spectrum().endFrequency, 48000);  // the display follows the rate picked

    // Picking the rate in force changes nothing, not even the centre row that shows the old centre.
    frame->Spectrum().centerFrequency = 1234.0;
    Edit(frame->hwnd(), rows().ValueItem(kSampleRate), PropertyValue(5));
    EXPECT_EQ(Shown(kCenterFrequency), L"2000 Hz");
    // The centre row shows the display's centre in whole hertz.
    expected.centerFrequency = 1500.7;
    frame->ApplySettings(expected);
    EXPECT_EQ(Shown(kCenterFrequency), L"1501 Hz");
    EXPECT_EQ(frame->Spectrum().pointerFrequency, 1500.7);
}

TEST_F(RowsTest, LabelCellsCarryTheirGroupsColours) {
    HWND grid = guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID);
    const struct {
        Row row;
        COLORREF colour;
    } cases[] = {{kSoundCard, RGB(234, 230, 170)}, {kCenterFrequency, RGB(255, 193, 132)},
                 {kTarLogEgc, RGB(168, 225, 236)}, {kTrayOnMinimise, RGB(247, 192, 184)}};
    for (const auto& c : cases) {
        ::SendMessageW(grid, LVM_ENSUREVISIBLE, c.row, FALSE);
        ::RedrawWindow(grid, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        RECT rc{};
        rc.left = LVIR_BOUNDS;
        ASSERT_TRUE(::SendMessageW(grid, LVM_GETITEMRECT, c.row, reinterpret_cast<LPARAM>(&rc))) << c.row;
        // Along the middle of the label cell most pixels are background, however wide the text draws.
        win::WindowDc dc(grid);
        int matching = 0;
        for (int x = 2; x < 216; ++x) matching += ::GetPixel(dc.get(), x, (rc.top + rc.bottom) / 2) == c.colour;
        EXPECT_GT(matching, 107) << "row " << c.row;
    }
}

TEST_F(RowsTest, AWrongAlertFilterIsRefusedWithTheFilterLanguagesMessage) {
    guitest::MessageBoxWatcher boxes;
    Edit(frame->hwnd(), rows().ValueItem(kAlertFilter), PropertyValue(L"priority>=urgency & les=121"));
    Edit(frame->hwnd(), rows().ValueItem(kAlertFilter), PropertyValue(L"priority>=urgent"));
    ASSERT_TRUE(guitest::PumpUntil([&] { return boxes.count() == 1; }, 5000));
    EXPECT_NE(boxes.boxes()[0].text.find(L"urgent"), std::wstring::npos) << NarrowText(boxes.boxes()[0].text);
    EXPECT_EQ(Shown(kAlertFilter), L"priority>=urgency & les=121");  // the row keeps the last good filter
}

TEST_F(RowsTest, CaptureRowsOpenNoEditorWhileDisabledAndNoDeviceLeavesTheCardRowEmpty) {
    CPropertyGridCtrl& grid = guitest::GridOf(frame->hwnd());
    const auto click = [&](int row) {
        RECT rc{LVIR_BOUNDS, 1, 0, 0};
        ::SendMessageW(grid.hwnd(), LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&rc));
        const LPARAM at = MAKELPARAM(rc.left + 20, (rc.top + rc.bottom) / 2);
        ::SendMessageW(grid.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageW(grid.hwnd(), WM_LBUTTONUP, 0, at);
        guitest::Pump();
        return grid.editorWindow() != nullptr;
    };
    frame->Rows().EnableCaptureRows(false);
    for (int row = kSoundCard; row <= kCardChannel; ++row) EXPECT_FALSE(click(row)) << row;
    frame->Rows().EnableCaptureRows(true);
    EXPECT_TRUE(click(kSampleRate));  // the same click opens the list once capture is over
    grid.closeEditor();

    // A grid of its own, built from an empty device list as on a machine without a sound card.
    CPropertyGridCtrl bare;
    ASSERT_NE(bare.create(frame->hwnd(), RECT{0, 0, 400, 300}, WS_CHILD, 0), nullptr);
    bare.AddColumn(L"Name", 220);
    bare.AddColumn(L"Value", 220);
    const wchar_t* const noDevices[] = {nullptr};
    SettingsRows bareRows;
    bareRows.Build(bare, noDevices);
    ASSERT_EQ(bare.dataRowCount(), kRowCount);
    EXPECT_EQ(bareRows.ValueItem(kSoundCard)->displayString(), L"");
    EXPECT_EQ(bareRows.ReadIndex(kSoundCard), 0);  // names no entry: a capture start finds no device
    EXPECT_EQ(bareRows.Read(), StartupSettings());
    ::DestroyWindow(bare.hwnd());
}
