#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "platform/Help.h"
#include "platform/MessageBox.h"
#include "toolkit/Reader.h"
#include "workspace/ui/About.h"
#include "workspace/ui/AddWord.h"
#include "workspace/ui/Grlink.h"
#include "workspace/ui/Del.h"
#include "workspace/ui/Find.h"
#include "workspace/ui/Seldir.h"
#include "workspace/ui/Seltab.h"

#include "tests/support/QtModal.h"
#include "workspace/MergeReader.h"

class DialogsTest : public QObject {
  Q_OBJECT

  TReader reader_;

  // Types text into the name dialog and presses OK (or Cancel).
  std::string Input(TAddWordForm& form, const QString& text, bool check, const std::vector<std::string>& names,
                    bool ok = true, const std::string& fmt = "Field \"%s\" already exists") {
    WhenModal([&form, text, ok](QWidget* w) {
      QCOMPARE(w, static_cast<QWidget*>(&form));
      QVERIFY(form.Edit1->text().isEmpty());  // cleared on show
      form.Edit1->setText(text);
      (ok ? form.OKBtn : form.CancelBtn)->click();
    });
    std::string name = "stale";
    form.InputName("Add Field", fmt, name, check, names, reader_);
    return name;
  }

private slots:
  void initTestCase() { SetUpMergeReader(reader_); }

  void inputNameAcceptAndRefuse() {
    TAddWordForm form;
    struct {
      QString text;
      bool check;
      std::string name;
      std::string box;
    } cases[] = {
        {"first_name", true, "FIRST_NAME", ""},
        {"1st", true, "", "Invalid Name"},
        {"my field", true, "", "Invalid Name"},
        {"a.b", true, "", "Invalid Name"},
        {"a~b", true, "", "Invalid Name"},
        {"   ", false, "", "Invalid Name"},
        {"  lead", false, "  lead", ""},
        {"Total", false, "Total", ""},
        {"", true, "", ""},
    };
    for (auto& c : cases) {
      TScopedScriptedMessages msgs;
      QCOMPARE(Input(form, c.text, c.check, {}), c.name);
      if (c.box.empty()) {
        QVERIFY(msgs.shown.empty());
      } else {
        QCOMPARE(msgs.shown.size(), size_t(1));
        QCOMPARE(msgs.shown[0].text, c.box);
        QCOMPARE(msgs.shown[0].kind, TMsgKind::Error);
      }
    }
    QCOMPARE(form.windowTitle(), QString("Add Field"));
  }

  void inputNameDuplicatesAndCancel() {
    TAddWordForm form;
    {
      TScopedScriptedMessages msgs;
      QCOMPARE(Input(form, "Field1", true, {"FIELD1"}), std::string());
      QCOMPARE(msgs.shown.size(), size_t(1));
      QCOMPARE(msgs.shown[0].text, std::string("Field \"Field1\" already exists"));
      QCOMPARE(msgs.shown[0].kind, TMsgKind::Information);
    }
    {
      TScopedScriptedMessages msgs;
      QCOMPARE(Input(form, "TOTAL", false, {"Total"}, true, "Marker \"%s\" already exists"), std::string("TOTAL"));
      QCOMPARE(Input(form, "A&B", false, {"A&B"}, true, "Account \"%s\" already exists"), std::string());
      QCOMPARE(msgs.shown.back().text, std::string("Account \"A&B\" already exists"));
    }
    {
      TScopedScriptedMessages msgs;
      QCOMPARE(Input(form, "good", true, {}, false), std::string());
      QVERIFY(msgs.shown.empty());
    }
  }

  void selectTable() {
    TSelTabForm form;
    form.ListBox1->addItems({"Orders", "Clients"});
    bool checked = false;
    WhenModal([&](QWidget*) {
      QCOMPARE(form.ListBox1->currentRow(), 0);
      QVERIFY(form.SelectBtn->isEnabled());
      QCOMPARE(form.focusWidget(), static_cast<QWidget*>(form.ListBox1));
      form.ListBox1->setCurrentRow(1);
      checked = true;
      form.SelectBtn->click();
    });
    QCOMPARE(form.exec(), int(QDialog::Accepted));
    QVERIFY(checked);
    QCOMPARE(form.SelectedTable(), QString("Clients"));

    TSelTabForm empty;
    WhenModal([&](QWidget*) {
      QVERIFY(!empty.SelectBtn->isEnabled());
      empty.SelectBtn->click();  // does nothing while disabled
      empty.CancelBtn->click();
    });
    QCOMPARE(empty.exec(), int(QDialog::Rejected));
  }

  void selectTableDoubleClick() {
    TSelTabForm form;
    form.ListBox1->addItems({"A", "B"});
    WhenModal([&](QWidget*) {
      QListWidgetItem* b = form.ListBox1->item(1);
      form.ListBox1->setCurrentItem(b);
      emit form.ListBox1->itemDoubleClicked(b);
    });
    QCOMPARE(form.exec(), int(QDialog::Accepted));
    QCOMPARE(form.SelectedTable(), QString("B"));
  }

  void deleteConfirmation() {
    TDelForm form;
    QCOMPARE(form.windowTitle(), QString("Delete Record"));
    QCOMPARE(form.CheckBox1->text(), QString("Do not perform this confirmation"));
    QVERIFY(form.YesBtn->isDefault());
    WhenModal([&](QWidget*) {
      QCOMPARE(form.focusWidget(), static_cast<QWidget*>(form.NoBtn));
      form.CheckBox1->setChecked(true);
      form.YesBtn->click();
    });
    QCOMPARE(form.exec(), int(QDialog::Accepted));
    QVERIFY(form.CheckBox1->isChecked());
    // Escape answers No.
    WhenModal([&](QWidget*) { QTest::keyClick(&form, Qt::Key_Escape); });
    QCOMPARE(form.exec(), int(QDialog::Rejected));
  }

  void findDialog() {
    TScopedRecordingHelp help;
    TFindForm form;
    QCOMPARE(form.windowTitle(), QString("Find"));
    QVERIFY(form.Including());
    QVERIFY(!form.ComboBox1->isEditable());
    form.ComboBox1->addItems({"NAME", "CITY"});
    WhenModal([&](QWidget*) {
      QCOMPARE(form.focusWidget(), static_cast<QWidget*>(form.ComboBox1));
      QTest::keyClick(&form, Qt::Key_F1);
      form.HelpBtn->click();
      form.ComboBox1->setCurrentIndex(1);
      form.Edit1->setText("Paris");
      form.ExactlyBtn->setChecked(true);
      form.OKBtn->click();
    });
    QCOMPARE(form.exec(), int(QDialog::Accepted));
    QCOMPARE(help.calls.size(), size_t(2));
    for (auto& c : help.calls) {
      QCOMPARE(c.command, HH_HELP_CONTEXT);
      QCOMPARE(c.data, 6);
    }
    // The choices stay for the next use.
    WhenModal([&](QWidget*) { form.CancelBtn->click(); });
    form.exec();
    QCOMPARE(form.ComboBox1->currentText(), QString("CITY"));
    QCOMPARE(form.Edit1->text(), QString("Paris"));
    QVERIFY(!form.Including());
  }

  void hyperlinkLabel() {
    TAboutBox about;
    TGrlink* link = about.findChild<TGrlink*>("Grlink1");
    QVERIFY(link);
    QVERIFY(!link->URL.isEmpty());
    QVERIFY(link->font().underline());
    QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(link, &enter);
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(128, 0, 128));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
    TGrlink blank("x");
    blank.Click();  // a blank address opens nothing
  }

  void selectFolder() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("inner/deeper"));
    TSeldirForm form;
    QCOMPARE(form.windowTitle(), QString("Select Folder"));
    const std::string target = dir.path().toStdString() + "/inner/deeper";
    form.SetDirectory(target);
    QCOMPARE(form.Directory(), target);
    WhenModal([&](QWidget*) { form.OkBtn->click(); });
    QCOMPARE(form.exec(), int(QDialog::Accepted));
    QCOMPARE(form.Directory(), target);  // the folder shown last stays
    form.SetDirectory(dir.path().toStdString() + "/missing");
    QCOMPARE(form.Directory(), target);
  }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_qtest.moc"
