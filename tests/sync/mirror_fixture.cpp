#include "sync/mirror_fixture.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <random>
#include <utility>
#include <thread>

#include "base/path.h"
#include "base/scoped_handle.h"
#include "support/files.h"
#include "sync/definition_parser.h"
#include "sync/mirror_pass.h"
#include "sync/pass_context.h"

namespace mirror_fixture {

Item file(const std::string& path, const char* content, FileTime time) {
    return {path, content, time};
}
Item folder(const std::string& path, FileTime time) {
    return {path, nullptr, time};
}

namespace {

const char kHoldingFolder[] = "_Syncoravel保管";

void readTree(const std::string& root, const std::string& relative, Tree& tree) {
    const std::string here = relative.empty() ? root : root + "\\" + relative;
    for (const std::string& name : support::listFolder(here)) {
        if (relative.empty() && name == kHoldingFolder) {
            continue; // the program's, compared on its own where a test cares
        }
        const std::string child = relative.empty() ? name : relative + "\\" + name;
        const std::string full = root + "\\" + child;
        if ((GetFileAttributesA(full.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            tree[child] = {true, "", 0};
            readTree(root, child, tree);
        } else {
            tree[child] = {false, support::readFile(full), support::writeTimeOf(full)};
        }
    }
}

} // namespace

Tree treeOf(const std::string& root) {
    Tree tree;
    readTree(root, "", tree);
    return tree;
}

Tree expectedTree(const std::vector<Item>& items) {
    Tree tree;
    for (const Item& item : items) {
        tree[item.path] =
            item.content == nullptr ? State{true, "", 0} : State{false, item.content, item.time};
    }
    return tree;
}

std::vector<Item> withFolders(const std::vector<Item>& items) {
    std::vector<Item> result = items;
    for (const Item& item : items) {
        std::string path = item.path;
        for (std::size_t at = path::lastSeparator(path); at != std::string::npos;
             at = path::lastSeparator(path)) {
            path.resize(at);
            const bool known = std::any_of(result.begin(), result.end(),
                                           [&](const Item& other) { return other.path == path; });
            if (!known) {
                result.push_back(folder(path));
            }
        }
    }
    return result;
}

std::vector<std::string> outcomeLines(const std::vector<Line>& lines,
                                      const std::vector<std::string>& folders) {
    std::vector<std::string> result;
    for (const Line& line : lines) {
        result.push_back(line.tag + folders[line.folder] + "\\" + line.relative);
    }
    return result;
}

void makeTree(const std::string& root, const std::vector<Item>& items) {
    support::makeFolders(root);
    for (const Item& item : items) {
        const std::string path = root + "\\" + item.path;
        support::makeFolders(item.content == nullptr ? path
                                                     : path.substr(0, path::lastSeparator(path)));
    }
    for (const Item& item : items) {
        if (item.content != nullptr) {
            const std::string path = root + "\\" + item.path;
            ASSERT_TRUE(support::writeFile(path, item.content)) << support::utf8(path);
            ASSERT_TRUE(support::setWriteTime(path, item.time));
        }
    }
    // Folder times last (deepest first): creating files inside changes them.
    for (auto item = items.rbegin(); item != items.rend(); ++item) {
        if (item->content == nullptr && item->time != 0) {
            ASSERT_TRUE(support::setWriteTime(root + "\\" + item->path, item->time));
        }
    }
}

namespace {

// Runs the pass of the prepared context on a thread of its own, as the worker does, while
// this thread handles the report window's messages.
PassResult runContext(PassContext& context, support::ReportWindow& window, const PassSetup& setup) {
    context.reportIntervalMs = setup.reportIntervalMs;
    context.preview = setup.preview;
    context.progress = setup.progress;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        runMirrorPass(context);
        done = true;
    });
    const bool ended = support::pumpMessagesUntil([&] { return done.load(); }, 120000);
    worker.join();
    EXPECT_TRUE(ended);

    PassResult result;
    result.messages = window.messages();
    result.newest.assign(context.newestList.begin(), context.newestList.end());
    result.deleted.assign(context.deleteList.begin(), context.deleteList.end());
    result.copied.assign(context.copyList.begin(), context.copyList.end());
    result.master = context.masterFolder;
    return result;
}

PassResult runPassWith(const std::vector<std::string>& folders, bool withSubfolders,
                       const std::atomic<bool>* stop,
                       std::function<void(const support::ReportedMessage&)> action,
                       const PassSetup& setup) {
    PrivateHeap heap(HeapCreate(0, 0, 0));
    support::ReportWindow window;
    window.onMessage(action);
    window.answerDeletions(setup.deletionAnswer);
    PassContext context;
    context.heap = heap.get();
    context.reportWindow = window.handle();
    for (const std::string& path : folders) {
        context.folders.append(path);
    }
    context.folderCount = static_cast<int>(folders.size());
    context.withSubfolders = withSubfolders;
    context.stop = stop;
    return runContext(context, window, setup);
}

} // namespace

PassResult runPass(const std::vector<std::string>& folders, bool withSubfolders,
                   const std::atomic<bool>* stop,
                   std::function<void(const support::ReportedMessage&)> action) {
    return runPassWith(folders, withSubfolders, stop, action, PassSetup());
}

PassResult runPass(const std::vector<std::string>& folders, bool withSubfolders,
                   const PassSetup& setup) {
    return runPassWith(folders, withSubfolders, nullptr, nullptr, setup);
}

PassResult runDefinition(const std::string& text, const PassSetup& setup) {
    PrivateHeap heap(HeapCreate(0, 0, 0));
    support::ReportWindow window;
    window.answerDeletions(setup.deletionAnswer);
    PassContext context;
    context.heap = heap.get();
    std::string copy = text; // the parser cuts its lines
    StringList folders;
    int folderCount = 0;
    const int read =
        parseSyncBlock(context, &copy[0], window.handle(), kParseLoading, folderCount, folders);
    EXPECT_GT(read, 0) << support::utf8(text);
    EXPECT_GE(folderCount, 2) << support::utf8(text);
    context.folders = std::move(folders);
    context.folderCount = folderCount;
    return runContext(context, window, setup);
}

std::vector<std::vector<Item>> randomTrees(unsigned seed, std::size_t folders) {
    static const char* const kFolders[] = {"a", "a\\b", "a\\b\\深い", "c", "能", "能\\表"};
    static const char* const kFiles[] = {"f.txt", "g.dat", "ソ.txt"};
    static const char* const kContents[] = {"x", "yy", "zzz"};
    const FileTime base = 133'500'000'000'000'000; // 2024
    constexpr FileTime kHour = 36'000'000'000;
    std::mt19937 random(seed);
    auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
    std::vector<std::vector<Item>> trees(folders);
    for (std::vector<Item>& tree : trees) {
        std::vector<std::string> present = {""};
        for (const char* name : kFolders) {
            const std::string folderName = name;
            const std::size_t cut = path::lastSeparator(folderName);
            const std::string parent = cut == std::string::npos ? "" : folderName.substr(0, cut);
            if (std::find(present.begin(), present.end(), parent) != present.end() && chance(65)) {
                present.push_back(folderName);
                tree.push_back(folder(folderName));
            }
        }
        for (const std::string& where : present) {
            for (const char* name : kFiles) {
                if (chance(55)) {
                    const std::string relative = where.empty() ? name : where + "\\" + name;
                    tree.push_back(file(relative, kContents[random() % 3],
                                        base - static_cast<FileTime>(random() % 4) * kHour));
                }
            }
        }
    }
    return trees;
}

namespace {

std::vector<std::string> withoutTag(std::vector<std::string> lines, const std::string& tag) {
    lines.erase(std::remove_if(
                    lines.begin(), lines.end(),
                    [&](const std::string& line) { return line.compare(0, tag.size(), tag) == 0; }),
                lines.end());
    return lines;
}

} // namespace

std::vector<std::string> asRunLines(std::vector<std::string> lines) {
    const std::pair<std::string, std::string> tags[] = {
        {"【削除予定】", "【削除】"},
        {"【コピー予定】", "【コピー】"},
        {"【一時ファイル削除予定】", "【一時ファイル削除】"}};
    lines = withoutTag(std::move(lines), "【保管予定】");
    for (std::string& line : lines) {
        for (const auto& tag : tags) {
            if (line.compare(0, tag.first.size(), tag.first) == 0) {
                line = tag.second + line.substr(tag.first.size());
            }
        }
    }
    return lines;
}

std::vector<std::string> withoutHeldLines(std::vector<std::string> lines) {
    return withoutTag(std::move(lines), "【保管】");
}

std::vector<std::string> sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

} // namespace mirror_fixture
