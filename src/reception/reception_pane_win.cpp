// Reception pane: reads the store's reception rows, paints bars, the SNR line and the readout
// through a double buffer, and writes the CSV.
#include "reception/reception_pane_win.h"

#include <commdlg.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "messages/sqlite_db.h"
#include "reception/ledger.h"
#include "win/double_buffer.h"
#include "win/dpi.h"
#include "win/utf8.h"

namespace reception {

namespace {

constexpr COLORREF kBarColour = RGB(46, 139, 87);
constexpr COLORREF kSnrColour = RGB(200, 60, 40);
constexpr COLORREF kAxisColour = RGB(110, 110, 110);
constexpr int kBarTop = 32;      // the span list and the button sit above the plot (96-DPI pixels)
constexpr int kAxisWidth = 44;   // each side: per cent on the left, dB on the right
constexpr int kLabelHeight = 20;

std::wstring Wide(const std::string& s) { return win::Wide(s); }

std::int64_t SystemNow() {
    FILETIME ft{};
    ::GetSystemTimeAsFileTime(&ft);
    const std::int64_t ticks = (static_cast<std::int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return ticks / 10'000 - 11'644'473'600'000LL;
}

// The SNR scale's top: 20 dB, or the next twenty above the span's highest figure, so that each
// quarter of the scale is a whole number of dB.
double SnrTop(const std::vector<ChartHour>& hours) {
    double top = 20.0;
    for (const ChartHour& h : hours)
        if (h.snrDb) top = std::max(top, std::ceil(*h.snrDb / 20.0) * 20.0);
    return top;
}

}  // namespace

HWND ReceptionPane::Create(HWND parent, DWORD style, DWORD exStyle, UINT_PTR id, UINT_PTR spanId, UINT_PTR exportId) {
    if (!RegisterOwnClass(kClassName, 0, ::LoadCursorW(nullptr, IDC_ARROW), nullptr)) return nullptr;
    HWND created = CreateWithClass(kClassName, parent, RECT{0, 0, 0, 0}, nullptr, style | WS_CLIPCHILDREN, exStyle, id);
    if (!created) return nullptr;
    span_ = ::CreateWindowExW(0, L"COMBOBOX", nullptr, WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 0, 0, 0, 0,
                              created, reinterpret_cast<HMENU>(spanId), Instance(), nullptr);
    ::SendMessageW(span_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Last 24 hours"));
    ::SendMessageW(span_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Last 7 days"));
    ::SendMessageW(span_, CB_SETCURSEL, 0, 0);
    export_ = ::CreateWindowExW(0, L"BUTTON", L"Export CSV", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0,
                                0, created, reinterpret_cast<HMENU>(exportId), Instance(), nullptr);
    Layout();
    return created;
}

int ReceptionPane::Px(int pixels) const { return win::Scale(pixels, dpi_); }

void ReceptionPane::SetDpi(int dpi) {
    dpi_ = dpi > 0 ? dpi : 96;
    if (!hwnd()) return;
    Layout();
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void ReceptionPane::Layout() {
    if (font_) ::DeleteObject(font_);
    LOGFONTW lf{};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    lf.lfHeight = -Px(11);
    font_ = ::CreateFontIndirectW(&lf);
    for (HWND child : {span_, export_}) ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    ::SetWindowPos(span_, nullptr, Px(6), Px(4), Px(130), Px(200), SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(export_, nullptr, Px(144), Px(4), Px(90), Px(23), SWP_NOZORDER | SWP_NOACTIVATE);
}

void ReceptionPane::SetStorePath(std::wstring fullPath) {
    storePath_ = std::move(fullPath);
    if (hwnd() && ::IsWindowVisible(hwnd())) Refresh();
}

void ReceptionPane::SetSpanHours(int hours) {
    spanHours_ = hours > 24 ? 168 : 24;
    if (span_) ::SendMessageW(span_, CB_SETCURSEL, spanHours_ == 24 ? 0 : 1, 0);
    Refresh();
}

void ReceptionPane::Refresh() {
    const std::int64_t now = clock_ ? clock_() : SystemNow();
    std::vector<ViewRow> rows;
    if (!storePath_.empty()) {
        // Read-only: a store that is not there yet is not made by looking at it; one without the
        // ledger's table (an older program's) shows nothing.
        try {
            messages::Database db = messages::Database::Open(win::Utf8(storePath_), SQLITE_OPEN_READONLY);
            rows = ReadView(db, HourOf(now) - (spanHours_ - 1) * kHourMs, HourOf(now) + kHourMs);
        } catch (const std::exception&) {
        }
    }
    hours_ = ChartHours(rows, now, spanHours_);
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, FALSE);
}

RECT ReceptionPane::PlotRect() const {
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    RECT plot{client.left + Px(kAxisWidth), client.top + Px(kBarTop + 12), client.right - Px(kAxisWidth),
              client.bottom - Px(kLabelHeight)};
    if (plot.right < plot.left) plot.right = plot.left;
    if (plot.bottom < plot.top) plot.bottom = plot.top;
    return plot;
}

int ReceptionPane::HourAt(int x) const {
    const RECT plot = PlotRect();
    const int width = plot.right - plot.left;
    if (hours_.empty() || width <= 0 || x < plot.left || x >= plot.right) return -1;
    return static_cast<int>(static_cast<long long>(x - plot.left) * static_cast<long long>(hours_.size()) / width);
}

std::wstring ReceptionPane::Readout() const {
    if (pointerHour_ < 0 || pointerHour_ >= static_cast<int>(hours_.size())) return {};
    return Wide(ReadoutText(hours_[static_cast<std::size_t>(pointerHour_)]));
}

bool ReceptionPane::ExportCsv(const std::wstring& path) {
    const std::int64_t now = clock_ ? clock_() : SystemNow();
    std::vector<ViewRow> rows;
    try {
        messages::Database db = messages::Database::Open(win::Utf8(storePath_), SQLITE_OPEN_READONLY);
        rows = ReadView(db, HourOf(now) - (spanHours_ - 1) * kHourMs, HourOf(now) + kHourMs);
    } catch (const std::exception&) {
    }
    const std::string csv = ViewCsv(rows);
    std::FILE* file = ::_wfopen(path.c_str(), L"wb");
    if (!file) return false;
    const bool written = std::fwrite(csv.data(), 1, csv.size(), file) == csv.size();
    return std::fclose(file) == 0 && written;
}

void ReceptionPane::OnExport() {
    wchar_t path[MAX_PATH * 4] = L"reception.csv";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwnd();
    ofn.lpstrFilter = L"CSV files (*.csv)\0*.csv\0All files (*.*)\0*.*\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH * 4;
    ofn.lpstrDefExt = L"csv";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!::GetSaveFileNameW(&ofn)) return;
    if (!ExportCsv(path)) ::MessageBoxW(hwnd(), (L"Can't write " + std::wstring(path)).c_str(), L"Export CSV", MB_OK);
}

void ReceptionPane::Paint(HDC dc, const RECT& client) {
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_WINDOW));
    const RECT plot = PlotRect();
    const int width = plot.right - plot.left;
    const int height = plot.bottom - plot.top;
    HGDIOBJ oldFont = ::SelectObject(dc, font_);
    ::SetBkMode(dc, TRANSPARENT);
    const double snrTop = SnrTop(hours_);

    // Scales: per cent on the left, dB on the right, a light line at each quarter.
    HPEN grid = ::CreatePen(PS_SOLID, 1, RGB(225, 225, 225));
    HPEN axis = ::CreatePen(PS_SOLID, 1, kAxisColour);
    HGDIOBJ oldPen = ::SelectObject(dc, grid);
    for (int q = 0; q <= 4; ++q) {
        const int y = plot.bottom - height * q / 4;
        ::MoveToEx(dc, plot.left, y, nullptr);
        ::LineTo(dc, plot.right, y);
        wchar_t text[24];
        ::SetTextColor(dc, kBarColour);
        std::swprintf(text, 24, L"%d %%", q * 25);
        RECT left{client.left, y - Px(7), plot.left - Px(4), y + Px(7)};
        ::DrawTextW(dc, text, -1, &left, DT_RIGHT | DT_SINGLELINE | DT_VCENTER | DT_NOCLIP);
        ::SetTextColor(dc, kSnrColour);
        std::swprintf(text, 24, L"%.0f dB", snrTop * q / 4);
        RECT right{plot.right + Px(4), y - Px(7), client.right, y + Px(7)};
        ::DrawTextW(dc, text, -1, &right, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOCLIP);
    }
    const int n = static_cast<int>(hours_.size());
    auto hourLeft = [&](int i) -> int { return static_cast<int>(plot.left) + static_cast<int>(static_cast<long long>(width) * i / std::max(n, 1)); };

    // Bars; an hour no run covered stays empty, not a bar of nothing.
    HBRUSH bar = ::CreateSolidBrush(kBarColour);
    HBRUSH pointed = ::CreateSolidBrush(RGB(80, 180, 120));
    for (int i = 0; i < n; ++i) {
        const ChartHour& h = hours_[static_cast<std::size_t>(i)];
        if (!h.covered) continue;
        const double pct = std::clamp(h.HeardPercent(), 0.0, 100.0);
        const int gap = std::max(1, (hourLeft(i + 1) - hourLeft(i)) / 6);
        RECT r{hourLeft(i) + gap / 2, plot.bottom - static_cast<int>(std::lround(height * pct / 100.0)),
               hourLeft(i + 1) - (gap + 1) / 2, plot.bottom};
        if (r.top == r.bottom) r.top = r.bottom - 1;  // a covered hour with nothing heard still shows
        ::FillRect(dc, &r, i == pointerHour_ ? pointed : bar);
    }
    ::DeleteObject(bar);
    ::DeleteObject(pointed);

    // The SNR line through the hours that have a figure, broken where one has none.
    HPEN snrPen = ::CreatePen(PS_SOLID, std::max(1, Px(2)), kSnrColour);
    ::SelectObject(dc, snrPen);
    bool drawing = false;
    for (int i = 0; i < n; ++i) {
        const ChartHour& h = hours_[static_cast<std::size_t>(i)];
        if (!h.snrDb) {
            drawing = false;
            continue;
        }
        const int x = (hourLeft(i) + hourLeft(i + 1)) / 2;
        const int y = plot.bottom - static_cast<int>(std::lround(height * std::clamp(*h.snrDb, 0.0, snrTop) / snrTop));
        if (drawing) {
            ::LineTo(dc, x, y);
        } else {
            ::MoveToEx(dc, x, y, nullptr);
            RECT dot{x - Px(2), y - Px(2), x + Px(2) + 1, y + Px(2) + 1};
            ::Ellipse(dc, dot.left, dot.top, dot.right, dot.bottom);
            ::MoveToEx(dc, x, y, nullptr);
        }
        drawing = true;
    }
    ::SelectObject(dc, axis);
    ::MoveToEx(dc, plot.left, plot.bottom, nullptr);
    ::LineTo(dc, plot.right, plot.bottom);

    // Hour labels: every third hour of a day, every midnight of a week.
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    for (int i = 0; i < n; ++i) {
        const std::int64_t hourMs = hours_[static_cast<std::size_t>(i)].hourMs;
        const int hourOfDay = static_cast<int>(((hourMs / kHourMs) % 24 + 24) % 24);
        const bool week = n > 24;
        if (week ? hourOfDay != 0 : hourOfDay % 3 != 0) continue;
        const std::string iso = IsoHour(hourMs);  // "2026-12-07T10:00:00.000Z"
        const std::wstring label = Wide(week ? iso.substr(5, 5) : iso.substr(11, 5));
        RECT r{hourLeft(i) - Px(30), plot.bottom + Px(2), hourLeft(i) + Px(30), plot.bottom + Px(kLabelHeight)};
        ::DrawTextW(dc, label.c_str(), -1, &r, DT_CENTER | DT_SINGLELINE | DT_TOP | DT_NOCLIP);
    }

    // The readout, beside the pointer and kept inside the pane.
    const std::wstring readout = Readout();
    if (!readout.empty()) {
        RECT size{0, 0, 0, 0};
        ::DrawTextW(dc, readout.c_str(), -1, &size, DT_CALCRECT | DT_SINGLELINE);
        const int w = size.right + Px(8), h = size.bottom + Px(6);
        int x = pointer_.x + Px(14), y = pointer_.y + Px(14);
        if (x + w > client.right) x = pointer_.x - Px(8) - w;
        if (y + h > client.bottom) y = pointer_.y - Px(8) - h;
        RECT box{std::max(x, 0), std::max(y, 0), std::max(x, 0) + w, std::max(y, 0) + h};
        ::FillRect(dc, &box, ::GetSysColorBrush(COLOR_INFOBK));
        ::FrameRect(dc, &box, ::GetSysColorBrush(COLOR_WINDOWFRAME));
        ::SetTextColor(dc, ::GetSysColor(COLOR_INFOTEXT));
        RECT text{box.left + Px(4), box.top + Px(3), box.right, box.bottom};
        ::DrawTextW(dc, readout.c_str(), -1, &text, DT_LEFT | DT_SINGLELINE | DT_NOCLIP);
    }
    ::SelectObject(dc, oldPen);
    ::SelectObject(dc, oldFont);
    ::DeleteObject(grid);
    ::DeleteObject(axis);
    ::DeleteObject(snrPen);
}

LRESULT ReceptionPane::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd(), &ps);
        RECT client{};
        ::GetClientRect(hwnd(), &client);
        win::PaintDoubleBuffered(dc, client, [&](HDC memory) { Paint(memory, client); });
        ::EndPaint(hwnd(), &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        ::InvalidateRect(hwnd(), nullptr, FALSE);
        return 0;
    case WM_SHOWWINDOW:
        if (wParam) {
            Refresh();
            ::SetTimer(hwnd(), kRefreshTimer, kRefreshMs, nullptr);
        } else {
            ::KillTimer(hwnd(), kRefreshTimer);
        }
        break;
    case WM_TIMER:
        if (wParam == kRefreshTimer) Refresh();
        return 0;
    case WM_MOUSEMOVE: {
        pointer_ = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        const RECT plot = PlotRect();
        const int hour = pointer_.y >= plot.top && pointer_.y < plot.bottom ? HourAt(pointer_.x) : -1;
        if (hour != pointerHour_ || hour >= 0) {
            pointerHour_ = hour;
            ::InvalidateRect(hwnd(), nullptr, FALSE);
        }
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd(), 0};
        ::TrackMouseEvent(&track);
        return 0;
    }
    case WM_MOUSELEAVE:
        pointerHour_ = -1;
        ::InvalidateRect(hwnd(), nullptr, FALSE);
        return 0;
    case WM_COMMAND:
        if (reinterpret_cast<HWND>(lParam) == span_ && HIWORD(wParam) == CBN_SELCHANGE) {
            SetSpanHours(::SendMessageW(span_, CB_GETCURSEL, 0, 0) == 1 ? 168 : 24);
            return 0;
        }
        if (reinterpret_cast<HWND>(lParam) == export_ && HIWORD(wParam) == BN_CLICKED) {
            OnExport();
            return 0;
        }
        break;
    case WM_DESTROY:
        if (font_) ::DeleteObject(font_);
        font_ = nullptr;
        break;
    default:
        break;
    }
    return DefaultHandling(msg, wParam, lParam);
}

}  // namespace reception
