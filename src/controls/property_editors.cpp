#include "controls/property_editors.h"

#include "win/dpi.h"

#include <algorithm>
#include <cwctype>

#include "win/handles.h"

namespace {

const wchar_t kButtonEditorClass[] = L"CV_InplacePropertyButton";
const wchar_t kTextEditorClass[] = L"CV_InplacePropertyText";
const wchar_t kListEditorClass[] = L"CV_InplacePropertyList";
const wchar_t kEditorButtonClass[] = L"CV_InplaceEditorButton";
const wchar_t kDropListClass[] = L"CV_InplaceDropList";
constexpr int kMaxDropHeight = 140;
constexpr UINT_PTR kButtonId = 1;

HWND RootOf(HWND hwnd) { return hwnd ? ::GetAncestor(hwnd, GA_ROOT) : nullptr; }

// The "..." button of the editors that browse, in the grid's font.
void DrawBrowseButton(const DRAWITEMSTRUCT& dis, HWND grid) {
    RECT r = dis.rcItem;
    UINT state = DFCS_BUTTONPUSH | ((dis.itemState & ODS_SELECTED) ? DFCS_PUSHED : 0);
    ::DrawFrameControl(dis.hDC, &r, DFC_BUTTON, state);
    win::SelectObjectScope font(dis.hDC, reinterpret_cast<HGDIOBJ>(::SendMessageW(grid, WM_GETFONT, 0, 0)));
    int oldMode = ::SetBkMode(dis.hDC, TRANSPARENT);
    ::SetTextColor(dis.hDC, ::GetSysColor(COLOR_BTNTEXT));
    if (dis.itemState & ODS_SELECTED) ::OffsetRect(&r, 1, 1);
    ::DrawTextW(dis.hDC, L"...", 3, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
    ::SetBkMode(dis.hDC, oldMode);
}

}  // namespace

// --- CEditorButton ---

LRESULT CEditorButton::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_GETDLGCODE:
        return DefaultHandling(msg, wParam, lParam) | DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
        return OnKeyDown(wParam, lParam);
    case WM_KEYUP:
        if (wParam == VK_SPACE) return 0;  // the press already happened on key-down
        break;
    case WM_CHAR:
        if (wParam > L' ') editor_.HandleChar(static_cast<wchar_t>(wParam));
        return 0;
    case WM_KILLFOCUS: {
        LRESULT r = DefaultHandling(msg, wParam, lParam);
        editor_.FocusLeft(reinterpret_cast<HWND>(wParam));
        return r;
    }
    }
    return DefaultHandling(msg, wParam, lParam);
}

LRESULT CEditorButton::OnKeyDown(WPARAM key, LPARAM lParam) {
    HWND editor = editor_.hwnd();
    switch (key) {
    case VK_ESCAPE:
        ::PostMessageW(editor_.grid(), GRID_MSG_EDITOR_COMMIT, reinterpret_cast<WPARAM>(editor), GRID_COMMIT_PLAIN);
        return 0;
    case VK_SPACE:
    case VK_F2:
    case VK_F4:
        editor_.PostPress();
        return 0;
    case VK_UP:
    case VK_DOWN:
        ::PostMessageW(editor_.grid(), GRID_MSG_NAVIGATE, key, 0);
        return 0;
    }
    return DefaultHandling(WM_KEYDOWN, key, lParam);
}

// --- CPropertyEditorWindow ---

CPropertyEditorWindow::CPropertyEditorWindow(IProperty* item, HWND grid, bool typing, bool button)
    : item_(item), grid_(grid), button_(*this), typing_(typing), hasButton_(button) {}

CPropertyEditorWindow* CPropertyEditorWindow::FromWindow(HWND hwnd) noexcept {
    return dynamic_cast<CPropertyEditorWindow*>(win::Window::FromHandle(hwnd));
}

bool CPropertyEditorWindow::OwnsWindow(HWND hwnd) const noexcept {
    return hwnd && (hwnd == this->hwnd() || hwnd == button_.hwnd());
}

void CPropertyEditorWindow::FocusLeft(HWND to) {
    // Only a move to another window of the same top-level window ends the edit; a dialog opened by
    // the browse handler, or another application taking the focus, must not commit half-way.
    if (!to || OwnsWindow(to) || RootOf(to) != RootOf(grid_)) return;
    ::PostMessageW(grid_, GRID_MSG_EDITOR_COMMIT, reinterpret_cast<WPARAM>(hwnd()), GRID_COMMIT_PLAIN);
}

void CPropertyEditorWindow::PostPress() { ::PostMessageW(hwnd(), kMsgPress, 0, 0); }

HWND CPropertyEditorWindow::Open(const wchar_t* className, const RECT& cell, const std::wstring& text) {
    if (!win::Window::RegisterSuperclass(L"EDIT", className) ||
        !win::Window::RegisterSuperclass(L"BUTTON", kEditorButtonClass))
        return nullptr;
    HWND h = CreateWithClass(className, grid_, cell, text.c_str(), WS_CHILD | WS_CLIPCHILDREN | ES_AUTOHSCROLL, 0,
                             0);
    if (h) ownedByWindow_ = true;
    return h;
}

void CPropertyEditorWindow::OnFinalMessage() {
    if (ownedByWindow_) delete this;
}

LRESULT CPropertyEditorWindow::OnTypingKey(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_GETDLGCODE:
        return DefaultHandling(msg, wParam, lParam) | DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            ::PostMessageW(grid_, GRID_MSG_EDITOR_COMMIT, reinterpret_cast<WPARAM>(hwnd()), GRID_COMMIT_PLAIN);
            return 0;
        }
        if (wParam == VK_ESCAPE) {
            ::PostMessageW(grid_, GRID_MSG_EDITOR_CANCEL, reinterpret_cast<WPARAM>(hwnd()), 0);
            return 0;
        }
        if (wParam == VK_UP || wParam == VK_DOWN) {
            ::PostMessageW(grid_, GRID_MSG_NAVIGATE, wParam, 0);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == L'\r' || wParam == L'\x1b' || wParam == L'\t') return 0;  // no beep for the keys above
        break;
    case WM_KILLFOCUS: {
        LRESULT r = DefaultHandling(msg, wParam, lParam);
        FocusLeft(reinterpret_cast<HWND>(wParam));
        return r;
    }
    }
    return DefaultHandling(msg, wParam, lParam);
}

LRESULT CPropertyEditorWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (typing_) {
        switch (msg) {
        case WM_GETDLGCODE: case WM_KEYDOWN: case WM_CHAR: case WM_KILLFOCUS:
            return OnTypingKey(msg, wParam, lParam);
        case WM_SETFOCUS: case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK: case WM_RBUTTONDOWN:
        case WM_RBUTTONUP: case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_KEYUP:
            return DefaultHandling(msg, wParam, lParam);
        }
    }
    switch (msg) {
    case WM_CREATE:
        return OnCreate(wParam, lParam);
    case WM_SIZE: {
        LRESULT r = DefaultHandling(msg, wParam, lParam);
        OnSize();
        return r;
    }
    case WM_SETFOCUS:
        // The text is for show only: the button keeps the focus.
        if (button_.hwnd()) ::SetFocus(button_.hwnd());
        return 0;
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK: case WM_RBUTTONDOWN: case WM_RBUTTONUP:
    case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_KEYDOWN: case WM_KEYUP:
        return 0;
    case WM_CHAR:
        if (wParam > L' ') HandleChar(static_cast<wchar_t>(wParam));
        return 0;
    case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (dis && dis->hwndItem == button_.hwnd()) {
            DrawButton(*dis);
            return TRUE;
        }
        break;
    }
    case WM_COMMAND:
        if (reinterpret_cast<HWND>(lParam) == button_.hwnd() && HIWORD(wParam) == BN_CLICKED) {
            PostPress();
            return 0;
        }
        break;
    case kMsgPress:
        OnPressed();  // may end with this object deleted: nothing may follow
        return 0;
    case WM_DESTROY:
        OnDestroying();
        break;
    }
    return DefaultHandling(msg, wParam, lParam);
}

LRESULT CPropertyEditorWindow::OnCreate(WPARAM wParam, LPARAM lParam) {
    LRESULT r = DefaultHandling(WM_CREATE, wParam, lParam);
    if (r == -1) return r;
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(grid_, WM_GETFONT, 0, 0));
    ::SendMessageW(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ::SendMessageW(hwnd(), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                   MAKELPARAM(2, hasButton_ ? ::GetSystemMetrics(SM_CXVSCROLL) : 2));
    if (typing_) {
        ::SendMessageW(hwnd(), EM_SETLIMITTEXT, CPropertyTextEditWindow::kMaxText, 0);
        ::SendMessageW(hwnd(), EM_SETSEL, 0, -1);  // typing replaces the text, as in the other editors
    }
    if (!hasButton_) return r;
    RECT rc{};
    ::GetClientRect(hwnd(), &rc);
    int side = rc.bottom - rc.top;
    RECT br{rc.right - side, 0, rc.right, side};
    if (!button_.CreateWithClass(kEditorButtonClass, hwnd(), br, L"...", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0,
                                 kButtonId))
        return -1;
    ::SendMessageW(button_.hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (!typing_) ::SetFocus(button_.hwnd());
    return r;
}

void CPropertyEditorWindow::OnSize() {
    if (!button_.hwnd()) return;
    RECT rc{};
    ::GetClientRect(hwnd(), &rc);
    int side = rc.bottom - rc.top;
    ::MoveWindow(button_.hwnd(), rc.right - side, 0, side, side, TRUE);
}

// --- CPropertyButtonWindow ---

HWND CPropertyButtonWindow::Create(IProperty* item, HWND grid, const RECT& cell, const std::wstring& text) {
    std::unique_ptr<CPropertyButtonWindow> editor(new CPropertyButtonWindow(item, grid));
    HWND h = editor->Open(kButtonEditorClass, cell, text);
    if (h) editor.release();  // the window owns it now
    return h;
}

void CPropertyButtonWindow::DrawButton(const DRAWITEMSTRUCT& dis) {
    DrawBrowseButton(dis, grid());
}

void CPropertyButtonWindow::OnPressed() {
    // The browse handler may re-create or close this editor (and a modal picker pumps messages, so
    // the window may be destroyed before activate returns): keep what is needed in locals.
    HWND self = hwnd();
    HWND gridWindow = grid();
    IProperty* target = item();
    if (!target) return;
    target->activate(PROPERTY_ACT_BROWSE, POINT{0, 0});
    ::PostMessageW(gridWindow, GRID_MSG_EDITOR_COMMIT, reinterpret_cast<WPARAM>(self), GRID_COMMIT_BUTTON);
}

// --- CPropertyTextEditWindow ---

HWND CPropertyTextEditWindow::Create(IProperty* item, HWND grid, const RECT& cell, const std::wstring& text,
                                     bool browse) {
    std::unique_ptr<CPropertyTextEditWindow> editor(new CPropertyTextEditWindow(item, grid, browse));
    HWND h = editor->Open(kTextEditorClass, cell, text.substr(0, kMaxText));
    if (h) editor.release();  // the window owns it now
    return h;
}

void CPropertyTextEditWindow::DrawButton(const DRAWITEMSTRUCT& dis) {
    DrawBrowseButton(dis, grid());
}

void CPropertyTextEditWindow::OnPressed() {
    // The text typed so far is the dialog's starting point: commit it first, then browse (the browse
    // handler writes its choice through the grid, which re-opens this editor on the new value).
    IProperty* target = item();
    HWND gridWindow = grid();
    if (!target) return;
    ::SendMessageW(gridWindow, GRID_MSG_EDITOR_COMMIT, reinterpret_cast<WPARAM>(hwnd()), GRID_COMMIT_PLAIN);
    target->activate(PROPERTY_ACT_BROWSE, POINT{0, 0});  // this editor may be gone now
}

// --- CDropList ---

LRESULT CDropList::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_GETDLGCODE:
        return DefaultHandling(msg, wParam, lParam) | DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            editor_.Choose();
            return 0;
        }
        if (wParam == VK_ESCAPE) {
            editor_.CancelFromDropDown();
            return 0;
        }
        break;
    case WM_LBUTTONUP: {
        LRESULT r = DefaultHandling(msg, wParam, lParam);
        LRESULT hit = ::SendMessageW(hwnd(), LB_ITEMFROMPOINT, 0, lParam);
        if (HIWORD(hit) == 0) editor_.Choose();  // released on an entry, not below the last one
        return r;
    }
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_KILLFOCUS: {
        LRESULT r = DefaultHandling(msg, wParam, lParam);
        editor_.HideDropDown();
        editor_.FocusLeft(reinterpret_cast<HWND>(wParam));
        return r;
    }
    }
    return DefaultHandling(msg, wParam, lParam);
}

// --- CPropertyListWindow ---

CPropertyListWindow::CPropertyListWindow(IProperty* item, HWND grid, std::vector<std::wstring> entries, int current)
    : CPropertyEditorWindow(item, grid), entries_(std::move(entries)), current_(current), list_(*this) {}

HWND CPropertyListWindow::Create(IProperty* item, HWND grid, const RECT& cell,
                                 const std::vector<std::wstring>& entries, int current) {
    std::unique_ptr<CPropertyListWindow> editor(new CPropertyListWindow(item, grid, entries, current));
    std::wstring text = current >= 0 && current < static_cast<int>(entries.size()) ? entries[current] : L"";
    CPropertyListWindow* raw = editor.get();
    HWND h = editor->Open(kListEditorClass, cell, text);
    if (!h) return nullptr;
    editor.release();  // the window owns it now
    if (!raw->CreateDropDown()) {
        ::DestroyWindow(h);
        return nullptr;
    }
    return h;
}

bool CPropertyListWindow::CreateDropDown() {
    if (!win::Window::RegisterSuperclass(L"LISTBOX", kDropListClass)) return false;
    RECT r{0, 0, 10, 10};
    HWND lb = list_.CreateWithClass(kDropListClass, hwnd(), r, L"",
                                    WS_POPUP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_HASSTRINGS |
                                        LBS_NOINTEGRALHEIGHT,
                                    WS_EX_TOOLWINDOW | WS_EX_TOPMOST, 0);
    if (!lb) return false;
    ::SendMessageW(lb, WM_SETFONT, ::SendMessageW(grid(), WM_GETFONT, 0, 0), FALSE);
    for (const auto& e : entries_) ::SendMessageW(lb, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e.c_str()));
    if (current_ >= 0 && current_ < static_cast<int>(entries_.size())) ::SendMessageW(lb, LB_SETCURSEL, current_, 0);
    return true;
}

bool CPropertyListWindow::OwnsWindow(HWND hwnd) const noexcept {
    return CPropertyEditorWindow::OwnsWindow(hwnd) || (hwnd && hwnd == list_.hwnd());
}

bool CPropertyListWindow::dropDownShown() const noexcept {
    return list_.hwnd() && ::IsWindowVisible(list_.hwnd());
}

void CPropertyListWindow::ShowDropDown() {
    HWND lb = list_.hwnd();
    if (!lb || !::IsWindowVisible(hwnd())) return;
    if (dropHeight_ == 0) {
        int itemHeight = static_cast<int>(::SendMessageW(lb, LB_GETITEMHEIGHT, 0, 0));
        int all = itemHeight * static_cast<int>(entries_.size()) + 2 * ::GetSystemMetrics(SM_CYBORDER);
        dropHeight_ = std::min(std::max(all, 2), win::Scale(kMaxDropHeight, win::DpiOf(grid())));
    }
    RECT er{};
    ::GetWindowRect(hwnd(), &er);
    ::SetWindowPos(lb, HWND_TOPMOST, er.left, er.bottom, er.right - er.left, dropHeight_,
                   SWP_SHOWWINDOW | SWP_NOACTIVATE);
    ::SetFocus(lb);
}

void CPropertyListWindow::HideDropDown() {
    if (list_.hwnd()) ::ShowWindow(list_.hwnd(), SW_HIDE);
}

void CPropertyListWindow::Choose() {
    HWND lb = list_.hwnd();
    LRESULT sel = lb ? ::SendMessageW(lb, LB_GETCURSEL, 0, 0) : LB_ERR;
    if (sel >= 0 && sel < static_cast<LRESULT>(entries_.size())) ::SetWindowTextW(hwnd(), entries_[sel].c_str());
    // Posted, not sent: the parent's change handler may pump messages and close this editor, which
    // must not happen while the list box is still inside its own window procedure.
    ::PostMessageW(grid(), GRID_MSG_EDITOR_COMMIT, reinterpret_cast<WPARAM>(hwnd()), GRID_COMMIT_PLAIN);
    ::SetFocus(grid());
}

void CPropertyListWindow::CancelFromDropDown() {
    ::PostMessageW(grid(), GRID_MSG_EDITOR_CANCEL, reinterpret_cast<WPARAM>(hwnd()), 0);
    ::SetFocus(grid());
}

void CPropertyListWindow::HandleChar(wchar_t ch) {
    if (dropDownShown()) {
        ::SendMessageW(list_.hwnd(), WM_CHAR, ch, 0);  // the list box's own type-ahead
        return;
    }
    wchar_t lower = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(ch)));
    for (const auto& e : entries_) {
        if (!e.empty() && static_cast<wchar_t>(std::towlower(static_cast<wint_t>(e[0]))) == lower) {
            ::SetWindowTextW(hwnd(), e.c_str());
            ::PostMessageW(grid(), GRID_MSG_EDITOR_COMMIT, reinterpret_cast<WPARAM>(hwnd()), GRID_COMMIT_PLAIN);
            return;
        }
    }
}

void CPropertyListWindow::DrawButton(const DRAWITEMSTRUCT& dis) {
    RECT r = dis.rcItem;
    UINT state = DFCS_SCROLLCOMBOBOX | ((dis.itemState & ODS_SELECTED) ? DFCS_PUSHED : 0);
    ::DrawFrameControl(dis.hDC, &r, DFC_SCROLL, state);
}

void CPropertyListWindow::OnPressed() {
    if (dropDownShown()) {
        HideDropDown();
        if (buttonWindow()) ::SetFocus(buttonWindow());
    } else {
        ShowDropDown();
    }
}

void CPropertyListWindow::OnDestroying() {
    // A pop-up is not a child: it must be destroyed with the editor explicitly.
    if (list_.hwnd()) ::DestroyWindow(list_.hwnd());
}

LRESULT CPropertyListWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case kMsgDropDown:
        ShowDropDown();
        return 0;
    case WM_SHOWWINDOW:
        if (!wParam) HideDropDown();
        break;
    }
    return CPropertyEditorWindow::HandleMessage(msg, wParam, lParam);
}
