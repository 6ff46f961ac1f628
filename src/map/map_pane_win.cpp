// MapPane: painting, moving about, the readout, picking, and the pane's two options.
#include "map/map_pane_win.h"

#include <commctrl.h>
#include <commdlg.h>
#include <initguid.h>  // the WIC class and format GUIDs defined here, so only ole32 is imported
#include <wincodec.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "resource.h"
#include "theme/palette.h"
#include "win/utf8.h"
#include "win/colour.h"
#include "win/double_buffer.h"

namespace {

constexpr wchar_t kClassName[] = L"VastrelMapPane";
constexpr double kDeg = map::kPi / 180.0;

}  // namespace

MapPane::MapPane() = default;

MapPane::~MapPane() {
    // The reading thread holds only its own copies; its end is awaited so that it never outlives us.
    if (pending_.valid()) pending_.wait();
}

HWND MapPane::Create(HWND parent, UINT id) {
    RegisterOwnClass(kClassName, CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_CROSS), nullptr);
    LoadLand();
    return CreateWithClass(kClassName, parent, RECT{0, 0, 0, 0}, nullptr, WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP,
                           WS_EX_STATICEDGE, id);
}

void MapPane::LoadLand() {
    HMODULE module = Instance();
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(IDR_LAND_RINGS), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!found) return;  // a chart of sea and graticule only
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    const DWORD size = ::SizeofResource(module, found);
    if (!data || !size) return;
    auto rings = map::DecodeRings(std::span(static_cast<const std::uint8_t*>(data), size));
    if (!rings) return;
    landRingCount_ = rings->rings.size();
    land_ = map::ToWorld(*rings);
}

void MapPane::Load(const std::string& path, const messages::FilterSql& filter) {
    if (pending_.valid()) pending_.wait();  // the previous reading is short; its answer is superseded
    pending_ = std::async(std::launch::async, [path, filter]() -> std::vector<map::MapShape> {
        try {
            return map::ReadMapShapes(path, filter);
        } catch (const std::exception&) {
            return {};  // no store yet or a store being made: an empty chart
        }
    });
    if (hwnd()) ::SetTimer(hwnd(), kLoadTimerId, kLoadIntervalMs, nullptr);
}

void MapPane::TakeLoaded() {
    if (!pending_.valid() || pending_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
    ::KillTimer(hwnd(), kLoadTimerId);
    shapes_ = pending_.get();
    hovered_ = -1;
    RebuildShapePaths();
    if (!fittedOnce_ && !shapes_.empty()) {
        fittedOnce_ = true;
        FitShapes();
    }
    if (selected_) SetSelected(selected_);
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void MapPane::RebuildShapePaths() {
    closedPaths_ = {};
    openPaths_ = {};
    closedOwner_.clear();
    openOwner_.clear();
    for (std::size_t i = 0; i < shapes_.size(); ++i) {
        const auto& s = shapes_[i];
        if (s.kind == map::ShapeKind::Area || s.kind == map::ShapeKind::Circle) {
            closedPaths_.Add(s.points.data(), s.points.size());
            closedOwner_.push_back(i);
        } else if (s.kind == map::ShapeKind::Line) {
            openPaths_.Add(s.points.data(), s.points.size());
            openOwner_.push_back(i);
        }
    }
}

void MapPane::SetHome(std::optional<map::GeoPoint> home) {
    home_ = home;
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void MapPane::SetSelected(std::int64_t message) {
    selected_ = message;
    if (!message) return;
    map::GeoBox box;
    bool inView = false;
    for (const auto& s : shapes_) {
        if (s.message != message) continue;
        for (const auto& p : s.points) {
            box.Add(p);
            const auto px = view_.ToPixel(p);
            if (px.x >= 0 && px.x < view_.width && px.y >= 0 && px.y < view_.height) inView = true;
        }
    }
    if (!box.empty && !inView) {
        // Brought into view at the same scale when it fits, else fitted.
        const double scale = view_.pixels_per_radian;
        view_.Fit(box, Px(40));
        view_.pixels_per_radian = std::min(view_.pixels_per_radian, scale);
        view_.Clamp();
    }
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void MapPane::SetDpi(int dpi) {
    dpi_ = dpi > 0 ? dpi : 96;
    labelFont_.reset();
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void MapPane::FitShapes() {
    map::GeoBox box;
    for (const auto& s : shapes_) {
        if (s.box.empty) continue;
        box.Add({s.box.west, s.box.south});
        box.Add({s.box.east, s.box.north});
    }
    if (box.empty) {
        view_.centre_x = view_.centre_y = 0;
        view_.pixels_per_radian = 0;  // clamped up to the whole chart
        view_.Clamp();
    } else {
        view_.Fit(box, Px(30));
    }
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, FALSE);
}

// --- painting ---------------------------------------------------------------------------------------

void MapPane::Paint(HDC dc, const RECT& client) {
    win::UniqueBrush sea(::CreateSolidBrush(win::ToColorRef(palette::kMapSea)));
    ::FillRect(dc, &client, sea.get());
    scratch_.Clear();
    map::Project(land_, view_, true, scratch_);
    if (!scratch_.counts.empty()) {
        win::UniqueBrush land(::CreateSolidBrush(win::ToColorRef(palette::kMapLand)));
        win::UniquePen coast(::CreatePen(PS_SOLID, std::max(1, Px(1)), win::ToColorRef(palette::kMapCoast)));
        win::SelectObjectScope b(dc, land.get());
        win::SelectObjectScope p(dc, coast.get());
        ::SetPolyFillMode(dc, ALTERNATE);
        ::PolyPolygon(dc, reinterpret_cast<const POINT*>(scratch_.points.data()), scratch_.counts.data(),
                      static_cast<int>(scratch_.counts.size()));
    }
    PaintGraticule(dc, client);
    PaintShapes(dc);
}

void MapPane::PaintGraticule(HDC dc, const RECT& client) {
    if (!labelFont_) {
        LOGFONTW lf{};
        lf.lfHeight = -Px(11);
        lf.lfWeight = FW_NORMAL;
        ::lstrcpynW(lf.lfFaceName, L"Segoe UI", LF_FACESIZE);
        labelFont_.reset(::CreateFontIndirectW(&lf));
    }
    const int step = map::GraticuleStepMinutes(view_.pixels_per_radian, Px(kMinGraticuleSpacing));
    const double stepRad = step / 60.0 * kDeg;
    const double s = view_.pixels_per_radian;
    const double w = client.right, h = client.bottom;
    win::UniquePen pen(::CreatePen(PS_SOLID, std::max(1, Px(1)), win::ToColorRef(palette::kMapGraticule)));
    win::SelectObjectScope p(dc, pen.get());
    win::SelectObjectScope f(dc, labelFont_.get());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, win::ToColorRef(palette::kMapLabel));
    const double x0 = view_.centre_x - w / 2 / s, x1 = view_.centre_x + w / 2 / s;
    for (double k = std::ceil(x0 / stepRad); k <= std::floor(x1 / stepRad); ++k) {
        const int x = static_cast<int>(std::lround((k * stepRad - view_.centre_x) * s + w / 2));
        ::MoveToEx(dc, x, 0, nullptr);
        ::LineTo(dc, x, client.bottom);
        const auto label = win::Wide(map::FormatLongitudeLabel(k * step / 60.0, step));
        ::TextOutW(dc, x + Px(2), Px(1), label.c_str(), static_cast<int>(label.size()));
    }
    const double top = std::min(view_.ToGeo(0, 0).lat, map::kMaxLat);
    const double bottom = std::max(view_.ToGeo(0, h).lat, -map::kMaxLat);
    const double stepDeg = step / 60.0;
    for (double k = std::ceil(bottom / stepDeg); k <= std::floor(top / stepDeg); ++k) {
        const int y = static_cast<int>(std::lround(view_.ToPixel({0, k * stepDeg}).y));
        ::MoveToEx(dc, 0, y, nullptr);
        ::LineTo(dc, client.right, y);
        const auto label = win::Wide(map::FormatLatitudeLabel(k * stepDeg, step));
        ::TextOutW(dc, Px(2), y - Px(14), label.c_str(), static_cast<int>(label.size()));
    }
}

void MapPane::PaintShapes(HDC dc) {
    // One pen and hatch brush per colour: priorities 0-3, muted, selected.
    std::uint32_t colours[6] = {palette::kMapPriorities[0], palette::kMapPriorities[1], palette::kMapPriorities[2],
                                palette::kMapPriorities[3], palette::kMapMuted, palette::kMapSelected};
    win::UniquePen pens[6];
    win::UniqueBrush brushes[6];
    for (int i = 0; i < 6; ++i) {
        pens[i].reset(::CreatePen(PS_SOLID, std::max(1, Px(i == 5 ? 3 : 2)), win::ToColorRef(colours[i])));
        brushes[i].reset(::CreateHatchBrush(HS_BDIAGONAL, win::ToColorRef(colours[i])));
    }
    const auto colourOf = [&](const map::MapShape& s) {
        if (selected_ && s.message == selected_) return 5;
        return s.muted ? 4 : std::clamp(s.priority, 0, 3);
    };
    ::SetBkMode(dc, TRANSPARENT);
    win::SelectObjectScope keepPen(dc, ::GetStockObject(NULL_PEN));
    win::SelectObjectScope keepBrush(dc, ::GetStockObject(NULL_BRUSH));
    // Two passes: everything else, then the selected message on top.
    for (int pass = 0; pass < 2; ++pass) {
        const auto wanted = [&](const map::MapShape& s) { return (colourOf(s) == 5) == (pass == 1); };
        scratch_.Clear();
        map::Project(closedPaths_, view_, true, scratch_);
        std::size_t at = 0;
        for (std::size_t k = 0; k < scratch_.counts.size(); ++k) {
            const auto& s = shapes_[closedOwner_[scratch_.owners[k]]];
            if (wanted(s)) {
                const int c = colourOf(s);
                ::SelectObject(dc, pens[c].get());
                ::SelectObject(dc, brushes[c].get());
                ::Polygon(dc, reinterpret_cast<const POINT*>(scratch_.points.data() + at), scratch_.counts[k]);
            }
            at += static_cast<std::size_t>(scratch_.counts[k]);
        }
        ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
        scratch_.Clear();
        map::Project(openPaths_, view_, false, scratch_);
        at = 0;
        for (std::size_t k = 0; k < scratch_.counts.size(); ++k) {
            const auto& s = shapes_[openOwner_[scratch_.owners[k]]];
            if (wanted(s)) {
                ::SelectObject(dc, pens[colourOf(s)].get());
                ::Polyline(dc, reinterpret_cast<const POINT*>(scratch_.points.data() + at), scratch_.counts[k]);
            }
            at += static_cast<std::size_t>(scratch_.counts[k]);
        }
        // Points as round markers, at each turn of the globe that shows them.
        const double turn = 2 * map::kPi * view_.pixels_per_radian;
        const int r = Px(4);
        for (const auto& s : shapes_) {
            if (s.kind != map::ShapeKind::Point || !wanted(s)) continue;
            const auto c = view_.ToPixel(s.centre);
            if (c.y < -r || c.y > view_.height + r) continue;
            const int c0 = colourOf(s);
            ::SelectObject(dc, pens[c0].get());
            ::SelectObject(dc, ::GetStockObject(WHITE_BRUSH));
            for (double x = c.x - std::ceil((c.x + r) / turn) * turn; x <= view_.width + r; x += turn) {
                if (x < -r) continue;
                const int ix = static_cast<int>(std::lround(x)), iy = static_cast<int>(std::lround(c.y));
                ::Ellipse(dc, ix - r, iy - r, ix + r + 1, iy + r + 1);
            }
        }
    }
    if (home_) {
        // The home position: a black square with a cross through it.
        win::UniquePen pen(::CreatePen(PS_SOLID, std::max(1, Px(2)), win::ToColorRef(palette::kMapHome)));
        ::SelectObject(dc, pen.get());
        ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
        const auto c = view_.ToPixel(*home_);
        const int x = static_cast<int>(std::lround(c.x)), y = static_cast<int>(std::lround(c.y)), r = Px(6);
        ::Rectangle(dc, x - r, y - r, x + r + 1, y + r + 1);
        ::MoveToEx(dc, x - r - Px(3), y, nullptr);
        ::LineTo(dc, x + r + Px(4), y);
        ::MoveToEx(dc, x, y - r - Px(3), nullptr);
        ::LineTo(dc, x, y + r + Px(4));
        ::SelectObject(dc, ::GetStockObject(NULL_PEN));
    }
}

// --- the readout -------------------------------------------------------------------------------------

void MapPane::OnPointer(int x, int y) {
    pointer_ = POINT{x, y};
    hovered_ = map::HitShape(shapes_, view_, x, y, Px(kHitTolerance));
    std::wstring text = win::Wide(map::FormatPosition(view_.ToGeo(x, y)));
    if (hovered_ >= 0) {
        const auto& s = shapes_[static_cast<std::size_t>(hovered_)];
        text += L"\r\n" + win::Wide(s.warning.empty() ? "Message " + std::to_string(s.message) : s.warning);
        if (!s.first_line.empty()) text += L"\r\n" + win::Wide(s.first_line);
    }
    ShowReadout(x, y, text);
}

void MapPane::ShowReadout(int x, int y, const std::wstring& text) {
    if (!readout_.Ensure(hwnd(), Px(480))) return;
    readout_.SetText(text);
    readout_.ShowAt(x + Px(16), y + Px(16));
}

void MapPane::HideReadout() { readout_.Hide(); }

// --- options -----------------------------------------------------------------------------------------

bool MapPane::CopyPosition() {
    if (pointer_.x < 0) return false;
    const std::wstring text = win::Wide(map::FormatPosition(view_.ToGeo(pointer_.x, pointer_.y)));
    if (!::OpenClipboard(hwnd())) return false;
    ::EmptyClipboard();
    bool ok = false;
    if (HGLOBAL mem = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t))) {
        if (void* p = ::GlobalLock(mem)) {
            std::memcpy(p, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
            ::GlobalUnlock(mem);
            ok = ::SetClipboardData(CF_UNICODETEXT, mem) != nullptr;
        }
        if (!ok) ::GlobalFree(mem);  // the clipboard owns it only once taken
    }
    ::CloseClipboard();
    return ok;
}

bool MapPane::SaveAsPng(const std::wstring& path) {
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    if (client.right <= 0 || client.bottom <= 0) return false;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = client.right;
    bi.bmiHeader.biHeight = -client.bottom;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    win::WindowDc screen(hwnd());
    win::UniqueBitmap bitmap(::CreateDIBSection(screen.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    win::UniqueMemoryDc memory(::CreateCompatibleDC(screen.get()));
    if (!bitmap || !memory) return false;
    {
        win::SelectObjectScope keep(memory.get(), bitmap.get());
        Paint(memory.get(), client);
    }
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool ok = false;
    {
        win::ComPtr<IWICImagingFactory> factory;
        win::ComPtr<IWICBitmap> source;
        win::ComPtr<IWICStream> stream;
        win::ComPtr<IWICBitmapEncoder> encoder;
        win::ComPtr<IWICBitmapFrameEncode> frame;
        WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
        ok = SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                          reinterpret_cast<void**>(factory.put()))) &&
             SUCCEEDED(factory->CreateBitmapFromHBITMAP(bitmap.get(), nullptr, WICBitmapIgnoreAlpha, source.put())) &&
             SUCCEEDED(factory->CreateStream(stream.put())) &&
             SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
             SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) &&
             SUCCEEDED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) &&
             SUCCEEDED(encoder->CreateNewFrame(frame.put(), nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
             SUCCEEDED(frame->SetSize(static_cast<UINT>(client.right), static_cast<UINT>(client.bottom))) &&
             SUCCEEDED(frame->SetPixelFormat(&format)) && SUCCEEDED(frame->WriteSource(source.get(), nullptr)) &&
             SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    }
    if (SUCCEEDED(init)) ::CoUninitialize();
    return ok;
}

void MapPane::ShowMenu(int x, int y) {
    win::UniqueMenu menu(::CreatePopupMenu());
    if (!menu) return;
    ::AppendMenuW(menu.get(), MF_STRING, ID_MAP_SAVE_PNG, L"Save map as &PNG...");
    ::AppendMenuW(menu.get(), MF_STRING | (pointer_.x < 0 ? MF_GRAYED : 0), ID_MAP_COPY_POSITION, L"&Copy position");
    POINT screen{x, y};
    ::ClientToScreen(hwnd(), &screen);
    const UINT cmd = static_cast<UINT>(::TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0, hwnd(), nullptr));
    if (cmd == ID_MAP_COPY_POSITION) {
        CopyPosition();
    } else if (cmd == ID_MAP_SAVE_PNG) {
        wchar_t file[MAX_PATH] = L"map.png";
        OPENFILENAMEW ofn{};
        ofn.lStructSize = sizeof(ofn);
        ofn.hwndOwner = hwnd();
        ofn.lpstrFilter = L"PNG picture (*.png)\0*.png\0";
        ofn.lpstrFile = file;
        ofn.nMaxFile = MAX_PATH;
        ofn.lpstrDefExt = L"png";
        ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
        if (::GetSaveFileNameW(&ofn) && !SaveAsPng(file))
            ::MessageBoxW(hwnd(), L"The map could not be saved.", L"Map", MB_OK | MB_ICONWARNING);
    }
}

// --- messages ----------------------------------------------------------------------------------------

LRESULT MapPane::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    const int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
    switch (msg) {
    case WM_SIZE:
        view_.Resize(x, y);
        if (!fittedOnce_) FitShapes();
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        win::PaintScope paint(hwnd());
        RECT client{};
        ::GetClientRect(hwnd(), &client);
        win::PaintDoubleBuffered(paint.dc(), client, [&](HDC dc) { Paint(dc, client); });
        return 0;
    }
    case WM_PRINTCLIENT: {
        RECT client{};
        ::GetClientRect(hwnd(), &client);
        Paint(reinterpret_cast<HDC>(wParam), client);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kLoadTimerId) TakeLoaded();
        return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_MOUSEWHEEL: {
        POINT p{x, y};
        ::ScreenToClient(hwnd(), &p);
        view_.ZoomAt(p.x, p.y, std::pow(1.25, GET_WHEEL_DELTA_WPARAM(wParam) / 120.0));
        ::InvalidateRect(hwnd(), nullptr, FALSE);
        OnPointer(p.x, p.y);
        return 0;
    }
    case WM_LBUTTONDOWN:
        ::SetFocus(hwnd());
        ::SetCapture(hwnd());
        dragging_ = true;
        dragMoved_ = false;
        dragFrom_ = POINT{x, y};
        return 0;
    case WM_MOUSEMOVE: {
        if (dragging_) {
            const int dx = x - dragFrom_.x, dy = y - dragFrom_.y;
            if (std::abs(dx) + std::abs(dy) > 0 && (dragMoved_ || std::abs(dx) > Px(3) || std::abs(dy) > Px(3))) {
                dragMoved_ = true;
                view_.PanBy(dx, dy);
                dragFrom_ = POINT{x, y};
                ::InvalidateRect(hwnd(), nullptr, FALSE);
            }
        }
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd(), 0};
        ::TrackMouseEvent(&track);
        OnPointer(x, y);
        return 0;
    }
    case WM_MOUSELEAVE: HideReadout(); return 0;
    case WM_LBUTTONUP:
        if (!dragging_) return 0;
        dragging_ = false;
        ::ReleaseCapture();
        if (!dragMoved_) {
            const int hit = map::HitShape(shapes_, view_, x, y, Px(kHitTolerance));
            if (hit >= 0) {
                const std::int64_t message = shapes_[static_cast<std::size_t>(hit)].message;
                selected_ = message;
                ::InvalidateRect(hwnd(), nullptr, FALSE);
                if (onPick_) onPick_(message);
            }
        }
        return 0;
    case WM_CAPTURECHANGED: dragging_ = false; return 0;
    case WM_LBUTTONDBLCLK:
        view_.ZoomAt(x, y, 2);
        ::InvalidateRect(hwnd(), nullptr, FALSE);
        return 0;
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_HOME: FitShapes(); return 0;
        case VK_ADD:
        case VK_OEM_PLUS: view_.ZoomAt(view_.width / 2.0, view_.height / 2.0, 1.5); break;
        case VK_SUBTRACT:
        case VK_OEM_MINUS: view_.ZoomAt(view_.width / 2.0, view_.height / 2.0, 1 / 1.5); break;
        default: return DefaultHandling(msg, wParam, lParam);
        }
        ::InvalidateRect(hwnd(), nullptr, FALSE);
        return 0;
    case WM_CONTEXTMENU: {
        POINT p{x, y};
        if (x == -1 && y == -1) p = pointer_;
        else ::ScreenToClient(hwnd(), &p);
        ShowMenu(p.x, p.y);
        return 0;
    }
    case WM_DESTROY:
        ::KillTimer(hwnd(), kLoadTimerId);
        readout_.Reset();
        break;
    default: break;
    }
    return DefaultHandling(msg, wParam, lParam);
}
