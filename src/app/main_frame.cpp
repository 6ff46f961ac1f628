#include "app/main_frame.h"

#include <commctrl.h>

#include <algorithm>

#include "app/main_frame_styles.h"
#include "app/window_placement.h"
#include "audio/capture_devices_win.h"
#include "audio/dsound_capture_win.h"
#include "resource.h"
#include "settings/key_table.h"
#include "version.h"
#include "win/message_wait.h"
#include "win/reflect.h"

namespace {

using namespace main_frame_styles;

constexpr UINT kBandStyle = RBBS_CHILDEDGE | RBBS_NOGRIPPER | RBBS_USECHEVRON;

// Measures at 96 DPI; the window multiplies each by DPI / 96.
constexpr int kWindowWidth = 800;
constexpr int kWindowHeight = 600;
constexpr int kStatusFontHeight = 21;
constexpr int kGridColumnWidth = 220;
constexpr int kMenuBarHeight = 22;
constexpr int kBarRowHeight = 24;
constexpr int kMenuBandWidth = 300;
constexpr int kPaneButtonWidth = 90;
// "Messages (123 new)" needs more room than the others, "Map" and "Reception" less: the row keeps
// its width.
constexpr int kMessagesButtonWidth = 130;
constexpr int kMapButtonWidth = 60;
constexpr int kReceptionButtonWidth = 80;
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
    : soundCapture_(audio::DirectSoundServiceFactory()) {}

CMainFrame::~CMainFrame() = default;

HWND CMainFrame::CreateMainWindow() {
    // Before the window exists its monitor is not known: the system's DPI, corrected in OnCreate.
    dpi_ = win::SystemDpi();
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
        if (run_.Waiting()) return DeferMessage(msg, wParam, lParam);
        OnClose();
        break;
    case WM_COMMAND:
        if (run_.Waiting()) return DeferMessage(msg, wParam, lParam);
        OnCommand(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_TIMER:
        if (wParam != kSnrTimer) break;
        OnSnrTimer();
        return 0;
    case kTrayMessage:
        if (run_.Waiting()) return 0;  // a click while the decoder is waited for changes nothing
        OnTrayEvent(LOWORD(lParam));
        return 0;
    case WM_SIZE:
        // "Hide in tray when minimised": the window leaves the taskbar; the tray icon brings it back.
        if (wParam == SIZE_MINIMIZED && trayIcon_.added() && settingRows_.ReadBool(settings::kTrayOnMinimise))
            ::ShowWindow(hwnd(), SW_HIDE);
        break;
    case WM_DESTROY:
        trayIcon_.Remove();
        break;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
        // Only top-level windows hear of these; the grid rebuilds its colours and fonts from them.
        if (settingsGrid_.hwnd()) ::SendMessageW(settingsGrid_.hwnd(), msg, wParam, lParam);
        break;
    case WM_NOTIFY: {
        const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
        if (static_cast<int>(header.code) == MSGFRAME_UNREAD_CHANGED && header.hwndFrom == messagesPane_.hwnd()) {
            OnUnreadChanged(reinterpret_cast<const MsgFrameUnread&>(header).unread);
            return 0;
        }
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

void CMainFrame::OnUnreadChanged(std::int64_t unread) {
    // The pane's button says how many messages the user has not seen yet.
    const std::wstring text = unread > 0 ? L"Messages (" + std::to_wstring(unread) + L" new)" : L"Messages";
    if (messagesButton_) ::SetWindowTextW(messagesButton_, text.c_str());
    unreadCount_ = unread;
    RefreshTrayTip();
}

LRESULT CMainFrame::DeferMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    deferredMessages_.push_back({msg, wParam, lParam});
    return 0;
}

void CMainFrame::OnRunWaitOver() {
    std::vector<DeferredMessage> deferred;
    deferred.swap(deferredMessages_);
    for (const DeferredMessage& m : deferred) ::PostMessageW(hwnd(), m.message, m.wParam, m.lParam);
}

HWND CMainFrame::CreatePaneButton(const wchar_t* text, int id) {
    HWND button = ::CreateWindowExW(0, L"BUTTON", nullptr, kPaneButtonStyle, 0, 0, Px(kPaneButtonWidth),
                                    Px(kBarRowHeight), hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                    Instance(), nullptr);
    ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    ::SetWindowTextW(button, text);
    return button;
}

HWND CMainFrame::CreateStatusField(int id) {
    return ::CreateWindowExW(0, L"STATIC", nullptr, kStatusFieldStyle, 0, 0, 0, Px(kBarRowHeight), hwnd(),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
}

void CMainFrame::CreateSettingsGrid() {
    settingsGrid_.create(hwnd(), RECT{0, 0, 0, 0}, kChildStyle, WS_EX_CLIENTEDGE);
    ::SetWindowLongPtrW(settingsGrid_.hwnd(), GWLP_ID, IDC_SETTINGS_GRID);
    settingsGrid_.setOptions(GRID_OPT_SINGLE_CLICK_EDIT);
    settingsGrid_.AddColumn(L"Name", Px(kGridColumnWidth));
    settingsGrid_.AddColumn(L"Value", Px(kGridColumnWidth));
}

void CMainFrame::CreateStatusFont() {
    LOGFONTW statusLogFont = MakeLogFont(L"Arial", Px(kStatusFontHeight));
    win::UniqueFont font(::CreateFontIndirectW(&statusLogFont));
    for (HWND field : {statusField_, lesField_, frameField_})
        ::SendMessageW(field, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    statusFont_ = std::move(font);  // the old font goes only once no field uses it
}

void CMainFrame::OnCreate() {
    // 1-2: icon and caption.
    HICON icon = static_cast<HICON>(::LoadImageW(Instance(), MAKEINTRESOURCEW(IDI_APPICON), IMAGE_ICON, 16, 16, LR_SHARED));
    ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SetWindowTextW(hwnd(), L"Corvane VASTREL GUI v" VASTREL_VERSION_TEXT);

    // The monitor the window is on decides its measures.
    dpi_ = win::DpiOf(hwnd());

    // 3: the spectrum_ display and the run state.
    spectrumDisplay_.Create(hwnd(), RECT{0, 0, 0, Px(kSpectrumHeight)}, nullptr, kChildStyle, WS_EX_CLIENTEDGE,
                            IDC_SPECTRUM);
    spectrum_.SetStartupValues();
    sampleRate_ = 48000;
    captureChannel_ = 0;
    captureRunning_ = false;

    // 4-7: the bar and the menu bar.
    topBar = CreateTopBar(kTopBarStyle);
    menuBar_.CreateBar(hwnd(), RECT{0, 0, 0, Px(kMenuBarHeight)}, kMenuBarStyle);
    ::SetWindowLongPtrW(menuBar_.hwnd(), GWLP_ID, IDC_MENU_BAR);
    menuBar_.LoadMenuResource(Instance(), IDR_MAINMENU);
    frameMenuBar = &menuBar_;
    SetMenuItemState(ID_FFT_OFF, MFS_GRAYED);
    SetMenuItemState(ID_FFT_ON, MFS_ENABLED);
    SetMenuItemState(ID_DECODER_STOP, MFS_GRAYED);
    InsertBand(topBar, menuBar_.hwnd(), nullptr, kBandStyle | RBBS_BREAK, Px(kMenuBandWidth), Px(kBarRowHeight));

    // 8-11: pane buttons and status fields on the second row.
    fftSettingsButton_ = CreatePaneButton(L"FFT && Settings", IDC_FFT_SETTINGS_BUTTON);
    InsertBand(topBar, fftSettingsButton_, nullptr, kBandStyle | RBBS_BREAK, Px(kPaneButtonWidth), Px(kBarRowHeight));
    decoderLogButton_ = CreatePaneButton(L"Decoder log", IDC_DECODER_LOG_BUTTON);
    InsertBand(topBar, decoderLogButton_, nullptr, kBandStyle, Px(kPaneButtonWidth), Px(kBarRowHeight));
    // The Messages pane gets a band of its own so that it can be reached.
    messagesButton_ = CreatePaneButton(L"Messages", IDC_MESSAGES_BUTTON);
    InsertBand(topBar, messagesButton_, nullptr, kBandStyle, Px(kMessagesButtonWidth), Px(kBarRowHeight));
    mapButton_ = CreatePaneButton(L"Map", IDC_MAP_BUTTON);
    InsertBand(topBar, mapButton_, nullptr, kBandStyle, Px(kMapButtonWidth), Px(kBarRowHeight));
    receptionButton_ = CreatePaneButton(L"Reception", IDC_RECEPTION_BUTTON);
    InsertBand(topBar, receptionButton_, nullptr, kBandStyle, Px(kReceptionButtonWidth), Px(kBarRowHeight));
    statusField_ = CreateStatusField(IDC_STATUS_FIELD);
    InsertBand(topBar, statusField_, L" Status: ", kBandStyle, Px(kStatusBandWidth), Px(kBarRowHeight));
    lesField_ = CreateStatusField(IDC_LES_FIELD);
    InsertBand(topBar, lesField_, L" LES: ", kBandStyle, Px(kNumberBandWidth), Px(kBarRowHeight));
    frameField_ = CreateStatusField(IDC_FRAME_FIELD);
    InsertBand(topBar, frameField_, L" Frame: ", kBandStyle, Px(kNumberBandWidth), Px(kBarRowHeight));

    // 12: the status font and texts.
    CreateStatusFont();
    ::SetWindowTextW(statusField_, L"Idle");
    ::SetWindowTextW(lesField_, L"---");
    ::SetWindowTextW(frameField_, L"----");

    // 13-15: the decoder log, its colours and filter.
    decoderLog_.Create(hwnd(), IDC_DECODER_LOG);
    // The decoder log keeps the "Log lines kept" row's number of lines; older ones leave the top
    // (the text log and the store keep everything).
    decoderLog_.SetLineLimit(static_cast<std::size_t>(settings::StartupSettings().logLinesKept));
    // Every category is shown at start but the decoder's own notes.
    for (int i = 0; i < decoder::kCategories; ++i)
        run_.Filter().Set(i, static_cast<decoder::Category>(i) != decoder::Category::DecoderNote);
    for (UINT id : {ID_FILTER_FRAME_HEADERS, ID_FILTER_BB_CONTENTS, ID_FILTER_BB_HEADER, ID_FILTER_UNKNOWN,
                    ID_FILTER_MESSAGE_TEXT})
        ::CheckMenuItem(menu(), id, MF_BYCOMMAND | MF_CHECKED);

    // 16: the spectrum_ band.
    InsertBand(topBar, spectrumDisplay_.hwnd(), nullptr, kBandStyle | RBBS_BREAK, Px(kSpectrumBandWidth),
               Px(kSpectrumHeight));
    ::RedrawWindow(spectrumDisplay_.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);

    // 17-19: the settings grid, the capture devices and the setting rows.
    CreateSettingsGrid();
    clientWindow = settingsGrid_.hwnd();
    audio::EnumerateCaptureDevices(captureDevices_);
    settingRows_.Build(settingsGrid_, captureDevices_.Names());
    alertFilter_ = settings::StartupSettings().alertFilter;

    // 20-23: pack the bands, select the first pane, the messages pane.
    PackBands();
    currentPane_.reset();
    SelectPane(Pane::FftSettings);
    settingRows_.ApplyLabelColours();
    messagesPane_.SetDpi(dpi_);
    messagesPane_.Create(hwnd(), RECT{0, 0, 0, 0}, nullptr, kMessagesPaneStyle, WS_EX_STATICEDGE, IDC_MESSAGES_PANE);
    messagesPane_.SetStorePath(MessageStoreFullPath());
    mapPane_.SetDpi(dpi_);
    mapPane_.Create(hwnd(), IDC_MAP_PANE);
    mapPane_.SetOnPick([this](std::int64_t message) { messagesPane_.SelectMessage(message); });
    receptionPane_.SetDpi(dpi_);
    receptionPane_.SetClock([this] { return run_.UtcNow(); });
    receptionPane_.Create(hwnd(), kMessagesPaneStyle, WS_EX_STATICEDGE, IDC_RECEPTION_PANE, IDC_RECEPTION_SPAN,
                          IDC_RECEPTION_EXPORT);
    receptionPane_.SetStorePath(MessageStoreFullPath());
    UpdateLayout(false);  // gives the new hidden pane its place
    FitSettingLabels();
    CreateTrayIcon();
}

void CMainFrame::FitSettingLabels() {
    // Every label can be read: the first column takes what the longest needs in the grid's own font,
    // but leaves the values at least half the grid.
    RECT client{};
    ::GetClientRect(settingsGrid_.hwnd(), &client);
    const int half = client.right > 0 ? client.right / 2 : Px(kGridColumnWidth);
    settingsGrid_.fitColumn(0, std::max(half, Px(kGridColumnWidth) / 2));
}

// Each band's 96-DPI width and height, by its child; the bar keeps the widths it packed to otherwise.
void CMainFrame::RescaleBands() {
    const struct {
        HWND child;
        int width, height;
    } bands[] = {
        {menuBar_.hwnd(), kMenuBandWidth, kBarRowHeight},        {fftSettingsButton_, kPaneButtonWidth, kBarRowHeight},
        {decoderLogButton_, kPaneButtonWidth, kBarRowHeight},    {messagesButton_, kMessagesButtonWidth, kBarRowHeight},
        {mapButton_, kMapButtonWidth, kBarRowHeight},
        {receptionButton_, kReceptionButtonWidth, kBarRowHeight},
        {statusField_, kStatusBandWidth, kBarRowHeight},         {lesField_, kNumberBandWidth, kBarRowHeight},
        {frameField_, kNumberBandWidth, kBarRowHeight},          {spectrumDisplay_.hwnd(), kSpectrumBandWidth, kSpectrumHeight},
    };
    win::rebar::ForEachBand(topBar, RBBIM_CHILD, [&](int i, const REBARBANDINFOW& band) {
        for (const auto& b : bands)
            if (b.child == band.hwndChild) win::rebar::SetBandSize(topBar, i, Px(b.width), Px(b.height));
    });
    PackBands();
}

void CMainFrame::OnDpiChanged(int newDpi, const RECT* suggested) {
    if (newDpi <= 0) return;
    dpi_ = newDpi;
    CreateStatusFont();
    RescaleBands();
    for (int column : {0, 1})
        ::SendMessageW(settingsGrid_.hwnd(), LVM_SETCOLUMNWIDTH, column, Px(kGridColumnWidth));
    settingsGrid_.SetDpi(dpi_);
    messagesPane_.SetDpi(dpi_);
    mapPane_.SetDpi(dpi_);
    receptionPane_.SetDpi(dpi_);
    if (suggested)
        ::SetWindowPos(hwnd(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateLayout(true);
    FitSettingLabels();
}
