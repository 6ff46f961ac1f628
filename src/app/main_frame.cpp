#include "app/main_frame.h"

#include <commctrl.h>

#include "app/main_frame_styles.h"
#include "app/window_placement.h"
#include "audio/capture_devices_win.h"
#include "audio/dsound_capture_win.h"
#include "resource.h"
#include "settings/key_table.h"
#include "theme/palette.h"
#include "version.h"
#include "win/colour.h"
#include "win/message_wait.h"
#include "win/reflect.h"

namespace {

using namespace main_frame_styles;

constexpr UINT kBandStyle = RBBS_CHILDEDGE | RBBS_NOGRIPPER | RBBS_USECHEVRON;
constexpr COLORREF kLogColours[CMainFrame::kLogCategories] = {
    win::ToColorRef(palette::kDecoderLogCategories[0]), win::ToColorRef(palette::kDecoderLogCategories[1]),
    win::ToColorRef(palette::kDecoderLogCategories[2]), win::ToColorRef(palette::kDecoderLogCategories[3]),
    win::ToColorRef(palette::kDecoderLogCategories[4]), win::ToColorRef(palette::kDecoderLogCategories[5]),
};

// Measures at 96 DPI; the window multiplies each by DPI / 96.
constexpr int kWindowWidth = 800;
constexpr int kWindowHeight = 600;
constexpr int kStatusFontHeight = 21;
constexpr int kGridColumnWidth = 220;
constexpr int kMenuBarHeight = 22;
constexpr int kBarRowHeight = 24;
constexpr int kMenuBandWidth = 300;
constexpr int kPaneButtonWidth = 90;
constexpr int kStatusBandWidth = 200;
constexpr int kNumberBandWidth = 40;
constexpr int kSpectrumBandWidth = 40;
constexpr int kSpectrumHeight = 150;

LOGFONTW MakeLogFont(const wchar_t* face, int height) {
    LOGFONTW font{};
    font.lfHeight = height;
    wcsncpy_s(font.lfFaceName, face, _TRUNCATE);
    return font;
}

}  // namespace

CMainFrame::CMainFrame()
    : soundCapture(audio::DirectSoundServiceFactory()), decoderSession(win::WaitAnsweringSentMessages) {}

CMainFrame::~CMainFrame() = default;

HWND CMainFrame::CreateMainWindow() {
    // Before the window exists its monitor is not known: the system's DPI, corrected in OnCreate.
    dpi = win::SystemDpi();
    return Create(nullptr, RECT{0, 0, Px(kWindowWidth), Px(kWindowHeight)}, nullptr, kMainWindowStyle,
                  kMainWindowExStyle);
}

void CMainFrame::CentreOnMonitor() {
    HMONITOR monitor = ::MonitorFromWindow(hwnd(), MONITOR_DEFAULTTONEAREST);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!monitor || !::GetMonitorInfoW(monitor, &info)) return;
    RECT rc{};
    ::GetWindowRect(hwnd(), &rc);
    long x = 0, y = 0;
    CentreOnWorkArea(PlacementRect{rc.left, rc.top, rc.right, rc.bottom},
                     PlacementRect{info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom}, x, y);
    ::SetWindowPos(hwnd(), nullptr, static_cast<int>(x), static_cast<int>(y), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMainFrame::ShowMessage(const std::wstring& text, const wchar_t* caption) {
    ::MessageBoxW(hwnd(), text.c_str(), caption, MB_OK);
}

LRESULT CMainFrame::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_CLOSE:
        if (decoderWaits > 0) return DeferMessage(msg, wParam, lParam);
        OnClose();
        break;
    case WM_COMMAND:
        if (decoderWaits > 0) return DeferMessage(msg, wParam, lParam);
        OnCommand(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
        // Only top-level windows hear of these; the grid rebuilds its colours and fonts from them.
        if (settingsGrid.hwnd()) ::SendMessageW(settingsGrid.hwnd(), msg, wParam, lParam);
        break;
    case kDecoderEndedMessage:
        OnDecoderEnded(wParam);
        return 0;
    case WM_TIMER:
        if (wParam != kRestartTimer) break;
        if (decoderWaits > 0) return DeferMessage(msg, wParam, lParam);
        OnRestartTimer();
        return 0;
    case WM_NOTIFY: {
        bool handled = false;
        LRESULT result = OnNotify(*reinterpret_cast<const NMHDR*>(lParam), handled);
        if (handled) return result;
        break;
    }
    default:
        break;
    }
    LRESULT result = 0;
    if (HandleFrameMessage(msg, wParam, lParam, result)) return result;
    if (win::ReflectNotification(hwnd(), msg, wParam, lParam, result)) return result;
    return DefaultHandling(msg, wParam, lParam);
}

LRESULT CMainFrame::DeferMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    deferredMessages.push_back({msg, wParam, lParam});
    return 0;
}

CMainFrame::DecoderWaitScope::~DecoderWaitScope() {
    if (--frame_.decoderWaits > 0) return;
    std::vector<DeferredMessage> deferred;
    deferred.swap(frame_.deferredMessages);
    for (const DeferredMessage& m : deferred) ::PostMessageW(frame_.hwnd(), m.message, m.wParam, m.lParam);
}

HWND CMainFrame::CreatePaneButton(const wchar_t* text) {
    HWND button = ::CreateWindowExW(0, L"BUTTON", nullptr, kPaneButtonStyle, 0, 0, Px(kPaneButtonWidth),
                                    Px(kBarRowHeight), hwnd(), nullptr, Instance(), nullptr);
    ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    ::SetWindowTextW(button, text);
    return button;
}

HWND CMainFrame::CreateStatusField() {
    return ::CreateWindowExW(0, L"STATIC", nullptr, kStatusFieldStyle, 0, 0, 0, Px(kBarRowHeight), hwnd(), nullptr,
                             Instance(), nullptr);
}

void CMainFrame::CreateSettingsGrid() {
    settingsGrid.create(hwnd(), RECT{0, 0, 0, 0}, kChildStyle, WS_EX_CLIENTEDGE);
    settingsGrid.setOptions(GRID_OPT_SINGLE_CLICK_EDIT);
    settingsGrid.AddColumn(L"Name", Px(kGridColumnWidth));
    settingsGrid.AddColumn(L"Value", Px(kGridColumnWidth));
}

void CMainFrame::CreateStatusFont() {
    LOGFONTW statusLogFont = MakeLogFont(L"Arial", Px(kStatusFontHeight));
    win::UniqueFont font(::CreateFontIndirectW(&statusLogFont));
    for (HWND field : {statusField, lesField, frameField})
        ::SendMessageW(field, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    statusFont = std::move(font);  // the old font goes only once no field uses it
}

void CMainFrame::OnCreate() {
    // 1-2: icon and caption.
    HICON icon = static_cast<HICON>(::LoadImageW(Instance(), MAKEINTRESOURCEW(IDI_APPICON), IMAGE_ICON, 16, 16, LR_SHARED));
    ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SetWindowTextW(hwnd(), L"Corvane VASTREL GUI v" VASTREL_VERSION_TEXT);

    // The monitor the window is on decides its measures.
    dpi = win::DpiOf(hwnd());

    // 3: the spectrum display and the run state.
    spectrumDisplay.Create(hwnd(), RECT{0, 0, 0, Px(kSpectrumHeight)}, nullptr, kChildStyle, WS_EX_CLIENTEDGE);
    spectrum.SetStartupValues();
    sampleRate = 48000;
    captureChannel = 0;
    captureRunning = false;
    decoderRunning = false;

    // 4-7: the bar and the menu bar.
    topBar = CreateTopBar(kTopBarStyle);
    menuBar.CreateBar(hwnd(), RECT{0, 0, 0, Px(kMenuBarHeight)}, kMenuBarStyle);
    menuBar.LoadMenuResource(Instance(), IDR_MAINMENU);
    frameMenuBar = &menuBar;
    SetMenuItemState(ID_FFT_OFF, MFS_GRAYED);
    SetMenuItemState(ID_FFT_ON, MFS_ENABLED);
    SetMenuItemState(ID_DECODER_STOP, MFS_GRAYED);
    InsertBand(topBar, menuBar.hwnd(), nullptr, kBandStyle | RBBS_BREAK, Px(kMenuBandWidth), Px(kBarRowHeight));

    // 8-11: pane buttons and status fields on the second row.
    fftSettingsButton = CreatePaneButton(L"FFT && Settings");
    InsertBand(topBar, fftSettingsButton, nullptr, kBandStyle | RBBS_BREAK, Px(kPaneButtonWidth), Px(kBarRowHeight));
    decoderLogButton = CreatePaneButton(L"Decoder log");
    InsertBand(topBar, decoderLogButton, nullptr, kBandStyle, Px(kPaneButtonWidth), Px(kBarRowHeight));
    // The Messages pane gets a band of its own so that it can be reached.
    messagesButton = CreatePaneButton(L"Messages");
    InsertBand(topBar, messagesButton, nullptr, kBandStyle, Px(kPaneButtonWidth), Px(kBarRowHeight));
    mapButton = CreatePaneButton(L"Map");
    ::SetWindowLongPtrW(mapButton, GWLP_ID, IDC_MAP_BUTTON);
    InsertBand(topBar, mapButton, nullptr, kBandStyle, Px(kPaneButtonWidth), Px(kBarRowHeight));
    statusField = CreateStatusField();
    InsertBand(topBar, statusField, L" Status: ", kBandStyle, Px(kStatusBandWidth), Px(kBarRowHeight));
    lesField = CreateStatusField();
    InsertBand(topBar, lesField, L" LES: ", kBandStyle, Px(kNumberBandWidth), Px(kBarRowHeight));
    frameField = CreateStatusField();
    InsertBand(topBar, frameField, L" Frame: ", kBandStyle, Px(kNumberBandWidth), Px(kBarRowHeight));

    // 12: the status font and texts.
    CreateStatusFont();
    ::SetWindowTextW(statusField, L"Idle");
    ::SetWindowTextW(lesField, L"---");
    ::SetWindowTextW(frameField, L"----");

    // 13-15: the decoder log, its colours and filter.
    decoderLog.Create(hwnd(), Instance());
    // The decoder log keeps the "Log lines kept" row's number of lines; older ones leave the top
    // (the text log and the store keep everything).
    decoderLog.SetLineLimit(static_cast<std::size_t>(settings::StartupSettings().logLinesKept));
    for (int i = 0; i < kLogCategories; ++i) {
        logFormats[i] = CHARFORMATW{};
        logFormats[i].cbSize = sizeof(CHARFORMATW);
        logFormats[i].dwMask = CFM_COLOR;
        logFormats[i].crTextColor = kLogColours[i];
    }
    const LONG startFilter[kLogCategories] = {1, 1, 1, 1, 0, 1};
    for (int i = 0; i < kLogCategories; ++i) logFilter->Set(i, startFilter[i] != 0);
    for (UINT id : {ID_FILTER_FRAME_HEADERS, ID_FILTER_BB_CONTENTS, ID_FILTER_BB_HEADER, ID_FILTER_UNKNOWN,
                    ID_FILTER_MESSAGE_TEXT})
        ::CheckMenuItem(menu(), id, MF_BYCOMMAND | MF_CHECKED);

    // 16: the spectrum band.
    InsertBand(topBar, spectrumDisplay.hwnd(), nullptr, kBandStyle | RBBS_BREAK, Px(kSpectrumBandWidth),
               Px(kSpectrumHeight));
    ::RedrawWindow(spectrumDisplay.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);

    // 17-19: the settings grid, the capture devices and the setting rows.
    CreateSettingsGrid();
    clientWindow = settingsGrid.hwnd();
    audio::EnumerateCaptureDevices(captureDevices);
    settingRows.Build(settingsGrid, captureDevices.Names());

    // 20-23: pack the bands, select the first pane, the messages pane.
    PackBands();
    currentPane = -1;
    SelectPane(kPaneFftSettings);
    settingRows.ApplyLabelColours();
    messagesPane.SetDpi(dpi);
    mapPane.SetDpi(dpi);
    messagesPane.Create(hwnd(), RECT{0, 0, 0, 0}, nullptr, kMessagesPaneStyle, WS_EX_STATICEDGE);
    messagesPane.SetStorePath(MessageStoreFullPath());
    mapPane.SetDpi(dpi);
    mapPane.Create(hwnd(), IDC_MAP_PANE);
    mapPane.SetOnPick([this](std::int64_t message) { messagesPane.SelectMessage(message); });
    UpdateLayout(false);  // gives the new hidden pane its place
}

// Each band's 96-DPI width and height, by its child; the bar keeps the widths it packed to otherwise.
void CMainFrame::RescaleBands() {
    const struct {
        HWND child;
        int width, height;
    } bands[] = {
        {menuBar.hwnd(), kMenuBandWidth, kBarRowHeight},        {fftSettingsButton, kPaneButtonWidth, kBarRowHeight},
        {decoderLogButton, kPaneButtonWidth, kBarRowHeight},    {messagesButton, kPaneButtonWidth, kBarRowHeight},
        {mapButton, kPaneButtonWidth, kBarRowHeight},
        {statusField, kStatusBandWidth, kBarRowHeight},         {lesField, kNumberBandWidth, kBarRowHeight},
        {frameField, kNumberBandWidth, kBarRowHeight},          {spectrumDisplay.hwnd(), kSpectrumBandWidth, kSpectrumHeight},
    };
    const int count = static_cast<int>(::SendMessageW(topBar, RB_GETBANDCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        REBARBANDINFOW band{};
        band.cbSize = sizeof(band);
        band.fMask = RBBIM_CHILD;
        ::SendMessageW(topBar, RB_GETBANDINFOW, i, reinterpret_cast<LPARAM>(&band));
        for (const auto& b : bands) {
            if (b.child != band.hwndChild) continue;
            band.fMask = RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_IDEALSIZE;
            band.cxMinChild = band.cx = band.cxIdeal = static_cast<UINT>(Px(b.width));
            band.cyMinChild = static_cast<UINT>(Px(b.height));
            ::SendMessageW(topBar, RB_SETBANDINFOW, i, reinterpret_cast<LPARAM>(&band));
        }
    }
    PackBands();
}

void CMainFrame::OnDpiChanged(int newDpi, const RECT* suggested) {
    if (newDpi <= 0) return;
    dpi = newDpi;
    CreateStatusFont();
    RescaleBands();
    for (int column : {0, 1})
        ::SendMessageW(settingsGrid.hwnd(), LVM_SETCOLUMNWIDTH, column, Px(kGridColumnWidth));
    settingsGrid.SetDpi(dpi);
    messagesPane.SetDpi(dpi);
    if (suggested)
        ::SetWindowPos(hwnd(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateLayout(true);
}
