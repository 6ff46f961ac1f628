// Configuration files: the settings model loaded from and saved to a profile (INI) file.
#include "app/main_frame.h"

#include "settings/settings_profile_win.h"

void CMainFrame::LoadConfiguration(const wchar_t* path) {
    // Without a path the profile functions would fall back to the system's own WIN.INI.
    if (!path || !*path) return;
    run_.Stop();
    StopCapture();
    const settings::Settings current = CurrentSettings();
    settings::Settings loaded = settings::LoadProfile(path, current, CaptureDeviceNames());
    // A file may come from someone else: the program it would run on every alert is named first.
    if (!loaded.alertProgram.empty() && loaded.alertProgram != current.alertProgram &&
        !ConfirmAlertProgram(loaded.alertProgram))
        loaded.alertProgram = current.alertProgram;
    ApplySettings(loaded);
}

bool CMainFrame::ConfirmAlertProgram(const std::wstring& program) {
    const std::wstring text = L"This configuration runs a program on every alert:\n\n" + program +
                              L"\n\nRun this program on alerts? (No keeps the one in force and loads the rest.)";
    return ::MessageBoxW(hwnd(), text.c_str(), L"Run on alert", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

void CMainFrame::SaveConfiguration(const wchar_t* path) {
    if (!path || !*path) return;
    settings::SaveProfile(path, CurrentSettings(), CaptureDeviceNames());
}
