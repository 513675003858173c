#include "ui/application.h"

#include <commctrl.h>

#include <string>
#include <utility>

#include "ui/dialog_host.h"
#include "ui/launch_options.h"
#include "ui/main_window.h"
#include "ui/mirror_edit_dialog.h"
#include "ui/run_soft_edit_dialog.h"
#include "ui/secure_folders_dialog.h"
#include "ui/secure_prog_window.h"
#include "ui/sync_preview_window.h"
#include "ui/ui_ids.h"
#include "ui/ui_resources.h"
#include "ui/version_window.h"

void registerDialogs() {
    setDialogProcedure("MirrorEdit", &mirrorEditProcedure);
    setDialogProcedure("RunSoftEdit", &runSoftEditProcedure);
    setDialogProcedure("VersionInfo", &versionWindowProcedure);
    setDialogProcedure("SecureFlds", &secureFoldersProcedure);
    setDialogProcedure("SecureProg", &secureProgProcedure);
    setDialogProcedure("SyncPreview", &syncPreviewProcedure);
}

int runApplication(HINSTANCE instance, const ProgramLocation& location, const char* arguments) {
    LaunchOptions launch;
    std::string rejected;
    if (!parseLaunchArguments(arguments, launch, rejected)) {
        MessageBoxA(nullptr, launchArgumentsText(rejected).c_str(), kProductTitle,
                    MB_OK | MB_ICONINFORMATION);
        return kExitNotStarted;
    }
    // What "could not start" means to a caller of /run; the window's own end says 0.
    const int notStarted = launch.run ? kExitNotStarted : 0;
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof controls;
    controls.dwICC = 0xFF;
    InitCommonControlsEx(&controls);

    if (!createSharedResources()) {
        releaseSharedResources();
        return notStarted;
    }
    MenuHandle menu = createMainMenu();
    if (!registerWindowClasses(instance, &mainWindowProcedure)) {
        releaseSharedResources();
        return notStarted;
    }
    registerDialogs();
    if (createMainWindow(instance, location, std::move(menu), launch) == nullptr) {
        // A second instance has closed itself (posting its quit message on the way), or the
        // window could not be made at all.
        releaseSharedResources();
        return notStarted;
    }

    MSG message;
    BOOL got = 0;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
        if (translateMainWindowKeys(message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    // The main window's end posts the code the program ends with.
    return got == 0 ? static_cast<int>(message.wParam) : 0;
}
