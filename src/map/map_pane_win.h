// MapPane: the chart of the browser's messages. Land, graticule and shapes on a Mercator view; wheel,
// drag, double-click and keys move about; a readout beside the pointer; a click picks a message.
//
// Shapes are read from the store on a thread of its own (map::ReadMapShapes); a short timer on the
// window's thread takes them when they are ready, so the window never waits on the store and the
// thread never touches a window.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "map/map_shapes.h"
#include "map/mercator.h"
#include "map/project.h"
#include "win/tracking_tip.h"
#include "win/handles.h"
#include "win/window.h"

class MapPane : public win::Window {
public:
    static constexpr UINT_PTR kLoadTimerId = 1;
    static constexpr UINT kLoadIntervalMs = 30;
    static constexpr int kMinGraticuleSpacing = 90;  // 96-DPI pixels between graticule lines at least
    static constexpr int kHitTolerance = 6;          // 96-DPI pixels

    MapPane();
    ~MapPane() override;

    HWND Create(HWND parent, UINT id);
    // Reads the shapes of the messages passing `filter` in the store at `path` (UTF-8), in the background.
    void Load(const std::string& path, const messages::FilterSql& filter);
    // True while shapes are being read.
    bool loading() const noexcept { return pending_.valid(); }
    void SetHome(std::optional<map::GeoPoint> home);
    // Highlights a message's shapes and brings them into view when none of them is in it (0: none).
    void SetSelected(std::int64_t message);
    // Called with the message of a clicked shape.
    void SetOnPick(std::function<void(std::int64_t)> onPick) { onPick_ = std::move(onPick); }
    void SetDpi(int dpi);
    // Fits the view to the shapes shown (the whole chart when there are none), as Home does.
    void FitShapes();
    bool SaveAsPng(const std::wstring& path);
    bool CopyPosition();

    const map::View& view() const noexcept { return view_; }
    map::View& view() noexcept { return view_; }
    const std::vector<map::MapShape>& shapes() const noexcept { return shapes_; }
    std::size_t landRings() const noexcept { return landRingCount_; }
    std::int64_t selected() const noexcept { return selected_; }
    const std::wstring& readoutText() const noexcept { return readout_.text(); }
    std::int64_t hovered() const noexcept { return hovered_ >= 0 ? shapes_[static_cast<std::size_t>(hovered_)].message : 0; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void LoadLand();
    void Paint(HDC dc, const RECT& client);
    void PaintGraticule(HDC dc, const RECT& client);
    void PaintShapes(HDC dc);
    void OnPointer(int x, int y);
    void ShowReadout(int x, int y, const std::wstring& text);
    void HideReadout();
    void TakeLoaded();
    void RebuildShapePaths();
    void ShowMenu(int x, int y);
    int Px(int pixels) const noexcept { return ::MulDiv(pixels, dpi_, 96); }

    map::View view_;
    map::WorldPaths land_;
    std::size_t landRingCount_ = 0;
    map::PixelPaths scratch_;
    std::vector<map::MapShape> shapes_;
    map::WorldPaths closedPaths_, openPaths_;     // areas and circles; lines
    std::vector<std::size_t> closedOwner_, openOwner_;  // their shapes
    std::future<std::vector<map::MapShape>> pending_;
    std::optional<map::GeoPoint> home_;
    std::int64_t selected_ = 0;
    int hovered_ = -1;
    int dpi_ = 96;
    bool fittedOnce_ = false;
    bool dragging_ = false;
    bool dragMoved_ = false;
    POINT dragFrom_{};
    POINT pointer_{-1, -1};
    win::TrackingTip readout_;
    std::function<void(std::int64_t)> onPick_;
    win::UniqueFont labelFont_;
};
