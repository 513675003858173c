#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/files.h"
#include "support/temp_folder.h"

namespace {

// The volume label of a drive, read as a user's program reads it; "(none)" when it cannot
// be read.
std::string labelOf(const std::string& drive) {
    char label[MAX_PATH + 1] = {};
    HANDLE root = CreateFileA((drive + "\\").c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (root == INVALID_HANDLE_VALUE) {
        return "(none)";
    }
    wchar_t wide[MAX_PATH + 1] = {};
    const BOOL read = GetVolumeInformationByHandleW(root, wide, MAX_PATH + 1, nullptr, nullptr,
                                                    nullptr, nullptr, 0);
    CloseHandle(root);
    if (!read) {
        return "(none)";
    }
    WideCharToMultiByte(CP_ACP, 0, wide, -1, label, sizeof label, nullptr, nullptr);
    return label;
}

// The tests of labels and of drives without a recycle bin rely on the drives the harness
// sets up: their kinds from the prefix's registry, their labels from ".windows-label".
TEST(TestDrivesTest, KindsAndLabelsAreAsTheTestsExpect) {
    const struct {
        const std::string* drive;
        UINT kind;
        std::string label;
    } drives[] = {
        {&support::kDriveD, DRIVE_FIXED, ""},
        {&support::kDriveE, DRIVE_FIXED, ""},
        {&support::kDriveU, DRIVE_REMOVABLE, support::kLabelU},
        {&support::kDriveL, DRIVE_FIXED, support::kLabelL},
        {&support::kDriveM, DRIVE_FIXED, "WORK表"},
    };
    for (const auto& d : drives) {
        SCOPED_TRACE(*d.drive);
        EXPECT_EQ(GetDriveTypeA((*d.drive + "\\").c_str()), d.kind);
        EXPECT_EQ(support::utf8(labelOf(*d.drive)), support::utf8(d.label));
        // Tests make folders on each.
        support::TempFolder folder(*d.drive);
        EXPECT_TRUE(support::pathExists(folder.file("表.txt")));
    }
    EXPECT_EQ(GetDriveTypeA((support::kDriveNotReady + "\\").c_str()),
              static_cast<UINT>(DRIVE_NO_ROOT_DIR));
}

} // namespace
