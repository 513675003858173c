#include "tools/tool_process.h"

#include "support/files.h"
#include "support/unix_access.h"

namespace tool_process {

std::string toolPath() {
    return support::windowsPathOfUnix(SYNCORAVEL_MIRRORPASS);
}

bool startTool(const std::string& arguments, HANDLE output, const std::string& errors,
               Started& started) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    FileHandle input(CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, 0, nullptr));
    FileHandle nowhere;
    if (output == nullptr) {
        nowhere.reset(CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherit, OPEN_EXISTING, 0, nullptr));
        output = nowhere.get();
    }
    FileHandle errorFile(CreateFileA(errors.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.get();
    startup.hStdOutput = output;
    startup.hStdError = errorFile.get();
    const std::string tool = toolPath();
    std::string line = "\"" + tool + "\"" + (arguments.empty() ? "" : " " + arguments);
    PROCESS_INFORMATION process = {};
    if (tool.empty() || !CreateProcessA(tool.c_str(), &line[0], nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    started.process.reset(process.hProcess);
    started.thread.reset(process.hThread);
    return true;
}

ToolResult runTool(const support::TempFolder& temp, const std::string& arguments) {
    ToolResult result;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        return result;
    }
    FileHandle reader(readEnd);
    FileHandle writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    const std::string errors = temp.at("stderr.txt");
    Started started;
    if (!startTool(arguments, writer.get(), errors, started)) {
        return result;
    }
    writer.reset(); // the pipe ends when the tool's copy of it closes
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(reader.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) {
        result.output.append(chunk, got);
    }
    result.ran = WaitForSingleObject(started.process.get(), 120000) == WAIT_OBJECT_0 &&
                 GetExitCodeProcess(started.process.get(), &result.exitCode);
    result.errors = support::readFile(errors);
    return result;
}

std::string definitionFile(const support::TempFolder& temp, const std::string& text) {
    const std::string path = temp.at("定義ソ.txt");
    support::writeFile(path, text);
    return path;
}

std::string readWhileWritten(const std::string& path) {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    std::string content;
    char chunk[4096];
    DWORD got = 0;
    while (file && ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) {
        content.append(chunk, got);
    }
    return content;
}

namespace {

const char kHoldingFolder[] = "_Syncoravel保管";

std::string edges(const std::string& path) {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr));
    std::string result(8192, '\0');
    DWORD got = 0;
    ReadFile(file.get(), &result[0], 4096, &got, nullptr);
    LARGE_INTEGER tail;
    tail.QuadPart = -4096;
    SetFilePointerEx(file.get(), tail, nullptr, FILE_END);
    ReadFile(file.get(), &result[4096], 4096, &got, nullptr);
    return result;
}

// Sizes and times come from the listing itself, and an empty file is not opened, so that a
// tree of many thousand entries is taken stock of quickly.
void collectFacts(const std::string& folder, const std::string& prefix,
                  std::map<std::string, FileFacts>& facts) {
    WIN32_FIND_DATAA found;
    FindHandle search(FindFirstFileA((folder + "\\*").c_str(), &found));
    if (!search) {
        return;
    }
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == ".." || (prefix.empty() && name == kHoldingFolder)) {
            continue;
        }
        const std::string path = folder + "\\" + name;
        FileFacts& entry = facts[prefix + name];
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            entry.folder = true;
            collectFacts(path, prefix + name + "\\", facts);
            continue;
        }
        entry.size =
            (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        entry.time = (static_cast<FileTime>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                     found.ftLastWriteTime.dwLowDateTime;
        if (entry.size > 65536) {
            entry.content = edges(path);
        } else if (entry.size > 0) {
            entry.content = support::readFile(path);
        }
    } while (FindNextFileA(search.get(), &found));
}

} // namespace

std::map<std::string, FileFacts> factsOf(const std::string& folder) {
    std::map<std::string, FileFacts> facts;
    collectFacts(folder, "", facts);
    return facts;
}

std::vector<std::string> datedFoldersOf(const std::string& folder) {
    std::vector<std::string> dated;
    for (const std::string& name : support::listFolder(folder + "\\" + kHoldingFolder)) {
        dated.push_back(folder + "\\" + kHoldingFolder + "\\" + name);
    }
    return dated;
}

bool makeBigFile(const std::string& path, unsigned long long size, FileTime time,
                 const std::string& head, const std::string& tail) {
    return support::makeSparseFile(path, size, head, tail) && support::setWriteTime(path, time);
}

} // namespace tool_process
