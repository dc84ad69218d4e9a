#pragma once
// Where the program's files live.

#include <string>

// The program's data folder with a trailing "/": LARKPOST_HOME when set,
// else $XDG_DATA_HOME/larkpost/ (default ~/.local/share/larkpost/).
// Created when missing; a folder that cannot be created is still returned.
std::string ResolveAppDir();

// The system temporary folder with a trailing "/": TMPDIR, else /tmp.
std::string SystemTempDir();

// Adds a trailing "/" unless the text is empty or ends with one.
std::string IncludeTrailingSlash(const std::string& dir);

// Where a file that could not be read whole is kept before it is first saved
// over: its name followed by ".damaged".
std::string DamagedCopyName(const std::string& fileName);
// Copies the file there, replacing an older copy; false when that fails.
bool KeepDamagedCopy(const std::string& fileName);
