#include "workspace/ui/SQL.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFont>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Help.h"
#include "platform/MessageBox.h"
#include "platform/ui/QtText.h"
#include "workspace/AppSettings.h"
#include "workspace/ui/Seldir.h"

TSQLForm::TSQLForm(TAppSettings& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
  setObjectName("SQLForm");
  setWindowTitle("Execute SQL");
  resize(520, 380);
  auto* top = new QVBoxLayout(this);
  Panel1 = new QWidget(this);
  Panel1->setObjectName("Panel1");
  Panel1->setMinimumHeight(64);
  ComboBox1 = new QComboBox(Panel1);
  ComboBox1->setObjectName("ComboBox1");
  ComboBox1->addItems({"Microsoft Access Database", "DBase Directory"});
  ComboBox1->move(8, 6);
  Edit1 = new QLineEdit(Panel1);
  Edit1->setObjectName("Edit1");
  Edit1->move(8, 34);
  Button5 = new QPushButton("Browse", Panel1);
  Button5->setObjectName("Button5");
  Button5->setAutoDefault(false);
  Button5->resize(75, Edit1->sizeHint().height());
  top->addWidget(Panel1);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  QFont mono("Courier New");
  mono.setStyleHint(QFont::Monospace);
  Memo1->setFont(mono);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  top->addWidget(Memo1, 1);

  auto* row = new QHBoxLayout;
  auto button = [this, row](const char* name, const QString& text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    row->addWidget(b);
    return b;
  };
  Button1 = button("Button1", "Execute");
  Button2 = button("Button2", "Cancel");
  Button3 = button("Button3", "Load...");
  Button4 = button("Button4", "Save As..");
  Button6 = button("Button6", "Help");
  top->addLayout(row);

  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button3, &QPushButton::clicked, this, [this] { LoadClick(); });
  connect(Button4, &QPushButton::clicked, this, [this] { SaveAsClick(); });
  connect(Button5, &QPushButton::clicked, this, [this] { BrowseClick(); });
  connect(Button6, &QPushButton::clicked, this, [] { ShowHelpContext(HelpContext); });

  GetOpenFileName = [this](const std::string& caption, const std::string& filter, const std::string& dir) {
    return ToStdString(QFileDialog::getOpenFileName(this, ToQString(caption), ToQString(dir), ToQString(filter)));
  };
  GetSaveFileName = [this](const std::string& caption, const std::string& filter, const std::string& dir) {
    return ToStdString(QFileDialog::getSaveFileName(this, ToQString(caption), ToQString(dir), ToQString(filter)));
  };
  // Until a folder chooser is given, Browse chooses nothing.
  SelectDirectory = [](const std::string&) { return std::string(); };
  OnSQLFileDirChanged = [this] { settings_.Save(stSQLFileDir); };
}

TSQLForm::~TSQLForm() = default;

void TSQLForm::SetFolderDialog(TSeldirForm& dialog) {
  SelectDirectory = [&dialog](const std::string& start) { return dialog.Choose(start); };
}

std::string TSQLForm::SQLText() const { return ToStdString(Memo1->toPlainText()); }
std::string TSQLForm::DatabasePath() const { return ToStdString(Edit1->text()); }
int TSQLForm::DatabaseType() const { return ComboBox1->currentIndex(); }

void TSQLForm::FormShow() {
  const std::string& database = settings_.Values().SQLDataBase;
  Edit1->setText(ToQString(database));
  ComboBox1->setCurrentIndex(SqlDatabaseTypeFor(database));
  FormResize();
  Memo1->setFocus();
}

void TSQLForm::FormResize() {
  const int comboWidth = std::max(Panel1->width() - 2 * ComboBox1->x(), 170);
  ComboBox1->resize(comboWidth, ComboBox1->sizeHint().height());
  Edit1->resize(std::max(comboWidth - Edit1->x() - Button5->width(), 20), Edit1->sizeHint().height());
  Button5->move(Edit1->x() * 2 + Edit1->width(), Edit1->y());
}

void TSQLForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  FormShow();
}

void TSQLForm::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  FormResize();
}

void TSQLForm::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_F1) {
    ShowHelpContext(HelpContext);
    return;
  }
  QDialog::keyPressEvent(e);
}

namespace {

std::string FolderWithSlash(const std::string& file) {
  std::string dir = std::filesystem::path(file).parent_path().string();
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace

void TSQLForm::LoadClick() {
  const std::string file =
      GetOpenFileName("Open Query", "SQL Files (*.sql);;All Files (*)", settings_.Values().SQLFileDir);
  if (file.empty()) return;
  settings_.Set(stSQLFileDir, FolderWithSlash(file));
  if (OnSQLFileDirChanged) OnSQLFileDirChanged();
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    ErrorBox("Cannot open file \"" + file + "\"");
    return;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::string s = text.str();
  s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
  // The line end of the last line ends it; it is no empty line of its own.
  if (!s.empty() && s.back() == '\n') s.pop_back();
  Memo1->setPlainText(ToQString(s));
  Memo1->setFocus();
}

void TSQLForm::SaveAsClick() {
  const std::string chosen = GetSaveFileName("Save Query As", "SQL Files (*.sql)", settings_.Values().SQLFileDir);
  if (chosen.empty()) return;
  settings_.Set(stSQLFileDir, FolderWithSlash(chosen));
  if (OnSQLFileDirChanged) OnSQLFileDirChanged();
  const std::string file = SqlSaveFileName(chosen);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) {
    ErrorBox("Cannot create file \"" + file + "\"");
    return;
  }
  std::string text = SQLText();
  // One line per memo line, each ended by CR LF as the text files of the program are.
  std::string lines;
  for (char c : text) {
    if (c == '\n')
      lines += "\r\n";
    else
      lines += c;
  }
  if (!text.empty()) lines += "\r\n";
  out << lines;
  if (!out) {
    ErrorBox("Cannot write file \"" + file + "\"");
    return;
  }
  Memo1->setFocus();
}

void TSQLForm::BrowseClick() {
  const std::string path = DatabasePath();
  if (ComboBox1->currentIndex() != 0) {
    const std::string dir = SelectDirectory(path);
    if (!dir.empty()) {
      std::string d = dir;
      if (d.back() != '/') d += '/';
      Edit1->setText(ToQString(d));
    }
    return;
  }
  const std::string file = GetOpenFileName("Select Database", "Microsoft Access Files (*.mdb)", FolderWithSlash(path));
  if (!file.empty()) Edit1->setText(ToQString(file));
}
