#include "workspace/ui/CalcFieldsPage.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "workspace/ui/PageKit.h"

TCalcFieldsPage::TCalcFieldsPage(QWidget* parent) : QWidget(parent) {
  setObjectName("TabSheet7");
  auto* layout = new QHBoxLayout(this);

  auto* left = new QVBoxLayout;
  ListBox1 = Named(new QListWidget(this), "ListBox1");
  Button8 = Named(new QPushButton("Add", this), "Button8");
  Button14 = Named(new QPushButton("Delete", this), "Button14");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button8);
  buttons->addWidget(Button14);
  left->addWidget(ListBox1, 1);
  left->addLayout(buttons);

  auto* right = new QVBoxLayout;
  ComboBox1 = Combo(this, "ComboBox1", false);
  ComboBox1->addItems({"Integer", "Float", "Boolean", "String", "DateTime"});
  ComboBox1->setCurrentIndex(-1);
  Memo2 = MemoBox(this, "Memo2");
  right->addWidget(new QLabel("Type of Field", this));
  right->addWidget(ComboBox1);
  right->addWidget(new QLabel("Expression", this));
  right->addWidget(Memo2, 1);

  layout->addLayout(left, 1);
  layout->addLayout(right, 2);
  Button14->setEnabled(false);
  Memo2->setEnabled(false);
  ComboBox1->setEnabled(false);
}
