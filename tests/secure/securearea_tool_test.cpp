#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/scoped_handle.h"
#include "secure/secure_context.h"
#include "secure_fixture.h"
#include "support/files.h"
#include "support/report_window.h"
#include "support/unix_access.h"

namespace {

using securetest::StoreFixture;

// The console tool built beside the tests; the build gives its Linux path.
std::string toolPath() { return support::windowsPathOfUnix(SECUREAREA_UNIX_PATH); }

struct ToolRun {
    bool started = false;
    DWORD exitCode = 0;
    std::string out;
    std::string err;
};

std::string quoted(const std::string& argument) {
    return "\"" + argument + "\"";
}

std::string readAll(HANDLE pipe) {
    std::string text;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(pipe, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        text.append(chunk, got);
    }
    return text;
}

// Runs the tool with the arguments (each quoted) and collects what it prints.
ToolRun runTool(const std::vector<std::string>& arguments) {
    ToolRun run;
    std::string line = quoted(toolPath());
    for (const std::string& argument : arguments) {
        line += " " + quoted(argument);
    }
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 1 << 16) ||
        !CreatePipe(&errRead, &errWrite, &inherit, 1 << 16)) {
        return run;
    }
    KernelHandle outReader(outRead), outWriter(outWrite), errReader(errRead), errWriter(errWrite);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return run;
    }
    KernelHandle processHandle(process.hProcess);
    KernelHandle threadHandle(process.hThread);
    outWriter.reset();
    errWriter.reset();
    run.started = true;
    run.out = readAll(outRead); // ends when the tool has closed its end
    run.err = readAll(errRead);
    WaitForSingleObject(process.hProcess, 120000);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    return run;
}

TEST(SecureAreaToolTest, ProtectsProbesAndReleases) {
    StoreFixture fixture;
    const support::TempFolder& temp = fixture.temp();
    // The folder name ends in ソ, whose second byte is "\", right before the closing quote.
    const std::string folder = temp.folder("保護ソ");
    temp.file("保護ソ\\a.txt", "a");
    temp.file("保護ソ\\表\\b.txt", "b");

    ToolRun run = runTool({"probe", fixture.root()});
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.out, "probe 0\n");
    EXPECT_EQ(run.exitCode, 0u);

    run = runTool({"protect", fixture.root(), "pass word", "1", folder});
    EXPECT_EQ(run.out, "result 1 files 2\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_FALSE(support::pathExists(folder));
    EXPECT_EQ(support::readFile(fixture.index()).substr(0, 8), "PWSF0123");

    EXPECT_EQ(runTool({"probe", fixture.root()}).out, "probe 2\n");
    EXPECT_EQ(runTool({"--plain", "probe", fixture.root()}).out, "probe 0\n");

    run = runTool({"release", fixture.root(), "Pass word"});
    EXPECT_EQ(run.out, "result 3 files 0\n");
    EXPECT_EQ(run.exitCode, 0u);

    run = runTool({"release", fixture.root(), "pass word"});
    EXPECT_EQ(run.out, "result 1 files 2\n");
    EXPECT_EQ(support::readFile(temp.at("保護ソ\\表\\b.txt")), "b");

    run = runTool({"release", fixture.root(), "pass word"});
    EXPECT_EQ(run.out, "result 9 files 0\n");

    // A plain index and a key file.
    const std::string key = temp.file("key.dat", "k");
    run = runTool({"--plain", "protect", fixture.root(), key, "0", folder});
    EXPECT_EQ(run.out, "result 1 files 2\n");
    EXPECT_EQ(support::readFile(fixture.index()).substr(0, 5), "<?xml");
    EXPECT_EQ(runTool({"--plain", "probe", fixture.root()}).out, "probe 1\n");
    EXPECT_EQ(runTool({"--plain", "release", fixture.root(), ""}).out, "result 1 files 2\n");

    run = runTool({"protect", fixture.root(), "", "1", folder});
    EXPECT_EQ(run.out, "result 2 files 0\n");
    EXPECT_EQ(run.exitCode, 0u);
}

TEST(SecureAreaToolTest, WhatTheUserWouldHearFollowsTheResult) {
    StoreFixture fixture;
    const support::TempFolder& temp = fixture.temp();
    const std::string folder = temp.folder("保護");
    temp.file("保護\\a.txt", "a");
    ASSERT_EQ(runTool({"protect", fixture.root(), "pw", "1", folder}).out, "result 1 files 1\n");

    {
        // Another program holds the index without sharing it: no missing index.
        FileHandle holder(CreateFileA(fixture.index().c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder.valid());
        EXPECT_EQ(runTool({"probe", fixture.root()}).out, "probe 3\nerror 32\n");
        EXPECT_EQ(runTool({"release", fixture.root(), "pw"}).out, "result 12 files 0\nerror 32\n");
    }

    const std::string stored = fixture.storeFolder() + "\\Vaultrowan00001.exe";
    SetFileAttributesA(stored.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(DeleteFileA(stored.c_str()));
    EXPECT_EQ(support::utf8(runTool({"release", fixture.root(), "pw"}).out),
              support::utf8("result 11 files 1\nmissing " + folder + "\\a.txt\n"));
}

TEST(SecureAreaToolTest, ScramblesAndRestoresFiles) {
    StoreFixture fixture;
    const std::string file = fixture.temp().file("index.txt", "<?xml?>");
    EXPECT_EQ(runTool({"restore", file}).out, "false\n");
    EXPECT_EQ(runTool({"scramble", file}).out, "true\n");
    EXPECT_EQ(support::readFile(file).substr(0, 8), "PWSF0123");
    EXPECT_EQ(runTool({"restore", file}).out, "true\n");
    EXPECT_EQ(support::readFile(file), "<?xml?>");
    ToolRun run = runTool({"scramble", fixture.temp().at("missing")});
    EXPECT_EQ(run.out, "false\n");
    EXPECT_EQ(run.exitCode, 0u);
}

TEST(SecureAreaToolTest, WrongArgumentsGetOneLineAndCodeTwo) {
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"--plain"},
        {"hide", "D:\\_PWSD"},
        {"protect", "D:\\_PWSD", "pw", "2", "D:\\Doc"},
        {"protect", "D:\\_PWSD", "pw", "1"},
        {"release", "D:\\_PWSD"},
        {"release", "D:\\_PWSD", "pw", "extra"},
        {"probe"},
        {"scramble"},
        {"restore", "a", "b"},
    };
    for (const std::vector<std::string>& arguments : wrong) {
        std::string shown;
        for (const std::string& argument : arguments) {
            shown += argument + " ";
        }
        SCOPED_TRACE(shown);
        const ToolRun run = runTool(arguments);
        ASSERT_TRUE(run.started);
        EXPECT_EQ(run.exitCode, 2u);
        EXPECT_EQ(run.out, "");
        ASSERT_FALSE(run.err.empty());
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1);
    }
}

TEST(SecureAreaToolTest, AnIndexThatCannotBeWrittenPutsEveryFileBack) {
    // The tool runs with a limit of 1,024 bytes per file written: the index fails after a
    // few records, once files are already in the store.
    StoreFixture fixture;
    const support::TempFolder& temp = fixture.temp();
    const std::string folder = temp.folder("Doc");
    for (int i = 0; i < 30; ++i) {
        temp.file("Doc\\sub" + std::to_string(i % 3) + "\\file" + std::to_string(i) + ".txt",
                  "content " + std::to_string(i));
    }
    { SecureContext create(fixture.root()); }
    const securetest::TreeState before = securetest::treeState(folder);
    const std::string output = support::unixPathOf(temp.path()) + "/out.txt";
    ASSERT_FALSE(output.empty());
    const std::string command = "ulimit -f 2; trap '' XFSZ; exec '" SYNCORAVEL_WINE_EXEC "' '" +
                                std::string(SECUREAREA_UNIX_PATH) + "' protect '" + fixture.root() +
                                "' pw 1 '" + folder + "' > '" + output + "' 2>/dev/null";
    ASSERT_TRUE(support::runUnixCommand(command));
    ASSERT_TRUE(support::pumpMessagesUntil(
        [&] { return !support::readFile(temp.at("out.txt")).empty(); }, 60000));
    // The platform's error of the failed write follows the result.
    const std::string out = support::readFile(temp.at("out.txt"));
    EXPECT_EQ(out.substr(0, 23), "result 7 files 0\nerror ") << out;

    const securetest::TreeState after = securetest::treeState(folder);
    EXPECT_EQ(after.files, before.files);
    EXPECT_EQ(after.folders, before.folders);
    EXPECT_TRUE(fixture.storedFiles().empty());
    EXPECT_FALSE(support::pathExists(fixture.index()));
}

// Counts the occurrences of the text.
std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

struct KillCase {
    const char* what;
    const char* protectStop; // null: the protect runs to its end
    const char* releaseStop; // null: no release is stopped
    const char* hide;
    int storedAtStop; // -1: not looked at
};

TEST(SecureAreaToolTest, AnOperationKilledAtAnyStepLosesNothing) {
    // Eight files in two folders. The tool ends itself as a kill would at the point given;
    // a release afterwards brings every file back, and the area works as before.
    const KillCase cases[] = {
        {"protect before its first move", "move:0", nullptr, "1", 0},
        {"protect after one move", "move:1", nullptr, "1", 1},
        {"protect after half of the moves", "move:4", nullptr, "1", 4},
        {"protect after half of the moves, notes", "move:4", nullptr, "0", 4},
        {"protect after every move", "walked", nullptr, "1", 8},
        {"protect after every move, notes", "walked", nullptr, "0", 8},
        {"protect while the index is scrambled", "scramble", nullptr, "0", 8},
        {"release before its first move back", nullptr, "back:0", "0", 8},
        {"release after one move back", nullptr, "back:1", "0", 7},
        {"release after half of the moves back", nullptr, "back:4", "1", 4},
        {"release before the index goes", nullptr, "cleanup", "0", 0},
    };
    for (const KillCase& c : cases) {
        SCOPED_TRACE(c.what);
        StoreFixture fixture;
        const support::TempFolder& temp = fixture.temp();
        const std::string doc = temp.folder("Doc");
        const std::string other = temp.folder("他の表");
        temp.file("Doc\\a.txt", "alpha");
        temp.file("Doc\\b.bin", std::string("\0\x01\xff\x5c", 4));
        temp.file("Doc\\ソ\\c.txt", "c");
        temp.file("Doc\\ソ\\能\\d.txt", "d");
        temp.file("Doc\\sub\\e.txt", "");
        const std::string readOnly = temp.file("Doc\\sub\\f.txt", "read only");
        ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
        temp.file("他の表\\g.txt", "g");
        temp.file("他の表\\h.txt", "h");
        const securetest::TreeState docBefore = securetest::treeState(doc);
        const securetest::TreeState otherBefore = securetest::treeState(other);
        const std::string root = fixture.root();

        ToolRun run;
        if (c.protectStop != nullptr) {
            run = runTool({"--stop-at", c.protectStop, "protect", root, "pw", c.hide, doc, other});
            ASSERT_TRUE(run.started);
            EXPECT_EQ(run.exitCode, 3u);
            EXPECT_EQ(run.out, "");
            // Each stored file has its record on disk, and so has the file about to move.
            const std::string index = support::readFile(fixture.index());
            if (std::string(c.protectStop).rfind("move:", 0) == 0) {
                EXPECT_EQ(occurrences(index, "</file>\r\n"),
                          static_cast<std::size_t>(c.storedAtStop + 1));
                EXPECT_EQ(index.find("</vaultrowan>"), std::string::npos);
            }
            if (std::string(c.protectStop) == "scramble") {
                EXPECT_TRUE(support::pathExists(fixture.index() + ".tmp"));
            }
            EXPECT_EQ(runTool({"probe", root}).out, "probe 2\n");
        } else {
            EXPECT_EQ(runTool({"protect", root, "pw", c.hide, doc, other}).out,
                      "result 1 files 8\n");
        }
        if (c.releaseStop != nullptr) {
            run = runTool({"--stop-at", c.releaseStop, "release", root, "pw"});
            EXPECT_EQ(run.exitCode, 3u);
            EXPECT_EQ(run.out, "");
        }
        if (c.storedAtStop >= 0) {
            EXPECT_EQ(fixture.storedFiles().size(), static_cast<std::size_t>(c.storedAtStop));
        }

        run = runTool({"release", root, "pw"});
        EXPECT_EQ(run.out.substr(0, 9), "result 1 ") << run.out;
        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(round == 0 ? "after the release" : "after setting and releasing again");
            const securetest::TreeState docAfter = securetest::treeState(doc);
            const securetest::TreeState otherAfter = securetest::treeState(other);
            EXPECT_EQ(docAfter.files, docBefore.files);
            EXPECT_EQ(docAfter.folders, docBefore.folders);
            EXPECT_EQ(otherAfter.files, otherBefore.files);
            EXPECT_TRUE(fixture.storedFiles().empty());
            EXPECT_EQ(support::listFolder(fixture.storeFolder()),
                      std::vector<std::string>{"Desktop.ini"});
            if (round == 0) {
                EXPECT_EQ(runTool({"protect", root, "pw", c.hide, doc, other}).out,
                          "result 1 files 8\n");
                EXPECT_EQ(runTool({"release", root, "pw"}).out, "result 1 files 8\n");
            }
        }
    }
}

} // namespace
