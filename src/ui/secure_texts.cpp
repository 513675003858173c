#include "ui/secure_texts.h"

#include "base/path.h"
#include "secure/secure_results.h"
#include "secure/store_layout.h"
#include "ui/secure_state.h"

namespace {

// A box lists at most this many paths, and says how many more there are.
constexpr std::size_t kListedPaths = 10;

void appendPaths(std::string& text, const std::vector<std::string>& paths) {
    for (std::size_t i = 0; i < paths.size() && i < kListedPaths; ++i) {
        text += "\r\n" + paths[i];
    }
    if (paths.size() > kListedPaths) {
        text += "\r\nほか " + std::to_string(paths.size() - kListedPaths) + " 件";
    }
}

} // namespace

const char* secureResultSentence(int code) {
    switch (code) {
    case secure::kResultNone:
        return "パスワードの入力が取り消されました。";
    case secure::kResultDone:
        return "処理は完了しました。";
    case secure::kResultNoUsableKey:
        return "解除キーが使えません。パスワードが空か「<」「>」や改行を含むか、"
               "キーファイルが見つからないか、保護するフォルダの中にあります。";
    case secure::kResultWrongKey:
        return "パスワードが違うか、設定したキーファイルが見つかりません。";
    case secure::kResultOtherDrive:
        return "格納先と別のドライブにあるフォルダは保護できません。";
    case secure::kResultShortPath:
        return "ドライブ全体、このプログラムのフォルダとそれを含むフォルダ、"
               "格納先の中は保護できません。";
    case secure::kResultAlreadySet:
        return "保護領域はすでに設定されています。";
    case secure::kResultIndexNotWritten:
        return "保護領域の記録ファイルを作成できませんでした。";
    case secure::kResultNotAllProtected:
        return "移動できなかったファイルがあります（使用中のファイル、パスが長すぎるファイル、"
               "読み取れないフォルダの中など）。それらは元の場所に残っています。";
    case secure::kResultNoIndex:
        return "保護領域は設定されていません。";
    case secure::kResultNotAllRestored:
        return "元の場所に同じ名前のファイルがあるため、戻せなかったファイルがあります。"
               "それらは格納先に残っています。元の場所にある同じ名前のファイルを移動してから、"
               "もう一度解除してください。";
    case secure::kResultFilesMissing:
        return "格納先にも元の場所にも見つからないファイルがありました。";
    case secure::kResultIndexUnreadable:
        return "保護領域の記録ファイルを読み取れません。他のプログラムが使用している可能性が"
               "あります。しばらくしてからやり直してください。";
    case secure::kResultIndexPlain:
        return "保護領域の記録ファイルを読みにくい形に変換できませんでした。"
               "パスワードがそのまま読める状態で残っています。";
    case secure::kResultNotesLeft:
        return "内容が変えられていたか削除できなかったため、残した案内ファイルがあります。";
    case secure::kResultIndexNotRemoved:
        return "保護領域の記録ファイルを削除または更新できませんでした。"
               "保護領域は設定されたままです。";
    case secure::kResultDamagedIndexKept:
        return "記録ファイルの一部が壊れていたため、元に戻せなかったファイルがあります。"
               "それらは格納先に残し、記録ファイルは日付を付けて残しました。";
    default:
        return "原因のわからないエラーです。";
    }
}

std::string platformErrorText(DWORD error) {
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = text != nullptr ? text : "";
    LocalFree(text);
    while (!result.empty() &&
           (result.back() == '\r' || result.back() == '\n' || result.back() == ' ')) {
        result.pop_back();
    }
    return result + "（Windows のエラーコード：" + std::to_string(error) + "）";
}

std::string secureOutcomeText(const SecureOutcome& outcome) {
    std::string text = secureResultSentence(outcome.resultCode);
    if (outcome.leftInPlace > 0) {
        text += "\r\n元の場所に残ったファイル：" + std::to_string(outcome.leftInPlace) + " 件";
    }
    if (outcome.keptInStore > 0) {
        text += "\r\n戻せなかったファイル：" + std::to_string(outcome.keptInStore) + " 件";
    }
    appendPaths(text, outcome.missing);
    if (outcome.unreadableRecords > 0) {
        text += "\r\n読み取れなかった記録：" + std::to_string(outcome.unreadableRecords) + " 件";
    }
    if (!outcome.indexAside.empty()) {
        text += "\r\n残したファイルの場所：" + path::folderPart(outcome.indexAside) + "\\" +
                store::kFolderName + "\r\n記録ファイル：" + outcome.indexAside;
    }
    appendPaths(text, outcome.notesLeft);
    if (outcome.systemError != 0) {
        text += "\r\n" + platformErrorText(outcome.systemError);
    }
    if (outcome.resultCode != secure::kResultNone) {
        text += errorCodeText(outcome.resultCode);
    }
    return text;
}

std::string secureSetFailedText(const SecureOutcome& outcome) {
    return "保護領域の設定に失敗しました。\r\n" + secureOutcomeText(outcome);
}

std::string secureReleaseFailedText(const SecureOutcome& outcome) {
    return "保護領域の解除に失敗しました。\r\n" + secureOutcomeText(outcome);
}

std::string secureReleasedWithTroubleText(const SecureOutcome& outcome) {
    return "保護領域を解除しましたが、問題がありました。\r\n" + secureOutcomeText(outcome);
}

bool secureAreaReleased(int result) {
    return result == secure::kResultDone || result == secure::kResultFilesMissing ||
           result == secure::kResultNotesLeft || result == secure::kResultDamagedIndexKept;
}
