#include "ui/definition_file.h"

#include "base/file_reader.h"
#include "base/path.h"
#include "base/text_file_writer.h"
#include "ui/dialog_controls.h"
#include "ui/secure_state.h"
#include "ui/ui_ids.h"

bool loadDefinitionFile(HWND mainWindow, HWND editor, const std::string& path) {
    FileContent content;
    if (!readWholeFile(path, content)) {
        return false;
    }
    SetWindowTextA(editor, content.text());
    const std::string caption =
        std::string(kProductTitle) + " - 【定義ファイル】" + path::namePart(path);
    SetWindowTextA(mainWindow, caption.c_str());
    return true;
}

void setReadErrorCaption(HWND mainWindow) {
    const std::string caption = std::string(kProductTitle) + " - 【定義ファイル読み込みエラー】";
    SetWindowTextA(mainWindow, caption.c_str());
}

void showReadErrorBox(HWND mainWindow) {
    const std::string caption = std::string(kProductTitle) + " - エラー";
    MessageBoxA(mainWindow, "定義ファイルの読み込みに失敗しました。", caption.c_str(), MB_OK);
}

bool saveDefinitionFile(HWND editor, const std::string& path) {
    const std::string text = windowText(editor);
    if (text.empty()) {
        return true;
    }
    TextFileWriter writer;
    return writer.setText(text) && writer.writeTo(path);
}

std::string writeErrorText(const std::string& path, DWORD error) {
    return "定義ファイルの書き込みに失敗しました。\r\n" + path +
           errorCodeText(static_cast<int>(error)) +
           "\r\n\r\n編集した定義は保存されていません。\r\n保存せずに終了しますか？";
}

bool confirmExitWithoutSaving(HWND mainWindow, const std::string& path, DWORD error) {
    const std::string caption = std::string(kProductTitle) + " - エラー";
    return MessageBoxA(mainWindow, writeErrorText(path, error).c_str(), caption.c_str(),
                       MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) == IDYES;
}
