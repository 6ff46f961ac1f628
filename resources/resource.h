// Resource and command identifiers shared by the resources, the main window and the tests.
#pragma once

#define IDR_MAINMENU 100
#define IDI_APPICON 1

#define ID_FILE_LOAD 102
#define ID_FILE_SAVE 103
#define ID_FILE_EXIT 104
#define ID_PANE_FFT_SETTINGS 105
#define ID_DECODER_START 106
#define ID_PANE_DECODER_LOG 107
#define ID_PANE_MESSAGES 108
#define ID_FFT_OFF 109
#define ID_FFT_ON 110
#define ID_DECODER_STOP 111
#define ID_FILTER_FRAME_HEADERS 112
#define ID_FILTER_BB_CONTENTS 113
#define ID_FILTER_BB_HEADER 114
#define ID_FILTER_UNKNOWN 115
#define ID_FILTER_MESSAGE_TEXT 116
#define ID_PANE_MAP 117
#define ID_MAP_SAVE_PNG 118
#define ID_MAP_COPY_POSITION 119
// The tray icon's menu: Show (its Start, Stop and Exit are the Decoder and File menus' own).
#define ID_TRAY_SHOW 120

// The main window's children, so that tools and tests find them as any outside program would.
#define IDC_SPECTRUM 1001
#define IDC_SETTINGS_GRID 1002
#define IDC_DECODER_LOG 1003
#define IDC_MESSAGES_PANE 1004
#define IDC_STATUS_FIELD 1005
#define IDC_LES_FIELD 1006
#define IDC_FRAME_FIELD 1007
#define IDC_FFT_SETTINGS_BUTTON 1008
#define IDC_DECODER_LOG_BUTTON 1009
#define IDC_MESSAGES_BUTTON 1010
#define IDC_MENU_BAR 1011
#define IDC_RECEPTION_BUTTON 1012
#define IDC_RECEPTION_PANE 1013
#define IDC_RECEPTION_SPAN 1014
#define IDC_RECEPTION_EXPORT 1015

// The map: its pane, the bar's button, and the land it draws (tools/map_land.py's ring file).
#define IDC_MAP_PANE 1300
#define IDC_MAP_BUTTON 1301
#define IDR_LAND_RINGS 300
