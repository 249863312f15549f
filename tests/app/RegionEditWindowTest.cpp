// Region editing, snaps and presets in the window: the "Edit" and "DSP" rows per mode, Delete
// and Duplicate by their keys on the browser's selection (the tapes and the work list follow),
// Create New Region From Range from the wave viewer's range, the snap list's buttons, keys and
// enable rules, and the preset tree and list (make, read-only factory presets, apply by click,
// the DSP panel dropped on the list).
#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <cmath>

#include "app/DragTypes.h"
#include "app/BrowserController.h"
#include "app/CommandTable.h"
#include "app/DSPController.h"
#include "app/RegionEditController.h"
#include "app/SnapsController.h"
#include "app/TForm1.h"
#include "app/TapeBox.h"
#include "core/CCore.h"
#include "core/SnapCommands.h"
#include "dsp/CDataInputElement.h"
#include "dsp/CParaEQ4B.h"
#include "library/CDSPPreset.h"
#include "library/CDSPSnap.h"
#include "library/CPresetList.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "support/AudioFiles.h"
#include "support/ScriptedUiPort.h"
#include "views/CWaveViewer.h"
#include "WindowTestSupport.h"

namespace {

QAction* MenuItem(TForm1& form, const QString& menu, const QString& caption) {
    for (QAction* a : form.menuBar()->actions())
        if (a->text() == menu)
            for (QAction* item : a->menu()->actions())
                if (item->text() == caption) return item;
    return nullptr;
}

QStringList MenuCaptions(TForm1& form, const QString& menu) {
    QStringList l;
    for (QAction* a : form.menuBar()->actions())
        if (a->text() == menu)
            for (QAction* item : a->menu()->actions()) l << (item->isSeparator() ? QString("-") : item->text());
    return l;
}

struct Library {
    CSample* sample = nullptr;
    CRegion* root = nullptr;
    std::vector<CRegion*> subs;
};

Library AddLibrary(TForm1& form, const QTemporaryDir& dir) {
    Library lib;
    const std::string folder = dir.path().toStdString();
    std::vector<float> pcm(2 * 40000);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<float>(0.3 * std::sin(0.01 * i));
    MakeWavFile(folder, "take.wav", pcm, 44100);
    lib.sample = new CSample("take.wav", folder, 0, 0, 44100, 2, 16, 40000, 0, 0);
    form.Core().SampleList()->Add(lib.sample);
    lib.root = new CRegion("take", 0, 40000, lib.sample, RegionRoot, -1, 1);
    form.RegionList()->Insert(lib.root);
    for (int i = 0; i < 3; ++i) {
        auto* r = new CRegion("take part " + std::to_string(i), 1000 * i, 10000 + 1000 * i, lib.sample, 0, -1, 1);
        form.RegionList()->Insert(r);
        lib.subs.push_back(r);
    }
    return lib;
}

BrowserController* Browser(TForm1& form) {
    auto* box = form.findChild<TapeBox*>("RegionBrowser");
    return box ? static_cast<BrowserController*>(box->property("browserController").value<void*>()) : nullptr;
}

} // namespace

class RegionEditWindowTest : public QObject {
    Q_OBJECT

private slots:
    void menuRowsFollowTheMode() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        TForm1 form(WindowEnv(dir, ui));
        QVERIFY(form.StartupComplete());
        QAction* duplicate = MenuItem(form, "Edit", "Duplicate");
        QVERIFY(duplicate);
        QCOMPARE(duplicate->shortcut(), QKeySequence("Ctrl+D"));
        QCOMPARE(MenuItem(form, "Edit", "Delete")->shortcut(), QKeySequence(Qt::Key_Delete));
        QVERIFY(MenuItem(form, "Edit", "Clone Dry")->isVisible());
        QVERIFY(MenuItem(form, "Edit", "Clone Wet")->isVisible());
        QAction* dspMenu = nullptr;
        for (QAction* a : form.menuBar()->actions())
            if (a->text() == "DSP") dspMenu = a;
        QVERIFY(dspMenu);
        QVERIFY(!dspMenu->isVisible());
        QVERIFY(!MenuItem(form, "DSP", "Take Snap")->isVisible());

        form.SetMode(kModeEdit);
        QVERIFY(dspMenu->isVisible());
        QVERIFY(duplicate->isVisible());
        QVERIFY(!MenuItem(form, "Edit", "Clone Dry")->isVisible());
        QVERIFY(!MenuItem(form, "Edit", "Delete")->isVisible());
        QVERIFY(MenuItem(form, "DSP", "Take Snap")->isVisible());
        QCOMPARE(MenuCaptions(form, "DSP"),
                 QStringList({"Take Snap", "-", "Copy Snap", "Cut Snap", "Paste Snap", "Delete Snap", "-",
                              "Make Preset (Stack)", "Make Preset (EQ)", "Make Preset (Stereo Imager)",
                              "Make Preset (Compressor)", "Delete Preset", "-", "Flat Stack", "Flat EQ",
                              "Flat Stereo Imager", "Flat Compressor"}));
        QCOMPARE(MenuItem(form, "DSP", "Take Snap")->shortcut(), QKeySequence("Ctrl+S"));
        QCOMPARE(MenuItem(form, "DSP", "Make Preset (Stack)")->shortcut(), QKeySequence("Ctrl+P"));
        QCOMPARE(MenuItem(form, "DSP", "Flat Stack")->shortcut(), QKeySequence("Ctrl+F"));
        QVERIFY(form.Snaps()->SnapPanel()->isVisible() || !form.isVisible());
        form.SetMode(kModeBrowse);
        QVERIFY(!form.Snaps()->SnapPanel()->isVisibleTo(&form));
    }

    void deleteAndDuplicateOnTheBrowsersSelection() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        TForm1 form(WindowEnv(dir, ui));
        QVERIFY(form.StartupComplete());
        Library lib = AddLibrary(form, dir);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        BrowserController* c = Browser(form);
        QVERIFY(c);
        c->ShowFolder(1);
        QCOMPARE(c->Browser().Count(), 4);
        c->VTape().Add(lib.subs[0]);
        c->VTape().Add(lib.subs[1]);
        c->WorkList().Insert(lib.subs[1]);

        // Ctrl+D on the browser duplicates the selection; the duplicate becomes the selection.
        c->Browser().DeselectAll();
        c->Browser().Select(lib.subs[2]);
        auto* box = form.findChild<TapeBox*>("RegionBrowser");
        box->setFocus();
        QTest::keyClick(box, Qt::Key_D, Qt::ControlModifier);
        QTRY_COMPARE(c->Browser().Count(), 5);
        QCOMPARE(c->Browser().CountSelected(), 1);
        CRegion* dup = c->Browser().SelectedAt(0);
        QCOMPARE(QString::fromStdString(dup->GetName()), QString("take part 2.001"));
        QVERIFY(!c->Browser().IsSelected(lib.subs[2]));

        // Del on two selected regions: the one question with the count; Cancel keeps them.
        c->Browser().DeselectAll();
        c->Browser().Select(lib.subs[0]);
        c->Browser().Select(lib.subs[1]);
        ui.messages.clear();
        ui.questionAnswers = {false};
        QTest::keyClick(box, Qt::Key_Delete);
        QTRY_COMPARE(int(ui.messages.size()), 1);
        QCOMPARE(QString::fromStdString(ui.messages[0].text), QString("2 items selected. Delete?"));
        QCOMPARE(c->Browser().Count(), 5);
        ui.questionAnswers = {true};
        QTest::keyClick(box, Qt::Key_Delete);
        QTRY_COMPARE(c->Browser().Count(), 3);
        QCOMPARE(c->VTape().Count(), 0);
        QCOMPARE(c->WorkList().Count(), 0);
        QCOMPARE(form.Core().SampleList()->Count(), 1);

        // In edit mode the key does nothing.
        form.SetMode(kModeEdit);
        c->Browser().Select(lib.subs[2]);
        ui.messages.clear();
        QVERIFY(!form.Commands().Dispatch("edit.delete"));
        QVERIFY(ui.messages.empty());
    }

    void createFromTheViewersRange() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        TForm1 form(WindowEnv(dir, ui));
        QVERIFY(form.StartupComplete());
        Library lib = AddLibrary(form, dir);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        BrowserController* c = Browser(form);
        form.SetMode(kModeEdit);
        CWaveViewer& viewer = form.WaveViewer();
        viewer.SetRegion(lib.root);
        ui.messages.clear();
        QVERIFY(form.Commands().Dispatch("graph.createRegion"));
        QCOMPARE(int(ui.messages.size()), 1);
        QCOMPARE(QString::fromStdString(ui.messages[0].text),
                 QString("No selection. Please select a portion\nto duplicate, first."));
        viewer.SetRange(true, 2000, 12000);
        // "Duplicate" in edit mode is the same command.
        QVERIFY(form.Commands().Dispatch("edit.duplicate"));
        CRegion* made = c->Browser().GetCurrent();
        QVERIFY(made && made != lib.root);
        QCOMPARE(QString::fromStdString(made->GetName()), QString("take.001"));
        QCOMPARE(made->GetStart(), int64_t(2000));
        QCOMPARE(made->GetEnd(), int64_t(12000));
        QCOMPARE(c->Browser().CountSelected(), 1);
        QVERIFY(c->Browser().IsSelected(made));
        QCOMPARE(form.RegionList()->GetLastShown(), made->GetId());
    }

    void snapListButtonsKeysAndRules() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        TForm1 form(WindowEnv(dir, ui));
        QVERIFY(form.StartupComplete());
        Library lib = AddLibrary(form, dir);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.SetMode(kModeEdit);
        SnapsController* s = form.Snaps();
        QListWidget* list = s->SnapList();
        QVERIFY(list->isVisible());
        QCOMPARE(list->count(), 0);
        QVERIFY(!s->Button(SnapsController::New)->isEnabled());
        // The tick notices the viewer's new region.
        form.WaveViewer().SetRegion(lib.root);
        QTRY_COMPARE(list->count(), 1);
        QCOMPARE(list->item(0)->text(), QString("Flat"));
        QVERIFY(!(list->item(0)->flags() & Qt::ItemIsEditable));
        list->setCurrentRow(0);
        QVERIFY(!s->Button(SnapsController::Delete)->isEnabled());
        QVERIFY(!s->Button(SnapsController::Cut)->isEnabled());
        QVERIFY(!s->Button(SnapsController::Paste)->isEnabled());
        QVERIFY(!s->Button(SnapsController::Rename)->isEnabled());
        QVERIFY(s->Button(SnapsController::Copy)->isEnabled());

        // "New" with the EQ's output changed takes it; the new snap is current and shown so.
        std::string error;
        QVERIFY(form.Core().SetParameter(1, 15, -6.0f, error));
        QTest::mouseClick(s->Button(SnapsController::New), Qt::LeftButton);
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(1)->text(), QString("Unnamed Snap"));
        QCOMPARE(list->currentRow(), 1);
        QVERIFY(s->Button(SnapsController::Delete)->isEnabled());
        // Ctrl+C copies, Ctrl+V pastes a copy that becomes current.
        list->setFocus();
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        QVERIFY(s->Button(SnapsController::Paste)->isEnabled());
        QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(list->count(), 3);
        QCOMPARE(lib.root->Snaps().GetCurrent(), 2);
        // Picking "Flat" applies it; picking the snap brings the EQ back.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        QCOMPARE(lib.root->Snaps().GetCurrent(), 0);
        QCOMPARE(form.Core().Equaliser()->FindControl(15)->Value(), 0.0f);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
        QCOMPARE(form.Core().Equaliser()->FindControl(15)->Value(), -6.0f);
        // The Delete key on the first snap does nothing; on another it deletes.
        list->setCurrentRow(0);
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(list->count(), 3);
        list->setCurrentRow(2);
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(list->count(), 2);
        // Ctrl+X: cut, then the clipboard holds the cut snap.
        QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(list->count(), 3);
        QVERIFY(lib.root->Snaps().Rename(2, "Spare"));
        list->setCurrentRow(2);
        QTest::keyClick(list, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(list->count(), 2);
        QCOMPARE(QString::fromStdString(s->Snaps()->Clipboard()->GetName()), QString("Spare"));
        // "Favorite" marks the current snap.
        QTest::mouseClick(s->Button(SnapsController::Favorite), Qt::LeftButton);
        QCOMPARE(lib.root->Snaps().GetFavourite(), lib.root->Snaps().GetCurrent());
        // The DSP menu's Take Snap and the graph menu's.
        QVERIFY(form.Commands().Dispatch("dsp.takeSnap"));
        QVERIFY(form.Commands().Dispatch("graph.takeSnap"));
        QCOMPARE(list->count(), 4);
        // Renaming through the list's editor.
        list->setCurrentRow(3);
        QTest::mouseClick(s->Button(SnapsController::Rename), Qt::LeftButton);
        QTRY_VERIFY(QApplication::focusWidget() && QApplication::focusWidget() != list);
        QTest::keyClicks(QApplication::focusWidget(), "Bright");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_COMPARE(QString::fromStdString(lib.root->Snaps().At(3)->GetName()), QString("Bright"));

        // The favourite is what a click in browse mode applies.
        form.SetMode(kModeBrowse);
        QVERIFY(form.Core().SetParameter(1, 15, 2.0f, error));
        QVERIFY(form.Core().ApplyRegionSnap(*lib.root, false));
        QCOMPARE(form.Core().Equaliser()->FindControl(15)->Value(), -6.0f);
    }

    void presetTreeAndList() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        TForm1 form(WindowEnv(dir, ui));
        QVERIFY(form.StartupComplete());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        SnapsController* s = form.Snaps();
        QTreeWidget* tree = form.PresetTree();
        QListWidget* list = s->PresetList();
        auto select = [&](int node) {
            for (QTreeWidgetItemIterator it(tree); *it; ++it)
                if ((*it)->data(0, Qt::UserRole).toInt() == node) tree->setCurrentItem(*it);
        };
        // The EQ's factory folder: ten read-only presets.
        select(PresetNode::EQFactory);
        QCOMPARE(list->count(), 10);
        QCOMPARE(list->item(1)->text(), QString("EP01"));
        QVERIFY(!(list->item(1)->flags() & Qt::ItemIsEditable));
        QVERIFY(!form.Commands().Action("presetTree.make")->isEnabled());
        // Clicking EP01 changes the EQ.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
        QCOMPARE(form.Core().Equaliser()->FindControl(15)->Value(), -1.0f);
        // Rename and Delete do nothing there.
        list->setCurrentRow(1);
        form.Commands().Action("presetTree.delete")->trigger();
        QCOMPARE(list->count(), 10);

        // A User folder: "Make DSP Preset" makes one there.
        select(PresetNode::EQUser);
        QCOMPARE(list->count(), 0);
        QVERIFY(form.Commands().Action("presetTree.make")->isEnabled());
        form.Commands().Action("presetTree.make")->trigger();
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->item(0)->text(), QString("Unnamed"));
        QVERIFY(list->item(0)->flags() & Qt::ItemIsEditable);

        // The DSP panel dropped on the list: a preset of the current folder.
        QMimeData mime;
        mime.setData(kDSPPanelMime, "DSPPanel");
        const QPoint at(10, 10);
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &drop);
        QCOMPARE(list->count(), 2);
        // Dropped on the "Stacks" node: a whole-stack preset, and the tree shows its folder.
        select(PresetNode::Stacks);
        const QRect stacks = tree->visualItemRect(tree->currentItem());
        QDragEnterEvent enterTree(stacks.center(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &enterTree);
        QVERIFY2(enterTree.isAccepted(), qPrintable(QString("%1,%2").arg(stacks.x()).arg(stacks.y())));
        QDropEvent onTree(QPointF(stacks.center()), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &onTree);
        QCOMPARE(tree->currentItem()->data(0, Qt::UserRole).toInt(), PresetNode::StacksUser);
        QCOMPARE(list->count(), 1);
        QCOMPARE(form.Core().PresetList()->InFolder(PresetNode::StacksUser).at(0)->Params().kindCount, 4);

        // Delete in the User folder removes the selected user preset.
        list->setCurrentRow(0);
        form.Commands().Action("presetTree.delete")->trigger();
        QCOMPARE(list->count(), 0);
        // "Make Preset (EQ)" from the DSP menu in edit mode; "Flat EQ" undoes EP01.
        form.SetMode(kModeEdit);
        QVERIFY(form.Commands().Dispatch("dsp.makePresetEQ"));
        QCOMPARE(tree->currentItem()->data(0, Qt::UserRole).toInt(), PresetNode::EQUser);
        QCOMPARE(list->count(), 3);
        QVERIFY(form.Commands().Dispatch("dsp.flatEQ"));
        QCOMPARE(form.Core().Equaliser()->FindControl(15)->Value(), 0.0f);
    }
};

QTEST_MAIN(RegionEditWindowTest)
#include "RegionEditWindowTest.moc"
