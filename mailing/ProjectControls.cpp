#include "mailing/ProjectControls.h"

#include "workspace/AppSettings.h"
#include "workspace/CharsetTable.h"

const std::string& DefaultDocument() {
  static const std::string doc =
      "<HTML>\r\n<HEAD>\r\n<TITLE></TITLE>\r\n</HEAD>\r\n<BODY>\r\n&nbsp;\r\n</BODY>\r\n</HTML>";
  return doc;
}

void ProjectToList(TProject& project, const IProjectView& view, const THighlightSlots& slots) {
  const TProjectValues v = view.ProjectValues();
  project.SetString(KeyFilterText, pcFilterText, v.FilterText);
  project.SetByte(KeyUseFilter, pcSwitch, v.UseFilter ? 1 : 0);
  project.SetByte(KeyUseHighlight, pcSwitch, v.UseHighlight ? 1 : 0);
  project.SetInt(KeyColorIndex, pcColorIndex, v.ColorIndex);
  TColorExpr rules;
  for (int i = 0; i < HighlightSlotCount; ++i) {
    rules[i].Flag = slots[i].Enabled ? 1 : 0;
    rules[i].Expression = slots[i].Expression;
  }
  project.SetColorRules(KeyColorRules, rules);
  project.SetString(KeyDocument, pcDocument, v.Document);
  project.SetByte(KeyMailMode, pcMailMode, static_cast<uint8_t>(v.MailMode));
  project.SetString(KeySubject, pcSubject, v.Subject);
  project.SetString(KeyToAddr, pcToAddr, v.ToAddr);
  project.SetString(KeyPlain, pcText, v.Plain);
  project.SetInt(KeyCharset, pcCharset, v.CharsetIndex);
  project.SetString(KeyReport, pcText, v.Report);
}

TProjectValues ProjectValuesOf(const TProject& project, int32_t defaultCharset) {
  TProjectValues v;
  uint8_t b = 0;
  project.GetString(KeyFilterText, v.FilterText);
  if (project.GetByte(KeyUseFilter, b)) v.UseFilter = b != 0;
  if (project.GetByte(KeyUseHighlight, b)) v.UseHighlight = b != 0;
  // Indexes from a damaged file would point past the colour and charset lists.
  if (!project.GetInt(KeyColorIndex, v.ColorIndex) || v.ColorIndex < 0 || v.ColorIndex >= HighlightSlotCount)
    v.ColorIndex = DefaultColorIndex;
  project.GetString(KeyDocument, v.Document);
  // Any byte but plain text's is the HTML mode, as the mode switch takes it.
  if (project.GetByte(KeyMailMode, b)) v.MailMode = b == mmPlainText ? mmPlainText : mmHtml;
  project.GetString(KeySubject, v.Subject);
  project.GetString(KeyToAddr, v.ToAddr);
  project.GetString(KeyPlain, v.Plain);
  if (!project.GetInt(KeyCharset, v.CharsetIndex) || !ValidCharsetIndex(v.CharsetIndex))
    v.CharsetIndex = defaultCharset;
  project.GetString(KeyReport, v.Report);
  return v;
}

void LoadHighlightSlots(const TProject& project, THighlightSlots& slots) {
  TColorExpr rules;
  project.GetColorRules(KeyColorRules, rules);
  for (int i = 0; i < HighlightSlotCount; ++i) {
    slots[i].Enabled = rules[i].Flag != 0;
    slots[i].Expression = rules[i].Expression;
  }
}

void ListToProject(const TProject& project, IProjectView& view, THighlightSlots& slots, TAppSettings& settings) {
  int32_t charset = 0;
  const int32_t defaultCharset = project.GetInt(KeyCharset, charset) && ValidCharsetIndex(charset)
                                     ? charset
                                     : settings.ReadDefaultCharset(DefaultCharsetIndex);
  const TProjectValues v = ProjectValuesOf(project, defaultCharset);
  view.ShowProjectValues(v);
  LoadHighlightSlots(project, slots);
  view.ApplyMailMode(v.MailMode);
  view.FillToFieldList();
  view.UpdateCaption();
}
