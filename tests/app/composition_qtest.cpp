// The composition: every window once, owned by the main window, and the
// frame given the subsystems that exist.

#include <QAction>
#include <QComboBox>
#include <QPointer>
#include <QTemporaryDir>
#include <filesystem>
#include <QWebEngineView>
#include <QtTest>

#include "app/Composition.h"
#include "mailing/ui/HtmlEditor.h"
#include "mailing/ui/MailPreview.h"
#include "mailing/ui/ProForm.h"
#include "mailing/ui/SendForm.h"
#include "platform/Registry.h"
#include "workspace/AppSettings.h"
#include "workspace/ui/WithdrawalPage.h"
#include "mailing/ui/ProjectUi.h"
#include "workspace/ui/FilterPage.h"
#include "workspace/ui/About.h"
#include "workspace/ui/AddDbf.h"
#include "workspace/ui/AddWord.h"
#include "workspace/ui/CalcFieldsPage.h"
#include "workspace/ui/CopyOpt.h"
#include "workspace/ui/Del.h"
#include "workspace/ui/EditField.h"
#include "workspace/ui/Find.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/MailingPage.h"
#include "workspace/ui/Options.h"
#include "workspace/ui/Restruct.h"
#include "workspace/ui/Seldir.h"
#include "workspace/ui/Seltab.h"
#include "workspace/ui/TableUi.h"

class CompositionQTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    qputenv("LARKPOST_HOME", dir_.path().toUtf8() + "/home");
    qputenv("LARKPOST_REGISTRY", dir_.path().toUtf8() + "/home/registry.reg");
  }

  void everyWindowOnceAndTheFrameWired() {
    const std::unique_ptr<TWindows> windows = CreateWindows();
    TWindows& ws = *windows;
    TLPMain* w = ws.Main;
    QVERIFY(w);
    for (QWidget* d : std::initializer_list<QWidget*>{ws.AddWord, ws.Options, ws.Delete, ws.Find, ws.About,
                                                      ws.SelectTable, ws.SelectFolder}) {
      QVERIFY(d);
      QCOMPARE(d->parentWidget(), static_cast<QWidget*>(w));
    }
    QVERIFY(w->findChild<QWidget*>("CharSetForm"));
    // The windows of start-up in their designed order.
    const QObjectList& made = w->children();
    auto at = [&](QObject* o) { return made.indexOf(o); };
    const std::vector<QObject*> order = {w->findChild<QWidget*>("TabForm"),
                                         ws.Delete,
                                         ws.Find,
                                         ws.CopyOptions,
                                         ws.About,
                                         ws.SelectTable,
                                         w->findChild<QWidget*>("CharSetForm"),
                                         ws.Restructure,
                                         ws.SelectFolder,
                                         ws.EditField,
                                         ws.AddTable};
    for (size_t i = 0; i < order.size(); ++i) {
      QVERIFY(order[i]);
      QCOMPARE(static_cast<QWidget*>(order[i])->parentWidget(), static_cast<QWidget*>(w));
      if (i > 0) QVERIFY2(at(order[i - 1]) < at(order[i]), qPrintable(order[i]->objectName()));
    }
    TFrameServices& s = w->Services();
    QCOMPARE(s.Options, static_cast<IOptionsDialog*>(ws.Options));
    QCOMPARE(s.Table, static_cast<ITableAccess*>(&w->Tables()));
    // The Mailing page's editor and preview, each one view in the page's places.
    QVERIFY(s.Editor);
    QVERIFY(s.Preview);
    QCOMPARE(w->findChildren<QWebEngineView*>().size(), qsizetype(2));
    QVERIFY(qobject_cast<QWebEngineView*>(w->MailingPage().EmbeddedWB1));
    QVERIFY(qobject_cast<QWebEngineView*>(w->MailingPage().WebBrowser1));
    // The project and the highlight rules of the Filter page, and the first run's project writer.
    QVERIFY(s.Project);
    QCOMPARE(s.Highlight, static_cast<IHighlightSlots*>(&w->FilterPage()));
    QVERIFY(s.WriteExampleProject);
    QCOMPARE(ws.Restructure->RowFilter, static_cast<ICopyRowFilter*>(&w->State().CopyFilter));
    QCOMPARE(&TagValues(ws), static_cast<ITagValueSource*>(&ProjectOf(ws).TagValues));
    auto* accounts = w->findChild<TProForm*>("ProForm");
    QVERIFY(accounts);
    QCOMPARE(s.Accounts, static_cast<IAccounts*>(accounts));
    auto* mailing = w->findChild<TSendForm*>("SendForm");
    QVERIFY(mailing);
    QCOMPARE(s.Mailing, static_cast<IMailingWindow*>(mailing));
    QCOMPARE(mailing->Project, static_cast<IMailingProject*>(&ProjectOf(ws)));
    QCOMPARE(mailing->Merge, &ProjectOf(ws).Merger);
    QVERIFY(s.Reports);
    QVERIFY(w->findChild<QWidget*>("LogForm") && w->findChild<QWidget*>("RepForm"));
    // The mailing window's state reaches the main window's and the withdrawal page's commands.
    for (TSendState state : {ssSending, ssPreparing, ssIdle}) {
      mailing->State().Set(state);
      QCOMPARE(w->Action("SpeedItem39")->isEnabled(), state != ssSending);
      QCOMPARE(w->Action("GetMailList1")->isEnabled(), state != ssSending);
      QCOMPARE(w->Action("SendCurrent1")->isEnabled(), state == ssIdle);
      QCOMPARE(w->Action("Accounts1")->isEnabled(), state != ssSending);
    }
    const QPointer<TLPMain> mainWindow = w;
    const QPointer<TOptForm> options = ws.Options;
    const QPointer<QWidget> copyOptions = ws.CopyOptions, restructure = ws.Restructure, editField = ws.EditField,
                            addTable = ws.AddTable;
    DestroyWindows(ws);
    QVERIFY(!mainWindow && !ws.Main);
    QVERIFY(!options && !ws.Options);
    QVERIFY(!copyOptions && !restructure && !editField && !addTable);
  }

  // A window its user was not given leaves that user's command without effect.
  void eachWindowIsHandedToItsUsers() {
    const std::unique_ptr<TWindows> windows = CreateWindows();
    const TWindows& ws = *windows;
    const TTableUi& tables = ws.Main->Tables();
    const std::vector<std::pair<const void*, const void*>> handed = {
        {tables.Dialogs.Delete, ws.Delete},           {tables.Dialogs.Find, ws.Find},
        {tables.Dialogs.SelectTable, ws.SelectTable}, {tables.Dialogs.Restructure, ws.Restructure},
        {tables.Dialogs.AddTable, ws.AddTable},       {ws.Restructure->FieldDialog, ws.EditField},
        {ws.Restructure->CopyDialog, ws.CopyOptions}, {ws.Main->CalcFieldsPage().NameDialog, ws.AddWord},
        {ws.Accounts->NameDialog, ws.AddWord},        {ws.Editor->CharsetDialog, ws.Charset},
    };
    for (size_t i = 0; i < handed.size(); ++i) {
      QVERIFY2(handed[i].second, qPrintable(QString::number(i)));
      QVERIFY2(handed[i].first == handed[i].second, qPrintable(QString::number(i)));
    }
  }

  // The accounts are listed before the options are loaded, so the stored
  // active account is selected at start-up.
  void theStoredActiveAccountIsSelected() {
    const std::string home = dir_.path().toStdString() + "/home/";
    std::filesystem::create_directories(home);
    TProfiles profiles(2);
    profiles[0].AccountName = "HOME";
    profiles[1].AccountName = "OFFICE";
    QVERIFY(SaveAccounts(home + ProfFileName, profiles));
    TRegistry& reg = SettingsRegistry();
    QVERIFY(reg.OpenKey(RegKeyPath, true));
    reg.WriteString("ActiveProfile", "OFFICE");
    reg.CloseKey();
    const std::unique_ptr<TWindows> windows = CreateWindows();
    TLPMain* w = windows->Main;
    QCOMPARE(windows->Options->ActiveProfileIndex(), 1);
    // The mailing window sends through that account.
    auto* mailing = w->findChild<TSendForm*>("SendForm");
    QVERIFY(mailing && mailing->ActiveAccount());
    QCOMPARE(mailing->ActiveAccount()->AccountName, std::string("OFFICE"));
    QCOMPARE(w->WithdrawalPage().ComboBox12->count(), 2);
    DestroyWindows(*windows);
  }
};

QTEST_MAIN(CompositionQTest)
#include "composition_qtest.moc"
