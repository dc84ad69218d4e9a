#pragma once
// The "Database" page: its tool bar, the table grid over the background
// picture, the close-table button and the record counter.

#include <QWidget>

class QLabel;
class QStatusBar;
class QTableView;
class QToolBar;
class QToolButton;

// The background of the empty table area: the picture tiled from the top-left corner.
class TPaintBox : public QWidget {
  Q_OBJECT
public:
  explicit TPaintBox(QWidget* parent = nullptr);

protected:
  void paintEvent(QPaintEvent* e) override;
};

class TDatabasePage : public QWidget {
  Q_OBJECT
public:
  explicit TDatabasePage(QWidget* parent = nullptr);

  // The grid while a table is open, the picture otherwise.
  void ShowTableArea(bool tableOpen);
  // The close-table button sits at the right end of the tab row.
  void PlaceCloseButton(int windowWidth);

  // Controls, by designer name.
  QToolBar* SpeedBar1;
  QTableView* RxDBGrid1;
  TPaintBox* PaintBox1;
  QToolButton* SpeedButton5;  // close table
  QStatusBar* StatusBar2;
  QLabel* StatusPanel2;
};
