#pragma once

#include <windows.h>

#include <string>
#include <vector>

// "MirrorEdit": composes one Sync definition of two or three folders, chosen with the
// folder browser, dropped from the shell or typed, and what it leaves alone, one exclusion
// pattern a line, and hands its lines back through the exchange text. A selected
// definition block fills the folder fields and the exclusions first, so the dialog also
// edits a definition. A check box (on by default) names a folder on a removable drive with
// a label by that label ("[USBメモ]\仕事"), so that the line still finds it when the stick
// has another letter; it is enabled while a field names such a folder or is in that form.

constexpr int kIdMirrorGroup = 1015;
constexpr int kIdMirrorFolder1 = 1016;
constexpr int kIdMirrorFolder2 = 1017;
constexpr int kIdMirrorFolder3 = 1018;
constexpr int kIdMirrorSubfolders = 1019;
constexpr int kIdMirrorBrowse1 = 1020;
constexpr int kIdMirrorBrowse2 = 1021;
constexpr int kIdMirrorBrowse3 = 1022;
constexpr int kIdMirrorAdd = 1023;
constexpr int kIdMirrorCancel = 1024;
constexpr int kIdMirrorExclusionGroup = 1070;
constexpr int kIdMirrorExclusions = 1071;
constexpr int kIdMirrorUsualExclusions = 1072;
constexpr int kIdMirrorExclusionHint = 1073;
constexpr int kIdMirrorByLabel = 1074;

// What the button fills in: the files Office, the shell's thumbnail cache and folder
// settings, and editors leave beside a user's own.
extern const char* const kUsualExclusions[4];

LRESULT CALLBACK mirrorEditProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// What a selected text says to the dialog: the folders of its first three folder lines,
// each the text from the end of its "Sync." (found in any case, anywhere in its line) up to
// the next CR, and whether an option line "Sync.Option.NoSubDirectory" keeps the subfolders
// out. Option lines fill no field. A "Sync." with no CR after it ends the search, so a last
// line without its line end is not taken.
struct SelectedDefinition {
    std::vector<std::string> folders;
    bool withSubfolders = true;
};
SelectedDefinition definitionOfSelection(const std::string& text);

// The "Sync.Option.Exclude:" lines of a selected text (after a "Sync." found in any case,
// anywhere in its line): their patterns up to the CR or LF, and the text without those
// lines, which fills the folder fields.
struct SelectedExclusions {
    std::vector<std::string> patterns;
    std::string rest;
};
SelectedExclusions exclusionsOfSelection(const std::string& text);

// The folder a field stands for: the field without its trailing backslashes, as a run
// reads the definition line made of it (so "D:\", which the folder browser gives for a
// drive, names the drive); a field in label form names the folder on the one drive with
// that label now, and nothing (empty) when no drive or several carry it.
std::string folderOfField(const std::string& field);

// Whether a folder field names an existing folder.
bool fieldNamesFolder(const std::string& field);
