#include <windows.h>

#include "settings/program_location.h"
#include "ui/application.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return runApplication(instance, currentProgramLocation());
}
