#pragma once
// The project file ".lkp", a dictionary list file:
//   Int32 format number: 3 written by Save, 1 by Save As; files up to 3 are read
//   then, up to the end of the file, per entry in the dictionary's key order:
//     Int32 key length L, L key bytes, Int32 type code, the payload of the code
//     (payload layout in Project.h)
// Reading stops at the first entry that does not fit in what is left of the
// file and keeps the entries before it. Writing goes to a temporary file in
// the same folder; only a complete file replaces the old one, which is kept
// as "Backup of " + its name.

#include <string>

constexpr int ProjectFormatSave = 3;
constexpr int ProjectFormatSaveAs = 1;
constexpr int ProjectFormatMax = 3;

extern const char* const ProjectExtension;  // ".lkp"

// The name a project is written under: the user's name, with ".lkp" added
// when its file name has no extension.
std::string ProjectWriteName(const std::string& fileName);
// "Backup of " + the file name, in the same folder.
std::string BackupFileName(const std::string& path);
