#include <windows.h>

#include "settings/program_location.h"
#include "ui/application.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    return runApplication(instance, currentProgramLocation(), arguments);
}
