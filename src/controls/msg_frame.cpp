#include "controls/msg_frame.h"

#include <commctrl.h>
#include <richedit.h>

#include <iterator>

#include "win/reflect.h"

namespace {

constexpr DWORD kBarStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT |
                            RBS_BANDBORDERS | CCS_NODIVIDER;
constexpr DWORD kBandChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr UINT kBandStyle = RBBS_CHILDEDGE | RBBS_NOGRIPPER;
constexpr int kBandChildHeight = 22;

constexpr int kFilterWidth = 50;
constexpr int kSearchWidth = 60;
constexpr int kQuickFilterWidth = 70;
constexpr int kOptionsWidth = 60;

constexpr DWORD kTextViewStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_DLGFRAME | WS_VSCROLL | ES_MULTILINE |
                                 ES_READONLY | ES_WANTRETURN | ES_DISABLENOSCROLL;
constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_VSCROLL | LVS_REPORT | LVS_SINGLESEL |
                             LVS_SHOWSELALWAYS;
constexpr DWORD kListExStyle = LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT;

constexpr wchar_t kInitialFilter[] = L"(age_day<1) & les=121";

void UseGuiFont(HWND control) {
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
}

bool IsControlColour(UINT msg) {
    return msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC;
}

}  // namespace

CMsgFrame::~CMsgFrame() {
    // The text view uses textFont_, which goes before the base class would destroy the window.
    if (hwnd() && ::IsWindow(hwnd())) ::DestroyWindow(hwnd());
}

LRESULT CMsgFrame::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_SIZE:
        OnSize(wParam);
        return DefaultHandling(msg, wParam, lParam);
    case WM_NOTIFY:
        if (lParam && OnNotify(*reinterpret_cast<const NMHDR*>(lParam))) return 0;
        break;
    default:
        break;
    }
    LRESULT result = 0;
    if (HandleFrameMessage(msg, wParam, lParam, result)) return result;
    if (win::ReflectNotification(hwnd(), msg, wParam, lParam, result)) {
        // Controls that do not colour themselves answer a reflected colour request with no brush;
        // the default colours then come from the ordinary handling.
        if (IsControlColour(msg) && result == 0) return DefaultHandling(msg, wParam, lParam);
        return result;
    }
    return DefaultHandling(msg, wParam, lParam);
}

void CMsgFrame::OnCreate() {
    topBar = CreateTopBar(kBarStyle);

    // ES_AUTOHSCROLL: without it the edit refuses keystrokes once the text reaches its right edge,
    // and a filter expression is easily longer than the band.
    filterEdit_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", kInitialFilter, kBandChildStyle | ES_AUTOHSCROLL, 0, 0,
                                    Px(kFilterWidth), Px(kBandChildHeight), hwnd(), nullptr, Instance(), nullptr);
    UseGuiFont(filterEdit_);
    InsertBand(topBar, filterEdit_, L"Advanced search", kBandStyle, Px(kFilterWidth), Px(kBandChildHeight));

    searchButton_ = CreateBandButton(L"Search", kSearchWidth);
    quickFilterButton_ = CreateBandButton(L"Quick filter", kQuickFilterWidth);
    optionsButton_ = CreateBandButton(L"Options", kOptionsWidth);
    PackBands(topBar);

    CreateTextView();
    CreateList();
    listHeight_ = Px(kListHeight);
}

HWND CMsgFrame::CreateBandButton(const wchar_t* text, int width) {
    HWND button = ::CreateWindowExW(0, L"BUTTON", text, kBandChildStyle | BS_PUSHBUTTON, 0, 0, Px(width),
                                    Px(kBandChildHeight), hwnd(), nullptr, Instance(), nullptr);
    UseGuiFont(button);
    InsertBand(topBar, button, nullptr, kBandStyle, Px(width), Px(kBandChildHeight));
    return button;
}

void CMsgFrame::CreateTextView() {
    clientWindow = ::CreateWindowExW(0, L"RichEdit20W", nullptr, kTextViewStyle, 0, 0, 0, 0, hwnd(), nullptr,
                                     Instance(), nullptr);
    if (!clientWindow) return;  // no rich-edit library: the pane shows the list alone
    LOGFONTW font{};
    wcsncpy_s(font.lfFaceName, L"Fixedsys", _TRUNCATE);
    textFont_.reset(::CreateFontIndirectW(&font));
    if (textFont_) ::SendMessageW(clientWindow, WM_SETFONT, reinterpret_cast<WPARAM>(textFont_.get()), FALSE);
}

void CMsgFrame::CreateList() {
    list_ = ::CreateWindowExW(0, WC_LISTVIEWW, nullptr, kListStyle, 0, 0, 0, 0, hwnd(), nullptr, Instance(), nullptr);
    if (list_) ::SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, kListExStyle, kListExStyle);
}

int CMsgFrame::barChildHeight() const noexcept { return Px(kBandChildHeight); }

void CMsgFrame::SetDpi(int dpi) {
    if (dpi <= 0 || dpi == dpi_) return;
    dpi_ = dpi;
    listHeight_ = Px(kListHeight);
    if (!topBar) return;
    const int widths[] = {kFilterWidth, kSearchWidth, kQuickFilterWidth, kOptionsWidth};
    const int count = static_cast<int>(::SendMessageW(topBar, RB_GETBANDCOUNT, 0, 0));
    for (int i = 0; i < count && i < static_cast<int>(std::size(widths)); ++i) {
        REBARBANDINFOW band{};
        band.cbSize = sizeof(band);
        band.fMask = RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_IDEALSIZE;
        band.cxMinChild = band.cx = band.cxIdeal = static_cast<UINT>(Px(widths[i]));
        band.cyMinChild = static_cast<UINT>(Px(kBandChildHeight));
        ::SendMessageW(topBar, RB_SETBANDINFOW, i, reinterpret_cast<LPARAM>(&band));
    }
    UpdateLayout(true);
}

void CMsgFrame::OnSize(WPARAM sizeType) {
    if (sizeType != SIZE_MINIMIZED) UpdateLayout(true);
}

bool CMsgFrame::OnNotify(const NMHDR& header) {
    if (!topBar || header.hwndFrom != topBar || header.code != RBN_AUTOSIZE) return false;
    UpdateLayout(false);
    return true;
}

void CMsgFrame::WidenFilterBand() {
    if (!topBar || ::SendMessageW(topBar, RB_GETBANDCOUNT, 0, 0) < 1) return;
    // Asking for more than the whole row makes the bar shrink the bands to its right to their
    // minimum widths, so the filter band takes all the spare width. The request is measured from the
    // pane's width rather than added to the band's last request, which would grow without bound
    // over many layouts and eventually wrap around.
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    const LONG width = client.right > client.left ? client.right - client.left : 0;
    REBARBANDINFOW band{};
    band.cbSize = sizeof(band);
    band.fMask = RBBIM_SIZE;
    band.cx = static_cast<UINT>(width + kFilterBandGrowth);
    ::SendMessageW(topBar, RB_SETBANDINFOW, 0, reinterpret_cast<LPARAM>(&band));
}

void CMsgFrame::UpdateLayout(bool resizeBars) {
    WidenFilterBand();
    const RECT rect = PlaceTopBar(resizeBars);
    const int width = rect.right > rect.left ? rect.right - rect.left : 0;
    constexpr UINT kPlace = SWP_NOZORDER | SWP_NOACTIVATE;
    if (list_) ::SetWindowPos(list_, nullptr, rect.left, rect.top, width, listHeight_, kPlace);
    const int textTop = rect.top + listHeight_;
    if (clientWindow) {
        ::SetWindowPos(clientWindow, nullptr, rect.left, textTop, width,
                       rect.bottom > textTop ? rect.bottom - textTop : 0, kPlace);
    }
}
