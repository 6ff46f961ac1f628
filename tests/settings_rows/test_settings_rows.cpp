// The setting rows as the grid shows them (labels, colours, kinds, start-up values), and the
// settings model moved into and out of them.
#include "win/main_frame_fixture.h"

#include "settings/key_table.h"
#include "settings/settings.h"
#include "settings_model/settings_printer.h"

namespace {

std::wstring DisplayText(IProperty* item) {
    wchar_t text[512] = {};
    return item && item->displayText(text, 512) ? std::wstring(text) : std::wstring();
}

}  // namespace

TEST_F(MainFrameTest, EveryRowWithExactLabelsKindsAndStartValues) {
    CPropertyGridCtrl& grid = guitest::GridOf(frame->hwnd());
    ASSERT_EQ(grid.dataRowCount(), settings::kRowCount);
    EXPECT_EQ(DisplayText(grid.getSubItem(7, 0)), L"File logging" + std::wstring(26, L' ') + L"Directory");
    EXPECT_EQ(DisplayText(grid.getSubItem(13, 0)), L"SES-TAR logging" + std::wstring(16, L' ') + L"Messages");
    EXPECT_EQ(DisplayText(grid.getSubItem(17, 0)), L"Decoder output" + std::wstring(19, L' ') + L"Use log filter");
    EXPECT_EQ(DisplayText(grid.getSubItem(0, 0)), L"Soundcard name");
    EXPECT_EQ(DisplayText(grid.getSubItem(6, 0)), L"Disable FFT when decoder is running");

    for (const auto& row : settings::Rows()) {
        IProperty* label = grid.getSubItem(row.row, 0);
        IProperty* value = grid.getSubItem(row.row, 1);
        ASSERT_NE(label, nullptr) << row.row;
        ASSERT_NE(value, nullptr) << row.row;
        EXPECT_EQ(DisplayText(label), row.label) << row.row;
        EXPECT_STREQ(label->name(), L"") << row.row;
        EXPECT_STREQ(value->name(), L"") << row.row;
        switch (row.kind) {
        case settings::Kind::DeviceList:
        case settings::Kind::RateList:
        case settings::Kind::ChannelList:
            EXPECT_NE(dynamic_cast<CPropertyListItem*>(value), nullptr) << row.row;
            break;
        case settings::Kind::CentreText:
            EXPECT_NE(dynamic_cast<CPropertyReadOnlyItem*>(value), nullptr);
            break;
        case settings::Kind::Check:
            ASSERT_NE(dynamic_cast<CPropertyCheckButtonItem*>(value), nullptr) << row.row;
            // "Check for updates" and "Hide window" start checked, every other switch unchecked.
            EXPECT_EQ(frame->Rows().ReadBool(row.row),
                      row.row == settings::kCheckForUpdates || row.row == settings::kHideDecoderWindow)
                << row.row;
            break;
        case settings::Kind::Directory:
            EXPECT_NE(dynamic_cast<CPropertyFileNameItem*>(value), nullptr) << row.row;
            EXPECT_EQ(frame->Rows().ReadText(row.row), L"") << row.row;
            break;
        case settings::Kind::Choice:
            EXPECT_NE(dynamic_cast<CPropertyListItem*>(value), nullptr) << row.row;
            break;
        case settings::Kind::Text:
        case settings::Kind::SaveFile:
        case settings::Kind::Sound: {
            auto* text = dynamic_cast<CPropertyTextItem*>(value);
            ASSERT_NE(text, nullptr) << row.row;
            EXPECT_EQ(text->browses(), row.kind != settings::Kind::Text) << row.row;
            break;
        }
        }
    }
    // The rows added after the eighteen, with their start-up values.
    const std::wstring store = L"Message store" + std::wstring(20, L' ');
    const std::wstring feed = L"Feed" + std::wstring(37, L' ');
    EXPECT_EQ(DisplayText(grid.getSubItem(18, 0)), L"Decoder output" + std::wstring(19, L' ') + L"Restart when it ends");
    EXPECT_EQ(DisplayText(grid.getSubItem(19, 1)), L"10,000");
    EXPECT_EQ(DisplayText(grid.getSubItem(21, 0)), store + L"File");
    EXPECT_EQ(DisplayText(grid.getSubItem(21, 1)), L"vastrel-messages.db");
    EXPECT_EQ(DisplayText(grid.getSubItem(22, 1)), L"7 days");
    EXPECT_EQ(DisplayText(grid.getSubItem(23, 1)), L"Forever");
    EXPECT_EQ(DisplayText(grid.getSubItem(24, 0)), feed + L"Destinations");
    EXPECT_EQ(DisplayText(grid.getSubItem(24, 1)), L"");
    EXPECT_EQ(DisplayText(grid.getSubItem(26, 0)), feed + L"Every record");
    const std::wstring alerts = L"Alerts" + std::wstring(34, L' ');
    EXPECT_EQ(DisplayText(grid.getSubItem(29, 0)), alerts + L"Alert when");
    EXPECT_EQ(DisplayText(grid.getSubItem(29, 1)), L"priority>=urgency");
    EXPECT_EQ(DisplayText(grid.getSubItem(30, 1)), L"Warning");
    EXPECT_EQ(DisplayText(grid.getSubItem(31, 1)), L"");
    EXPECT_EQ(DisplayText(grid.getSubItem(32, 0)), alerts + L"Hide in tray when minimised");
    EXPECT_EQ(DisplayText(grid.getSubItem(1, 1)), L"48000 Hz");
    EXPECT_EQ(DisplayText(grid.getSubItem(2, 1)), L"Mono");
    EXPECT_EQ(DisplayText(grid.getSubItem(3, 1)), L"2000 Hz");
    EXPECT_EQ(frame->Rows().ReadIndex(settings::kSoundCard), 0);
    EXPECT_EQ(DisplayText(grid.getSubItem(0, 1)), frame->CaptureDevices().Name(0));
    // The main window keeps direct references to rows 0, 2 and 3.
    EXPECT_EQ(frame->Rows().soundCardItem, grid.getSubItem(0, 1));
    EXPECT_EQ(frame->Rows().channelItem, grid.getSubItem(2, 1));
    EXPECT_EQ(frame->Rows().centreItem, grid.getSubItem(3, 1));
}

TEST_F(MainFrameTest, LabelCellsCarryTheirRowColours) {
    HWND grid = guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID);
    ::RedrawWindow(grid, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    guitest::Pump();
    win::WindowDc dc(grid);
    for (const auto& row : settings::Rows()) {
        // The rows past the grid's height are scrolled into view first.
        if (::SendMessageW(grid, LVM_ENSUREVISIBLE, row.row, FALSE) && row.row >= settings::kFirstAddedRow) {
            ::RedrawWindow(grid, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            guitest::Pump();
        }
        RECT rc{};
        rc.left = LVIR_BOUNDS;
        ASSERT_TRUE(::SendMessageW(grid, LVM_GETITEMRECT, row.row, reinterpret_cast<LPARAM>(&rc))) << row.row;
        // Along the middle of the label cell, most pixels are background (the text takes the rest,
        // however wide the font draws it).
        const COLORREF want = RGB((row.labelRgb >> 16) & 0xFF, (row.labelRgb >> 8) & 0xFF, row.labelRgb & 0xFF);
        const int y = (rc.top + rc.bottom) / 2;
        int matching = 0, total = 0;
        for (int x = 2; x < 216; ++x, ++total)
            if (::GetPixel(dc.get(), x, y) == want) ++matching;
        EXPECT_GT(matching, total / 2) << "row " << row.row << ": " << matching << " of " << total;
    }
}

TEST_F(MainFrameTest, PickingTheRateInForceChangesNothing) {
    auto* rateItem = frame->Rows().ValueItem(settings::kSampleRate);
    frame->Spectrum().centerFrequency = 1234.0;  // row 3 still shows 2000 Hz
    PropertyValue same(std::int32_t{4});
    ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID), GRID_MSG_SET_VALUE, reinterpret_cast<WPARAM>(&same), reinterpret_cast<LPARAM>(rateItem));
    guitest::Pump();
    EXPECT_EQ(frame->CurrentSettings().sampleRate, 48000);
    EXPECT_EQ(DisplayText(frame->Rows().centreItem), L"2000 Hz");
}

TEST_F(MainFrameTest, DisabledCaptureRowsOpenNoEditor) {
    frame->Rows().EnableCaptureRows(false);
    HWND grid = guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID);
    for (int row = 0; row < 3; ++row) {
        RECT rc{};
        rc.top = 1;
        rc.left = LVIR_BOUNDS;
        ::SendMessageW(grid, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&rc));
        const LPARAM at = MAKELPARAM(rc.left + 20, (rc.top + rc.bottom) / 2);
        ::SendMessageW(grid, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageW(grid, WM_LBUTTONUP, 0, at);
        guitest::Pump();
        EXPECT_EQ(guitest::GridOf(frame->hwnd()).editorWindow(), nullptr) << row;
    }
    EXPECT_EQ(frame->Rows().ReadIndex(settings::kSampleRate), 4);
    frame->Rows().EnableCaptureRows(true);
}

TEST_F(MainFrameTest, WithoutACaptureDeviceTheSoundcardRowIsEmpty) {
    // A grid of its own, built from an empty device list as on a machine without a sound card.
    CPropertyGridCtrl grid;
    ASSERT_NE(grid.create(frame->hwnd(), RECT{0, 0, 400, 300}, WS_CHILD, 0), nullptr);
    grid.AddColumn(L"Name", 220);
    grid.AddColumn(L"Value", 220);
    const wchar_t* const noDevices[] = {nullptr};
    SettingsRows rows;
    rows.Build(grid, noDevices);
    ASSERT_EQ(grid.dataRowCount(), settings::kRowCount);
    auto* devices = dynamic_cast<CPropertyListItem*>(rows.ValueItem(settings::kSoundCard));
    ASSERT_NE(devices, nullptr);
    EXPECT_TRUE(devices->entries().empty());
    EXPECT_EQ(DisplayText(devices), L"");
    // The index names no entry: a capture start finds no device behind it.
    EXPECT_EQ(rows.ReadIndex(settings::kSoundCard), 0);
    ::DestroyWindow(grid.hwnd());
}

TEST_F(MainFrameTest, ModelIntoRowsAndBack) {
    CPropertyGridCtrl& grid = guitest::GridOf(frame->hwnd());
    settings::Settings s = settings::StartupSettings();
    EXPECT_EQ(frame->CurrentSettings(), s);  // the grid is built with the start-up values

    s.soundCard = frame->CaptureDevices().Count() > 1 ? 1 : 0;
    s.sampleRate = 96000;
    s.cardChannel = 2;
    s.centerFrequency = 1234.6;
    s.checkForUpdates = false;
    s.hideDecoderWindow = false;
    s.disableFftWhileDecoding = s.fileLogRaw = s.tarLogEgc = s.decoderLogUseFilter = true;
    s.fileLogDir = L"C:\\file";
    s.tarLogDir = L"C:\\tar";
    s.decoderLogDir = L"C:\\out";
    frame->Rows().Write(s);
    EXPECT_EQ(DisplayText(grid.getSubItem(1, 1)), L"96000 Hz");
    EXPECT_EQ(DisplayText(grid.getSubItem(2, 1)), L"Right channel");
    EXPECT_EQ(DisplayText(grid.getSubItem(3, 1)), L"1235 Hz");
    EXPECT_EQ(DisplayText(grid.getSubItem(11, 1)), L"C:\\tar");
    EXPECT_FALSE(frame->Rows().ReadBool(settings::kHideDecoderWindow));
    EXPECT_TRUE(frame->Rows().ReadBool(settings::kTarLogEgc));

    // The centre row only shows the main window's number; the rows give back everything else.
    settings::Settings back = frame->Rows().Read();
    EXPECT_EQ(back.centerFrequency, settings::kStartCentreHz);
    back.centerFrequency = s.centerFrequency;
    EXPECT_EQ(back, s);

    // A rate outside the list moves no row: the row keeps the last choice.
    s.sampleRate = 32000;
    frame->Rows().Write(s);
    EXPECT_EQ(DisplayText(grid.getSubItem(1, 1)), L"96000 Hz");
    EXPECT_EQ(frame->Rows().Read().sampleRate, 96000);
}

TEST_F(MainFrameTest, CurrentSettingsTakeTheWorkingRateAndTheDisplaysCentre) {
    settings::Settings s = settings::StartupSettings();
    s.sampleRate = 32000;  // as a loaded file may leave it: not a list rate
    s.centerFrequency = 1500.7;
    frame->ApplySettings(s);
    EXPECT_EQ(frame->CurrentSettings().sampleRate, 32000);
    EXPECT_EQ(frame->Spectrum().endFrequency, 16000);
    EXPECT_EQ(frame->Spectrum().pointerFrequency, 1500.7);
    EXPECT_EQ(DisplayText(frame->Rows().centreItem), L"1501 Hz");
    EXPECT_EQ(frame->CurrentSettings(), s);
    EXPECT_EQ(frame->Rows().ReadIndex(settings::kSampleRate), 4);  // the row still shows 48000 Hz
}

TEST_F(MainFrameTest, AWrongAlertFilterIsRefusedWithTheFilterLanguagesMessage) {
    EXPECT_EQ(frame->Rows().ReadText(settings::kAlertFilter), L"priority>=urgency");
    IProperty* item = frame->Rows().ValueItem(settings::kAlertFilter);
    guitest::MessageBoxWatcher boxes;
    frame->Rows().WriteText(settings::kAlertFilter, L"priority>=urgency & les=121");
    guitest::RowChanged(frame->hwnd(), item);
    frame->Rows().WriteText(settings::kAlertFilter, L"priority>=urgent");
    guitest::RowChanged(frame->hwnd(), item);
    ASSERT_TRUE(guitest::PumpUntil([&] { return boxes.count() == 1; }, 5000));
    EXPECT_NE(boxes.boxes()[0].text.find(L"urgent"), std::wstring::npos);
    EXPECT_EQ(frame->Rows().ReadText(settings::kAlertFilter), L"priority>=urgency & les=121");
}
