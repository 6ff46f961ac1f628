// CMsgFrame: the "Messages" pane, the layout of a message browser. A bar with a filter expression and
// three buttons, a message list and a text view for the selected message. Nothing fills the list or
// the text view yet and the buttons and filter have no effect; the pane only lays its controls out.
#pragma once
#include <windows.h>

#include "win/frame_window.h"
#include "win/handles.h"

class CMsgFrame : public win::FrameWindow {
public:
    static constexpr int kListHeight = 100;
    // How far band 0 is widened on each layout, so that it takes the spare width of its row.
    static constexpr int kFilterBandGrowth = 1000;

    CMsgFrame() = default;
    ~CMsgFrame() override;

    // Bar along the top, the list below it (list-height pixels), the text view down to the bottom.
    void UpdateLayout(bool resizeBars = true) override;

    HWND filterEdit() const noexcept { return filterEdit_; }
    HWND searchButton() const noexcept { return searchButton_; }
    HWND quickFilterButton() const noexcept { return quickFilterButton_; }
    HWND optionsButton() const noexcept { return optionsButton_; }
    HWND list() const noexcept { return list_; }
    HWND textView() const noexcept { return clientWindow; }
    HWND bar() const noexcept { return topBar; }
    int listHeight() const noexcept { return listHeight_; }

    // The screen DPI the pane's measures are for (96 until told); a new DPI rescales the bar and the
    // list height and lays the pane out again.
    void SetDpi(int dpi);
    // A 96-DPI measure at the pane's DPI.
    int Px(int pixels) const noexcept { return ::MulDiv(pixels, dpi_, 96); }
    int barChildHeight() const noexcept;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void OnCreate();
    void OnSize(WPARAM sizeType);
    bool OnNotify(const NMHDR& header);

    HWND CreateBandButton(const wchar_t* text, int width);
    void CreateTextView();
    void CreateList();
    void WidenFilterBand();

    HWND filterEdit_ = nullptr;
    HWND searchButton_ = nullptr;
    HWND quickFilterButton_ = nullptr;
    HWND optionsButton_ = nullptr;
    HWND list_ = nullptr;
    int listHeight_ = kListHeight;
    int dpi_ = 96;
    // Outlives the text view: the view is destroyed with the pane, before the object goes.
    win::UniqueFont textFont_;
};
