#pragma once
// The Options dialog. Its controls hold the current options for the whole
// run; every other part reads an option from here, not from the registry.

#include <QDialog>
#include <array>
#include <functional>
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

// The 16 colours of "Color of Sorted Colum", black .. white, as 0xRRGGBB.
extern const std::array<unsigned, 16> SortColors;
extern const std::array<const char*, 16> SortColorNames;

class TOptForm : public QDialog, public IOptionsView, public IOptionsDialog {
  Q_OBJECT
public:
  explicit TOptForm(QWidget* parent = nullptr);

  void SetHost(IOptionsHost* host) { host_ = host; }
  // Fills "Active Account for Mailing"; the selected name stays selected when still listed.
  void SetAccountNames(const std::vector<std::string>& names);

  // TLPMain.LoadOptions and TLPMain.Options1Click over AppSettings().
  void LoadOptions();
  bool Options1Click(const std::function<void()>& onSortColorWritten = {});
  // IOptionsDialog: the main window's "Options..." command.
  void ShowOptions(const std::function<void()>& onSortColorWritten) override { Options1Click(onSortColorWritten); }

  // The current options, as every part reads them.
  bool ConfirmDel() const;
  void SetConfirmDel(bool value);  // the deletion dialog's check box
  int Threads() const;
  int DefaultCharset() const;       // -1 when none
  int ActiveProfileIndex() const override;   // -1 when none
  std::string ActiveProfile() const;
  int SortColor() const;            // index, -1 when none
  unsigned SortColorRgb() const;    // 0xRRGGBB, aqua when none
  std::string DBFont() const;       // "" when none
  int TagSignIndex() const;
  std::string TagSign() const;      // "%" when none

  // IOptionsView
  TOptionValues Values() const override;
  void ShowValues(const TOptionValues& values) override;
  bool ShowModal() override;
  TOptionMarks Marks() const override { return marks_; }

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
  void Mark(TOptionMark m) { marks_[m] = true; }

  TOptionMarks marks_{};
  IOptionsHost* host_ = nullptr;
};
