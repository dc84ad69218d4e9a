#pragma once
// Every editing command on the HTML editor's document goes through here.
// Commands arriving while a document loads are dropped; a command the
// document reports disabled is not run.

#include <QColor>
#include <QString>
#include <functional>
#include <string>

class QWebEngineView;
class TEditorSync;

// What the font command asks for; empty parts are left as they are.
struct TFontChoice {
  QString Name;
  QString Size;  // "1" to "7"
  QColor Color;  // invalid: unchanged
};

class TDomWork {
public:
  TDomWork(QWebEngineView* Browser, const TEditorSync& sync);

  QWebEngineView* Browser;
  bool DocumentReady() const;

  // The dialogs of the prompting commands (image, hyperlink, font); tests replace them.
  std::function<bool(const QString& caption, QString& url)> AskUrl;
  std::function<bool(TFontChoice& font)> AskFont;
  // Called before a command changes the document.
  std::function<void()> BeforeChange;

  std::string QueryCommandValue(const std::string& Command);
  // Runs the command only when its current value differs from Value.
  void ExecCommand(const std::string& Command, const std::string& Value);
  void QueryCommandState(int Id, bool& Enabled, bool& Latched);
  // Prompt: the command asks for its value first (our dialogs); false when
  // nothing was done (unknown command, dialog cancelled).
  bool Exec(int Id, bool Prompt, const std::string& Value = std::string());
  void FormatBlock(const std::string& Name);
  void ExecCommandById(int Number);
  // Puts the table at the selection so that the document holds exactly its
  // markup (the engine's insertHTML would rewrite it). "Invalid Width" for a
  // width that is not a number; the table still goes in, without cell widths.
  void InsertTable(int Rows, int Cols, const std::string& Border, const std::string& Padding,
                   const std::string& Spacing, const std::string& Width);

  // Puts the keyboard focus into the document.
  void FocusDocument();

private:
  void Run(const QString& script);
  void Change(const QString& script);
  const TEditorSync& sync_;
};
