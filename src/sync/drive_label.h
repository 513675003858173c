#pragma once

#include <string>
#include <vector>

// A folder line may name its drive by the drive's volume label in square brackets instead
// of its letter: "[USBメモ]\仕事\資料". A stick gets another letter on another PC, but its
// label goes with it. The label is looked for on every ready drive whenever the line is
// read, and the folder is on the one drive that carries it.

// Splits a text of that form into the label and the path below the drive ("" or beginning
// with "\"). False when the text is not of that form: it begins with "[", the label ends at
// the first "]" that is a character of its own and is not empty, and what follows it is
// empty or begins with "\".
bool splitLabelForm(const std::string& text, std::string& label, std::string& below);

// Whether two volume labels are equal as Windows compares them: character by character,
// without regard to case.
bool sameLabel(const std::string& a, const std::string& b);

// The label of a drive ("E:"), in the system code page; empty for a drive without one.
// False when the drive is not ready or its label has no exact form in the code page. A
// drive without its medium is asked without the platform's prompt to insert it.
bool driveLabel(const std::string& drive, std::string& label);

// Where a folder named by a label lies now.
struct LabelledFolder {
    enum class Found { none, one, several };
    Found found = Found::none;
    std::string path; // on the one drive: its letter and the path below ("E:\仕事")
    std::vector<std::string> drives; // the ready drives that carry the label ("E:", "F:")
};
LabelledFolder findLabelledFolder(const std::string& label, const std::string& below);

// The line that says why a folder line in label form is not used: "【エラーラベル】" + the
// line as written + the drives that carry its label.
std::string ambiguousLabelLine(const std::string& written, const std::vector<std::string>& drives);

// The label form of a folder on a removable drive whose label no other ready drive carries
// ("E:\仕事" gives "[USBメモ]\仕事"). False for a folder on any other drive.
bool labelFormOf(const std::string& path, std::string& labelForm);
