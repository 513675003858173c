#pragma once

// Resource, control and command identifiers of the program's windows.

// Icons: the executable's own, the 16-pixel window icon and the 32-pixel version icon.
#define IDI_PROGRAM 101
#define IDI_WINDOW 102
#define IDI_LARGE 103

#ifndef RC_INVOKED

constexpr int kIdEditor = 1000;
constexpr int kIdRunButton = 1001;
constexpr int kIdLogSummary = 1002;
constexpr int kIdFolderStatus = 1003;
constexpr int kIdFileStatus = 1004;
constexpr int kIdOpenLogButton = 1005;
constexpr int kIdIdentifierButton = 1006;
constexpr int kIdNoSubfolderButton = 1007;
constexpr int kIdProgress = 1008;

constexpr int kCmdOpenDefinitionFile = 1047;
constexpr int kCmdOpenLogFile = 1048;
constexpr int kCmdRunSync = 1049;
constexpr int kCmdExit = 1050;
constexpr int kCmdAddMirrorDefinition = 1051;
constexpr int kCmdAddProgramDefinition = 1052;
constexpr int kCmdSecureArea = 1053;
constexpr int kCmdVersion = 1054;
constexpr int kCmdSyncPreview = 1055;
constexpr int kCmdSaveDefinitionFile = 1056;
// Esc: stops a run. No menu item carries it; the run button says "中止" meanwhile.
constexpr int kCmdStopRun = 1057;

// The product title: every message box caption and the start of the main caption.
constexpr const char kProductTitle[] = "Syncoravel";

// Window classes: every dialog is a NORMALDLG window, the main window is NORMAL0.
constexpr const char kDialogClass[] = "NORMALDLG";
constexpr const char kMainClass[] = "NORMAL0";

#endif
