// The styles of the main window and the children it creates, as named flags.
//
// Each is checked against the number it has always had, so that spelling it out cannot change a bit.
// Bits that do nothing for their window class are kept as they were, and said to do nothing.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

namespace main_frame_styles {

// Visible children that keep out of each other's and their own children's paint.
inline constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
static_assert(kChildStyle == 0x56000000);
// WS_CLIPSIBLINGS is added by the system to every top-level window anyway, and WS_EX_WINDOWEDGE to
// every window with a caption or sizing border; WS_EX_APPWINDOW asks for the taskbar button that an
// unowned top-level window gets anyway. None of the three changes anything here.
inline constexpr DWORD kMainWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
inline constexpr DWORD kMainWindowExStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
static_assert(kMainWindowStyle == 0x06CF0000 && kMainWindowExStyle == 0x00040100);
// No RBS_BANDBORDERS: no lines between the bands. RBS_FIXEDORDER keeps the bands in their order
// should a user drag one to another row (they have no grippers, only their labels to drag by).
inline constexpr DWORD kTopBarStyle = kChildStyle | RBS_VARHEIGHT | RBS_FIXEDORDER | CCS_NODIVIDER;
static_assert(kTopBarStyle == 0x56000A40);
inline constexpr DWORD kMenuBarStyle =
    kChildStyle | CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN | TBSTYLE_FLAT | TBSTYLE_LIST;
static_assert(kMenuBarStyle == 0x5600184C);
inline constexpr DWORD kPaneButtonStyle = kChildStyle | BS_PUSHLIKE | BS_CHECKBOX;
static_assert(kPaneButtonStyle == 0x56001002);
// Left-aligned text. SS_RIGHTJUST and SS_REALSIZEIMAGE place and size the picture of an SS_BITMAP or
// SS_ICON static; on a text static they have no effect.
inline constexpr DWORD kStatusFieldStyle = kChildStyle | SS_LEFT | SS_RIGHTJUST | SS_REALSIZEIMAGE;
static_assert(kStatusFieldStyle == 0x56000C00);
// Hidden until its pane is chosen. A read-only control inserts nothing for Enter, so ES_WANTRETURN
// has no effect, nor has WS_CLIPCHILDREN on a control without children.
inline constexpr DWORD kDecoderLogStyle = WS_CHILD | WS_CLIPCHILDREN | WS_VSCROLL | ES_MULTILINE | ES_READONLY |
                                          ES_WANTRETURN | ES_DISABLENOSCROLL;
static_assert(kDecoderLogStyle == 0x42203804);
inline constexpr DWORD kMessagesPaneStyle = WS_CHILD | WS_CLIPSIBLINGS;  // hidden until its pane is chosen
static_assert(kMessagesPaneStyle == 0x44000000);

}  // namespace main_frame_styles
