// Configuration files: the settings model loaded from and saved to a profile (INI) file.
#include "app/main_frame.h"

#include "settings/settings_profile_win.h"

void CMainFrame::LoadConfiguration(const wchar_t* path) {
    // Without a path the profile functions would fall back to the system's own WIN.INI.
    if (!path || !*path) return;
    run_.Stop();
    StopCapture();
    ApplySettings(settings::LoadProfile(path, CurrentSettings(), CaptureDeviceNames()));
}

void CMainFrame::SaveConfiguration(const wchar_t* path) {
    if (!path || !*path) return;
    settings::SaveProfile(path, CurrentSettings(), CaptureDeviceNames());
}
