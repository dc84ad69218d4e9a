#pragma once
// The small dialogs the editor shows where the original browser prompted
// itself: an address for an image or a hyperlink, and a font.

#include <QDialog>

class QComboBox;
class QFontComboBox;
class QLineEdit;
class QPushButton;
struct TFontChoice;

class TUrlForm : public QDialog {
  Q_OBJECT
public:
  TUrlForm(QWidget* parent, const QString& caption);
  QLineEdit* Edit1;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  // Modal; url holds the current address on entry and the answer on OK.
  static bool Ask(QWidget* parent, const QString& caption, QString& url);
};

class TFontForm : public QDialog {
  Q_OBJECT
public:
  explicit TFontForm(QWidget* parent);
  QFontComboBox* FontName;
  QComboBox* FontSize;   // "" (unchanged) and "1" to "7"
  QPushButton* ColorBtn;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QColor Color;  // invalid until chosen
  static bool Ask(QWidget* parent, TFontChoice& font);
};
