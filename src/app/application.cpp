#include "app/application.h"

#include <commctrl.h>
#include <objbase.h>

#include <memory>

#include "app/main_frame.h"
#include "win/app_module.h"

int RunMainWindow(const wchar_t* commandLine, int showCommand) {
    (void)commandLine;  // no argument is read
    win::MessageLoop loop;
    auto frame = std::make_unique<CMainFrame>();
    if (!frame->CreateMainWindow()) return 0;
    frame->CentreOnMonitor();
    ::ShowWindow(frame->hwnd(), showCommand);
    const int result = loop.Run();
    frame.reset();
    return result;
}

int RunApplication(HINSTANCE instance, const wchar_t* commandLine, int showCommand) {
    ::CoInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{8, ICC_BAR_CLASSES | ICC_USEREX_CLASSES | ICC_COOL_CLASSES};
    ::InitCommonControlsEx(&icc);
    win::g_module.Init(instance);
    HMODULE richEdit = ::LoadLibraryW(L"RICHED20.DLL");
    const int result = RunMainWindow(commandLine, showCommand);
    if (richEdit) ::FreeLibrary(richEdit);
    win::g_module.Term();
    ::CoUninitialize();
    return result;
}
