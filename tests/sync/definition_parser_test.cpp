#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/guarded_text.h"
#include "support/report_window.h"
#include "support/temp_folder.h"
#include "sync/definition_parser.h"
#include "sync/messages.h"

namespace {

// Real folders for the definition texts; {A} in a text stands for the folder of key A.
class DefinitionParserTest : public testing::Test {
  protected:
    void SetUp() override {
        for (const char* key : {"A", "B", "C", "D"}) {
            folders_[key] = temp_.folder(std::string("定義") + key);
        }
        folders_["SO"] = temp_.folder("データソ");  // ends in 0x5C
        folders_["HYO"] = temp_.folder("一覧表");   // ends in 0x5C
        folders_["EQ"] = temp_.folder("計算＝");    // second byte is a lead byte
        folders_["MISSING"] = temp_.at("ありません");
    }

    std::string expand(const std::string& text) const {
        std::string result;
        for (std::size_t i = 0; i < text.size();) {
            const std::size_t close = text[i] == '{' ? text.find('}', i) : std::string::npos;
            if (close != std::string::npos && folders_.count(text.substr(i + 1, close - i - 1))) {
                result += folders_.at(text.substr(i + 1, close - i - 1));
                i = close + 1;
            } else {
                result += text[i++];
            }
        }
        return result;
    }

    std::vector<std::string> expand(const std::vector<std::string>& texts) const {
        std::vector<std::string> result;
        for (const std::string& text : texts) {
            result.push_back(expand(text));
        }
        return result;
    }

    support::TempFolder temp_;
    std::map<std::string, std::string> folders_;
};

std::vector<std::string> toVector(const StringList& list) {
    return std::vector<std::string>(list.begin(), list.end());
}

std::vector<std::string> commandsOf(const support::ReportWindow& window) {
    std::vector<std::string> commands;
    for (const support::ReportedMessage& message : window.messages()) {
        EXPECT_EQ(message.message, kMsgRunCommand);
        commands.push_back(message.text);
    }
    return commands;
}

// One definition as a loading parse finds it.
struct Block {
    std::string rest; // the text after the definition: where the returned offset points
    std::vector<std::string> folders;
    bool withSubfolders = true;
    std::vector<std::string> commands;
    std::vector<std::string> exclusions; // the patterns taken
    std::vector<std::string> unusable;   // exclusion lines that cannot be used
};

struct ParserCase {
    const char* name;
    std::string text;
    std::vector<Block> blocks;
};

const ParserCase kParserCases[] = {
    {"an empty line ends a definition",
     "Sync.{A}\r\nSync.{B}\r\n\r\nSync.{C}\r\nSync.{D}\r\n",
     {{"\r\nSync.{C}\r\nSync.{D}\r\n", {"{A}", "{B}"}}, {"", {"{C}", "{D}"}}}},
    {"lower-case sync. does not continue a definition but opens one",
     "Sync.{A}\r\nsync.{B}\r\n",
     {{"sync.{B}\r\n", {"{A}"}}, {"", {"{B}"}}}},
    {"text before Sync. opens anyway and ends the definition above",
     "memo Sync.{A}\r\nSync.{B}\r\nx Sync.{C}\r\n",
     {{"x Sync.{C}\r\n", {"{A}", "{B}"}}, {"", {"{C}"}}}},
    {"lines without Sync. before a definition are skipped",
     "メモ\r\n\r\n予定表\\\r\nSync.{A}\r\nSync.{B}",
     {{"", {"{A}", "{B}"}}}},
    {"a drive with and without backslashes", "Sync.D:\r\nSync.D:\\\r\nSync.D:\\\\\\\\\r\n",
     {{"", {"D:", "D:", "D:"}}}},
    {"a drive that is not ready is dropped", "Sync.N:\r\nSync.N:\\\r\nSync.{A}\r\n",
     {{"", {"{A}"}}}},
    {"the exact option clears the subfolder switch",
     "Sync.{A}\r\nSync.Option.NoSubDirectory\r\nSync.{B}\r\n",
     {{"", {"{A}", "{B}"}, false}}},
    {"other options, other case and a trailing blank are ignored",
     "Sync.{A}\r\nSync.Option.nosubdirectory\r\nSync.Option.NoSubDirectory \r\n"
     "Sync.Option.Other\r\nSync.option.NoSubDirectory\r\nSync.{B}\r\n",
     {{"", {"{A}", "{B}"}, true}}},
    {"run lines are sent in order", "Sync.Run.notepad.exe\r\nSync.Run.D:\\メモ 帳\\予定表.txt\r\n",
     {{"", {}, true, {"notepad.exe", "D:\\メモ 帳\\予定表.txt"}}}},
    {"run lines between folders", "Sync.{A}\r\nSync.Run.calc.exe\r\nSync.{B}\r\n",
     {{"", {"{A}", "{B}"}, true, {"calc.exe"}}}},
    {"line feeds without carriage returns", "Sync.{A}\nSync.{B}\n\nSync.{C}\n",
     {{"\nSync.{C}\n", {"{A}", "{B}"}}, {"", {"{C}"}}}},
    {"a last line without line end", "Sync.{A}\r\nSync.{B}", {{"", {"{A}", "{B}"}}}},
    {"a bare Sync. at the very end is an empty folder line", "Sync.{A}\r\nSync.",
     {{"", {"{A}"}}}},
    {"only Sync.", "Sync.", {{"", {}}}},
    {"a folder named twice counts twice", "Sync.{A}\r\nSync.{A}\r\n", {{"", {"{A}", "{A}"}}}},
    {"trailing backslashes go, trail bytes 0x5C stay",
     "Sync.{A}\\\\\r\nSync.{SO}\r\nSync.{HYO}\\\r\nSync.{SO}\\\\\\\r\nSync.{EQ}\\\r\n",
     {{"", {"{A}", "{SO}", "{HYO}", "{SO}", "{EQ}"}}}},
    {"missing folders and empty lines are dropped",
     "Sync.{MISSING}\r\nSync.{A}\r\nSync.\r\nSync.\\\r\n", {{"", {"{A}"}}}},
    {"only one carriage return is dropped", "Sync.{A}\r\r\nSync.{B}\r\n", {{"", {"{B}"}}}},
    {"no Sync. at all", "memo\r\nsyn c.\r\nSync\r\n", {}},
    {"exclusion lines anywhere among the folder lines; a pattern keeps its trailing backslash",
     "Sync.Option.Exclude:~$*\r\nSync.{A}\r\nSync.Option.Exclude:写真\\原本\r\nSync.{B}\r\n"
     "Sync.Option.Exclude:cache\\\r\nSync.Option.Exclude: *.tmp \r\nSync.Option.Exclude:*表\r\n",
     {{"", {"{A}", "{B}"}, true, {}, {"~$*", "写真\\原本", "cache\\", "*.tmp", "*表"}}}},
    {"exclusion lines that cannot be used, the keyword in another case or without its colon",
     "Sync.{A}\r\nSync.Option.Exclude:\r\nSync.Option.Exclude:a:b\r\nSync.Option.Exclude:x\\\\\r\n"
     "Sync.Option.exclude:*.tmp\r\nSync.Option.EXCLUDE:x\r\nSync.Option.Exclude *.bak\r\n"
     "Sync.Option.Exclude:ok\r\nSync.{B}\r\n",
     {{"",
       {"{A}", "{B}"},
       true,
       {},
       {"ok"},
       {"Option.Exclude:", "Option.Exclude:a:b", "Option.Exclude:x\\\\", "Option.exclude:*.tmp",
        "Option.EXCLUDE:x", "Option.Exclude *.bak"}}}},
    {"empty text", "", {}},
};

TEST_F(DefinitionParserTest, DefinitionTexts) {
    support::ReportWindow window;
    ASSERT_NE(window.handle(), nullptr);
    for (const ParserCase& c : kParserCases) {
        SCOPED_TRACE(c.name);
        const std::string text = expand(c.text);
        std::size_t position = 0;
        int valid = 0;
        for (const Block& block : c.blocks) {
            // Loading, on a fresh copy as a run takes one for every definition.
            std::string copy = text;
            PassContext context;
            StringList folders;
            int count = -1;
            window.clear();
            const int offset = parseSyncBlock(context, &copy[position], window.handle(),
                                              kParseLoading, count, folders);
            ASSERT_GT(offset, 0);
            ASSERT_LE(position + offset, text.size());
            EXPECT_EQ(text.substr(position + offset), expand(block.rest));
            EXPECT_EQ(toVector(folders), expand(block.folders));
            EXPECT_EQ(count, static_cast<int>(block.folders.size()));
            EXPECT_EQ(context.withSubfolders, block.withSubfolders);
            EXPECT_EQ(context.reportWindow, window.handle());
            EXPECT_EQ(commandsOf(window), expand(block.commands));

            // Counting finds the same definition, sends nothing and keeps the switch.
            copy = text;
            PassContext counting;
            counting.reportWindow = window.handle();
            EXPECT_EQ(context.exclusions.patterns(), block.exclusions);
            EXPECT_EQ(context.exclusions.unusable(), block.unusable);
            StringList untouched;
            int counted = -1;
            window.clear();
            EXPECT_EQ(parseSyncBlock(counting, &copy[position], nullptr, kParseCounting, counted,
                                     untouched),
                      offset);
            EXPECT_EQ(counted, count);
            EXPECT_TRUE(untouched.empty());
            EXPECT_TRUE(counting.withSubfolders);
            EXPECT_EQ(counting.reportWindow, nullptr);
            EXPECT_TRUE(window.messages().empty());

            valid += count >= 2 ? 1 : 0;
            position += offset;
            EXPECT_TRUE(counting.exclusions.empty());
            EXPECT_TRUE(counting.exclusions.unusable().empty());
        }
        std::string copy = text;
        PassContext context;
        StringList folders;
        int count = -1;
        EXPECT_EQ(parseSyncBlock(context, &copy[position], window.handle(), kParseLoading, count,
                                 folders),
                  0);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(countSyncDefinitions(text), valid);
    }
}

// Texts cut off inside a keyword, a line or a double-byte character: the parser must stop
// at the terminating zero, which is the last readable byte.
TEST_F(DefinitionParserTest, TextsCutOffAnywhereAreNeverReadPastTheirEnd) {
    const char* const tails[] = {
        "S", "Sy", "Syn", "Sync", "Sync.", "Sync.O", "Sync.Option", "Sync.Option.",
        "Sync.Option.NoSub", "Sync.Option.Exc", "Sync.Option.Exclude", "Sync.Option.Exclude:",
        "Sync.Option.Exclude:\x81", "Sync.Option.Exclude:*\\", "Sync.R", "Sync.Run", "Sync.Run.",
        "Sync.\x81", "Sync.{A}\x81", "Sync.{A}\\\x81", "Sync.\\", "Sync.\r", "Sync.{B}\r", "\x81",
        "sync.\x81\\",
    };
    support::ReportWindow window;
    for (const char* tail : tails) {
        const std::string text = expand(std::string("Sync.{A}\r\nSync.{B}\r\n") + tail);
        SCOPED_TRACE(support::utf8(text));
        for (int mode : {kParseLoading, kParseCounting}) {
            support::GuardedText guarded(text);
            ASSERT_NE(guarded.data(), nullptr);
            std::size_t position = 0;
            for (int calls = 0; calls < 10; ++calls) {
                PassContext context;
                StringList folders;
                int count = 0;
                const int offset = parseSyncBlock(context, guarded.data() + position,
                                                  window.handle(), mode, count, folders);
                if (offset <= 0) {
                    break;
                }
                position += offset;
                ASSERT_LE(position, text.size());
            }
        }
        EXPECT_EQ(countSyncDefinitions(text), 1);
    }
}

// The run loads every definition into the same context: each has the exclusions of its
// own lines only.
TEST_F(DefinitionParserTest, EachDefinitionHasItsOwnExclusions) {
    std::string text = expand("Sync.{A}\r\nSync.Option.Exclude:*.tmp\r\nSync.Option.exclude:x\r\n"
                              "Sync.{B}\r\n\r\nSync.{C}\r\nSync.{D}\r\n");
    PassContext context;
    std::size_t position = 0;
    std::vector<std::vector<std::string>> patterns, unusable;
    for (int offset = 1; offset > 0;) {
        StringList folders;
        int count = 0;
        offset = parseSyncBlock(context, &text[position], nullptr, kParseLoading, count, folders);
        if (offset > 0) {
            patterns.push_back(context.exclusions.patterns());
            unusable.push_back(context.exclusions.unusable());
            position += static_cast<std::size_t>(offset);
        }
    }
    EXPECT_EQ(patterns, (std::vector<std::vector<std::string>>{{"*.tmp"}, {}}));
    EXPECT_EQ(unusable, (std::vector<std::vector<std::string>>{{"Option.exclude:x"}, {}}));
    EXPECT_TRUE(context.exclusions.empty());
}

TEST_F(DefinitionParserTest, ZeroBytesEndTheText) {
    const std::string pair = expand("Sync.{A}\r\nSync.{B}\r\n");
    EXPECT_EQ(countSyncDefinitions(pair + std::string(1, '\0') + pair), 1);
    EXPECT_EQ(countSyncDefinitions(expand("Sync.{A}") + std::string(1, '\0') +
                                   expand("\r\nSync.{B}\r\n")),
              0);
    EXPECT_EQ(countSyncDefinitions(std::string(3, '\0') + pair), 0);
}

TEST_F(DefinitionParserTest, LargeTextsAndLongLines) {
    // Megabytes of other text with long lines, then one definition; a definition whose
    // folder line is thousands of bytes long.
    std::string junk;
    const std::string line = std::string(1500, 'x') + "表ソ\\能\\" + std::string(1500, 'y');
    while (junk.size() < 4 * 1024 * 1024) {
        junk += line + "\r\n";
    }
    const std::string longFolder = "Sync.D:\\" + std::string(6000, 'z') + "\r\n";
    const std::string text =
        junk + longFolder + expand("Sync.{A}\r\n") + "\r\n" + expand("Sync.{A}\r\nSync.{B}\r\n");
    EXPECT_EQ(countSyncDefinitions(text), 1);

    // Many definitions in one text.
    std::string many;
    const std::string definition = expand("Sync.{A}\r\nSync.{B}\r\n\r\n");
    for (int i = 0; i < 1000; ++i) {
        many += definition;
    }
    EXPECT_EQ(countSyncDefinitions(many), 1000);
}

} // namespace
