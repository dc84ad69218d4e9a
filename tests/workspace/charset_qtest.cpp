#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "platform/Help.h"
#include "workspace/ui/CharsetForm.h"

class CharsetFormTest : public QObject {
  Q_OBJECT

  // Runs the dialog; act runs while it is shown.
  int Run(TCharSetForm& form, const std::function<void()>& act) {
    QTimer::singleShot(0, &form, [&form, act] {
      // A failed check returns early: close the dialog so the test does not hang.
      if (form.isVisible()) act();
      if (form.isVisible()) form.reject();
    });
    return form.exec();
  }

private slots:
  void linesInTableOrder() {
    TCharSetForm form;
    QCOMPARE(form.windowTitle(), QString("Select Charset"));
    auto* list = form.findChild<QListWidget*>("ListBox1");
    QVERIFY(list);
    QCOMPARE(list->count(), 19);
    QCOMPARE(list->item(0)->text(), QString("Arabic (Windows), windows-1256"));
    QCOMPARE(list->item(18)->text(), QString("Western European (Windows), windows-1252"));
    for (const char* b : {"OKBtn", "CancelBtn", "HelpBtn"}) QVERIFY(form.findChild<QPushButton*>(b));
    QVERIFY(form.OKBtn->isDefault());
  }

  void firstLineSelectedWhenNoneIs() {
    TCharSetForm form;
    QCOMPARE(form.ItemIndex(), -1);
    QCOMPARE(Run(form, [&form] {
      QCOMPARE(form.ItemIndex(), 0);
      QVERIFY(form.OKBtn->isEnabled());
      QCOMPARE(form.focusWidget(), form.ListBox1);
      form.OKBtn->click();
    }), int(QDialog::Accepted));
    QCOMPARE(form.ItemIndex(), 0);
  }

  void projectIndexIsShownSelected() {
    TCharSetForm form;
    form.SetItemIndex(15);
    Run(form, [&form] {
      QCOMPARE(form.ItemIndex(), 15);
      QCOMPARE(form.ListBox1->selectedItems().first()->text(), QString("User Defined, x-user-defined"));
      form.CancelBtn->click();
    });
    QCOMPARE(form.ItemIndex(), 15);
  }

  void okFollowsTheSelection() {
    TCharSetForm form;
    Run(form, [&form] {
      form.ListBox1->clearSelection();
      QVERIFY(!form.OKBtn->isEnabled());
      QRect r = form.ListBox1->visualItemRect(form.ListBox1->item(3));
      QTest::mouseClick(form.ListBox1->viewport(), Qt::LeftButton, {}, r.center());
      QCOMPARE(form.ItemIndex(), 3);
      QVERIFY(form.OKBtn->isEnabled());
      form.CancelBtn->click();
    });
  }

  void doubleClickActsAsOk() {
    TCharSetForm form;
    form.SetItemIndex(2);
    QCOMPARE(Run(form, [&form] {
      form.SetItemIndex(18);
      emit form.ListBox1->itemDoubleClicked(form.ListBox1->item(18));
    }), int(QDialog::Accepted));
    QCOMPARE(form.ItemIndex(), 18);
  }

  void helpShowsTopicNine() {
    TScopedRecordingHelp help;
    TCharSetForm form;
    Run(form, [&form] {
      form.HelpBtn->click();
      QTest::keyClick(form.ListBox1, Qt::Key_F1);
      form.CancelBtn->click();
    });
    QCOMPARE(help.calls.size(), size_t(2));
    for (const auto& c : help.calls) {
      QCOMPARE(c.command, HH_HELP_CONTEXT);
      QCOMPARE(c.data, 9);
    }
  }
};

QTEST_MAIN(CharsetFormTest)
#include "charset_qtest.moc"
