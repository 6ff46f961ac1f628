#include "grid_fixture.h"

#include <memory>

#include "win/reflect.h"

namespace gridtest {

LRESULT TestParent::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NOTIFY: {
        auto* n = reinterpret_cast<GridNotification*>(lParam);
        int code = static_cast<int>(n->hdr.code);
        if (n->hdr.hwndFrom == grid && code <= -3001 && code >= -3009) {
            notes.push_back(Note{code, n->item});
            if (code == GRID_VALUE_CHANGING) return changingAnswer;
            if (code == GRID_CELL_CLICKED) return clickedAnswer;
            if (code == GRID_BROWSE_REQUESTED && onBrowse) onBrowse(n->item);
            if (code == GRID_ADD_ROW_REQUESTED && onAddRow) onAddRow();
            return 0;
        }
        LRESULT result = 0;
        if (win::ReflectNotification(hwnd(), msg, wParam, lParam, result)) return result;
        break;
    }
    case WM_NEXTDLGCTL:
        nextControlRequests.push_back(wParam);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font);
    }
    return DefaultHandling(msg, wParam, lParam);
}

TestParent& GridTest::SharedParent() {
    static TestParent* shared = [] {
        auto* p = new TestParent;  // lives until the process ends
        RECT pr{0, 0, 640, 420};
        p->Create(nullptr, pr, L"grid test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0);
        return p;
    }();
    return *shared;
}

void GridTest::SetUp() {
    ASSERT_NE(parent.hwnd(), nullptr);
    parent.notes.clear();
    parent.changingAnswer = 0;
    parent.clickedAnswer = 0;
    parent.onBrowse = nullptr;
    parent.onAddRow = nullptr;
    parent.nextControlRequests.clear();
    RECT gr{10, 10, 490, 250};
    ASSERT_TRUE(grid.create(parent.hwnd(), gr, WS_VISIBLE | WS_TABSTOP, WS_EX_CLIENTEDGE, 77));
    parent.grid = grid.hwnd();
    grid.setOptions(GRID_OPT_SINGLE_CLICK_EDIT);
    ASSERT_EQ(grid.AddColumn(L"Name", 200), 0);
    ASSERT_EQ(grid.AddColumn(L"Value", 220), 1);

    auto add = [&](const wchar_t* label, std::unique_ptr<IProperty> value) {
        auto name = std::make_unique<CPropertyReadOnlyItem>(L"", label);
        name->SetBackColor(RGB(234, 230, 170));
        if (!label0) label0 = name.get();
        int row = grid.insertItem(-1, std::move(name));
        ASSERT_GE(row, 0);
        ASSERT_TRUE(grid.setSubItem(row, 1, std::move(value)));
    };
    auto p = std::make_unique<CPropertyItem>(L"", PropertyValue(L"plain"));
    plain = p.get();
    add(L"Plain", std::move(p));
    auto c = std::make_unique<CPropertyCheckButtonItem>(L"", true);
    check = c.get();
    add(L"Check", std::move(c));
    auto d = std::make_unique<CPropertyCheckButtonItem>(L"", false);
    d->setEnabled(0);
    disabledCheck = d.get();
    add(L"Disabled check", std::move(d));
    auto dir = std::make_unique<CPropertyFileNameItem>(L"", L"C:\\old");
    directory = dir.get();
    add(L"Directory", std::move(dir));
    auto r = std::make_unique<CPropertyListItem>(L"");
    r->SetList({L"8000 Hz", L"11025 Hz", L"22050 Hz", L"44100 Hz", L"48000 Hz", L"96000 Hz", L"192000 Hz"});
    rates = r.get();
    add(L"Sample rate", std::move(r));
    auto ch = std::make_unique<CPropertyListItem>(L"");
    const wchar_t* names[] = {L"Mono", L"Left channel", L"Right channel", nullptr};
    ch->SetList(names);
    channels = ch.get();
    add(L"Channel", std::move(ch));

    ::SetForegroundWindow(parent.hwnd());
    ::SetFocus(grid.hwnd());
    ::UpdateWindow(parent.hwnd());
    Drain();
    parent.notes.clear();
}

void GridTest::TearDown() {
    if (grid.hwnd()) ::DestroyWindow(grid.hwnd());
    parent.grid = nullptr;
    parent.onBrowse = nullptr;
    parent.onAddRow = nullptr;
    Drain();
    if (parent.font) ::DeleteObject(parent.font);
    parent.font = nullptr;
}

void GridTest::Drain() {
    MSG msg;
    for (int i = 0; i < 10000 && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

POINT GridTest::CellCentre(int row, int column) {
    RECT r{LVIR_BOUNDS, column, 0, 0};
    if (column == 0) {
        ::SendMessageW(grid.hwnd(), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
        r.right = r.left + 100;
    } else {
        ::SendMessageW(grid.hwnd(), LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&r));
    }
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void GridTest::ClickAt(POINT pt, UINT msg) {
    LPARAM lp = MAKELPARAM(pt.x, pt.y);
    ::SendMessageW(grid.hwnd(), msg, MK_LBUTTON, lp);
    ::SendMessageW(grid.hwnd(), WM_LBUTTONUP, 0, lp);
    Drain();
}

void GridTest::Click(int row, int column) { ClickAt(CellCentre(row, column)); }

void GridTest::DoubleClick(int row, int column) {
    POINT pt = CellCentre(row, column);
    ClickAt(pt, WM_LBUTTONDOWN);
    ClickAt(pt, WM_LBUTTONDBLCLK);
}

void GridTest::Key(UINT vk, HWND target) {
    if (!target) target = ::GetFocus();
    ::SendMessageW(target, WM_KEYDOWN, vk, 1);
    ::SendMessageW(target, WM_KEYUP, vk, 0xC0000001);
    Drain();
}

void GridTest::Char(wchar_t ch, HWND target) {
    if (!target) target = ::GetFocus();
    ::SendMessageW(target, WM_CHAR, ch, 1);
    Drain();
}

std::vector<int> GridTest::Codes() const {
    std::vector<int> codes;
    for (const auto& n : parent.notes) codes.push_back(n.code);
    return codes;
}

std::vector<int> GridTest::CodesFor(const IProperty* item) const {
    std::vector<int> codes;
    for (const auto& n : parent.notes)
        if (n.item == item && n.code != GRID_SELECTION_CHANGED) codes.push_back(n.code);
    return codes;
}

CPropertyListWindow* GridTest::ListEditor() const {
    return dynamic_cast<CPropertyListWindow*>(CPropertyEditorWindow::FromWindow(grid.editorWindow()));
}

}  // namespace gridtest
