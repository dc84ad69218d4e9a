#pragma once
// The folder chooser: a directory tree under the chosen root.

#include <QDialog>
#include <string>

class QComboBox;
class QFileSystemModel;
class QPushButton;
class QTreeView;

class TSeldirForm : public QDialog {
  Q_OBJECT
public:
  explicit TSeldirForm(QWidget* parent = nullptr);

  QComboBox* DriveComboBox1;  // the roots the tree can start from
  QTreeView* DirectoryListBox1;
  QPushButton* OkBtn;
  QPushButton* CancelBtn;

  // The folder the list shows; kept from one use to the next.
  std::string Directory() const;
  void SetDirectory(const std::string& dir);
  // Modal, from start (the last folder when empty); "" when cancelled.
  std::string Choose(const std::string& start);

private:
  QFileSystemModel* model_;
  void SetRoot(const QString& root);
};
