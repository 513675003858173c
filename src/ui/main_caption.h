#pragma once

#include <windows.h>

#include <string>

// The main window's caption: the definition file's name (or the read error) while no run
// goes on, "同期中 n% - Syncoravel" during a run, and in either case a leading "*" while the
// editor holds changes not yet written to the definition file.
class MainCaption {
  public:
    void attach(HWND window) { window_ = window; }

    // "Syncoravel - 【定義ファイル】" + the file's name part.
    void setFile(const std::string& path);
    // "Syncoravel - 【定義ファイル読み込みエラー】".
    void setReadError();
    void setUnsaved(bool unsaved);
    bool unsaved() const { return unsaved_; }
    // The run's share in percent; a negative value ends the run's caption.
    void setRunPercent(int percent);

    std::string text() const;

  private:
    void show() const;

    HWND window_ = nullptr;
    std::string idle_;
    bool unsaved_ = false;
    int runPercent_ = -1;
};
