#pragma once
// The Preview tab of the Mailing page: the To and Subject labels, the record
// navigator, and the merged page shown from "$lpprev_.html" in WebBrowser1.
// The rules are TPreview's; this class binds them to the window. Without a
// tag-value source the page cannot be merged and the preview fails.

#include <QObject>
#include <QWebEngineView>
#include <string>

#include "mailing/Merge.h"
#include "mailing/Preview.h"
#include "workspace/FrameInterfaces.h"

class TLPMain;
class TWorkspaceState;
class TMailingPage;
class THtmlEditor;
class TSafeWebPage;

class TPreviewView : public QWebEngineView {
  Q_OBJECT
public:
  explicit TPreviewView(QWidget* parent = nullptr);
  TSafeWebPage* Page() const { return page_; }

private:
  TSafeWebPage* page_;
};

class TMailPreview : public QObject,
                     public IMailPreview,
                     private IPreviewView,
                     private ITagSignSource,
                     private IMergeWarnings {
  Q_OBJECT
public:
  TMailPreview(TLPMain& main, TWorkspaceState& state, THtmlEditor& editor);

  TPreviewView* WebBrowser1;
  TPreview Preview;
  // The merge's values for the current record; set by app/ (null: the preview fails).
  ITagValueSource* TagValues = nullptr;
  // The project's To field.
  std::string ToAddr;

  std::string PreviewFileName() const override { return Preview.PreviewFileName; }

  void BuildPreview();
  void UpdateToPreview();
  void UpdateSubjectPreview();
  void FillToFieldList();
  // Handlers.
  void ComboBox2Change();
  void Edit2Exit();
  void TabSheet5Show();
  void DBNavigator1Click(const QString& button);
  void WebBrowser1DocumentComplete();

protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

private:
  // IPreviewView
  std::string ToFieldText() override;
  void ShowTo(const std::string& text) override;
  std::string SubjectText() override;
  void ShowSubject(const std::string& text) override;
  void SyncEditedHtml() override;
  TMailMode MailMode() override;
  std::string SourceText() override;
  std::string PlainText() override;
  int32_t CharsetIndex() override;
  bool Navigate(const std::string& fileName) override;
  // IPreviewView and IMergeWarnings.
  void ShowWarning(const std::string& text) override;
  void ShowError(const std::string& text) override;
  // ITagSignSource
  char TagSign() const override;

  TLPMain& main_;
  TWorkspaceState& state_;
  TMailingPage& page_;
  THtmlEditor& editor_;
};
