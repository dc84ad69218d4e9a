#pragma once
// The Options dialog, bound to the settings: it shows their options when
// opened and gives the changed ones back on OK. Other parts read the options
// from the settings, not from here.

#include <QDialog>
#include <string>
#include <vector>

#include "workspace/AppSettings.h"
#include "workspace/FrameInterfaces.h"

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

// What the dialog asks of the mailing side (the mailing window provides it).
class IOptionsHost {
public:
  virtual ~IOptionsHost() = default;
  virtual TSendState SendState() const = 0;
};

class TOptForm : public QDialog, public IOptionsView, public IOptionsDialog {
  Q_OBJECT
public:
  explicit TOptForm(TAppSettings& settings, QWidget* parent = nullptr);

  void SetHost(IOptionsHost* host) { host_ = host; }
  // Fills "Active Account for Mailing", the names the setting may take; the
  // selected name stays selected when still listed.
  void SetAccountNames(const std::vector<std::string>& names);

  // TLPMain.LoadOptions and TLPMain.Options1Click over the settings.
  void LoadOptions();
  bool Options1Click();
  // IOptionsDialog: the main window's "Options..." command.
  void ShowOptions() override { Options1Click(); }

  // The options as the controls show them.
  bool ConfirmDel() const;
  int Threads() const;
  int DefaultCharset() const;      // -1 when none
  int ActiveProfileIndex() const;  // -1 when none
  std::string ActiveProfile() const;
  int SortColor() const;       // index, -1 when none
  std::string DBFont() const;  // "" when none
  int TagSignIndex() const;
  std::string TagSign() const;  // "%" when none

  // IOptionsView
  TSettingValues Values() const override;
  void ShowValues(const TSettingValues& values) override;
  bool ShowModal() override;
  TSettingMarks Marks() const override { return marks_; }

  // Dialog events under their designed names.
  void FormCreate();
  void FormShow();
  void HelpBtnClick();

  QCheckBox* CheckBox2;
  QComboBox* ComboBox3;
  QComboBox* ComboBox1;
  QSpinBox* UpDown1;
  QLineEdit* Edit1;  // the up-down's edit
  QFontComboBox* FontComboBox1;
  QComboBox* ColorComboBox1;
  QComboBox* ComboBox2;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QPushButton* HelpBtn;

  static constexpr int HelpContext = 8;

protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

private:
  void Mark(TSetting key) { marks_[key] = true; }

  TAppSettings& settings_;
  TSettingMarks marks_{};
  IOptionsHost* host_ = nullptr;
};
