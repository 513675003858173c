#include "ui/definition_file.h"

#include "base/file_reader.h"
#include "base/file_system.h"
#include "base/text_file_writer.h"
#include "ui/dialog_controls.h"
#include "ui/secure_state.h"
#include "ui/ui_ids.h"

namespace {

std::string errorCaption() {
    return std::string(kProductTitle) + " - エラー";
}

// A code of 0 says nothing; some failures leave no code behind.
std::string codeText(DWORD error) {
    return error != 0 ? errorCodeText(static_cast<int>(error)) : std::string();
}

bool writeText(const std::string& text, const std::string& path) {
    TextFileWriter writer;
    return writer.setText(text) && writer.writeTo(path);
}

} // namespace

const char kStarterDefinitions[] =
    "ここに同期の定義を書きます。\r\n"
    "書き方は同じフォルダの guide-ja.html（使い方ガイド）と SyncDef-example.txt（定義の例）に"
    "あります。\r\n";

bool loadDefinitionFile(HWND editor, const std::string& path) {
    FileContent content;
    if (!readWholeFile(path, content)) {
        return false;
    }
    // Setting the text also clears the editor's mark of unsaved changes.
    SetWindowTextA(editor, content.text());
    return true;
}

DefinitionStart startDefinitionFile(HWND editor, const std::string& path) {
    if (loadDefinitionFile(editor, path)) {
        return DefinitionStart::loaded;
    }
    const DWORD error = GetLastError();
    if (fileExists(path) || folderExists(path)) {
        SetLastError(error);
        return DefinitionStart::unreadable;
    }
    SetWindowTextA(editor, kStarterDefinitions);
    if (writeText(kStarterDefinitions, path)) {
        return DefinitionStart::created;
    }
    // The file's folder takes no new file; the text stays unsaved, and the exit tells.
    SendMessageA(editor, EM_SETMODIFY, TRUE, 0);
    return DefinitionStart::starterOnly;
}

std::string readErrorText(const std::string& path, DWORD error, bool atStart) {
    std::string text = "定義ファイルの読み込みに失敗しました。\r\n" + path + codeText(error) +
                       "\r\n\r\nこのファイルを開いているプログラムがあれば閉じ、読み取りが"
                       "許されているかを確かめてから、「ファイル」→「定義ファイルを開く」で"
                       "開き直してください。";
    if (atStart) {
        text += "\r\n開き直さずに編集欄へ書いた定義は、終了するときにこのファイルを"
                "置き換えます。";
    }
    return text;
}

void showReadErrorBox(HWND mainWindow, const std::string& path, DWORD error, bool atStart) {
    MessageBoxA(mainWindow, readErrorText(path, error, atStart).c_str(), errorCaption().c_str(),
                MB_OK);
}

bool editorModified(HWND editor) {
    return SendMessageA(editor, EM_GETMODIFY, 0, 0) != 0;
}

bool saveDefinitionFile(HWND editor, const std::string& path) {
    const std::string text = windowText(editor);
    if (text.empty()) {
        return true;
    }
    if (!writeText(text, path)) {
        return false;
    }
    SendMessageA(editor, EM_SETMODIFY, FALSE, 0);
    return true;
}

bool saveDefinitionFileNow(HWND mainWindow, HWND editor, const std::string& path) {
    if (writeText(windowText(editor), path)) {
        SendMessageA(editor, EM_SETMODIFY, FALSE, 0);
        return true;
    }
    const std::string text = "定義ファイルの書き込みに失敗しました。\r\n" + path +
                             codeText(GetLastError()) +
                             "\r\n\r\nファイルが読み取り専用になっていないか、ほかのプログラムが"
                             "開いていないかを確かめてから、もう一度保存してください。"
                             "\r\n編集した定義は編集欄に残っています。";
    MessageBoxA(mainWindow, text.c_str(), errorCaption().c_str(), MB_OK | MB_ICONEXCLAMATION);
    return false;
}

int askToSaveChanges(HWND mainWindow, const std::string& path) {
    const std::string text = "編集した定義はまだ保存されていません。\r\n" + path +
                             "\r\n\r\n別の定義ファイルを開く前に保存しますか？";
    return MessageBoxA(mainWindow, text.c_str(), kProductTitle,
                       MB_YESNOCANCEL | MB_ICONEXCLAMATION);
}

std::string writeErrorText(const std::string& path, DWORD error) {
    return "定義ファイルの書き込みに失敗しました。\r\n" + path +
           errorCodeText(static_cast<int>(error)) +
           "\r\n\r\n編集した定義は保存されていません。\r\n保存せずに終了しますか？";
}

bool confirmExitWithoutSaving(HWND mainWindow, const std::string& path, DWORD error) {
    return MessageBoxA(mainWindow, writeErrorText(path, error).c_str(), errorCaption().c_str(),
                       MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) == IDYES;
}
