#include "workspace/ui/Seldir.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "platform/ui/QtText.h"
#include "workspace/ui/PageKit.h"

TSeldirForm::TSeldirForm(QWidget* parent) : QDialog(parent) {
  setObjectName("SeldirForm");
  setWindowTitle("Select Folder");
  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model_->setRootPath(QDir::rootPath());

  DriveComboBox1 = new QComboBox(this);
  DriveComboBox1->setObjectName("DriveComboBox1");
  for (const QFileInfo& drive : QDir::drives()) DriveComboBox1->addItem(drive.absoluteFilePath());
  if (DriveComboBox1->findText(QDir::homePath()) < 0) DriveComboBox1->addItem(QDir::homePath());

  DirectoryListBox1 = new QTreeView(this);
  DirectoryListBox1->setObjectName("DirectoryListBox1");
  DirectoryListBox1->setModel(model_);
  for (int c = 1; c < model_->columnCount(); ++c) DirectoryListBox1->hideColumn(c);
  DirectoryListBox1->header()->hide();

  auto* buttons = ButtonRow(this, {{OkBtn, "OkBtn", "Ok"}, {CancelBtn, "CancelBtn", "Cancel"}});
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(DriveComboBox1, &QComboBox::currentTextChanged, this, &TSeldirForm::SetRoot);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(DirectoryListBox1);
  layout->addWidget(DriveComboBox1);
  layout->addLayout(buttons);
  resize(360, 400);
  SetRoot(DriveComboBox1->currentText());
}

void TSeldirForm::SetRoot(const QString& root) {
  if (root.isEmpty()) return;
  DirectoryListBox1->setRootIndex(model_->index(root));
  DirectoryListBox1->setCurrentIndex(model_->index(root));
}

std::string TSeldirForm::Directory() const {
  QModelIndex i = DirectoryListBox1->currentIndex();
  QString path = i.isValid() ? model_->filePath(i) : DriveComboBox1->currentText();
  return ToStdString(QDir::cleanPath(path));
}

void TSeldirForm::SetDirectory(const std::string& dir) {
  const QString path = QDir::cleanPath(ToQString(dir));
  if (!QDir(path).exists()) return;
  // Pick the longest root that holds the folder.
  int best = -1, bestLen = -1;
  for (int i = 0; i < DriveComboBox1->count(); ++i) {
    const QString root = QDir::cleanPath(DriveComboBox1->itemText(i));
    const bool under = root == "/" || path == root || path.startsWith(root + "/");
    if (under && root.size() > bestLen) {
      best = i;
      bestLen = root.size();
    }
  }
  if (best >= 0) DriveComboBox1->setCurrentIndex(best);
  QModelIndex idx = model_->index(path);
  DirectoryListBox1->setCurrentIndex(idx);
  DirectoryListBox1->scrollTo(idx);
}

std::string TSeldirForm::Choose(const std::string& start) {
  if (!start.empty()) SetDirectory(start);
  if (exec() != QDialog::Accepted) return {};
  return Directory();
}
