#include "ui/application.h"

#include <commctrl.h>

#include <utility>

#include "ui/dialog_host.h"
#include "ui/main_window.h"
#include "ui/mirror_edit_dialog.h"
#include "ui/run_soft_edit_dialog.h"
#include "ui/secure_folders_dialog.h"
#include "ui/secure_prog_window.h"
#include "ui/sync_preview_window.h"
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

int runApplication(HINSTANCE instance, const ProgramLocation& location) {
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof controls;
    controls.dwICC = 0xFF;
    InitCommonControlsEx(&controls);

    if (!createSharedResources()) {
        releaseSharedResources();
        return 0;
    }
    MenuHandle menu = createMainMenu();
    if (!registerWindowClasses(instance, &mainWindowProcedure)) {
        releaseSharedResources();
        return 0;
    }
    registerDialogs();
    if (createMainWindow(instance, location, std::move(menu)) == nullptr) {
        // A second instance has closed itself (posting its quit message on the way), or the
        // window could not be made at all.
        releaseSharedResources();
        return 0;
    }

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
