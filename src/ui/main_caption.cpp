#include "ui/main_caption.h"

#include "base/path.h"
#include "ui/ui_ids.h"

void MainCaption::setFile(const std::string& path) {
    idle_ = std::string(kProductTitle) + " - 【定義ファイル】" + path::namePart(path);
    show();
}

void MainCaption::setReadError() {
    idle_ = std::string(kProductTitle) + " - 【定義ファイル読み込みエラー】";
    show();
}

void MainCaption::setUnsaved(bool unsaved) {
    if (unsaved != unsaved_) {
        unsaved_ = unsaved;
        show();
    }
}

void MainCaption::setRunPercent(int percent) {
    if (percent > 100) {
        percent = 100;
    }
    if (percent != runPercent_) {
        runPercent_ = percent < 0 ? -1 : percent;
        show();
    }
}

std::string MainCaption::text() const {
    // The percentage first: a task bar button shows only the start of a caption.
    const std::string body =
        runPercent_ >= 0 ? "同期中 " + std::to_string(runPercent_) + "% - " + kProductTitle : idle_;
    return unsaved_ ? "*" + body : body;
}

void MainCaption::show() const {
    // Until the definition file has been looked at, the window keeps its creation caption.
    if (window_ != nullptr && (!idle_.empty() || runPercent_ >= 0)) {
        SetWindowTextA(window_, text().c_str());
    }
}
