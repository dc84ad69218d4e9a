#include "workspace/ui/About.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "workspace/ui/Grlink.h"
#include "workspace/ui/Pictures.h"

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName("AboutBox");
  setWindowTitle("About");
  auto* picture = new QLabel(this);
  picture->setObjectName("ProgramIcon");
  picture->setPixmap(SplashPicture().scaled(120, 110, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  auto* product = new QLabel("<b>Larkpost</b>", this);
  product->setObjectName("ProductName");
  auto* version = new QLabel("Version 3.2", this);
  version->setObjectName("Version");
  auto* comments = new QLabel("Personalised bulk e-mail from address tables.", this);
  comments->setObjectName("Comments");
  comments->setWordWrap(true);
  Grlink1 = new TGrlink("larkpost.example.com", this);
  Grlink1->setObjectName("Grlink1");
  Grlink1->URL = "https://larkpost.example.com/";
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("OKButton");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* text = new QVBoxLayout;
  text->addWidget(product);
  text->addWidget(version);
  text->addWidget(comments);
  text->addWidget(Grlink1);
  text->addStretch();
  auto* top = new QHBoxLayout;
  top->addWidget(picture);
  top->addLayout(text);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);
}
