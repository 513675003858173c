#include "ui/launch_options.h"

#include <windows.h>

#include <vector>

namespace {

// Words as the command line separates them: by blanks, a quoted part kept together with
// its quotes dropped. No byte of a Shift-JIS double-byte character is a blank or a quote
// (trail bytes start at 0x40), so the bytes can be stepped one by one.
std::vector<std::string> wordsOf(const char* arguments) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (const char* p = arguments; p != nullptr && *p != '\0'; ++p) {
        const char c = *p;
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
        } else {
            word.push_back(c);
            inWord = true;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

bool sameWord(const std::string& word, const char* expected) {
    return lstrcmpiA(word.c_str(), expected) == 0;
}

} // namespace

bool parseLaunchArguments(const char* arguments, LaunchOptions& options, std::string& rejected) {
    options = LaunchOptions();
    rejected.clear();
    for (const std::string& word : wordsOf(arguments)) {
        if (sameWord(word, "/run")) {
            options.run = true;
        } else if (sameWord(word, "/quiet")) {
            options.quiet = true;
        } else {
            rejected = word;
            options = LaunchOptions();
            return false;
        }
    }
    if (options.quiet && !options.run) {
        rejected = "/quiet";
        options = LaunchOptions();
        return false;
    }
    return true;
}

std::string launchArgumentsText(const std::string& rejected) {
    return "引数「" + rejected +
           "」は使えません。\r\n\r\n"
           "使える引数は次のとおりです。\r\n\r\n"
           "/run\r\n"
           "    定義をすべて同期し、終わったら終了します。\r\n"
           "/run /quiet\r\n"
           "    同じく同期して終了します。確認には自動で答えます\r\n"
           "    （大量削除の確認には「いいえ」）。\r\n\r\n"
           "引数を付けずに起動すると、いつもどおりウィンドウを開きます。";
}
