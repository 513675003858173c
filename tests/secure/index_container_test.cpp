#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "secure/index_container.h"
#include "support/files.h"
#include "support/report_window.h"
#include "support/temp_folder.h"
#include "support/unix_access.h"

namespace {

std::string header() {
    return "PWSF0123";
}

// Makes renaming another file onto the target impossible for the object's life: the
// target is made immutable (as root), or else its folder takes no new names. Either way the
// target itself can still be read. `marker` is a path outside the folder that shows when
// the Linux side is done.
class UnreplaceableFile {
  public:
    UnreplaceableFile(const std::string& target, const std::string& marker)
        : marker_(marker), unixTarget_(support::unixPathOf(target)),
          unixFolder_(unixTarget_.substr(0, unixTarget_.rfind('/'))),
          unixMarker_(support::unixPathOf(marker)) {
        if (unixTarget_.empty() || unixMarker_.empty() ||
            !support::runUnixCommand("chattr +i '" + unixTarget_ + "' 2>/dev/null || chmod 555 '" +
                                     unixFolder_ + "'; touch '" + unixMarker_ + "'")) {
            return;
        }
        done_ = support::pumpMessagesUntil([&] { return support::pathExists(marker_); }, 10000);
    }
    ~UnreplaceableFile() {
        support::runUnixCommand("chattr -i '" + unixTarget_ + "' 2>/dev/null; chmod 755 '" +
                                unixFolder_ + "'; rm -f '" + unixMarker_ + "'");
        support::pumpMessagesUntil([&] { return !support::pathExists(marker_); }, 10000);
    }
    bool done() const { return done_; }

  private:
    std::string marker_;
    std::string unixTarget_;
    std::string unixFolder_;
    std::string unixMarker_;
    bool done_ = false;
};

TEST(IndexContainerTest, ShiftsFollowTheFixedSineSequence) {
    const std::vector<int> expected = {0, 5, 5, 0, -4, -5, -1, 3, 5, 2, -3, -5, -3, 2, 5, 3};
    std::vector<int> shifts;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        shifts.push_back(containerShift(i));
    }
    EXPECT_EQ(shifts, expected);

    // The sine is the fixed one, to the last bit: a library sine, rounded correctly,
    // differs from it at most of these angles.
    EXPECT_EQ(containerSine(0.0), 0.0);
    EXPECT_EQ(containerSine(1.0), 0x1.aed548f090ceep-1);
    EXPECT_EQ(containerSine(0.5), 0x1.eaee8744b05efp-2);
    EXPECT_EQ(containerSine(-2.5), -0x1.326af0dcfcab0p-1);
    EXPECT_EQ(containerSine(10.0), -0x1.1689ef5f34f53p-1);
    EXPECT_EQ(containerSine(1000.0), 0x1.a75cc150a206cp-1);
    EXPECT_EQ(containerSine(12345.0), -0x1.fccfa2cc8a02cp-1);
    EXPECT_EQ(containerSine(123456789.0), 0x1.faf0521c8dc8bp-1);
    EXPECT_EQ(containerSine(2000000000.0), 0x1.d454ede26a017p-1);
    EXPECT_EQ(containerShift(123456789), 5);
    EXPECT_EQ(containerShift(2000000000), 5);
}

TEST(IndexContainerTest, ScramblesBytesWithWraparoundAndRestoresThem) {
    // s(7) = +3: 0xFE becomes 0x01; s(5) = -5: 0x02 becomes 0xFD. Byte 0 is never shifted.
    const std::string plain = {'\x41', 0, 0, 0, 0, '\x02', 0, '\xFE'};
    const std::string container = scrambleBytes(plain);
    ASSERT_EQ(container.size(), 16u);
    EXPECT_EQ(container.substr(0, 8), header());
    EXPECT_EQ(static_cast<unsigned char>(container[8]), 0x41);
    EXPECT_EQ(static_cast<unsigned char>(container[9]), 0x05);
    EXPECT_EQ(static_cast<unsigned char>(container[12]), 0xFC);
    EXPECT_EQ(static_cast<unsigned char>(container[13]), 0xFD);
    EXPECT_EQ(static_cast<unsigned char>(container[15]), 0x01);

    std::string restored;
    ASSERT_TRUE(restoreBytes(container.data(), container.size(), restored));
    EXPECT_EQ(restored, plain);

    // Not a container: shorter than the header, or another version tag.
    std::string untouched = "kept";
    EXPECT_FALSE(restoreBytes("PWSF012", 7, untouched));
    EXPECT_FALSE(restoreBytes("PWSF0124abc", 11, untouched));
    EXPECT_FALSE(restoreBytes("pwsf0123abc", 11, untouched));
    EXPECT_EQ(untouched, "kept");
}

TEST(IndexContainerTest, RewritesFilesInPlace) {
    support::TempFolder temp;
    std::string every;
    for (int i = 0; i < 3 * 256; ++i) {
        every.push_back(static_cast<char>(i));
    }
    const std::string index = temp.file("Vaultrowan00000.exe", every);

    ASSERT_TRUE(scrambleFile(index));
    const std::string container = support::readFile(index);
    EXPECT_EQ(container, scrambleBytes(every));
    EXPECT_FALSE(support::pathExists(index + ".tmp"));

    ASSERT_TRUE(restoreFile(index));
    EXPECT_EQ(support::readFile(index), every);
    // A plain file is left alone.
    EXPECT_FALSE(restoreFile(index));
    EXPECT_EQ(support::readFile(index), every);

    // Restoring and scrambling again gives the same container, byte for byte.
    ASSERT_TRUE(scrambleFile(index));
    ASSERT_TRUE(restoreFile(index));
    ASSERT_TRUE(scrambleFile(index));
    EXPECT_EQ(support::readFile(index), container);

    // A container is wrapped again; one restore takes off only the outer layer.
    ASSERT_TRUE(scrambleFile(index));
    EXPECT_EQ(support::readFile(index), scrambleBytes(container));
    ASSERT_TRUE(restoreFile(index));
    EXPECT_EQ(support::readFile(index), container);

    // An empty file becomes the header alone, and back.
    const std::string empty = temp.file("empty", "");
    ASSERT_TRUE(scrambleFile(empty));
    EXPECT_EQ(support::readFile(empty), header());
    ASSERT_TRUE(restoreFile(empty));
    EXPECT_TRUE(support::pathExists(empty));
    EXPECT_EQ(support::readFile(empty), "");

    // "PWSF" with another version, and a file shorter than the header, stay as they are.
    const std::string other = temp.file("other", "PWSF0124abc");
    EXPECT_FALSE(restoreFile(other));
    EXPECT_EQ(support::readFile(other), "PWSF0124abc");
    const std::string shortFile = temp.file("short", "PWSF");
    EXPECT_FALSE(restoreFile(shortFile));
    EXPECT_EQ(support::readFile(shortFile), "PWSF");

    EXPECT_FALSE(scrambleFile(temp.at("missing")));
    EXPECT_FALSE(restoreFile(temp.at("missing")));
    EXPECT_FALSE(support::pathExists(temp.at("missing")));
    EXPECT_FALSE(support::pathExists(temp.at("missing.tmp")));
}

TEST(IndexContainerTest, AFailedReplaceLeavesTheTargetAsItWas) {
    support::TempFolder temp;

    // The temporary file cannot be created: a folder stands at its name.
    const std::string blocked = temp.file("blocked", "plain text");
    temp.folder("blocked.tmp");
    EXPECT_FALSE(scrambleFile(blocked));
    EXPECT_EQ(support::readFile(blocked), "plain text");

    // The target cannot be replaced, though it can be read and the temporary file of an
    // earlier attempt is there to be rewritten.
    {
        support::TempFolder locked(temp.path());
        const std::string target = locked.file("index", "plain text");
        locked.file("index.tmp", "earlier");
        UnreplaceableFile frozen(target, temp.at("frozen"));
        ASSERT_TRUE(frozen.done());
        EXPECT_FALSE(scrambleFile(target)) << "the target was replaced after all";
        EXPECT_EQ(support::readFile(target), "plain text");
    }

    // A hidden target is replaced, and the temporary file is not left behind.
    const std::string hidden = temp.file("hidden", "plain text");
    ASSERT_TRUE(SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(scrambleFile(hidden));
    EXPECT_EQ(support::readFile(hidden), scrambleBytes("plain text"));
    EXPECT_FALSE(support::pathExists(hidden + ".tmp"));
}

} // namespace
