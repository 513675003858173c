#include "secure_fixture.h"

#include "secure/index_container.h"
#include "secure/secure_context.h"
#include "support/files.h"

namespace securetest {

const std::string kNoteName = "このフォルダは保護されています。";

namespace {

void collect(const std::string& root, const std::string& relative, TreeState& state) {
    const std::string folder = relative.empty() ? root : root + "\\" + relative;
    for (const std::string& name : support::listFolder(folder)) {
        const std::string childRelative = relative.empty() ? name : relative + "\\" + name;
        const std::string child = root + "\\" + childRelative;
        const DWORD attributes = GetFileAttributesA(child.c_str());
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            state.folders.insert(childRelative);
            collect(root, childRelative, state);
        } else {
            state.files[childRelative] = FileState{support::readFile(child), attributes};
        }
    }
}

} // namespace

TreeState treeState(const std::string& root) {
    TreeState state;
    collect(root, "", state);
    return state;
}

std::vector<std::string> StoreFixture::storedFiles() const {
    std::vector<std::string> stored;
    for (const std::string& name : support::listFolder(storeFolder())) {
        if (name.rfind("Vaultrowan", 0) == 0 && name != "Vaultrowan00000.exe" && name.size() > 4 &&
            name.compare(name.size() - 4, 4, ".exe") == 0) {
            stored.push_back(name);
        }
    }
    return stored;
}

Ran protectIn(const StoreFixture& fixture, const std::string& key,
              const std::vector<std::string>& folders, BYTE hide, BYTE scrambling) {
    SecureContext context(fixture.root());
    context.setIndexScrambling(scrambling);
    context.setHideFolders(hide);
    context.setKeyText(key);
    for (const std::string& folder : folders) {
        context.addFolder(folder);
    }
    Ran ran;
    ran.files = context.startProtect();
    ran.result = context.resultCode();
    ran.outcome = context.outcome();
    return ran;
}

Ran releaseIn(const StoreFixture& fixture, const std::string& key, BYTE scrambling) {
    SecureContext context(fixture.root());
    context.setIndexScrambling(scrambling);
    context.setKeyText(key);
    Ran ran;
    ran.files = context.startRelease();
    ran.result = context.resultCode();
    ran.outcome = context.outcome();
    return ran;
}

std::string plainIndexOf(const StoreFixture& fixture) {
    const std::string bytes = support::readFile(fixture.index());
    std::string plain;
    return restoreBytes(bytes.data(), bytes.size(), plain) ? plain : bytes;
}

} // namespace securetest
