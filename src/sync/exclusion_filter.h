#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PassContext;

// The entries a definition leaves alone, from its "Sync.Option.Exclude:" lines: one pattern
// a line. A pattern without "\" is matched against an entry's name, at any depth. One with
// "\" is matched against the entry's path below the definition's folder, name by name, so
// "写真\原本" names that one folder and "cache\*" what lies directly in "cache"; a leading
// "\" ties a single name to the definition's folder itself. "*" stands for any run of
// characters within one name, "?" for exactly one character, single- or double-byte. A "\"
// at the end matches folders only.
//
// ASCII letters match in either case, as the file system compares them; every other
// character matches only itself, so full-width "Ａ" is neither "A" nor "ａ". Names are
// Shift-JIS and stepped through character by character: the trail byte of a double-byte
// character (0x5C in ソ, 表, 能; "A" in ア) is never taken for a separator or a letter.
//
// Patterns are compiled once per definition; matching allocates nothing and changes
// nothing, so the walks of one pass may share a filter.
class ExclusionFilter {
  public:
    ExclusionFilter();

    // Compiles a pattern as written after the keyword (blanks around it are dropped). False,
    // with nothing added, when it is empty or malformed: a character no name can hold
    // (control characters, ":", "\"", "<", ">", "|", "/"), an empty name ("a\\b", "\"), the
    // name "." or "..", or a double-byte character cut off at the end.
    bool add(const std::string& pattern);

    // Keeps a definition line that was meant to exclude something but cannot be used, as
    // written after "Sync.": a definition that has one must not be run.
    void addUnusable(const std::string& line);

    void clear();

    // Whether no pattern was added: then nothing is excluded.
    bool empty() const { return namePatterns_.empty() && pathPatterns_.empty(); }

    // The patterns added, as compiled from (blanks dropped), in the order of their lines.
    const std::vector<std::string>& patterns() const { return written_; }

    // The unusable lines, in the order of their lines.
    const std::vector<std::string>& unusable() const { return unusable_; }

    // Whether the entry `name` is left alone. `folder` is the path below the definition's
    // folder of the folder that holds it (empty for the definition's folder itself).
    bool excludes(const std::string& folder, const std::string& name, bool isFolder) const;

  private:
    // One character of a compiled name pattern.
    struct Unit {
        enum Kind : std::uint8_t { kCharacter, kAnyOne, kAnyRun };
        Kind kind;
        std::uint8_t width; // of a character: 1 or 2 bytes
        char first;         // a single-byte letter in lower case
        char second;
    };
    // One name of a pattern: its units, the bounds its bytes must lie within, and the
    // bytes any match ends in (a name's last character, when the pattern's is one).
    struct Glob {
        std::uint32_t begin;
        std::uint32_t end;
        std::size_t minBytes;
        std::size_t maxBytes;
        std::uint8_t tailWidth; // 0 when the pattern ends in a wildcard
        char tail[2];
    };
    struct Pattern {
        std::uint32_t firstGlob;
        std::uint32_t globCount;
        bool foldersOnly;
    };

    std::size_t widthAt(const char* text, std::size_t at, std::size_t length) const;
    bool compileGlob(const char* text, std::size_t length);
    bool matches(const Glob& glob, const char* text, std::size_t length) const;
    bool matchesPath(const Pattern& pattern, const std::string& folder,
                     const std::string& name) const;

    std::array<bool, 256> lead_;
    std::vector<Unit> units_;
    std::vector<Glob> globs_;
    std::vector<Pattern> namePatterns_; // matched against the name alone
    std::vector<Pattern> pathPatterns_; // matched against the path, name by name
    // The name patterns by the last byte (in lower case) of the last character they end in:
    // a name is tried only against those its own last byte may end, and those that end in
    // a wildcard.
    std::array<std::vector<std::uint32_t>, 256> byLastByte_;
    std::vector<std::uint32_t> endingInWildcard_;
    std::vector<std::string> written_;
    std::vector<std::string> unusable_;
};

// A pass over a definition with unusable exclusion lines: one line each,
// "【エラー削除】" + the definition's first folder + why, and true: the definition is not run,
// since what it means to leave alone could otherwise be deleted or overwritten.
bool refuseUnusableExclusions(PassContext& context, const std::string& firstFolder);
