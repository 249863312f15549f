// The region browser, its bar, the VTape and the meters' menus, driven with the mouse and keys.
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "app/BrowserController.h"
#include "app/PanelBox.h"
#include "app/TForm1.h"
#include "app/TapeBox.h"
#include "core/CCore.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "support/ScriptedUiPort.h"
#include "WindowTestSupport.h"

class BrowseTest : public QObject {
    Q_OBJECT

    StartupEnvironment Env(QTemporaryDir& dir, ScriptedUiPort& ui) { return WindowEnv(dir, ui); }

    // Shows a folder again by moving the tree's selection away and back.
    static void Reselect(QTreeWidget* tree, QTreeWidgetItem* item) {
        tree->setCurrentItem(tree->topLevelItem(1));
        tree->setCurrentItem(item);
    }

private slots:
    // The length box beside the VTape: "Normal" gives cells 100 px apart, a tape length lays the
    // items side by side in proportion to their durations; the choice lasts until changed.
    void vtapeLengthBox() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        TForm1 form(Env(dir, ui));
        QVERIFY(form.StartupComplete());
        auto* sample = new CSample("y.wav", dir.path().toStdString(), 0, 0, 44100, 2, 16, 44100LL * 3600, 0, 0);
        form.Core().SampleList()->Add(sample);
        auto* half = new CRegion("half hour", 0, 44100LL * 1800, sample, 0, -1, 1);
        auto* quarter = new CRegion("quarter", 0, 44100LL * 900, sample, 0, -1, 1);
        form.RegionList()->Insert(half);
        form.RegionList()->Insert(quarter);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* vtape = form.findChild<TapeBox*>("VTape");
        auto* length = form.findChild<QComboBox*>("ComboBox8");
        QVERIFY(vtape && length);
        auto* c = BrowserOf(form);
        QVERIFY(c);
        QStringList items;
        for (int i = 0; i < length->count(); ++i) items << length->itemText(i);
        QCOMPARE(items, QStringList({"Normal", "74 min", "90 min", "120 min", "180 min"}));
        QCOMPARE(length->currentIndex(), 0);
        c->VTape().Add(half);
        c->VTape().Add(quarter);
        vtape->Recompose();
        QTRY_VERIFY(c->VTape().ItemAt(1).flags & 2u); // laid out
        QCOMPARE(c->VTape().GetLengthMode(), int(CTape::FixedCells));
        QCOMPARE(c->VTape().ItemAt(1).box.left - c->VTape().ItemAt(0).box.left, 100);

        // 90 minutes: the half hour is a third of the tape's width, the quarter a sixth.
        length->setCurrentIndex(2);
        QCOMPARE(c->VTape().GetLengthMode(), int(CTape::Proportional));
        QCOMPARE(c->VTape().GetTapeMinutes(), 90);
        const int W = vtape->width() - 105;
        QTRY_COMPARE(c->VTape().ItemAt(0).box.width, int(1800.0 * W / (90 * 60)));
        QCOMPARE(c->VTape().ItemAt(1).box.width, int(900.0 * W / (90 * 60)));
        QCOMPARE(c->VTape().ItemAt(1).box.left, c->VTape().ItemAt(0).box.left + c->VTape().ItemAt(0).box.width);
        length->setCurrentIndex(4);
        QCOMPARE(c->VTape().GetTapeMinutes(), 180);
        QTRY_COMPARE(c->VTape().ItemAt(0).box.width, int(1800.0 * W / (180 * 60)));

        // Back to cells.
        length->setCurrentIndex(0);
        QCOMPARE(c->VTape().GetLengthMode(), int(CTape::FixedCells));
        QTRY_COMPARE(c->VTape().ItemAt(1).box.left - c->VTape().ItemAt(0).box.left, 100);
    }

    void browserVTapeAndMeters() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        TForm1 form(Env(dir, ui));
        QVERIFY(form.StartupComplete());
        auto* sample = new CSample("x.wav", dir.path().toStdString(), 0, 0, 1000, 2, 16, 100000, 0, 0);
        form.RegionList(); // the core's list
        std::vector<CRegion*> regions;
        for (int i = 0; i < 6; ++i) {
            auto* r = new CRegion("take " + std::to_string(i), 0, 1000 * (i + 1), sample, 0, -1, 1);
            form.RegionList()->Insert(r);
            regions.push_back(r);
        }
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* browser = form.findChild<TapeBox*>("RegionBrowser");
        auto* vtape = form.findChild<TapeBox*>("VTape");
        auto* bar = form.findChild<PanelBox*>("BrowserBar");
        QVERIFY(browser && vtape && bar);
        Reselect(form.RegionTree(), form.RegionTree()->topLevelItem(0));
        QTRY_VERIFY(browser->width() > 400);
        auto* c = static_cast<BrowserController*>(browser->property("browserController").value<void*>());
        QVERIFY(c);
        QCOMPARE(c->Browser().Count(), 6);
        QCOMPARE(c->Browser().RegionAt(0), regions[0]);

        // Grid of 4 columns: the first cell starts at the left; a click selects it.
        const int cell = (browser->width() - 14) / 4;
        QTest::mouseClick(browser, Qt::LeftButton, {}, QPoint(cell / 2, 20));
        QCOMPARE(c->Browser().CountSelected(), 1);
        QCOMPARE(c->Browser().GetCurrent(), regions[0]);
        // A look at the browser for people: SONQUIL_SCREENSHOT=/path/to.png
        if (qEnvironmentVariableIsSet("SONQUIL_SCREENSHOT"))
            form.grab().toImage().save(qEnvironmentVariable("SONQUIL_SCREENSHOT"));
        // A double click on the second cell's thumbnail puts it on the VTape (and opens it in
        // the region graph; back to the browser for the next one).
        const QSize browserSize = browser->size();
        QTest::mouseDClick(browser, Qt::LeftButton, {}, QPoint(cell + cell / 2, 30));
        QCOMPARE(form.Mode(), 1);
        form.SetMode(0);
        QTRY_COMPARE(browser->size(), browserSize);
        QTest::mouseDClick(browser, Qt::LeftButton, {}, QPoint(cell / 2, 30));
        QCOMPARE(form.Mode(), 1);
        form.SetMode(0);
        QTRY_COMPARE(browser->size(), browserSize);
        QCOMPARE(c->VTape().Count(), 2);
        QCOMPARE(c->VTape().RegionAt(0), regions[1]);
        QCOMPARE(c->VTape().RegionAt(1), regions[0]);
        // Alt+A selects all of the VTape; the browser takes that selection.
        form.activateWindow();
        QAction* selectAll = nullptr;
        for (QAction* a : form.menuBar()->actions())
            if (a->text() == "VTape")
                for (QAction* item : a->menu()->actions())
                    if (item->text() == "Select All") selectAll = item;
        QVERIFY(selectAll);
        QCOMPARE(selectAll->shortcut(), QKeySequence("Alt+A"));
        selectAll->trigger();
        QCOMPARE(c->VTape().CountSelected(), 2);
        QCOMPARE(c->Browser().CountSelected(), 2);
        QVERIFY(c->Browser().IsSelected(regions[1]));
        // Keys on the browser: Right moves the single selection... here two are selected, so
        // only the focus moves; Left and Right never leave the list.
        browser->setFocus();
        QTest::keyClick(browser, Qt::Key_Right);
        QTest::keyClick(browser, Qt::Key_Left);
        QCOMPARE(c->Browser().CountSelected(), 2);
        // Alt+Right acts on the VTape, whose selection the browser then takes.
        c->VTape().DeselectAll();
        QTest::keyClick(browser, Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(c->VTape().CountSelected(), 1);
        QCOMPARE(c->Browser().CountSelected(), 1);
        // The wheel pages the browser only while stopped in browse mode; six regions fit, so
        // nothing moves and nothing breaks.
        QTest::keyClick(browser, Qt::Key_End);
        QCOMPARE(c->Browser().GetFirstVisible(), 0);

        // The list kind from the bar's second button, then back to the grid.
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(50, 16));
        QCOMPARE(c->Browser().GetKind(), 3);
        QTest::mouseClick(browser, Qt::LeftButton, {}, QPoint(100, 10)); // the first row
        QCOMPARE(c->Browser().GetCurrent(), regions[0]);
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(80, 16));
        QCOMPARE(c->Browser().GetKind(), 4);
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(20, 16));
        QCOMPARE(c->Browser().GetKind(), 2);
        // The column slider: a press on the track right of the thumb means one column fewer.
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() - 12, 16));
        QCOMPARE(c->Browser().GetColumns(), 3);
        // The VTape's "Remove" takes its selected items off.
        c->VTape().SelectAll();
        for (QAction* a : form.menuBar()->actions())
            if (a->text() == "VTape")
                for (QAction* item : a->menu()->actions())
                    if (item->text() == "Remove") item->trigger();
        QCOMPARE(c->VTape().Count(), 0);

        // The meters' menu and "Setup" -> "Meters" hold the same actions.
        QMenu* setupMeters = form.findChild<QMenu*>("menu:Setup/Meters");
        QVERIFY(setupMeters);
        QAction* persistence = nullptr;
        for (QAction* a : setupMeters->actions())
            if (a->text() == "Persistence") persistence = a;
        QVERIFY(persistence && persistence->isChecked());
        persistence->trigger();
        QVERIFY(!persistence->isChecked());
        QMenu* hold = nullptr;
        for (QAction* a : setupMeters->actions())
            if (a->text() == "Hold") hold = a->menu();
        QVERIFY(hold);
        QAction* longest = hold->actions().back();
        QCOMPARE(longest->text(), QString("Longest"));
        longest->trigger();
        QVERIFY(longest->isChecked());
        QVERIFY(!hold->actions().at(2)->isChecked()); // "Medium" no longer
        form.close();
        delete sample;
    }
};

QTEST_MAIN(BrowseTest)
#include "BrowseTest.moc"
