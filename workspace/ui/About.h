#pragma once

#include <QDialog>

class TGrlink;

class TAboutBox : public QDialog {
  Q_OBJECT
public:
  explicit TAboutBox(QWidget* parent = nullptr);
  TGrlink* Grlink1;
};
