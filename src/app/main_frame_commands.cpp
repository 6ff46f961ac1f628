// Commands from the menu, the pane buttons and the spectrum display; the close path.
#include "app/main_frame.h"

#include <commdlg.h>

#include "resource.h"

void CMainFrame::SetMenuItemState(UINT id, UINT state) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STATE;
    info.fState = state;
    ::SetMenuItemInfoW(menu(), id, FALSE, &info);
}

void CMainFrame::OnClose() {
    StopDecoder();
    StopCapture();
}

void CMainFrame::ToggleLogFilter(UINT id, int category) {
    const bool shown = !logFilter->Shown(category);
    logFilter->Set(category, shown);
    ::CheckMenuItem(menu(), id, MF_BYCOMMAND | (shown ? MF_CHECKED : MF_UNCHECKED));
}

void CMainFrame::OnCommand(UINT code, UINT id, HWND sender) {
    if (sender && sender == spectrumDisplay.hwnd() && code == 0) RefreshCentreFrequencyRow();
    if (sender && sender == fftSettingsButton && code == BN_CLICKED) SelectPane(kPaneFftSettings);
    if (sender && sender == decoderLogButton && code == BN_CLICKED) SelectPane(kPaneDecoderLog);
    if (sender && sender == messagesButton && code == BN_CLICKED) SelectPane(kPaneMessages);
    if (sender && sender == mapButton && code == BN_CLICKED) SelectPane(kPaneMap);

    switch (id) {
    case ID_FILE_EXIT: ::PostMessageW(hwnd(), WM_CLOSE, 0, 0); break;
    case ID_FFT_ON: StartCapture(); break;
    case ID_FFT_OFF: StopCapture(); break;
    case ID_DECODER_START: StartDecoder(); break;
    case ID_DECODER_STOP: StopDecoder(); break;
    case ID_PANE_MESSAGES: SelectPane(kPaneMessages); break;
    case ID_PANE_MAP: SelectPane(kPaneMap); break;
    case ID_PANE_DECODER_LOG: SelectPane(kPaneDecoderLog); break;
    case ID_PANE_FFT_SETTINGS: SelectPane(kPaneFftSettings); break;
    case ID_FILTER_FRAME_HEADERS: ToggleLogFilter(id, 0); break;
    case ID_FILTER_BB_CONTENTS: ToggleLogFilter(id, 1); break;
    case ID_FILTER_BB_HEADER: ToggleLogFilter(id, 2); break;
    case ID_FILTER_UNKNOWN: ToggleLogFilter(id, 3); break;
    case ID_FILTER_MESSAGE_TEXT: ToggleLogFilter(id, 5); break;
    case ID_FILE_LOAD:
        if (decoderRunning) {
            ::MessageBoxW(hwnd(), L"You must stop decoder before loading configuration.", L"Vastrel GUI", MB_OK);
            break;
        }
        if (captureRunning) StopCapture();
        ShowConfigurationDialog(false);
        break;
    case ID_FILE_SAVE: ShowConfigurationDialog(true); break;
    default: break;
    }
}

void CMainFrame::ShowConfigurationDialog(bool save) {
    wchar_t directory[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH - 1, directory);
    wchar_t file[MAX_PATH] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = ::GetActiveWindow();
    ofn.lpstrFilter = L"Vastrel Configuration files (*.ccf)\0*.ccf\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = directory;
    ofn.lpstrDefExt = L"ccf";
    ofn.Flags = OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING | (save ? OFN_OVERWRITEPROMPT : 0);
    if (save) {
        if (::GetSaveFileNameW(&ofn)) saveConfiguration(file);
    } else {
        if (::GetOpenFileNameW(&ofn)) loadConfiguration(file);
    }
}
