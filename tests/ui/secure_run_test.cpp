#include <windows.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "../secure/secure_fixture.h"
#include "base/scoped_handle.h"
#include "secure/index_container.h"
#include "secure_window_fixture.h"
#include "support/files.h"
#include "support/threads.h"
#include "ui/secure_prog_window.h"
#include "ui/secure_state.h"
#include "ui/ui_ids.h"

namespace {

using securetest::treeState;
using securetest::TreeState;
using support::fileTimeUtc;

const char kReport[] = "同期処理が完了しました。\r\n\r\nログファイルを開きますか？";

// The release failure says why before the run stops.
std::string releaseFailed(const std::string& why) {
    return "保護領域の解除に失敗しました。\r\n" + why + "\r\n\r\n同期処理を中止します。";
}
const std::string kWrongKey = releaseFailed("パスワードが違うか、設定したキーファイルが見つかりません。"
                                            "\r\n（エラーコード：3）");
const std::string kPlaceTaken =
    releaseFailed("元の場所に同じ名前のファイルがあるため、戻せなかったファイルがあります。"
                  "それらは格納先に残っています。元の場所にある同じ名前のファイルを移動してから、"
                  "もう一度解除してください。\r\n戻せなかったファイル：1 件"
                  "\r\n（エラーコード：10）");
const std::string kPromptClosed = releaseFailed("パスワードの入力が取り消されました。");

const std::string kIndexBusy =
    releaseFailed("保護領域の記録ファイルを読み取れません。他のプログラムが使用している可能性があります。"
                  "しばらくしてからやり直してください。\r\n" +
                  platformText(ERROR_SHARING_VIOLATION) + "\r\n（エラーコード：12）");

bool isReleaseFailure(const std::string& box) {
    return box.rfind("保護領域の解除に失敗しました。", 0) == 0;
}

enum class Lock {
    ListedOnly,
    Password,
    KeyFile,
    KeyFileGone,
    PlaceTaken,
    PromptClosed,
    IndexBusy,
    StoredFileGone
};

struct RunCase {
    const char* name;
    Lock lock;
    const char* typedAtPrompt; // null: no password is asked for
    const char* knownKey;      // what this session of the program knows already
    bool withDefinitions;
    std::vector<std::string> events;
    std::vector<std::string> boxes;
    bool mirrored;
    bool areaSetAfter;
};

const std::string kSetFailed2 =
    "保護領域の設定に失敗しました。\r\n解除キーが使えません。パスワードが空か「<」「>」や改行を含むか、"
    "キーファイルが見つからないか、保護するフォルダの中にあります。\r\n（エラーコード：2）";

const RunCase kRunCases[] = {
    {"PasswordTypedOnce", Lock::Password, "pw", "", true,
     {"SecureProg 1", "SecureProg end", "mirror", "SecureProg 2", "SecureProg end", "box"},
     {kReport}, true, true},
    {"WrongPasswordStopsTheRun", Lock::Password, "PW", "", true,
     {"SecureProg 1", "SecureProg end", "box"}, {kWrongKey}, false, true},
    {"ClosedPromptStopsTheRun", Lock::PromptClosed, "", "", true,
     {"SecureProg 1", "SecureProg end", "box"}, {kPromptClosed}, false, true},
    {"KeyFileWithoutAsking", Lock::KeyFile, nullptr, "", true,
     {"SecureProg 1", "SecureProg end", "mirror", "SecureProg 2", "SecureProg end", "box"},
     {kReport}, true, true},
    {"KeyFileGoneStopsTheRun", Lock::KeyFileGone, nullptr, "", true,
     {"SecureProg 1", "SecureProg end", "box"}, {kWrongKey}, false, true},
    {"FilesThatCannotGoBackStopTheRun", Lock::PlaceTaken, "pw", "", true,
     {"SecureProg 1", "SecureProg end", "box"}, {kPlaceTaken}, false, true},
    {"ABusyIndexStopsTheRun", Lock::IndexBusy, nullptr, "", true,
     {"SecureProg 1", "SecureProg end", "box"}, {kIndexBusy}, false, true},
    // Released, but not whole: the run stops, and the area is set again at once.
    {"AFileFoundNowhereStopsTheRunAndSetsTheAreaAgain", Lock::StoredFileGone, "pw", "", true,
     {"SecureProg 1", "SecureProg end", "box", "SecureProg 2", "SecureProg end"},
     {"@missing"}, false, true},
    {"NothingLockedAndKeyUnknown", Lock::ListedOnly, nullptr, "", true,
     {"SecureProg 1", "SecureProg end", "mirror", "SecureProg 2", "SecureProg end", "box", "box"},
     {kReport, kSetFailed2}, true, false},
    {"NothingLockedAndKeyKnown", Lock::ListedOnly, nullptr, "pw", true,
     {"SecureProg 1", "SecureProg end", "mirror", "SecureProg 2", "SecureProg end", "box"},
     {kReport}, true, true},
    {"NoDefinitionAfterTheRelease", Lock::Password, "pw", "", false,
     {"SecureProg 1", "SecureProg end", "SecureProg 2", "SecureProg end"}, {}, false, true},
};

} // namespace

// A run with a secure area: from the click to the end, in a program folder of its own.
class SecureRunTest : public SecureWindowTest, public testing::WithParamInterface<RunCase> {};

namespace {

TEST_P(SecureRunTest, ReleasesMirrorsAndSetsAgainInOrder) {
    const RunCase& c = GetParam();
    const FileTime newer = fileTimeUtc(2024, 5, 1, 12, 0, 0);
    const FileTime older = fileTimeUtc(2023, 5, 1, 12, 0, 0);
    temp_.file("秘密表\\a.txt", "alpha", newer);
    temp_.file("秘密表\\ソ\\b.txt", std::string("\0beta\x5C", 6), newer);
    temp_.file("写し\\old.txt", "old", older);
    const std::string secret = temp_.at("秘密表");
    const std::string copy = temp_.at("写し");
    const TreeState before = treeState(secret);
    const std::string keyFile = temp_.file("鍵\\k.key", "key");
    switch (c.lock) {
    case Lock::ListedOnly:
        break;
    case Lock::Password:
    case Lock::PlaceTaken:
    case Lock::PromptClosed:
    case Lock::IndexBusy:
    case Lock::StoredFileGone:
        ASSERT_EQ(protectThroughEngine({secret}, "pw"), 1);
        break;
    case Lock::KeyFile:
    case Lock::KeyFileGone:
        ASSERT_EQ(protectThroughEngine({secret}, keyFile), 1);
        break;
    }
    if (c.lock == Lock::KeyFileGone) {
        ASSERT_TRUE(DeleteFileA(keyFile.c_str()));
    }
    if (c.lock == Lock::PlaceTaken) {
        temp_.file("秘密表\\a.txt", "in the way");
    }
    std::vector<std::string> expectedBoxes = c.boxes;
    if (c.lock == Lock::StoredFileGone) {
        // The first record's stored file vanishes from the store.
        const std::string container = support::readFile(indexPath());
        std::string index;
        ASSERT_TRUE(restoreBytes(container.data(), container.size(), index));
        const std::size_t place = index.find("<store>") + 7;
        const std::size_t stored = index.find("<secure>") + 8;
        const std::string lost =
            secret.substr(0, 2) + index.substr(place, index.find("</store>") - place);
        const std::string storedFile =
            storeFolder() + index.substr(stored, index.find("</secure>") - stored);
        SetFileAttributesA(storedFile.c_str(), FILE_ATTRIBUTE_NORMAL);
        ASSERT_TRUE(DeleteFileA(storedFile.c_str()));
        expectedBoxes = {releaseFailed("格納先にも元の場所にも見つからないファイルがありました。\r\n" +
                                       lost + "\r\n（エラーコード：11）")};
    }
    FileHandle holder;
    if (c.lock == Lock::IndexBusy) {
        holder.reset(CreateFileA(indexPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder.valid());
    }
    listInSettings({secret}, 1);
    CurrentKeyText = c.knownKey;
    for (const std::string& box : expectedBoxes) {
        boxes_.answer(box == kReport ? IDNO : IDOK);
    }
    const std::string definitions =
        c.withDefinitions ? "Sync." + secret + "\r\nSync." + copy + "\r\n" : "memo\r\n";
    ASSERT_NE(start(definitions.c_str()), nullptr);

    ControlRecorder fileStatus(control(kIdFileStatus));
    fileStatus.setProbe([&](const std::string&) {
        if (events().empty() || events().back() != "mirror") {
            logTestEvent("mirror");
        }
    });
    bool askedTwice = false;
    UserScript script;
    if (c.typedAtPrompt != nullptr) {
        script.then("the password is asked for", [] { return passwordPrompt() != nullptr; },
                    [&] {
                        HWND prompt = passwordPrompt();
                        if (c.lock == Lock::PromptClosed) {
                            PostMessageA(prompt, WM_CLOSE, 0, 0);
                            return;
                        }
                        typeInto(GetDlgItem(prompt, kIdPasswordEdit), c.typedAtPrompt);
                        press(GetDlgItem(prompt, kIdPasswordOk));
                    });
        script.then("the prompt is gone", [] { return passwordPrompt() == nullptr; });
        script.everyTick([&] {
            askedTwice = askedTwice || (script.done() && passwordPrompt() != nullptr);
        });
    }
    click(kIdRunButton);
    ASSERT_TRUE(waitFor(
        [&] {
            return script.done() && events().size() >= c.events.size() &&
                   !dialogOpen(kProgCaption) && IsWindowEnabled(control(kIdRunButton)) &&
                   boxes_.seen().size() >= expectedBoxes.size();
        },
        90000))
        << script.waitingFor() << " " << events().size();
    waitFor([] { return false; }, 300); // whatever would follow has had its chance
    holder.reset();

    EXPECT_EQ(events(), c.events);
    EXPECT_FALSE(askedTwice);
    const std::vector<support::SeenBox> seen = boxes_.seen();
    ASSERT_EQ(seen.size(), expectedBoxes.size());
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].caption, "Syncoravel") << i;
        EXPECT_EQ(support::utf8(seen[i].text), support::utf8(expectedBoxes[i])) << i;
        EXPECT_EQ(seen[i].errorIcon, isReleaseFailure(expectedBoxes[i])) << i;
        if (expectedBoxes[i] == kSetFailed2) {
            EXPECT_FALSE(seen[i].anyIcon);
            EXPECT_EQ(seen[i].buttons, std::vector<int>{IDOK});
        }
    }
    EXPECT_EQ(support::pathExists(copy + "\\a.txt"), c.mirrored);
    EXPECT_EQ(support::pathExists(copy + "\\old.txt"), !c.mirrored);
    if (c.mirrored) {
        EXPECT_EQ(support::readFile(copy + "\\ソ\\b.txt"), std::string("\0beta\x5C", 6));
    }
    EXPECT_EQ(areaSet(), c.areaSetAfter);
    if (c.lock == Lock::StoredFileGone) {
        // What could come back was set again with the rest.
        EXPECT_FALSE(support::pathExists(secret));
        ASSERT_EQ(releaseThroughEngine("pw"), 1);
        EXPECT_EQ(treeState(secret).files.size(), before.files.size() - 1);
        return;
    }
    if (c.lock == Lock::PlaceTaken) {
        // What went back stays; the file whose place was taken waits in the store.
        EXPECT_EQ(support::readFile(secret + "\\a.txt"), "in the way");
        EXPECT_EQ(support::readFile(secret + "\\ソ\\b.txt"), std::string("\0beta\x5C", 6));
        return;
    }
    if (c.areaSetAfter) {
        EXPECT_FALSE(support::pathExists(secret));
        if (c.lock != Lock::KeyFileGone) {
            ASSERT_EQ(releaseThroughEngine(c.lock == Lock::KeyFile ? "" : "pw"), 1);
            EXPECT_TRUE(treeState(secret).files == before.files);
        }
    } else {
        EXPECT_TRUE(treeState(secret).files == before.files);
    }
    if (c.lock == Lock::Password && c.areaSetAfter && c.typedAtPrompt == std::string("pw")) {
        EXPECT_EQ(CurrentKeyText, "pw");
    }
}

// Failure messages name the row.
void PrintTo(const RunCase& row, std::ostream* out) { *out << row.name; }

std::string caseName(const testing::TestParamInfo<RunCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Table, SecureRunTest, testing::ValuesIn(kRunCases), &caseName);

// The user quits during a big copy while the pass's threads are held in a long call (as a
// flush or a slow drive holds them): the area is set again only after every one of them has
// ended on its own, and then the program ends.
TEST_F(SecureWindowTest, ClosingDuringARunSetsTheAreaAgainAfterEveryEngineThreadHasEnded) {
    temp_.file("秘密表\\a.txt", "alpha");
    temp_.file("秘密表\\予\\b.txt", "beta");
    const std::string secret = temp_.at("秘密表");
    const TreeState before = treeState(secret);
    ASSERT_EQ(protectThroughEngine({secret}, "pw"), 1);
    listInSettings({secret}, 1);
    temp_.folder("M");
    temp_.folder("T");
    // A source big enough that its copy is still running when the user closes the window.
    ASSERT_TRUE(support::makeSparseFile(temp_.at("M\\大きい.bin"), 16ull << 30));
    temp_.file("T\\old.txt", "old", fileTimeUtc(2020, 1, 1, 0, 0, 0));
    const std::string definitions = "Sync." + temp_.at("M") + "\r\nSync." + temp_.at("T") +
                                    "\r\n\r\nSync." + secret + "\r\nSync." + temp_.at("写し") +
                                    "\r\n";
    ASSERT_NE(start(definitions.c_str()), nullptr);
    HWND main = window();
    ControlRecorder fileStatus(control(kIdFileStatus));
    const std::string copying = "【コピー】" + temp_.at("T\\大きい.bin");
    bool copyingSeen = false;
    fileStatus.setProbe([&](const std::string& text) {
        // The status line puts how far the pass has come before the entry in hand.
        const bool endsWithCopying =
            text.size() >= copying.size() &&
            text.compare(text.size() - copying.size(), copying.size(), copying) == 0;
        if (endsWithCopying && !copyingSeen) {
            copyingSeen = true;
            logTestEvent("copying");
        }
    });
    // Every thread that appears after this is the run's.
    const std::set<DWORD> beforeRun = support::threadsOfThisProcess();
    std::unique_ptr<support::HeldThreads> held;
    setEventProbe([&](const std::string& event) {
        if (event == "SecureProg 2" && held) {
            logTestEvent(held->allEnded() ? "engine ended" : "engine still running");
        }
    });
    UserScript script;
    script.then("the password is asked for", [] { return passwordPrompt() != nullptr; }, [] {
        HWND prompt = passwordPrompt();
        typeInto(GetDlgItem(prompt, kIdPasswordEdit), "pw");
        press(GetDlgItem(prompt, kIdPasswordOk));
    });
    script.then("the big copy runs", [&] { return copyingSeen; }, [&] {
        EXPECT_EQ(support::readFile(secret + "\\a.txt"), "alpha");
        std::set<DWORD> run;
        for (DWORD id : support::threadsOfThisProcess()) {
            if (beforeRun.count(id) == 0) {
                run.insert(id);
            }
        }
        held = std::make_unique<support::HeldThreads>(run, 6000);
        boxes_.answer(IDYES);
        PostMessageA(main, WM_CLOSE, 0, 0);
    });
    click(kIdRunButton);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(main); }, 90000)) << script.waitingFor();

    ASSERT_TRUE(held);
    EXPECT_GE(held->count(), 1u);
    EXPECT_TRUE(held->released());
    EXPECT_EQ(events(),
              (std::vector<std::string>{"SecureProg 1", "SecureProg end", "copying", "box",
                                        "SecureProg 2", "engine ended", "SecureProg end"}));
    ASSERT_EQ(boxes_.seen().size(), 1u);
    EXPECT_EQ(boxes_.seen().at(0).text, "同期処理中です。\r\n\r\n強制終了しますか？");
    // The area is set again with the key that released it; the cut copy left nothing.
    EXPECT_TRUE(areaSet());
    EXPECT_FALSE(support::pathExists(secret));
    EXPECT_FALSE(support::pathExists(temp_.at("T\\大きい.bin")));
    for (const std::string& name : support::listFolder(temp_.at("T"))) {
        EXPECT_EQ(name.find(".TMP"), std::string::npos) << name;
    }
    EXPECT_FALSE(support::pathExists(temp_.at("写し")));
    ASSERT_EQ(releaseThroughEngine("pw"), 1);
    EXPECT_TRUE(treeState(secret).files == before.files);
}

// A run with a protected area that ends early while a big copy runs: by the run button
// ("中止"), or because the session ends. Either way the run ends as a stopped run: the cut
// copy leaves nothing, the log ends with the line that says where it stopped, and the area
// is set again with the key that released it, after the worker has ended.
enum class EarlyEnd { StopButton, SessionEnd };

class SecureStopTest : public SecureWindowTest, public testing::WithParamInterface<EarlyEnd> {};

TEST_P(SecureStopTest, AStoppedRunSetsTheAreaAgain) {
    const EarlyEnd how = GetParam();
    support::TempFolder& temp = temp_;
    temp.file("秘密表\\a.txt", "alpha");
    const std::string secret = temp.at("秘密表");
    const TreeState before = treeState(secret);
    ASSERT_EQ(protectThroughEngine({secret}, "pw"), 1);
    listInSettings({secret}, 1);
    temp.folder("M");
    temp.folder("T");
    ASSERT_TRUE(support::makeSparseFile(temp.at("M\\大きい.bin"), 16ull << 30));
    const std::string big = temp.at("T\\大きい.bin");
    const std::string definitions = "Sync." + temp.at("M") + "\r\nSync." + temp.at("T") +
                                    "\r\n\r\nSync." + secret + "\r\nSync." + temp.at("写し") +
                                    "\r\n";
    ASSERT_NE(start(definitions.c_str()), nullptr);
    HWND main = window();
    bool copying = false;
    ControlRecorder fileStatus(control(kIdFileStatus));
    fileStatus.setProbe([&](const std::string& text) {
        const std::string tail = "【コピー】" + big;
        if (!copying && text.size() >= tail.size() &&
            text.compare(text.size() - tail.size(), tail.size(), tail) == 0) {
            copying = true;
            logTestEvent("copying");
        }
    });
    UserScript script;
    script.then(
        "the password is asked for", [] { return passwordPrompt() != nullptr; },
        [] {
            HWND prompt = passwordPrompt();
            typeInto(GetDlgItem(prompt, kIdPasswordEdit), "pw");
            press(GetDlgItem(prompt, kIdPasswordOk));
        });
    // The run button takes a second click within the double-click time as part of the click
    // that started the run.
    DWORD clicked = 0;
    script.then(
        "the big copy runs",
        [&] { return copying && GetTickCount() - clicked > GetDoubleClickTime(); },
        [&] {
            EXPECT_EQ(support::readFile(secret + "\\a.txt"), "alpha");
            if (how == EarlyEnd::StopButton) {
                boxes_.answer(IDNO);
                press(GetDlgItem(main, kIdRunButton));
            } else {
                PostMessageA(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
            }
        });
    clicked = GetTickCount();
    click(kIdRunButton);
    ASSERT_TRUE(waitFor(
        [&] {
            return IsWindowEnabled(GetDlgItem(main, kIdRunButton)) != FALSE &&
                   textOf(GetDlgItem(main, kIdRunButton)) == "同期実行";
        },
        90000))
        << script.waitingFor();

    std::vector<std::string> expected = {"SecureProg 1", "SecureProg end", "copying",
                                         "SecureProg 2", "SecureProg end"};
    if (how == EarlyEnd::StopButton) {
        expected.push_back("box");
        ASSERT_EQ(boxes_.seen().size(), 1u);
        EXPECT_EQ(boxes_.seen().at(0).text,
                  "同期処理を中止しました。\r\n中止した位置：" + big +
                      "\r\nここから後の項目と、後の定義は同期されていません。"
                      "\r\n\r\nログファイルを開きますか？");
    } else {
        EXPECT_TRUE(boxes_.seen().empty());
    }
    EXPECT_EQ(events(), expected);
    EXPECT_TRUE(areaSet());
    EXPECT_FALSE(support::pathExists(secret));
    EXPECT_FALSE(support::pathExists(big));
    for (const std::string& name : support::listFolder(temp.at("T"))) {
        EXPECT_EQ(name.find(".TMP"), std::string::npos) << name;
    }
    EXPECT_FALSE(support::pathExists(temp.at("写し")));
    const std::string log = support::readFile(programFile("Pairwarden.log"));
    const std::string last = "【中止】" + big + "\r\n";
    EXPECT_TRUE(log.size() > last.size() &&
                log.compare(log.size() - last.size(), last.size(), last) == 0)
        << support::utf8(log);
    ASSERT_EQ(releaseThroughEngine("pw"), 1);
    EXPECT_TRUE(treeState(secret).files == before.files);
}

std::string earlyEndName(const testing::TestParamInfo<EarlyEnd>& info) {
    return info.param == EarlyEnd::StopButton ? "StopButton" : "SessionEnd";
}

INSTANTIATE_TEST_SUITE_P(Ways, SecureStopTest,
                         testing::Values(EarlyEnd::StopButton, EarlyEnd::SessionEnd),
                         &earlyEndName);

} // namespace
