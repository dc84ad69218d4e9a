#include "mailing/ui/DomWork.h"

#include <QWebEngineView>

#include "mailing/DomCommands.h"
#include "mailing/EditorSync.h"
#include "mailing/TableMarkup.h"
#include "mailing/ui/PromptForms.h"
#include "mailing/ui/WebScript.h"
#include "platform/MessageBox.h"
#include "platform/ui/QtText.h"

namespace {

QString Js(const std::string& s) { return JsString(ToQString(s)); }

}  // namespace

TDomWork::TDomWork(QWebEngineView* browser, const TEditorSync& sync) : Browser(browser), sync_(sync) {
  AskUrl = [browser](const QString& caption, QString& url) { return TUrlForm::Ask(browser, caption, url); };
  AskFont = [browser](TFontChoice& font) { return TFontForm::Ask(browser, font); };
}

bool TDomWork::DocumentReady() const { return sync_.DocumentReady; }

void TDomWork::Run(const QString& script) { RunScriptSync(*Browser->page(), script); }

void TDomWork::Change(const QString& script) {
  if (BeforeChange) BeforeChange();
  Run(script);
}

std::string TDomWork::QueryCommandValue(const std::string& Command) {
  if (!DocumentReady()) return std::string();
  const QVariant v =
      RunScriptSync(*Browser->page(), "String(document.queryCommandValue(" + Js(Command) + "))");
  return ToStdString(v.toString());
}

void TDomWork::ExecCommand(const std::string& Command, const std::string& Value) {
  if (!DocumentReady()) return;
  Change("(function(c, v) { if (String(document.queryCommandValue(c)) !== v)"
      " document.execCommand(c, false, v); })(" +
      Js(Command) + ", " + Js(Value) + ")");
}

void TDomWork::QueryCommandState(int Id, bool& Enabled, bool& Latched) {
  Enabled = Latched = false;
  const char* name = HtmlCommandName(Id);
  if (!name) return;
  const QVariantList v = RunScriptSync(*Browser->page(), "(function(c) { return [document.queryCommandEnabled(c),"
                                                         " document.queryCommandState(c)]; })(" +
                                                             Js(name) + ")")
                             .toList();
  if (v.size() != 2) return;
  Enabled = v[0].toBool();
  Latched = v[1].toBool();
}

bool TDomWork::Exec(int Id, bool Prompt, const std::string& Value) {
  const char* name = HtmlCommandName(Id);
  if (!name) return false;
  QString value = ToQString(Value);
  if (Prompt && Id == hcFont) {
    TFontChoice font;
    font.Name = ToQString(QueryCommandValue("FontName")).remove('"').remove('\'');
    font.Size = ToQString(QueryCommandValue("FontSize"));
    if (!AskFont || !AskFont(font)) return false;
    QString script = "(function() {";
    if (!font.Name.isEmpty()) script += "document.execCommand('fontName', false, " + JsString(font.Name) + ");";
    if (!font.Size.isEmpty()) script += "document.execCommand('fontSize', false, " + JsString(font.Size) + ");";
    if (font.Color.isValid())
      script += "document.execCommand('foreColor', false, " + JsString(font.Color.name()) + ");";
    Change(script + "})()");
    return true;
  }
  if (Prompt && (Id == hcImage || Id == hcHyperlink)) {
    if (!AskUrl || !AskUrl(Id == hcImage ? "Image" : "Hyperlink", value) || value.isEmpty()) return false;
  }
  Change("document.execCommand(" + JsString(name) + ", false, " + JsString(value) + ")");
  return true;
}

void TDomWork::FormatBlock(const std::string& Name) {
  const TBlockFormatAction a = BlockFormatFor(Name);
  if (!a.Command) return;
  if (a.Tag)
    Exec(hcBlockFormat, false, a.Tag);
  else
    Change("document.execCommand(" + JsString(a.Command) + ", false, null)");
}

void TDomWork::ExecCommandById(int Number) {
  const char* name = DomCommandName(Number);
  if (!name) return;
  Change("(function(c) { if (document.queryCommandEnabled(c)) document.execCommand(c); })(" + JsString(name) + ")");
}

void TDomWork::InsertTable(int Rows, int Cols, const std::string& Border, const std::string& Padding,
                           const std::string& Spacing, const std::string& Width) {
  const TTableMarkup m = BuildTableMarkup(Rows, Cols, Border, Padding, Spacing, Width);
  if (m.InvalidWidth) ErrorBox("Invalid Width");
  if (m.Html.empty()) return;
  // A range's own insertion keeps the markup as built; without a selection
  // in the document the table goes at the end of the body.
  Change("(function(html) {"
      " var d = document, s = d.getSelection(), r;"
      " if (s && s.rangeCount > 0 && d.body.contains(s.getRangeAt(0).commonAncestorContainer)) {"
      "   r = s.getRangeAt(0); r.deleteContents();"
      " } else { r = d.createRange(); r.selectNodeContents(d.body); r.collapse(false); }"
      " var f = r.createContextualFragment(html), last = f.lastChild;"
      " r.insertNode(f);"
      " if (last && s) { r.setStartAfter(last); r.collapse(true); s.removeAllRanges(); s.addRange(r); }"
      "})(" +
      Js(m.Html) + ")");
}

void TDomWork::FocusDocument() {
  Browser->setFocus();
  if (DocumentReady()) Run("window.focus(); if (document.body) document.body.focus();");
}
