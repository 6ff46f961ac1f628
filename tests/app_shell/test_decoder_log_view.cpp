// The decoder log as the user sees it: colours, wrapping, scrolling, selecting with the mouse, copying.
#include <cstdio>
#include <string>

#include "resource.h"
#include "win/display_picture.h"
#include "win/main_frame_fixture.h"

namespace {

// The six record categories' colours, as the decoder log shows them.
constexpr COLORREF kCategoryColours[] = {RGB(60, 60, 60),    RGB(100, 100, 200), RGB(0, 0, 200),
                                         RGB(200, 200, 200), RGB(200, 0, 0),     RGB(100, 200, 100)};

class DecoderLogViewTest : public MainFrameTest {
protected:
    void SetUp() override {
        MainFrameTest::SetUp();
        ::SendMessageW(frame->hwnd(), WM_COMMAND, ID_PANE_DECODER_LOG, 0);
        log = guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG);
        guitest::Pump();
    }
    void AppendLines(int from, int to, int category = 1) {
        for (int i = from; i < to; ++i) {
            wchar_t line[32];
            std::swprintf(line, 32, L"line %04d\n", i);
            guitest::LogViewOf(frame->hwnd()).Append(line, kCategoryColours[category]);
        }
        guitest::Pump();
    }
    LONG Find(const wchar_t* what) const {
        // The whole text, line ends as CR LF.
        std::wstring text(static_cast<std::size_t>(::SendMessageW(log, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(
            ::SendMessageW(log, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
        const std::size_t at = text.find(what);
        if (at == std::wstring::npos) return -1;
        LONG lineEnds = 0;  // one character each in positions
        for (std::size_t i = 0; i < at; ++i) lineEnds += text[i] == L'\r';
        return static_cast<LONG>(at) - lineEnds;
    }
    POINT PointOf(LONG position) const {
        POINTL at{};
        ::SendMessageW(log, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at), position);
        return POINT{at.x, at.y};
    }
    static LPARAM Where(POINT p, int dx = 0) { return MAKELPARAM(p.x + dx, p.y + 3); }
    std::wstring SelectedText() const {
        wchar_t buffer[512] = {};
        ::SendMessageW(log, EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(buffer));
        return buffer;
    }
    LRESULT FirstVisible() const { return ::SendMessageW(log, EM_GETFIRSTVISIBLELINE, 0, 0); }
    void PressWithControl(WPARAM key) {
        BYTE keys[256] = {};
        ::GetKeyboardState(keys);
        keys[VK_CONTROL] = 0x80;
        ::SetKeyboardState(keys);
        ::SendMessageW(log, WM_KEYDOWN, key, 0);
        keys[VK_CONTROL] = 0;
        ::SetKeyboardState(keys);
    }
    std::wstring Clipboard() const {
        std::wstring text;
        if (!::OpenClipboard(frame->hwnd())) return L"(clipboard busy)";
        if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* chars = static_cast<const wchar_t*>(::GlobalLock(data))) text = chars;
            ::GlobalUnlock(data);
        }
        ::CloseClipboard();
        return text;
    }

    HWND log = nullptr;
};

TEST_F(DecoderLogViewTest, EachCategoryIsDrawnInItsColourAndALongLineWrapsWithinTheView) {
    guitest::LogViewOf(frame->hwnd()).Append(L"Decoder started\n", RGB(200, 0, 0));
    AppendLines(0, 3, 1);
    std::wstring longLine;
    for (int i = 0; i < 60; ++i) longLine += L"word" + std::to_wstring(i) + L" ";
    longLine += L"last\n";
    guitest::LogViewOf(frame->hwnd()).Append(longLine.c_str(), RGB(0, 0, 200));
    guitest::Pump();

    const guitest::Picture picture(log);
    ASSERT_TRUE(picture.ok());
    int red = 0, blue = 0, other = 0;
    for (int y = 0; y < picture.height(); ++y) {
        red += picture.CountInRow(y, RGB(200, 0, 0));
        blue += picture.CountInRow(y, RGB(0, 0, 200));
        other += picture.CountInRow(y, RGB(100, 100, 200));
    }
    EXPECT_GT(red, 20);
    EXPECT_GT(blue, 200);
    EXPECT_GT(other, 20);

    // The long line's last word stands rows below its first, inside the view's width.
    RECT client{};
    ::GetClientRect(log, &client);
    const POINT first = PointOf(Find(L"word0 "));
    const POINT last = PointOf(Find(L"last"));
    EXPECT_GT(last.y, first.y);
    EXPECT_LT(last.x, client.right);
    EXPECT_EQ(::SendMessageW(log, EM_GETLINECOUNT, 0, 0), 6);  // five lines and the empty one after them
}

TEST_F(DecoderLogViewTest, DraggingSelectsTextThatCtrlCCopiesAndTheViewStaysWhileItIsSelected) {
    AppendLines(0, 200);
    ASSERT_GT(FirstVisible(), 0);  // followed the newest
    const LONG from = Find(L"line 0190");
    const POINT start = PointOf(from);
    const POINT end = PointOf(from + 9);
    ::SendMessageW(log, WM_LBUTTONDOWN, MK_LBUTTON, Where(start, 1));
    ::SendMessageW(log, WM_MOUSEMOVE, MK_LBUTTON, Where(end, 1));
    ::SendMessageW(log, WM_LBUTTONUP, 0, Where(end, 1));
    EXPECT_EQ(SelectedText(), L"line 0190") << "from " << from << " at " << start.x << "," << start.y << " to " << end.x
                                            << "," << end.y;
    PressWithControl('C');
    EXPECT_EQ(Clipboard(), L"line 0190");

    // New lines do not move a view that has a selection.
    const LRESULT shown = FirstVisible();
    AppendLines(200, 220);
    EXPECT_EQ(FirstVisible(), shown);
    EXPECT_EQ(SelectedText(), L"line 0190");

    // A click drops the selection; the end key goes back to the newest text, which the view follows.
    ::SendMessageW(log, WM_LBUTTONDOWN, MK_LBUTTON, Where(start));
    ::SendMessageW(log, WM_LBUTTONUP, 0, Where(start));
    EXPECT_EQ(SelectedText(), L"");
    ::SendMessageW(log, WM_KEYDOWN, VK_END, 0);
    const LRESULT atEnd = FirstVisible();
    EXPECT_GT(atEnd, shown);
    AppendLines(220, 230);
    EXPECT_EQ(FirstVisible(), atEnd + 10);
}

TEST_F(DecoderLogViewTest, AViewScrolledUpStaysWhereItIsAndDoubleClickSelectsAWord) {
    AppendLines(0, 200);
    const LRESULT atEnd = FirstVisible();
    ::SendMessageW(log, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA * 5), 0);  // up
    const LRESULT scrolled = FirstVisible();
    EXPECT_LT(scrolled, atEnd);
    AppendLines(200, 210);
    EXPECT_EQ(FirstVisible(), scrolled);
    SCROLLINFO bar{};
    bar.cbSize = sizeof(bar);
    bar.fMask = SIF_POS | SIF_RANGE | SIF_PAGE;
    ASSERT_TRUE(::GetScrollInfo(log, SB_VERT, &bar));
    EXPECT_EQ(bar.nPos, scrolled);

    const POINT word = PointOf(Find(L"0150"));
    ::SendMessageW(log, WM_LBUTTONDBLCLK, MK_LBUTTON, Where(word, 2));
    EXPECT_EQ(SelectedText(), L"0150");
    PressWithControl('A');
    EXPECT_EQ(::SendMessageW(log, WM_GETTEXTLENGTH, 0, 0), static_cast<LRESULT>(static_cast<LONG>(guitest::LogViewOf(frame->hwnd()).text().Length())) + 210);
    CHARRANGE all{};
    ::SendMessageW(log, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&all));
    EXPECT_EQ(all.cpMin, 0);
    EXPECT_EQ(all.cpMax, static_cast<LONG>(guitest::LogViewOf(frame->hwnd()).text().Length()));
}

}  // namespace
