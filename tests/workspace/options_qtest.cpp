#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <memory>

#include "platform/Help.h"
#include "platform/Registry.h"
#include "workspace/AppSettings.h"
#include "workspace/HighlightSlots.h"
#include "workspace/ui/Options.h"

namespace {

class TFakeHost : public IOptionsHost {
public:
  TSendState SendState() const override { return state; }
  TSendState state = ssIdle;
};

}  // namespace

class OptionsTest : public QObject {
  Q_OBJECT

  QTemporaryDir tmp;
  std::string file;
  std::unique_ptr<TAppSettings> settings;

  TRegistry Key() {
    TRegistry r(file);
    r.OpenKey("\\" + RegKeyPath, true);
    return r;
  }
  std::vector<std::string> StoredNames() {
    TRegistry r(file);
    if (!r.OpenKey("\\" + RegKeyPath, false)) return {};
    auto n = r.GetValueNames();
    std::sort(n.begin(), n.end());
    return n;
  }
  // Runs the Options command; act runs while the dialog is shown.
  bool RunOptions(TOptForm& form, const std::function<void()>& act, bool* sortRepainted = nullptr) {
    QTimer::singleShot(0, &form, [&form, act] {
      // A failed check returns early: close the dialog so the test does not hang.
      if (form.isVisible()) act();
      if (form.isVisible()) form.reject();
    });
    settings->LoadOptions();  // as at start-up
    const auto repaint = settings->Subscribe(stSortColor, [sortRepainted] {
      if (sortRepainted) *sortRepainted = true;
    });
    return form.Options1Click();
  }

private slots:
  void init() {
    file = tmp.filePath("registry.reg").toStdString();
    QFile::remove(QString::fromStdString(file));
    qputenv("LARKPOST_REGISTRY", QByteArray::fromStdString(file));
    settings = std::make_unique<TAppSettings>(SettingsRegistry());
  }

  void initialState() {
    TOptForm form(*settings);
    QCOMPARE(form.windowTitle(), QString("Options"));
    auto* check = form.findChild<QCheckBox*>("CheckBox2");
    QVERIFY(check);
    QVERIFY(!check->isChecked());
    QCOMPARE(check->text(), QString("Confirmation of Deleting Records"));
    auto* tag = form.findChild<QComboBox*>("ComboBox3");
    QCOMPARE(tag->count(), 4);
    QCOMPARE(tag->currentText(), QString("%"));
    auto* enc = form.findChild<QComboBox*>("ComboBox1");
    QCOMPARE(enc->count(), 19);
    QCOMPARE(enc->currentIndex(), -1);
    QCOMPARE(enc->itemText(18), QString("Western European (Windows), windows-1252"));
    QCOMPARE(form.findChild<QSpinBox*>("UpDown1")->value(), 15);
    QCOMPARE(form.findChild<QSpinBox*>("UpDown1")->minimum(), 1);
    QCOMPARE(form.findChild<QSpinBox*>("UpDown1")->maximum(), 100);
    QVERIFY(form.findChild<QLineEdit*>("Edit1"));
    QCOMPARE(form.findChild<QFontComboBox*>("FontComboBox1")->currentIndex(), -1);
    auto* color = form.findChild<QComboBox*>("ColorComboBox1");
    QCOMPARE(color->count(), 16);
    QCOMPARE(color->currentIndex(), 14);
    QCOMPARE(color->currentText(), QString("Aqua"));
    QCOMPARE(form.findChild<QComboBox*>("ComboBox2")->currentIndex(), -1);
    for (const char* b : {"OKBtn", "CancelBtn", "HelpBtn"}) QVERIFY(form.findChild<QPushButton*>(b));
    QCOMPARE(form.TagSign(), std::string("%"));
    QCOMPARE(SlotColor(form.SortColor()), (TRgb{0x00, 0xFF, 0xFF}));
  }

  void loadOptionsShowsStoredValues() {
    {
      TRegistry r = Key();
      r.WriteBool("ConfirmDel", true);
      r.WriteInteger("Threads", 42);
      r.WriteInteger("DefaultCharset", 14);
      r.WriteString("ActiveProfile", "Office");
      r.WriteInteger("SortColor", 9);
      r.WriteInteger("TagSign", 2);
    }
    TOptForm form(*settings);
    form.SetAccountNames({"Home", "Office"});
    form.LoadOptions();
    QVERIFY(form.ConfirmDel());
    QCOMPARE(form.Threads(), 42);
    QCOMPARE(form.DefaultCharset(), 14);
    QCOMPARE(form.ActiveProfileIndex(), 1);
    QCOMPARE(form.ActiveProfile(), std::string("Office"));
    QCOMPARE(form.SortColor(), 9);
    QCOMPARE(form.TagSign(), std::string("$"));
    QCOMPARE(form.DBFont(), std::string());
    // Loading is not a change.
    for (bool m : form.Marks()) QVERIFY(!m);

    // An account no longer listed leaves the list without a selection.
    { Key().WriteString("ActiveProfile", "office"); }
    form.LoadOptions();
    QCOMPARE(form.ActiveProfileIndex(), -1);
    // A refilled list keeps its selection by name.
    { Key().WriteString("ActiveProfile", "Home"); }
    form.LoadOptions();
    form.SetAccountNames({"New", "Home"});
    QCOMPARE(form.ActiveProfileIndex(), 1);
  }

  void onlyTheChangedThreadsAreWritten() {
    { Key().WriteInteger("SortColor", 3); }
    TOptForm form(*settings);
    bool repainted = false;
    const bool ok = RunOptions(
        form,
        [&form] {
          auto* edit = form.findChild<QLineEdit*>("Edit1");
          edit->selectAll();
          QTest::keyClicks(edit, "30");
          QTest::mouseClick(form.findChild<QPushButton*>("OKBtn"), Qt::LeftButton);
        },
        &repainted);
    QVERIFY(ok);
    QCOMPARE(StoredNames(), (std::vector<std::string>{"SortColor", "Threads"}));
    TRegistry r(file);
    QVERIFY(r.OpenKey("\\" + RegKeyPath, false));
    QCOMPARE(r.ReadInteger("Threads"), 30);
    QCOMPARE(r.ReadInteger("SortColor"), 3);
    QVERIFY(!repainted);
    QCOMPARE(form.Threads(), 30);
  }

  void everyMarkWritesItsValue() {
    TOptForm form(*settings);
    form.SetAccountNames({"Home", "Office"});
    bool repainted = false;
    QVERIFY(RunOptions(
        form,
        [&form] {
          form.CheckBox2->click();
          form.UpDown1->setValue(7);
          auto pick = [](QComboBox* box, int i) {
            box->setCurrentIndex(i);
            emit box->activated(i);
          };
          pick(form.ComboBox1, 18);
          pick(form.ComboBox2, 1);
          pick(form.ColorComboBox1, 0);
          pick(form.FontComboBox1, 0);
          pick(form.ComboBox3, 3);
          for (int m = stConfirmDel; m <= stTagSign; ++m)
            QVERIFY2(form.Marks()[static_cast<size_t>(m)], QByteArray::number(m));
          form.OKBtn->click();
        },
        &repainted));
    QVERIFY(repainted);
    TRegistry r(file);
    QVERIFY(r.OpenKey("\\" + RegKeyPath, false));
    QCOMPARE(r.ReadInteger("ConfirmDel"), 1);
    QCOMPARE(r.ReadInteger("Threads"), 7);
    QCOMPARE(r.ReadInteger("DefaultCharset"), 18);
    QCOMPARE(r.ReadString("ActiveProfile"), std::string("Office"));
    QCOMPARE(r.ReadInteger("SortColor"), 0);
    QVERIFY(!r.ReadString("DBFont").empty());
    QCOMPARE(r.ReadString("DBFont"), form.DBFont());
    QCOMPARE(r.ReadInteger("TagSign"), 3);
    QCOMPARE(form.TagSign(), std::string("#"));
  }

  void cancelWritesNothingAndShowsStoredValues() {
    { Key().WriteInteger("Threads", 20); }
    const QByteArray before = [&] {
      QFile f(QString::fromStdString(file));
      f.open(QIODevice::ReadOnly);
      return f.readAll();
    }();
    TOptForm form(*settings);
    QVERIFY(!RunOptions(form, [&form] {
      form.CheckBox2->click();
      form.UpDown1->setValue(99);
      form.ComboBox3->setCurrentIndex(1);
      emit form.ComboBox3->activated(1);
      form.CancelBtn->click();
    }));
    QFile f(QString::fromStdString(file));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
    QVERIFY(!form.ConfirmDel());
    QCOMPARE(form.Threads(), 20);
    QCOMPARE(form.TagSignIndex(), 0);
  }

  void marksAreClearedWhenShown() {
    TOptForm form(*settings);
    form.UpDown1->setValue(50);  // a change before the dialog is shown
    QVERIFY(RunOptions(form, [&form] {
      for (bool m : form.Marks()) QVERIFY(!m);
      form.OKBtn->click();
    }));
    QVERIFY(StoredNames().empty());
  }

  void sendingDisablesAccountAndThreads() {
    TOptForm form(*settings);
    TFakeHost host;
    form.SetHost(&host);
    host.state = ssSending;
    RunOptions(form, [&form] {
      QVERIFY(!form.UpDown1->isEnabled());
      QVERIFY(!form.Edit1->isEnabled());
      QVERIFY(!form.ComboBox2->isEnabled());
      QVERIFY(form.CheckBox2->isEnabled());
      QVERIFY(form.ComboBox1->isEnabled());
      form.CancelBtn->click();
    });
    for (TSendState state : {ssIdle, ssPreparing}) {
      host.state = state;
      RunOptions(form, [&form] {
        QVERIFY(form.UpDown1->isEnabled());
        QVERIFY(form.ComboBox2->isEnabled());
        form.CancelBtn->click();
      });
    }
  }

  void helpShowsContextEight() {
    TScopedRecordingHelp help;
    TOptForm form(*settings);
    RunOptions(form, [&form] {
      form.HelpBtn->click();
      QTest::keyClick(form.Edit1, Qt::Key_F1);
      form.CancelBtn->click();
    });
    QCOMPARE(help.calls.size(), size_t(2));
    for (const auto& c : help.calls) {
      QCOMPARE(c.command, HH_HELP_CONTEXT);
      QCOMPARE(c.data, 8);
    }
  }

  void unreadableKeyKeepsTheControls() {
    TOptForm form(*settings);
    form.UpDown1->setValue(33);
    QFile blocker(tmp.filePath("blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.write("x");
    blocker.close();
    qputenv("LARKPOST_REGISTRY", tmp.filePath("blocker/registry.reg").toUtf8());
    form.LoadOptions();
    QCOMPARE(form.Threads(), 33);
  }
};

QTEST_MAIN(OptionsTest)
#include "options_qtest.moc"
