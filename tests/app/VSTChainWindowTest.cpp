// The plug-in chain in the window, with the test plug-ins the host's tests build: the "VST
// Folders" dialog and its limit of 20, the "VST Plugins" dialog's messages (it stays open on a
// failure), the chain list's names, the dock's strip, windows, buttons and drag, the program
// menu, "Remove", and the windows closed in browse mode and reopened at their slots in edit mode.
#include <QAction>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <dlfcn.h>
#include <memory>

#include "LateEditorProbe.h"

#include "WindowTestSupport.h"
#include "app/CommandTable.h"
#include "app/SideSections.h"
#include "app/TMinipanelForm.h"
#include "app/TVSTDockingForm.h"
#include "app/TVSTFoldersForm.h"
#include "app/TVSTPluginsForm.h"
#include "app/VSTChainSection.h"
#include "app/VSTEditorWindow.h"
#include "core/CCore.h"
#include "library/CVSTFolders.h"
#include "vst/CVSTEffect.h"
#include "vst/CVSTEffectList.h"

namespace {
const QString kPlugins = TEST_PLUGIN_DIR;
const QString kLatePlugins = LATE_PLUGIN_DIR;
// The test plug-ins' editor rectangle.
constexpr int kEditorW = 300, kEditorH = 100;

QListWidgetItem* Find(QListWidget* list, const QString& text) {
    const auto items = list->findItems(text, Qt::MatchExactly);
    return items.isEmpty() ? nullptr : items.first();
}

QStringList Names(QListWidget* list) {
    QStringList names;
    for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
    return names;
}

// The window, started in its own folder, with the test plug-ins' folder listed.
struct Window {
    QTemporaryDir dir;
    ScriptedUiPort ui;
    std::unique_ptr<TForm1> form;
    Window() {
        form = std::make_unique<TForm1>(WindowEnv(dir, ui));
        form->Core().VSTFolders()->Add(kPlugins.toStdString());
        form->Core().VSTChain()->SetFolders(form->Core().VSTFolders()->Folders());
    }
    VSTChainSection& Section() const { return *form->VSTChain(); }
    TVSTDockingForm& Dock() const { return *Section().Dock(); }
    CVSTEffectList& Chain() const { return *form->Core().VSTChain(); }
    CVSTEffect& At(int i) const { return *Chain().Get(i); }
    void Add(const char* name) {
        int result = 0;
        QVERIFY(Chain().AddEffect(name, result));
    }
    std::string LastMessage() const { return ui.messages.empty() ? "" : ui.messages.back().text; }
};

// The grey of the strip's left and top edges, and whether a lamp's centre glows green.
bool Grey(const QImage& img, int x, int y) { return img.pixelColor(x, y) == QColor(136, 136, 136); }
bool Lit(const QImage& img, int y) {
    const QColor c = img.pixelColor(8, y + 7);
    return c.green() > 150 && c.red() < 150;
}
} // namespace

class VSTChainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void foldersDialogAddsRemovesAndStopsAtTwenty() {
        Window w;
        QVERIFY(w.form->StartupComplete());
        CVSTFolders& folders = *w.form->Core().VSTFolders();
        for (int i = 1; i < 19; ++i) folders.Add("/tmp/vst" + std::to_string(i));
        QCOMPARE(folders.Count(), 19);
        w.ui.folderAnswers = {"/opt/vst-a", "/opt/vst-b"};
        const size_t asked = w.ui.folderTitles.size();
        OnShow steps({[&](QDialog* d) {
            auto* f = static_cast<TVSTFoldersForm*>(d);
            QCOMPARE(f->windowTitle(), QString("VST Folders"));
            QCOMPARE(f->Button1->text(), QString("Add VST Folder..."));
            QCOMPARE(f->Button2->text(), QString("Remove VST Folder"));
            QCOMPARE(f->Button3->text(), QString("Done"));
            QCOMPARE(f->ListBox1->count(), 19);
            QTest::mouseClick(f->Button1, Qt::LeftButton);
            QCOMPARE(f->ListBox1->count(), 20);
            QCOMPARE(f->ListBox1->item(19)->text(), QString("/opt/vst-a"));
            // The twentieth is the last: the picker is not even offered.
            QTest::mouseClick(f->Button1, Qt::LeftButton);
            QCOMPARE(f->ListBox1->count(), 20);
            QCOMPARE(w.ui.folderAnswers.size(), size_t(1));
            // Nothing selected: nothing removed; then the selected one goes.
            f->ListBox1->clearSelection();
            QTest::mouseClick(f->Button2, Qt::LeftButton);
            QCOMPARE(f->ListBox1->count(), 20);
            f->ListBox1->setCurrentRow(1);
            QTest::mouseClick(f->Button2, Qt::LeftButton);
            QCOMPARE(f->ListBox1->count(), 19);
            QTest::mouseClick(f->Button3, Qt::LeftButton);
        }});
        QVERIFY(w.form->Commands().Dispatch("setup.vstFolders"));
        QCOMPARE(steps.next, size_t(1));
        QCOMPARE(w.ui.folderTitles.size(), asked + 1);
        QCOMPARE(folders.Count(), 19);
        QCOMPARE(folders.Get(0), kPlugins.toStdString());
        QCOMPARE(folders.Get(1), std::string("/tmp/vst2"));
        QCOMPARE(folders.Get(18), std::string("/opt/vst-a"));
        // The chain finds its plug-ins in the folders as the dialog left them.
        QCOMPARE(w.Chain().Folders(), folders.Folders());
    }

    void pluginsDialogRefusesWithTheMessagesAndAppendsWhatLoads() {
        Window w;
        QVERIFY(w.form->StartupComplete());
        // A file that is no library at all.
        QTemporaryDir junk;
        QFile bad(junk.path() + "/broken.so");
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("not a library");
        bad.close();
        w.form->Core().VSTFolders()->Add(junk.path().toStdString());
        w.form->SetMode(kModeEdit);
        QVERIFY(w.form->Sections()->IsShown(SideSections::EditDSPChain));

        OnShow steps({[&](QDialog* d) {
                          auto* f = static_cast<TVSTPluginsForm*>(d);
                          QCOMPARE(f->windowTitle(), QString("VST Plugins"));
                          // Sub-folders are searched too; the list is rebuilt at every opening.
                          QVERIFY(Find(f->ListBox1, "tp-gain.so"));
                          QVERIFY(Find(f->ListBox1, "tp-chunks.so"));
                          QVERIFY(Find(f->ListBox1, "broken.so"));
                          QTest::mouseClick(f->Button1, Qt::LeftButton);
                          QCOMPARE(w.LastMessage(), std::string("Select a VST-EFFECT plugin."));
                          const std::pair<const char*, const char*> refused[] = {
                              {"broken.so", "Can't load DLL."},
                              {"tp-noentry.so", "Can't find main proc inside DLL."},
                              {"tp-null.so", "Can't find effect inside DLL."},
                              {"tp-badmagic.so", "Can't find VST magic ID inside DLL."},
                              {"tp-noeditor.so", "This VST had no editor and can't be used."},
                              {"tp-synth.so", "This VST needs MIDI data and can't be used."},
                          };
                          for (const auto& [file, message] : refused) {
                              f->ListBox1->setCurrentItem(Find(f->ListBox1, file));
                              QTest::mouseClick(f->Button1, Qt::LeftButton);
                              QCOMPARE(w.LastMessage(), std::string(message));
                              QVERIFY(f->isVisible());
                          }
                          // A double click without a selection says so too.
                          f->ListBox1->clearSelection();
                          const size_t shown = w.ui.messages.size();
                          emit f->ListBox1->itemDoubleClicked(f->ListBox1->item(0));
                          QCOMPARE(w.ui.messages.size(), shown + 1);
                          QCOMPARE(w.LastMessage(), std::string("Select a VST-EFFECT plugin."));
                          QListWidgetItem* gain = Find(f->ListBox1, "tp-gain.so");
                          f->ListBox1->setCurrentItem(gain);
                          emit f->ListBox1->itemDoubleClicked(gain);
                      },
                      [&](QDialog* d) {
                          auto* f = static_cast<TVSTPluginsForm*>(d);
                          QVERIFY(!f->ListBox1->currentItem() || !f->ListBox1->currentItem()->isSelected());
                          f->ListBox1->setCurrentItem(Find(f->ListBox1, "tp-throws.so"));
                          QTest::mouseClick(f->Button1, Qt::LeftButton);
                      },
                      [&](QDialog* d) {
                          auto* f = static_cast<TVSTPluginsForm*>(d);
                          f->ListBox1->setCurrentItem(Find(f->ListBox1, "tp-chunks.so"));
                          QTest::mouseClick(f->Button2, Qt::LeftButton); // "Cancel"
                      }});
        QVERIFY(w.form->Commands().Dispatch("chain.addEffect"));
        QCOMPARE(w.Chain().Count(), 1);
        QCOMPARE(w.At(0).Name(), std::string("tp-gain.so"));
        // The section's "Add VST" opens the same dialog.
        QTest::mouseClick(w.Section().AddButton(), Qt::LeftButton);
        QTest::mouseClick(w.Section().AddButton(), Qt::LeftButton);
        QCOMPARE(steps.next, size_t(3));
        QCOMPARE(w.Chain().Count(), 2);
        // The list names each by its plug-in's own name, in signal order; the dock shows both.
        QCOMPARE(w.Section().ChainList()->count(), 2);
        QCOMPARE(Names(w.Section().ChainList()), (QStringList{"Test gain", "Test throws"}));
        QVERIFY(w.Dock().isVisible());
        QCOMPARE(w.Dock().height(), 2 * kEditorH);

        // "Remove" without a selection does nothing; with one it takes that effect out and its
        // window with it.
        w.Section().ChainList()->clearSelection();
        QTest::mouseClick(w.Section().RemoveButton(), Qt::LeftButton);
        QCOMPARE(w.Chain().Count(), 2);
        w.Section().ChainList()->setCurrentRow(0);
        QVERIFY(w.form->Commands().Dispatch("chain.removeEffect"));
        QCOMPARE(w.Chain().Count(), 1);
        QCOMPARE(Names(w.Section().ChainList()), QStringList{"Test throws"});
        QCOMPARE(w.Dock().height(), kEditorH);
        QCOMPARE(w.form->findChildren<VSTEditorWindow*>().size(), 1);
        w.Section().ChainList()->setCurrentRow(0);
        QTest::mouseClick(w.Section().RemoveButton(), Qt::LeftButton);
        QCOMPARE(w.Chain().Count(), 0);
        // An empty chain hides the dock.
        QVERIFY(!w.Dock().isVisible());
        QVERIFY(w.form->findChildren<VSTEditorWindow*>().isEmpty());
    }

    void dockStacksTheEditorsWithTheirButtons() {
        Window w;
        QVERIFY(w.form->StartupComplete());
        w.form->SetMode(kModeEdit);
        w.Add("tp-gain.so");
        w.Add("tp-throws.so");
        w.Add("tp-accum.so");
        // A chain changed behind the window's back (as a snap recall does) is laid out and listed
        // at the next tick.
        QTRY_COMPARE(w.Section().ChainList()->count(), 3);
        TVSTDockingForm& dock = w.Dock();
        QVERIFY(dock.isVisible());
        QCOMPARE(dock.pos(), QPoint(100, 100));
        QCOMPARE(dock.size(), QSize(21, 3 * kEditorH));
        for (int i = 0; i < 3; ++i) {
            VSTEditorWindow* e = TVSTDockingForm::EditorOf(w.At(i));
            QVERIFY(e && e->isVisible());
            QCOMPARE(e->geometry(), QRect(121, 100 + i * kEditorH, kEditorW, kEditorH));
            QCOMPARE(QPoint(w.At(i).Left(), w.At(i).Top()), QPoint(121, 100 + i * kEditorH));
            QVERIFY(!TVSTDockingForm::MiniPanelOf(w.At(i)));
        }
        // Black with the grey edge on the left and top; every lamp lit.
        QImage img = dock.Image();
        QVERIFY(Grey(img, 0, 150) && Grey(img, 10, 0));
        QCOMPARE(img.pixelColor(18, 150), QColor(Qt::black));
        for (int i = 0; i < 3; ++i) QVERIFY(Lit(img, i * kEditorH + 37));

        // Collapse the middle one: its mini panel, 200 x 40, named by the plug-in, takes its place.
        QTest::mouseClick(&dock, Qt::LeftButton, {}, QPoint(8, kEditorH + 8));
        QVERIFY(w.At(1).Collapsed());
        QVERIFY(!TVSTDockingForm::EditorOf(w.At(1)));
        TMinipanelForm* mini = TVSTDockingForm::MiniPanelOf(w.At(1));
        QVERIFY(mini && mini->isVisible());
        QCOMPARE(mini->geometry(), QRect(121, 200, 200, 40));
        QCOMPARE(mini->Caption(), QString("Test throws"));
        QVERIFY(w.At(1).Flags() & CVSTEffect::FlagMiniPanelOpen);
        QCOMPARE(dock.height(), 2 * kEditorH + 40);
        QCOMPARE(TVSTDockingForm::EditorOf(w.At(2))->pos(), QPoint(121, 240));
        // Its bypass lamp sits at + 15; a press there bypasses it and puts the lamp out.
        QTest::mouseClick(&dock, Qt::LeftButton, {}, QPoint(8, kEditorH + 20));
        QVERIFY(w.At(1).Bypassed());
        QVERIFY(!Lit(dock.Image(), kEditorH + 15));
        QVERIFY(Lit(dock.Image(), kEditorH + 40 + 37));
        // Expanded again, the editor comes back and the mini panel goes.
        QTest::mouseClick(&dock, Qt::LeftButton, {}, QPoint(8, kEditorH + 5));
        QVERIFY(!w.At(1).Collapsed() && !TVSTDockingForm::MiniPanelOf(w.At(1)));
        QVERIFY(TVSTDockingForm::EditorOf(w.At(1)));
        QVERIFY(w.At(1).Bypassed());

        // The first does not move up, the last does not move down.
        CVSTEffect* first = &w.At(0);
        CVSTEffect* last = &w.At(2);
        QTest::mouseClick(&dock, Qt::LeftButton, {}, QPoint(8, 20));
        QTest::mouseClick(&dock, Qt::LeftButton, {}, QPoint(8, 2 * kEditorH + 30));
        QCOMPARE(&w.At(0), first);
        QCOMPARE(&w.At(2), last);
        // Down from the first: the list follows, and so do the windows.
        QTest::mouseClick(&dock, Qt::LeftButton, {}, QPoint(8, 30));
        QCOMPARE(&w.At(1), first);
        QCOMPARE(Names(w.Section().ChainList()), (QStringList{"Test throws", "Test gain", "Test accum"}));
        QCOMPARE(TVSTDockingForm::EditorOf(*first)->pos(), QPoint(121, 200));
        // Up from the last.
        QTest::mouseClick(&dock, Qt::LeftButton, {}, QPoint(8, 2 * kEditorH + 20));
        QCOMPARE(&w.At(1), last);
        // A press right of the buttons only moves the dock; the windows follow it.
        QTest::mousePress(&dock, Qt::LeftButton, {}, QPoint(19, 150));
        SendMove(&dock, QPoint(19 + 40, 150 + 25), Qt::LeftButton);
        QTest::mouseRelease(&dock, Qt::LeftButton, {}, QPoint(19 + 40, 150 + 25));
        QCOMPARE(dock.pos(), QPoint(140, 125));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(TVSTDockingForm::EditorOf(w.At(i))->pos(), QPoint(161, 125 + i * kEditorH));
        QCOMPARE(w.Chain().Count(), 3);
    }

    void programMenuNamesThePrograms() {
        Window w;
        QVERIFY(w.form->StartupComplete());
        w.form->SetMode(kModeEdit);
        w.Add("tp-gain.so");
        w.Dock().LayoutDock();
        w.At(0).SetProgram(1);
        std::unique_ptr<QMenu> menu(w.Dock().ProgramMenu(0, nullptr));
        QVERIFY(menu);
        QStringList captions;
        for (QAction* a : menu->actions()) captions << a->text();
        QCOMPARE(captions, (QStringList{"Unity", "Half", "Quarter"}));
        // Building the menu leaves the plug-in at the program it was at.
        QCOMPARE(w.At(0).GetProgram(), 1);
        QVERIFY(menu->actions()[1]->isChecked());
        menu->actions()[2]->trigger();
        QCOMPARE(w.At(0).GetProgram(), 2);
        // A right press on the slot opens it.
        QTest::mousePress(&w.Dock(), Qt::RightButton, {}, QPoint(10, 50));
        QMenu* shown = w.Dock().findChild<QMenu*>("VSTProgramMenu");
        QVERIFY(shown);
        QTRY_VERIFY(shown->isVisible());
        shown->close();
    }

    void anEditorSizedOnlyWhenOpenGetsItsSlotAndTheMenuIsCapped() {
        Window w;
        QVERIFY(w.form->StartupComplete());
        w.form->Core().VSTFolders()->Add(kLatePlugins.toStdString());
        w.Chain().SetFolders(w.form->Core().VSTFolders()->Folders());
        void* lib = dlopen((kLatePlugins + "/tp-late.so").toUtf8().constData(), RTLD_NOW | RTLD_LOCAL);
        QVERIFY(lib);
        auto probeOf = reinterpret_cast<LateEditorProbe* (*)()>(dlsym(lib, "LateEditorProbeOf"));
        QVERIFY(probeOf);
        LateEditorProbe& probe = *probeOf();
        // The editor is handed the window's own id, as on X11.
        VSTEditorWindow::ForceEmbedding(true);
        w.form->SetMode(kModeEdit);
        w.Add("tp-late.so");
        w.Add("tp-gain.so");
        w.Dock().LayoutDock();
        VSTEditorWindow* late = TVSTDockingForm::EditorOf(w.At(0));
        QVERIFY(late);
        QCOMPARE(probe.opens, 1);
        QCOMPARE(probe.editorWindow, intptr_t(late->winId()));
        // The size it gives once open is its slot's.
        QCOMPARE(late->size(), QSize(400, 150));
        QCOMPARE(w.Dock().height(), 150 + kEditorH);
        QCOMPARE(TVSTDockingForm::EditorOf(w.At(1))->pos(), QPoint(121, 250));
        // Without a name of its own, the list shows the file's name without ".so".
        w.Section().RefreshList();
        QCOMPARE(Names(w.Section().ChainList()), (QStringList{"tp-late", "Test gain"}));

        // 600 programs: the menu holds 512; programs without a name are numbered from 1; the
        // plug-in, which switches programs to name them, is put back where it was.
        w.At(0).SetProgram(7);
        std::unique_ptr<QMenu> menu(w.Dock().ProgramMenu(0, nullptr));
        QVERIFY(menu);
        QCOMPARE(menu->actions().size(), 512);
        QCOMPARE(menu->actions()[0]->text(), QString("Even 0"));
        QCOMPARE(menu->actions()[1]->text(), QString("Program 2"));
        QCOMPARE(menu->actions()[511]->text(), QString("Program 512"));
        QCOMPARE(w.At(0).GetProgram(), 7);

        // Browse mode closes the plug-in's editor before its window goes.
        w.form->SetMode(kModeBrowse);
        QCOMPARE(probe.closes, 1);
        QCOMPARE(probe.editorWindow, intptr_t(0));
        VSTEditorWindow::ForceEmbedding(false);
    }

    void browseModeClosesEveryWindowAndEditModeReopensThem() {
        Window w;
        QVERIFY(w.form->StartupComplete());
        w.form->SetMode(kModeEdit);
        w.Add("tp-gain.so");
        w.Add("tp-throws.so");
        w.At(0).SetCollapsed(true);
        w.Dock().LayoutDock();
        QVERIFY(TVSTDockingForm::MiniPanelOf(w.At(0)) && TVSTDockingForm::EditorOf(w.At(1)));
        w.form->SetMode(kModeBrowse);
        QVERIFY(!w.Dock().isVisible());
        for (int i = 0; i < 2; ++i) {
            QVERIFY(!TVSTDockingForm::EditorOf(w.At(i)));
            QVERIFY(!TVSTDockingForm::MiniPanelOf(w.At(i)));
            QCOMPARE(w.At(i).Flags() & (CVSTEffect::FlagEditorOpen | CVSTEffect::FlagMiniPanelOpen), 0);
        }
        QVERIFY(w.form->findChildren<VSTEditorWindow*>().isEmpty());
        QVERIFY(w.form->findChildren<TMinipanelForm*>().isEmpty());
        // A tick in browse mode does not bring them back.
        QTest::qWait(120);
        QVERIFY(!w.Dock().isVisible());
        w.form->SetMode(kModeEdit);
        QVERIFY(w.Dock().isVisible());
        QCOMPARE(TVSTDockingForm::MiniPanelOf(w.At(0))->pos(), QPoint(121, 100));
        QCOMPARE(TVSTDockingForm::EditorOf(w.At(1))->pos(), QPoint(121, 140));
        QCOMPARE(w.Dock().height(), 40 + kEditorH);
    }
};

QTEST_MAIN(VSTChainWindowTest)
#include "VSTChainWindowTest.moc"
