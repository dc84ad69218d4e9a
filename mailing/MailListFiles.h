#pragma once
// The three files of the prepared mailing replaced together. Each new file is
// written in full beside the old one ("Maillist.dat.new" and so on); only when
// all three are on disk does a mark "Maillist.commit" appear, then each is
// renamed into place and the mark removed. A save that stops before the mark
// leaves the old list whole (its leftovers are removed); one that stops after
// it is finished by the next save or load. So the folder always holds either
// the old list or the new one, never a mixture.

#include <string>

#include "mailing/MailList.h"

inline constexpr const char* MailListCommitMark = "Maillist.commit";

// dir ends with "/". Throws EMailFileError; the old files then stay in place.
void SaveListFiles(const std::string& dir, const TMailList& list, const TListProgress& progress = {});

// Completes a save interrupted after its mark, or removes the leftovers of
// one interrupted before it. Errors are left for the next file access to report.
void FinishPendingListSave(const std::string& dir);
