#include "controls/msg_frame.h"

#include <commctrl.h>
#include <richedit.h>
#include <windowsx.h>

#include <algorithm>

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
constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_VSCROLL | WS_TABSTOP | LVS_REPORT |
                             LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDATA;
constexpr DWORD kListExStyle = LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT;

constexpr wchar_t kInitialFilter[] = L"(age_day<1) & les=121";
constexpr UINT_PTR kLiveTimer = 1;
constexpr UINT_PTR kCountTimer = CMsgFrame::kCountTimerId;
constexpr UINT_PTR kKeysSubclass = 1;

void UseGuiFont(HWND control) {
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
}

bool IsControlColour(UINT msg) {
    return msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC;
}

}  // namespace

// The controls' key hook points at this object: it goes before the object does. The window itself
// goes in the base, detached (window.h).
CMsgFrame::~CMsgFrame() {
    for (HWND control : {filterEdit_, searchButton_, quickFilterButton_, optionsButton_, list_}) {
        if (control && ::IsWindow(control)) ::RemoveWindowSubclass(control, ControlKeys, kKeysSubclass);
    }
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
        if (lParam) {
            LRESULT result = 0;
            if (OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return result;
        }
        break;
    case WM_COMMAND:
        if (OnCommand(wParam, lParam)) return 0;
        break;
    case WM_TIMER:
        if (wParam == kLiveTimer) {
            CheckForNewMessages();
            return 0;
        }
        if (wParam == kCountTimer) {
            OnCountTimer();
            return 0;
        }
        break;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == hwnd() && LOWORD(lParam) == HTCLIENT) {
            POINT p{};
            ::GetCursorPos(&p);
            ::ScreenToClient(hwnd(), &p);
            if (InSplitter(p.y)) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_SIZENS));
                return TRUE;
            }
        }
        break;
    case WM_LBUTTONDOWN:
        if (InSplitter(GET_Y_LPARAM(lParam))) {
            dragging_ = true;
            dragOffset_ = GET_Y_LPARAM(lParam) - (listTop_ + listHeight_);
            ::SetCapture(hwnd());
            return 0;
        }
        break;
    case WM_MOUSEMOVE:
        if (dragging_) {
            OnSplitterDrag(GET_Y_LPARAM(lParam) - dragOffset_);
            return 0;
        }
        break;
    case WM_LBUTTONUP:
        if (dragging_) {
            ::ReleaseCapture();  // WM_CAPTURECHANGED ends the drag
            return 0;
        }
        break;
    case WM_CAPTURECHANGED:
        dragging_ = false;
        return 0;
    case WM_DESTROY:
        ::KillTimer(hwnd(), kLiveTimer);
        ::KillTimer(hwnd(), kCountTimer);
        counter_.reset();  // these wait for their threads, which end soon once interrupted
        retired_.clear();
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
    filterEdit_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", kInitialFilter,
                                    kBandChildStyle | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, Px(kFilterWidth),
                                    Px(kBandChildHeight), hwnd(), nullptr, Instance(), nullptr);
    UseGuiFont(filterEdit_);
    InsertBand(topBar, filterEdit_, L"Advanced search", kBandStyle, Px(kFilterWidth), Px(kBandChildHeight));

    searchButton_ = CreateBandButton(L"Search", kSearchWidth);
    quickFilterButton_ = CreateBandButton(L"Quick filter", kQuickFilterWidth);
    optionsButton_ = CreateBandButton(L"Options", kOptionsWidth);
    PackBands(topBar);

    CreateTextView();
    CreateList();
    listHeight_ = Px(kListHeight);
    // Tab, Enter and Ctrl+C reach the pane from the controls that have the focus.
    for (HWND control : {filterEdit_, searchButton_, quickFilterButton_, optionsButton_, list_}) {
        if (control) ::SetWindowSubclass(control, ControlKeys, kKeysSubclass, reinterpret_cast<DWORD_PTR>(this));
    }
    ::SetTimer(hwnd(), kLiveTimer, kLiveIntervalMs, nullptr);
    ShowStatus(L"No message store is set.");
}

HWND CMsgFrame::CreateBandButton(const wchar_t* text, int width) {
    HWND button = ::CreateWindowExW(0, L"BUTTON", text, kBandChildStyle | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, Px(width),
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
    // The reading line's link to the cancelling message reports its clicks.
    ::SendMessageW(clientWindow, EM_SETEVENTMASK, 0, ENM_LINK);
}

void CMsgFrame::CreateList() {
    list_ = ::CreateWindowExW(0, WC_LISTVIEWW, nullptr, kListStyle, 0, 0, 0, 0, hwnd(), nullptr, Instance(), nullptr);
    if (!list_) return;
    ::SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, kListExStyle, kListExStyle);
    UseGuiFont(list_);
    AddColumns();
}

int CMsgFrame::barChildHeight() const noexcept { return Px(kBandChildHeight); }

void CMsgFrame::SetDpi(int dpi) {
    if (dpi <= 0 || dpi == dpi_) return;
    dpi_ = dpi;
    listHeight_ = Px(kListHeight);
    if (!topBar) return;
    const int widths[] = {kFilterWidth, kSearchWidth, kQuickFilterWidth, kOptionsWidth};
    const int count = win::rebar::BandCount(topBar);
    for (int i = 0; i < count && i < static_cast<int>(std::size(widths)); ++i)
        win::rebar::SetBandSize(topBar, i, Px(widths[i]), Px(kBandChildHeight));
    UpdateLayout(true);
}

void CMsgFrame::OnSize(WPARAM sizeType) {
    if (sizeType != SIZE_MINIMIZED) UpdateLayout(true);
}

bool CMsgFrame::OnNotify(const NMHDR& header, LRESULT& result) {
    if (clientWindow && header.hwndFrom == clientWindow && header.code == EN_LINK) {
        const auto& link = reinterpret_cast<const ENLINK&>(header);
        if (link.msg == WM_LBUTTONUP) FollowCancellation();
        result = 0;
        return true;
    }
    if (list_ && (header.hwndFrom == list_ || ::GetParent(header.hwndFrom) == list_))
        return OnListNotify(header, result);
    if (!topBar || header.hwndFrom != topBar || header.code != RBN_AUTOSIZE) return false;
    UpdateLayout(false);
    return true;
}

bool CMsgFrame::OnCommand(WPARAM wParam, LPARAM lParam) {
    const HWND from = reinterpret_cast<HWND>(lParam);
    if (!from || HIWORD(wParam) != BN_CLICKED) return false;
    if (from == searchButton_) {
        Search();
    } else if (from == quickFilterButton_) {
        ShowQuickFilterMenu();
    } else if (from == optionsButton_) {
        ShowOptionsMenu();
    } else {
        return false;
    }
    return true;
}

LRESULT CALLBACK CMsgFrame::ControlKeys(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    auto* pane = reinterpret_cast<CMsgFrame*>(self);
    if (msg == WM_KEYDOWN && pane->OnControlKey(hwnd, static_cast<UINT>(wParam))) return 0;
    // The edit would beep at Enter and Tab, which it has already handed on.
    if (msg == WM_CHAR && (wParam == L'\r' || wParam == L'\t') && hwnd == pane->filterEdit_) return 0;
    // Space marks read and moves on: the list's own type-ahead search must not move it again.
    if (msg == WM_CHAR && wParam == L' ' && hwnd == pane->list_) return 0;
    if (msg == WM_GETDLGCODE && hwnd == pane->filterEdit_)
        return ::DefSubclassProc(hwnd, msg, wParam, lParam) | DLGC_WANTALLKEYS;
    if (msg == WM_NCDESTROY) ::RemoveWindowSubclass(hwnd, ControlKeys, kKeysSubclass);
    return ::DefSubclassProc(hwnd, msg, wParam, lParam);
}

bool CMsgFrame::OnControlKey(HWND control, UINT key) {
    if (key == VK_TAB) {
        HWND order[] = {filterEdit_, searchButton_, quickFilterButton_, optionsButton_, list_};
        constexpr int n = 5;
        int at = 0;
        while (at < n && order[at] != control) ++at;
        const bool back = ::GetKeyState(VK_SHIFT) < 0;
        for (int step = 1; step <= n; ++step) {
            HWND next = order[((at + (back ? -step : step)) % n + n) % n];
            if (next && ::IsWindowVisible(next)) {
                ::SetFocus(next);
                break;
            }
        }
        return true;
    }
    if (key == VK_RETURN && control == filterEdit_) {
        Search();
        return true;
    }
    if (key == 'C' && control == list_ && ::GetKeyState(VK_CONTROL) < 0) {
        CopySelectedMessage();
        return true;
    }
    if (key == 'F' && ::GetKeyState(VK_CONTROL) < 0) {
        ::SetFocus(filterEdit_);
        ::SendMessageW(filterEdit_, EM_SETSEL, 0, -1);
        return true;
    }
    if (control == list_ && key == VK_SPACE) {
        MarkReadAndMoveOn();
        return true;
    }
    if (control == list_ && key == VK_RETURN) {
        // Reading: the text view takes the focus, to be scrolled by the keys.
        if (selectedId_ && clientWindow) ::SetFocus(clientWindow);
        return true;
    }
    if (control == list_) return MoveInList(key);
    return false;
}

bool CMsgFrame::MoveInList(UINT key) {
    // The list's own moves deselect through every row of an owner-data list under Wine (a million
    // of them in a large store); these touch only the old row and the new one.
    const auto count = static_cast<std::int64_t>(::SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
    if (count <= 0) return false;
    const auto top = static_cast<std::int64_t>(::SendMessageW(list_, LVM_GETTOPINDEX, 0, 0));
    const auto page = std::max<std::int64_t>(1, ::SendMessageW(list_, LVM_GETCOUNTPERPAGE, 0, 0));
    const std::int64_t at = focusedPosition_ >= 0 ? focusedPosition_ : selectedPosition_;
    std::int64_t to = 0;
    switch (key) {
    case VK_UP: to = at < 0 ? 0 : at - 1; break;
    case VK_DOWN: to = at < 0 ? 0 : at + 1; break;
    case VK_HOME: to = 0; break;
    case VK_END: to = count - 1; break;
    case VK_NEXT: to = at == top + page - 1 ? at + page - 1 : top + page - 1; break;
    case VK_PRIOR: to = at == top ? at - page + 1 : top; break;
    default: return false;
    }
    to = std::max<std::int64_t>(0, std::min(to, count - 1));
    SelectRow(to);
    ::SendMessageW(list_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(to), FALSE);
    OnSelectionChanged();
    return true;
}

void CMsgFrame::WidenFilterBand() {
    if (win::rebar::BandCount(topBar) < 1) return;
    // Asking for more than the whole row makes the bar shrink the bands to its right to their
    // minimum widths, so the filter band takes all the spare width. The request is measured from the
    // pane's width rather than added to the band's last request, which would grow without bound
    // over many layouts and eventually wrap around.
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    const LONG width = client.right > client.left ? client.right - client.left : 0;
    REBARBANDINFOW band{};
    band.fMask = RBBIM_SIZE;
    band.cx = static_cast<UINT>(width + kFilterBandGrowth);
    win::rebar::SetBand(topBar, 0, band);
}

int CMsgFrame::MinTextViewHeight() const {
    // One line of the text view's font inside its frame.
    int line = 16;
    if (clientWindow && textFont_) {
        HDC dc = ::GetDC(clientWindow);
        if (dc) {
            HGDIOBJ old = ::SelectObject(dc, textFont_.get());
            TEXTMETRICW metrics{};
            if (::GetTextMetricsW(dc, &metrics)) line = metrics.tmHeight;
            ::SelectObject(dc, old);
            ::ReleaseDC(clientWindow, dc);
        }
    }
    return line + 2 * ::GetSystemMetrics(SM_CYDLGFRAME) + 2;
}

bool CMsgFrame::InSplitter(int y) const {
    const int top = listTop_ + listHeight_;
    return list_ && y >= top && y < top + Px(kSplitterHeight);
}

void CMsgFrame::OnSplitterDrag(int y) {
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    const int most = client.bottom - listTop_ - Px(kSplitterHeight) - MinTextViewHeight();
    const int wanted = y - listTop_;
    listHeight_ = std::max(Px(kMinListHeight), std::min(wanted, most));
    UpdateLayout(false);
}

void CMsgFrame::UpdateLayout(bool resizeBars) {
    WidenFilterBand();
    const RECT rect = PlaceTopBar(resizeBars);
    const int width = rect.right > rect.left ? rect.right - rect.left : 0;
    listTop_ = rect.top;
    // A list the user made taller gives way when the pane shrinks, down to its starting height, so that
    // the text view keeps a line.
    const int room = rect.bottom - rect.top - Px(kSplitterHeight) - MinTextViewHeight();
    if (listHeight_ > Px(kListHeight) && listHeight_ > room) listHeight_ = std::max(Px(kListHeight), room);
    constexpr UINT kPlace = SWP_NOZORDER | SWP_NOACTIVATE;
    if (list_) ::SetWindowPos(list_, nullptr, rect.left, rect.top, width, listHeight_, kPlace);
    const int textTop = rect.top + listHeight_ + Px(kSplitterHeight);
    if (clientWindow) {
        ::SetWindowPos(clientWindow, nullptr, rect.left, textTop, width,
                       rect.bottom > textTop ? rect.bottom - textTop : 0, kPlace);
    }
}
