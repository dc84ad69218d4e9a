#include "mailing/Preview.h"

#include <fstream>
#include <stdexcept>

#include "db/FieldKind.h"
#include "mailing/Merge.h"
#include "net/IdMessage.h"
#include "net/MimeCharset.h"
#include "platform/Routines.h"
#include "toolkit/FieldSource.h"
#include "workspace/CharsetTable.h"

TToFieldList FillToFieldList(const IFieldSource* table, const std::string& ToAddr) {
  TToFieldList list;
  if (!table) return list;
  for (int i = 0; i < table->FieldCount(); ++i) {
    const TFieldKind kind = FieldKind(table->FieldDataType(i));
    if (kind != fkText && kind != fkMemo) continue;
    list.Items.push_back(table->FieldName(i));
    if (list.ItemIndex < 0 && list.Items.back() == ToAddr) list.ItemIndex = static_cast<int32_t>(list.Items.size() - 1);
  }
  return list;
}

void UpdateToPreview(IPreviewView& view, TMerger& merger) {
  const std::string field = view.ToFieldText();
  view.ShowTo(field);
  if (field.empty()) {
    view.ShowWarning("Warning: Email address not found");
    return;
  }
  std::string value;
  if (merger.GetTagValue(field, value, true)) view.ShowTo(value);
}

void ComboBox2Change(IPreviewView& view, bool& Modified, std::string& ToAddr, TMerger& merger) {
  Modified = true;
  ToAddr = view.ToFieldText();
  UpdateToPreview(view, merger);
}

void UpdateSubjectPreview(IPreviewView& view, TMerger& merger) {
  view.ShowSubject(merger.ExpandTags(view.SubjectText(), true));
}

std::string PlainPreviewHead(int32_t charsetIndex) {
  return "<HEAD>\r\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/plain; charset=" + CharsetMimeName(charsetIndex) +
         "\">\r\n</HEAD>\r\n";
}

std::vector<std::string> BuildPreviewLines(TMailMode mailMode, const std::string& sourceText,
                                           const std::string& plainText, int32_t charsetIndex, TMerger& merger) {
  if (mailMode == mmHtml) return SplitLines(merger.ExpandTags(sourceText, true));
  // The merged text goes through the line list once before the head is put
  // in front, so its line ends come out as CR LF.
  std::string text = PlainPreviewHead(charsetIndex);
  for (const std::string& line : SplitLines(merger.ExpandTags(plainText, true))) {
    text += line;
    text += "\r\n";
  }
  return SplitLines(text);
}

std::string PreviewFileName() { return MakeTempFileName("", PreviewFilePrefix, "html"); }

std::string PreviewFileBytes(const std::vector<std::string>& lines, int32_t charsetIndex) {
  std::string text;
  if (lines.empty()) text = "\r\n";
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return NetFromUtf8(text, CharsetMimeName(charsetIndex));
}

bool SavePreviewFile(const std::vector<std::string>& lines, int32_t charsetIndex, const std::string& fileName) {
  const std::string bytes = PreviewFileBytes(lines, charsetIndex);
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

void TPreview::BuildPreview(IPreviewView& view, TMerger& merger) {
  if (!PreviewReady) return;
  UpdateToPreview(view, merger);
  UpdateSubjectPreview(view, merger);
  view.SyncEditedHtml();
  PreviewLines = BuildPreviewLines(view.MailMode(), view.SourceText(), view.PlainText(), view.CharsetIndex(), merger);
  PreviewFileName = ::PreviewFileName();
  PreviewReady = false;
  bool ok = false;
  try {
    if (PreviewLines.empty()) PreviewLines.emplace_back();
    ok = SavePreviewFile(PreviewLines, view.CharsetIndex(), PreviewFileName) && view.Navigate(PreviewFileName);
  } catch (const std::exception&) {
    ok = false;
  }
  if (!ok) {
    PreviewReady = true;
    view.ShowError("Preview Failed");
  }
}
