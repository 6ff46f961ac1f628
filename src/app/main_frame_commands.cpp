// Commands from the menu, the pane buttons and the spectrum_ display; the close path.
#include "app/main_frame.h"

#include <commdlg.h>

#include "resource.h"
#include "win/file_dialog.h"

void CMainFrame::SetMenuItemState(UINT id, UINT state) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STATE;
    info.fState = state;
    ::SetMenuItemInfoW(menu(), id, FALSE, &info);
}

void CMainFrame::OnClose() {
    run_.Stop();
    StopCapture();
}

void CMainFrame::ToggleLogFilter(UINT id, decoder::Category category) {
    const bool shown = !run_.Filter().Shown(category);
    run_.Filter().Set(decoder::Index(category), shown);
    ::CheckMenuItem(menu(), id, MF_BYCOMMAND | (shown ? MF_CHECKED : MF_UNCHECKED));
}

void CMainFrame::OnCommand(UINT code, UINT id, HWND sender) {
    if (sender && sender == spectrumDisplay_.hwnd() && code == 0) RefreshCentreFrequencyRow();
    if (sender && sender == fftSettingsButton_ && code == BN_CLICKED) SelectPane(Pane::FftSettings);
    if (sender && sender == decoderLogButton_ && code == BN_CLICKED) SelectPane(Pane::DecoderLog);
    if (sender && sender == messagesButton_ && code == BN_CLICKED) SelectPane(Pane::Messages);
    if (sender && sender == mapButton_ && code == BN_CLICKED) SelectPane(Pane::Map);
    if (sender && sender == receptionButton_ && code == BN_CLICKED) SelectPane(Pane::Reception);

    switch (id) {
    case ID_FILE_EXIT: ::PostMessageW(hwnd(), WM_CLOSE, 0, 0); break;
    case ID_TRAY_SHOW: ShowFromTray(); break;
    case ID_FFT_ON: StartCapture(); break;
    case ID_FFT_OFF: StopCapture(); break;
    case ID_DECODER_START: run_.Start(); break;
    case ID_DECODER_STOP: run_.Stop(); break;
    case ID_PANE_MESSAGES: SelectPane(Pane::Messages); break;
    case ID_PANE_MAP: SelectPane(Pane::Map); break;
    case ID_PANE_DECODER_LOG: SelectPane(Pane::DecoderLog); break;
    case ID_PANE_FFT_SETTINGS: SelectPane(Pane::FftSettings); break;
    case ID_FILTER_FRAME_HEADERS: ToggleLogFilter(id, decoder::Category::FrameHeader); break;
    case ID_FILTER_BB_CONTENTS: ToggleLogFilter(id, decoder::Category::BulletinContents); break;
    case ID_FILTER_BB_HEADER: ToggleLogFilter(id, decoder::Category::BulletinHeader); break;
    case ID_FILTER_UNKNOWN: ToggleLogFilter(id, decoder::Category::UnknownFrame); break;
    case ID_FILTER_MESSAGE_TEXT: ToggleLogFilter(id, decoder::Category::MessageText); break;
    case ID_FILE_LOAD:
        if (run_.Running()) {
            ::MessageBoxW(hwnd(), L"You must stop decoder before loading configuration.", L"Vastrel GUI", MB_OK);
            break;
        }
        if (captureRunning_) StopCapture();
        ShowConfigurationDialog(false);
        break;
    case ID_FILE_SAVE: ShowConfigurationDialog(true); break;
    default: break;
    }
}

void CMainFrame::ShowConfigurationDialog(bool save) {
    wchar_t directory[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH - 1, directory);
    win::FileDialog dialog;
    dialog.owner = ::GetActiveWindow();
    dialog.filter = L"Vastrel Configuration files (*.ccf)\0*.ccf\0";
    dialog.initialDirectory = directory;
    dialog.defaultExtension = L"ccf";
    dialog.flags = OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING | (save ? OFN_OVERWRITEPROMPT : 0);
    if (save) {
        if (auto file = win::AskSaveFile(dialog)) SaveConfiguration(file->c_str());
    } else {
        if (auto file = win::AskOpenFile(dialog)) LoadConfiguration(file->c_str());
    }
}
