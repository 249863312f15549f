// The command table: menus and context menus built from rows, the mode switch's show and hide,
// the transport states a row acts in, and the main window's own rows.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "app/CommandTable.h"
#include "app/TForm1.h"
#include "support/ScriptedUiPort.h"

namespace {
const CommandRow kRows[] = {
    {"file.open", "File", "Open...", "Ctrl+O", kInBothModes, kWhenStopped, false},
    {"file.sep", "File", "-", "", kInBothModes, kInAnyState, false},
    {"file.quit", "File", "Quit", "", kInBothModes, kInAnyState, false},
    {"edit.cut", "Edit", "Cut", "Ctrl+X", kInEdit, kWhenStopped | kWhenPlaying, false},
    {"edit.mono", "Edit", "Show As Mono", "", kInBothModes, kInAnyState, true},
    {"view.unbound", "View", "Nothing yet", "", kInBothModes, kInAnyState, false},
    {"graph.zoom", "@RegionGraph", "Zoom In", "", kInEdit, kInAnyState, false},
};
constexpr size_t kCount = sizeof(kRows) / sizeof(kRows[0]);
} // namespace

class CommandTableTest : public QObject {
    Q_OBJECT
private slots:
    void menusFollowTheRowsAndHideWhatNobodyBound() {
        CommandTable table(kRows, kCount);
        int opened = 0, quit = 0, cut = 0;
        table.Bind("file.open", [&](bool) { ++opened; });
        table.Bind("file.quit", [&](bool) { ++quit; });
        table.Bind("edit.cut", [&](bool) { ++cut; });
        table.Bind("edit.mono", [](bool) {});
        table.Bind("graph.zoom", [](bool) {});
        QMenuBar bar;
        table.BuildMenuBar(&bar);
        // Menus in the order of their first row; the context menu is not on the bar.
        const QList<QAction*> menus = bar.actions();
        QCOMPARE(menus.size(), 3);
        QCOMPARE(menus[0]->text(), QString("File"));
        QCOMPARE(menus[1]->text(), QString("Edit"));
        QCOMPARE(menus[2]->text(), QString("View"));
        const QList<QAction*> file = menus[0]->menu()->actions();
        QCOMPARE(file.size(), 3);
        QCOMPARE(file[0]->text(), QString("Open..."));
        QCOMPARE(file[0]->shortcut(), QKeySequence("Ctrl+O"));
        QVERIFY(file[1]->isSeparator());
        QVERIFY(file[1]->text().isEmpty()); // drawn as a plain line, not a titled section
        // A row with no handler is never offered.
        QVERIFY(!table.Action("view.unbound")->isVisible());
        QVERIFY(table.Action("edit.mono")->isCheckable());

        // Browse mode hides the edit-only rows; a hidden row does not run.
        table.ApplyMode(kModeBrowse);
        QVERIFY(!table.Action("edit.cut")->isVisible());
        QVERIFY(!table.Dispatch("edit.cut"));
        table.ApplyMode(kModeEdit);
        QVERIFY(table.Action("edit.cut")->isVisible());
        QVERIFY(table.Dispatch("edit.cut"));
        QCOMPARE(cut, 1);

        // Rows act only in their transport states: greyed and inert in the others.
        table.ApplyTransportState(1); // playing
        QVERIFY(!table.Action("file.open")->isEnabled());
        QVERIFY(!table.Dispatch("file.open"));
        table.Action("file.open")->trigger();
        QCOMPARE(opened, 0);
        QVERIFY(table.Dispatch("edit.cut"));
        table.ApplyTransportState(4); // rendering
        QVERIFY(!table.Dispatch("edit.cut"));
        QVERIFY(table.Dispatch("file.quit"));
        table.ApplyTransportState(0);
        table.Action("file.open")->trigger();
        QCOMPARE(opened, 1);
        QCOMPARE(quit, 1);
        QCOMPARE(cut, 2);

        // A feature the machine lacks stays greyed through mode and state changes.
        table.SetAvailable("file.open", false);
        table.ApplyMode(kModeBrowse);
        QVERIFY(table.Action("file.open")->isVisible());
        QVERIFY(!table.Action("file.open")->isEnabled());
        QVERIFY(!table.Dispatch("file.open"));
        QVERIFY(!table.Dispatch("no.such.row"));
    }

    void aContextMenuCopyIsTheSameItems() {
        CommandTable table(kRows, kCount);
        bool mono = false;
        table.Bind("edit.cut", [](bool) {});
        table.Bind("edit.mono", [&](bool checked) { mono = checked; });
        QMenu copy;
        table.FillMenu("Edit", &copy);
        QCOMPARE(copy.actions().size(), 2);
        QCOMPARE(copy.actions()[0]->text(), QString("Cut"));
        // Caption, visibility, check mark and handler are shared with the menu bar's item.
        table.ApplyMode(kModeBrowse);
        QVERIFY(!copy.actions()[0]->isVisible());
        copy.actions()[1]->trigger();
        QVERIFY(mono);
        QVERIFY(table.Action("edit.mono")->isChecked());
        QMenu graph;
        table.FillMenu("@RegionGraph", &graph);
        QCOMPARE(graph.actions().size(), 1);
    }

    void theMainWindowBuildsItsMenusFromTheTable() {
        size_t count = 0;
        const CommandRow* rows = MainWindowCommands(count);
        QVERIFY(count > 0);
        // Ids are unique and every row names a menu and a caption.
        QSet<QString> ids;
        for (size_t i = 0; i < count; ++i) {
            QVERIFY(!ids.contains(rows[i].id));
            ids.insert(rows[i].id);
            QVERIFY(rows[i].menu[0] && rows[i].caption[0]);
        }
        QTemporaryDir dir;
        ScriptedUiPort ui;
        ui.folderAnswers = {dir.path().toStdString()};
        StartupEnvironment env;
        env.exeFolder = dir.path().toStdString();
        env.lockPath = (dir.path() + "/lock").toStdString();
        env.screenSize = QSize(1280, 1024);
        env.ui = &ui;
        TForm1 form(env);
        QVERIFY(form.StartupComplete());
        QStringList menus, shown;
        QMenu* setup = nullptr;
        for (QAction* a : form.menuBar()->actions()) {
            menus << a->text();
            if (a->isVisible()) shown << a->text();
            if (a->text() == "Setup") setup = a->menu();
        }
        QCOMPARE(menus, QStringList({"File", "Edit", "DSP", "VTape", "Transport", "View", "Setup", "Help"}));
        // A menu whose rows all belong to the other mode is not offered.
        QCOMPARE(shown, QStringList({"File", "Edit", "VTape", "View", "Setup", "Help"}));
        // Submenus follow the rows' paths; a row that is never shown stays out of sight.
        QVERIFY(setup);
        QAction* storage = nullptr;
        for (QAction* a : setup->actions())
            if (a->text() == "Audio Storage") storage = a;
        QVERIFY(storage && storage->menu());
        QStringList sub;
        for (QAction* a : storage->menu()->actions()) sub << a->text();
        QCOMPARE(sub, QStringList({"Compression", "On Import"}));
        QStringList compression;
        for (QAction* a : storage->menu()->actions()[0]->menu()->actions())
            if (a->isVisible()) compression << a->text();
        QCOMPARE(compression, QStringList({"No Compression", "Lossy Compression HQ", "Lossy Compression SP",
                                           "Lossy Compression LP"}));
        // "Quit" runs through the table and closes the window.
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.Commands().Dispatch("file.quit"));
        QTRY_VERIFY(!form.isVisible());
    }
};

QTEST_MAIN(CommandTableTest)
#include "CommandTableTest.moc"
