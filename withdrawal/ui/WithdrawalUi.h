#pragma once
// The Withdrawal page's window code: binds the page's controls and the
// Withdrawal menu to the withdrawal object, the scheme commands, the
// extraction and the local message list. The main window is given it as its
// IWithdrawalPage; Get List is bound through an IGetListRunner.

#include <QObject>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "withdrawal/ExtractData.h"
#include "withdrawal/SchemeCommands.h"
#include "workspace/FrameInterfaces.h"

class IGetListRunner;
class QComboBox;
class QTreeWidgetItem;
class TAddWordForm;
class TLPMain;
class TWorkspaceState;
class TRespForm;
class TTableUi;
class TWithdrawalPage;

class TWithdrawalUi : public QObject, public IWithdrawalPage, public ISchemeCommandsView {
  Q_OBJECT
public:
  // folder: where "Popmail.dat", "Schemes.dat" and "Prof.dat" live (AppDir when empty).
  // Creating it is the withdrawal set-up of the main window's creation: the
  // known ids and the schemes are loaded, the scheme of "ActiveScheme" (else
  // the first) selected and the parser page filled.
  TWithdrawalUi(TLPMain& main, TWorkspaceState& state, TTableUi& tables, const std::filesystem::path& folder = {});
  ~TWithdrawalUi() override;

  TExtractData Data;
  TSchemeCommands Commands;
  TWithdrawalPage& Page() const { return page_; }

  // Null: Get List is disabled.
  void SetGetListRunner(IGetListRunner* runner);
  // The Response dialog and the name dialog of the schemes and markers; none:
  // their commands do nothing.
  void SetRespForm(TRespForm* form) { respForm_ = form; }
  void SetNameDialog(TAddWordForm* form) { nameDialog_ = form; }

  // IWithdrawalPage
  void TabSheet4Show() override;
  void UpdateWithdrawalControls() override;

  // ISchemeCommandsView
  bool ConfirmDelete(const std::string& question) override;

  // Scheme, marker and rule commands.
  void SpeedItem43Click();  // Add Scheme
  void SpeedItem44Click();  // Delete Scheme
  void Button1Click();      // add a marker
  void Button2Click();      // delete the marker
  void Button3Click();      // add a value rule
  void Button4Click();      // delete the value rule
  void ComboBox6Click();    // "Read After Marker"
  void ComboBox7Click();    // "Read Up To Marker"
  void ComboBox11Change();  // "Assign Value to Field"
  void ComboBox10Change();  // content
  void ComboBox13Change();  // time
  void ComboBox14Change();  // sender name
  void ComboBox15Change();  // sender address
  void ComboBox16Change();  // subject
  void ComboBox12Click();   // the account
  void SpeedItem45Click();  // Response
  void ComboBox3Click();    // a scheme is chosen
  void ListBox4Click();     // a rule is chosen

  void FillSchemeCombo();
  void ClearParserLists();
  void RefreshParserPage();
  void FillParserFieldCombos();
  void FillValueRules();
  void ShowValueRule();
  void SaveActiveScheme();

  // Extract, and the preview with its navigation.
  void SpeedItem46Click();
  void PreviewParse(bool focus);
  void ComboBox4Click();
  void TabSheet15Show();
  void SpeedButton3Click();  // first
  void SpeedButton1Click();  // previous
  void SpeedButton2Click();  // next
  void SpeedButton4Click();  // last

  // The message list and the viewer.
  void RefreshMailList();
  void RefreshMailControl();
  void RefreshMailMemo(int row);
  void SpeedItem41Click();  // Delete the selected local messages
  void ListView1Click();
  void ListView1KeyUp(int key);
  void SpeedItem39Click();  // Get List

  // What Get List reports: a message it has put into Data.MailList at index
  // joins the shown list in its place (newest first, the selection kept)
  // without reading the whole store; an index outside the list reads it again.
  void MessageInserted(int index);
  void SetGetListStatus(const std::string& text);
  void SetGetListRunning(bool running);
  bool GetListRunning() const { return getListRunning_; }

  // The account combo: refilled by the accounts window with the names in
  // account order, selecting the selected scheme's account.
  void FillAccountCombo(const std::vector<std::string>& names) override;
  int SelectedAccount() const;
  // The selected scheme's account; none without a selected scheme.
  std::optional<std::string> SelectedSchemeAccount() const;

  int SelectedScheme() const;
  // The first selected row, -1 when none.
  int SelectedRow() const;
  std::vector<int> SelectedRows() const;
  // The text the viewer shows, with CR LF line ends as it is parsed.
  const std::string& ViewerText() const { return viewerText_; }

protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

private:
  void Bind();
  void LoadAccountNames();
  void SetField(TSchemeField which, const QComboBox* box);
  void SetPreviewIndex(int index);
  std::string PreviewText() const;
  void ShowViewerText(const std::string& text);
  void ShowMessageCount();
  void ShowInsertedRow(int at, QTreeWidgetItem* row);
  void SelectRow(int row);
  bool TableOpen() const;
  bool PreviewTabCurrent() const;
  int SelectedMarker() const;
  int SelectedRule() const;

  TLPMain& main_;
  TWorkspaceState& state_;
  TTableUi& tables_;
  TWithdrawalPage& page_;
  std::filesystem::path folder_;
  IGetListRunner* runner_ = nullptr;
  TRespForm* respForm_ = nullptr;
  TAddWordForm* nameDialog_ = nullptr;
  std::string viewerText_;
  std::string viewerEntry_;  // the store entry the viewer shows
  bool getListRunning_ = false;
  bool listRead_ = false;  // the mail list has been read from the store
  int filling_ = 0;        // programmatic refills: their change signals edit nothing
};
