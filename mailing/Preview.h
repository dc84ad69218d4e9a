#pragma once
// The Preview tab's rules without the window: the To and Subject labels, the
// To-field choice, and the merged page written to "$lpprev_.html" in the
// system temporary folder for the preview browser to show.
//
// The preview file: the page's lines, each followed by CR LF (one empty line
// when there are none), in the bytes of the project's character set, so that
// the META the page declares is true. A character the set cannot hold is
// written as "?"; "x-user-defined" keeps the UTF-8 bytes as they are.

#include <cstdint>
#include <string>
#include <vector>

#include "workspace/MailMode.h"

class IFieldSource;
class TMerger;

constexpr const char* PreviewFilePrefix = "$lpprev_";

// The To combo's items: the text and memo fields of the open table (none
// when table is null) in field order, and the item named exactly ToAddr
// (-1 when none is).
struct TToFieldList {
  std::vector<std::string> Items;
  int32_t ItemIndex = -1;
};
TToFieldList FillToFieldList(const IFieldSource* table, const std::string& ToAddr);

// The plain-text page's head, declaring the charset of CharsetIndex.
std::string PlainPreviewHead(int32_t charsetIndex);

// The merged page as lines: HTML mail merges the source text, plain mail
// merges the plain text and puts the head before it.
std::vector<std::string> BuildPreviewLines(TMailMode mailMode, const std::string& sourceText,
                                           const std::string& plainText, int32_t charsetIndex, TMerger& merger);

// MakeTempFileName with the system temporary folder, "$lpprev_" and "html".
std::string PreviewFileName();

// The file's bytes for the lines (see the top of this file). Throws
// std::runtime_error for a character set the converter does not know.
std::string PreviewFileBytes(const std::vector<std::string>& lines, int32_t charsetIndex);

// Writes the file; false when it cannot be written.
bool SavePreviewFile(const std::vector<std::string>& lines, int32_t charsetIndex, const std::string& fileName);

// What BuildPreview needs of the main window.
class IPreviewView {
public:
  virtual ~IPreviewView() = default;
  virtual std::string ToFieldText() = 0;  // the To combo's text
  virtual void ShowTo(const std::string& text) = 0;
  virtual std::string SubjectText() = 0;
  virtual void ShowSubject(const std::string& text) = 0;
  // Copies the HTML editor's unsynchronised edits into the Source text and
  // clears both edit flags (nothing when there are none).
  virtual void SyncEditedHtml() = 0;
  virtual TMailMode MailMode() = 0;
  virtual std::string SourceText() = 0;
  virtual std::string PlainText() = 0;
  virtual int32_t CharsetIndex() = 0;
  // Hands the file to the preview browser; false when that fails. The
  // browser's document-complete event calls TPreview::DocumentComplete.
  virtual bool Navigate(const std::string& fileName) = 0;
  virtual void ShowWarning(const std::string& text) = 0;  // an information box
  virtual void ShowError(const std::string& text) = 0;    // an error box
};

// The To label: first the To combo's text (the field name), then, when the
// field resolves for the current record, its value. An empty name gives the
// information box "Warning: Email address not found".
void UpdateToPreview(IPreviewView& view, TMerger& merger);

// The To combo changed: the project is modified and remembers the field.
void ComboBox2Change(IPreviewView& view, bool& Modified, std::string& ToAddr, TMerger& merger);

// The Subject label := the Subject text merged, with warnings.
void UpdateSubjectPreview(IPreviewView& view, TMerger& merger);

// The preview's state across requests: a request while the browser is still
// showing the last page is dropped, not queued.
class TPreview {
public:
  bool PreviewReady = true;
  std::vector<std::string> PreviewLines;
  std::string PreviewFileName;

  void BuildPreview(IPreviewView& view, TMerger& merger);
  void DocumentComplete() { PreviewReady = true; }
};
