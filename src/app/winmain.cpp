// Program entry: everything happens in RunApplication.
#include "app/application.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
    return RunApplication(instance, commandLine, showCommand);
}
