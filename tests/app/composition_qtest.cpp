// The composition: every window once, owned by the main window, and the
// frame given the subsystems that exist.

#include <QTemporaryDir>
#include <QtTest>

#include "app/Composition.h"
#include "mailing/ui/ProjectUi.h"
#include "workspace/ui/FilterPage.h"
#include "workspace/ui/About.h"
#include "workspace/ui/AddWord.h"
#include "workspace/ui/Del.h"
#include "workspace/ui/Find.h"
#include "workspace/ui/LPMain.h"
#include "workspace/ui/Options.h"
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
    TLPMain* w = CreateWindows();
    QVERIFY(w);
    QCOMPARE(LPMain, w);
    for (QWidget* d : std::initializer_list<QWidget*>{AddWordForm, OptForm, DelForm, FindForm, AboutBox,
                                                      SelTabForm, SeldirForm}) {
      QVERIFY(d);
      QCOMPARE(d->parentWidget(), static_cast<QWidget*>(w));
    }
    QVERIFY(w->findChild<QWidget*>("CharSetForm"));
    TFrameServices& s = w->Services();
    QCOMPARE(s.Options, static_cast<IOptionsDialog*>(OptForm));
    QCOMPARE(s.Table, static_cast<ITableAccess*>(&w->Tables()));
    // The project and the highlight rules of the Filter page, and the first run's project writer.
    QVERIFY(s.Project);
    QCOMPARE(s.Highlight, static_cast<IHighlightSlots*>(&w->FilterPage()));
    QVERIFY(s.WriteExampleProject);
    QCOMPARE(&TagValues(*w), static_cast<ITagValueSource*>(&ProjectOf(*w).TagValues));
    // Not there yet: the frame does nothing for them.
    QVERIFY(!s.Mailing && !s.Accounts && !s.Reports && !s.Preview);
    DestroyWindows(w);
    QVERIFY(!LPMain);
    QVERIFY(!OptForm);
  }
};

QTEST_MAIN(CompositionQTest)
#include "composition_qtest.moc"
