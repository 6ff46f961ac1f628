// The Reception pane: frames heard per hour in per cent of those expected, as bars, with the hour's
// signal to noise as a line on a second scale, over the last 24 hours or 7 days; a readout beside the
// pointer and an export of the view's rows as CSV.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "reception/reception_chart.h"
#include "win/window.h"

namespace reception {

class ReceptionPane : public win::Window {
public:
    static constexpr const wchar_t* kClassName = L"VastrelReceptionPane";
    static constexpr UINT_PTR kRefreshTimer = 1;
    static constexpr UINT kRefreshMs = 60'000;

    // `spanId` and `exportId` are the control ids of the span list and the export button.
    HWND Create(HWND parent, DWORD style, DWORD exStyle, UINT_PTR id, UINT_PTR spanId, UINT_PTR exportId);
    void SetDpi(int dpi);
    void SetStorePath(std::wstring fullPath);
    // UTC milliseconds: which hours are the last ones.
    void SetClock(std::function<std::int64_t()> utcNow) { clock_ = std::move(utcNow); }

    // Reads the store again (the pane also does so when shown and once a minute while shown).
    void Refresh();
    // 24 (the last day) or 168 (the last week); what the span list chooses.
    void SetSpanHours(int hours);
    int SpanHours() const { return spanHours_; }
    const std::vector<ChartHour>& Hours() const { return hours_; }
    // The readout of the hour under the pointer, "" when the pointer is off the bars.
    std::wstring Readout() const;
    // The span's rows of the view as CSV into `path`; false when the file cannot be written.
    bool ExportCsv(const std::wstring& path);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    int Px(int pixels) const;
    RECT PlotRect() const;
    int HourAt(int x) const;
    void Layout();
    void Paint(HDC dc, const RECT& client);
    void OnExport();

    std::wstring storePath_;
    std::function<std::int64_t()> clock_;
    std::vector<ChartHour> hours_;
    int spanHours_ = 24;
    int dpi_ = 96;
    int pointerHour_ = -1;
    POINT pointer_{};
    HWND span_ = nullptr;
    HWND export_ = nullptr;
    HFONT font_ = nullptr;
};

}  // namespace reception
