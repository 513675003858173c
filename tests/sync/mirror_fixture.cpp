#include "sync/mirror_fixture.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <thread>

#include "base/path.h"
#include "base/scoped_handle.h"
#include "support/files.h"
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

void readTree(const std::string& root, const std::string& relative, Tree& tree) {
    const std::string here = relative.empty() ? root : root + "\\" + relative;
    for (const std::string& name : support::listFolder(here)) {
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

PassResult runPass(const std::vector<std::string>& folders, bool withSubfolders,
                   const std::atomic<bool>* stop,
                   std::function<void(const support::ReportedMessage&)> action,
                   DWORD reportIntervalMs) {
    PrivateHeap heap(HeapCreate(0, 0, 0));
    support::ReportWindow window;
    window.onMessage(action);
    PassContext context;
    context.heap = heap.get();
    context.reportWindow = window.handle();
    for (const std::string& path : folders) {
        context.folders.append(path);
    }
    context.folderCount = static_cast<int>(folders.size());
    context.withSubfolders = withSubfolders;
    context.stop = stop;
    context.reportIntervalMs = reportIntervalMs;

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
    return result;
}

std::vector<std::string> sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

} // namespace mirror_fixture
