#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/files.h"
#include "support/temp_folder.h"
#include "sync/definition_parser.h"
#include "sync/pass_context.h"

namespace {

// A folder line may begin with its drive's volume label in square brackets instead of the
// drive's letter; the folder is on the one ready drive whose label equals the text (in any
// case). The test drives: U: labelled "USBソ表" (two characters whose second byte is that of
// "\"), L: and M: labelled "Work表" and "WORK表".
TEST(DriveLabelParseTest, AFolderNamedByItsDrivesLabel) {
    support::TempFolder stick(support::kDriveU);
    stick.folder("資料\\表");
    stick.folder("ソ");
    // The temporary folder below U:'s root, with its leading separator.
    const std::string below = stick.path().substr(2);
    struct Case {
        const char* name;
        std::string line;
        std::vector<std::string> folders;
    } const cases[] = {
        {"the label and the path below it", "[USBソ表]" + below + "\\資料", {stick.at("資料")}},
        {"any case; trailing separators go, trail bytes stay",
         "[usbソ表]" + below + "\\資料\\表\\\\",
         {stick.at("資料\\表")}},
        {"a last character whose second byte is 0x5C",
         "[USBソ表]" + below + "\\ソ",
         {stick.at("ソ")}},
        {"the label alone names the drive", "[USBソ表]", {"U:"}},
        {"the label and a separator name the drive", "[USBソ表]\\", {"U:"}},
        {"a folder that does not exist on that drive", "[USBソ表]" + below + "\\無い", {}},
        {"no drive has the label", "[ない]" + below, {}},
        {"a part of a label is no label", "[USBソ]" + below, {}},
        {"a label with a blank more", "[USBソ表 ]" + below, {}},
        {"two drives have the label: not used", "[work表]", {}},
        {"an empty label", "[]" + below, {}},
        {"text after the bracket that is no path below it", "[USBソ表]" + below.substr(1), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = "Sync." + c.line + "\r\nSync.D:\r\n";
        PassContext context;
        StringList folders;
        int count = 0;
        EXPECT_EQ(parseSyncBlock(context, &text[0], nullptr, kParseLoading, count, folders),
                  static_cast<int>(text.size()));
        std::vector<std::string> expected = c.folders;
        expected.push_back("D:");
        EXPECT_EQ(std::vector<std::string>(folders.begin(), folders.end()), expected)
            << support::utf8(c.line);
        EXPECT_EQ(count, static_cast<int>(expected.size()));
        // Counting finds the same folders, so the progress bar counts such a definition.
        EXPECT_EQ(countSyncDefinitions("Sync." + c.line + "\r\nSync.D:\r\n"),
                  expected.size() >= 2 ? 1 : 0);
    }
}

} // namespace
