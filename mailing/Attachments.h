#pragma once
// The project's attachment list: the "Attach" entry holds the file names as
// one text, one name per line. Names are kept exactly as chosen (file names
// are case-sensitive here).

#include <string>
#include <vector>

#include "platform/TextLines.h"

class TProject;


// The names of the "Attach" entry; none without it.
std::vector<std::string> LoadAttachList(const TProject& project);
// Creates an empty "Attach" entry when there is none (before the file dialog runs).
void EnsureAttachEntry(TProject& project);
// Appends each file in order: to an empty text without separator, else after
// a CR LF, left out when the text already ends with a line feed. Returns the
// line to select: the last.
int AddAttachments(TProject& project, const std::vector<std::string>& files);
// Removes line index and joins the rest with CR LF after every line. Returns
// the line to select: the same index, or the last when it is past the end
// (-1 for an empty list). Without the entry or with no such line nothing
// changes and false comes back in removed.
int RemoveAttachment(TProject& project, int index, bool& removed);
