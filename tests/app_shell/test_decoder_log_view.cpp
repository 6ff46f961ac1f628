// The decoder log as the user sees it: colours, wrapping, scrolling, selecting with the mouse, copying.
// Positions count a line end as one character; the text the view gives out has CR LF.
#include <cstdio>
#include <string>

#include "win/display_picture.h"
#include "win/main_frame_fixture.h"

namespace {

class DecoderLogViewTest : public MainFrameTest {
protected:
    void SetUp() override {
        MainFrameTest::SetUp();
        Command(ID_PANE_DECODER_LOG);
        log = guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG);
        guitest::Pump();
    }
    void Append(const std::wstring& text, COLORREF colour) { guitest::LogViewOf(frame->hwnd()).Append(text, colour); }
    // "line 0000\n" and on: ten characters a line, line i at position 10 i.
    void AppendLines(int from, int to) {
        for (wchar_t line[32]; from < to; ++from) {
            std::swprintf(line, 32, L"line %04d\n", from);
            Append(line, RGB(100, 100, 200));
        }
        guitest::Pump();
    }
    POINT PointOf(LONG position) const {
        POINTL p{};
        ::SendMessageW(log, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&p), position);
        return {p.x, p.y};
    }
    void Mouse(UINT msg, LONG position, int dx = 1, WPARAM keys = MK_LBUTTON) {
        const POINT p = PointOf(position);
        ::SendMessageW(log, msg, keys, MAKELPARAM(p.x + dx, p.y + 3));
    }
    std::wstring Selected() const {
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
        if (!::OpenClipboard(frame->hwnd())) return L"(clipboard busy)";
        HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
        const auto* chars = data ? static_cast<const wchar_t*>(::GlobalLock(data)) : nullptr;
        std::wstring text = chars ? chars : L"";
        if (chars) ::GlobalUnlock(data);
        ::CloseClipboard();
        return text;
    }

    HWND log = nullptr;
};

TEST_F(DecoderLogViewTest, EachPieceIsDrawnInItsColourAndALongLineWrapsWithinTheView) {
    Append(L"Decoder started\n", RGB(200, 0, 0));
    AppendLines(0, 3);
    std::wstring words;
    for (int i = 0; i < 60; ++i) words += L"word" + std::to_wstring(i) + L" ";
    Append(words + L"last\n", RGB(0, 0, 200));
    guitest::Pump();

    const guitest::Picture picture(log);
    ASSERT_TRUE(picture.ok());
    auto pixels = [&](COLORREF colour) {
        int n = 0;
        for (int y = 0; y < picture.height(); ++y) n += picture.CountInRow(y, colour);
        return n;
    };
    EXPECT_GT(pixels(RGB(200, 0, 0)), 20);
    EXPECT_GT(pixels(RGB(0, 0, 200)), 200);
    EXPECT_GT(pixels(RGB(100, 100, 200)), 20);

    // The long line's last word stands rows below its first, inside the view's width.
    RECT client{};
    ::GetClientRect(log, &client);
    const LONG first = 16 + 30, last = first + static_cast<LONG>(words.size());
    EXPECT_GT(PointOf(last).y, PointOf(first).y);
    EXPECT_LT(PointOf(last).x, client.right);
    EXPECT_EQ(::SendMessageW(log, EM_GETLINECOUNT, 0, 0), 6);  // five lines and the empty one after them
}

// The view follows the newest text unless the user has selected text or scrolled up.
TEST_F(DecoderLogViewTest, SelectingCopyingAndScrollingHoldTheViewWhereTheUserPutIt) {
    AppendLines(0, 200);
    ASSERT_GT(FirstVisible(), 0);  // followed the newest
    Mouse(WM_LBUTTONDOWN, 1900);
    Mouse(WM_MOUSEMOVE, 1909);
    Mouse(WM_LBUTTONUP, 1909, 1, 0);
    EXPECT_EQ(Selected(), L"line 0190");
    PressWithControl('C');
    EXPECT_EQ(Clipboard(), L"line 0190");
    const LRESULT held = FirstVisible();
    AppendLines(200, 220);
    EXPECT_EQ(FirstVisible(), held);
    EXPECT_EQ(Selected(), L"line 0190");

    // A click drops the selection; End goes back to the newest text, which the view then follows.
    Mouse(WM_LBUTTONDOWN, 1900, 0);
    Mouse(WM_LBUTTONUP, 1900, 0, 0);
    EXPECT_EQ(Selected(), L"");
    ::SendMessageW(log, WM_KEYDOWN, VK_END, 0);
    const LRESULT atEnd = FirstVisible();
    EXPECT_GT(atEnd, held);
    AppendLines(220, 230);
    EXPECT_EQ(FirstVisible(), atEnd + 10);

    // Scrolled up by the wheel, the view and its bar stay while lines come.
    ::SendMessageW(log, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA * 5), 0);
    const LRESULT scrolled = FirstVisible();
    EXPECT_LT(scrolled, atEnd + 10);
    AppendLines(230, 240);
    EXPECT_EQ(FirstVisible(), scrolled);
    SCROLLINFO bar{sizeof(bar), SIF_POS};
    ASSERT_TRUE(::GetScrollInfo(log, SB_VERT, &bar));
    EXPECT_EQ(bar.nPos, scrolled);

    // A double click selects a word (the number of the third line in sight); Ctrl+A everything.
    const int line = static_cast<int>(scrolled) + 2;
    Mouse(WM_LBUTTONDBLCLK, line * 10 + 5, 2);
    wchar_t number[8];
    std::swprintf(number, 8, L"%04d", line);
    EXPECT_EQ(Selected(), number);
    PressWithControl('A');
    CHARRANGE all{};
    ::SendMessageW(log, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&all));
    EXPECT_EQ(all.cpMin, 0);
    EXPECT_EQ(all.cpMax, 2400);
    EXPECT_EQ(::SendMessageW(log, WM_GETTEXTLENGTH, 0, 0), 2640);  // 240 lines, each with CR LF
}

}  // namespace
