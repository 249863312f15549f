// The preferences through the real window: every key the window writes is changed through its
// menu item (or the area that holds it), survives a restart, and comes back into the menus and
// views; "AutoPlay Range" is off after every start; the storage choice restores its format and
// bit rate; a database without the storage key starts with "No Compression". Also the main
// menu's captions, order and shortcuts in both modes.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <map>
#include <memory>
#include <vector>

#include "app/BrowserController.h"
#include "app/CommandTable.h"
#include "app/TapeBox.h"
#include "app/DSPController.h"
#include "app/EditController.h"
#include "app/MetersController.h"
#include "app/PrefsController.h"
#include "app/TForm1.h"
#include "core/CCore.h"
#include "engine/AudioIOThread.h"
#include "library/CPrefs.h"
#include "support/ScriptedUiPort.h"
#include "views/CAudioDisplay.h"
#include "views/CWaveViewer.h"
#include "WindowTestSupport.h"

namespace {
// Every key the window writes at shutdown, but those of the side sections (25 to 28, 35).
const int kWindowKeys[] = {1,  2,  22, 23, 24, 30, 31, 40, 41, 42, 43, 44,  45,
                           60, 61, 62, 63, 70, 80, 81, 82, 90, 91, 92, 100, 101};

// A later start on the same folder: no VDisk question any more.
StartupEnvironment Again(QTemporaryDir& dir, ScriptedUiPort& ui) {
    StartupEnvironment env = WindowEnv(dir, ui);
    ui.folderAnswers.clear();
    return env;
}

bool Checked(TForm1& form, const char* id) {
    QAction* a = form.Commands().Action(id);
    return a && a->isChecked();
}

void Trigger(TForm1& form, const char* id) {
    QAction* a = form.Commands().Action(id);
    QVERIFY2(a, id);
    a->trigger();
}

int PixelSize(QWidget* w) { return w ? w->font().pixelSize() : -1; }

// The visible, non-separator captions of a menu with their submenus, as "Sub/Item" paths.
void Captions(QMenu* menu, const QString& prefix, QStringList& out) {
    for (QAction* a : menu->actions()) {
        if (!a->isVisible() || a->isSeparator()) continue;
        if (QMenu* sub = a->menu()) {
            out << prefix + a->text();
            Captions(sub, prefix + a->text() + "/", out);
        } else {
            out << prefix + a->text();
        }
    }
}

// True when every entry of got appears in want, in want's order.
bool InOrder(const QStringList& got, const QStringList& want, QString& why) {
    int at = 0;
    for (const QString& g : got) {
        const int i = want.indexOf(g, at);
        if (i < 0) {
            why = "\"" + g + "\" is not expected here or out of order";
            return false;
        }
        at = i + 1;
    }
    return true;
}

// The main menu, complete, in order. Items that come with later work (VST folders, CDDB
// settings, "AutoExpand Panels") may be absent; all others must be there.
const std::map<QString, QStringList>& FullMenu() {
    static const std::map<QString, QStringList> menus = {
        {"File", {"Import Audio File (Copy) ...", "Import Audio File (Link) ...", "Quit"}},
        {"Edit",
         {"Export...",
          "Measure Loudness",
          "Duplicate",
          "Clone Dry",
          "Clone Wet",
          "Rename...",
          "Edit Tags...",
          "Fade",
          "Fade/Fade In To Cursor (Lin)",
          "Fade/Fade In To Cursor (Log)",
          "Fade/Fade In To Cursor (Exp)",
          "Fade/Fade Out From Cursor (Lin)",
          "Fade/Fade Out From Cursor (Log)",
          "Fade/Fade Out From Cursor (Exp)",
          "Fade/Reset Fade In",
          "Fade/Reset Fade Out",
          "Show Region As Range On Root",
          "Delete",
          "New Marker at Cursor",
          "Mark Individual Tracks ",
          "Go to Previous Marker",
          "Go to Next Marker",
          "Select All",
          "Deselect All",
          "Invert Selection",
          "Start Selection At Cursor",
          "End Selection At Cursor"}},
        {"DSP",
         {"Take Snap", "Copy Snap", "Cut Snap", "Paste Snap", "Delete Snap", "Make Preset (Stack)", "Make Preset (EQ)",
          "Make Preset (Stereo Imager)", "Make Preset (Compressor)", "Delete Preset", "Flat Stack", "Flat EQ",
          "Flat Stereo Imager", "Flat Compressor"}},
        {"VTape", {"Export All ...", "Remove", "Select All", "Deselect All"}},
        {"Transport",
         {"Decrease Shuttle Speed", "Pause", "Increase Shuttle Speed", "Micro Decrease Speed", "Reset Speed to 1x",
          "Micro Increase Speed"}},
        {"View",
         {"Zoom", "Zoom/Zoom to Start", "Zoom/Zoom To End", "Zoom/Zoom To Range Start", "Zoom/Zoom To Range End",
          "Zoom/Zoom To Range", "Zoom/Zoom To Fade In", "Zoom/Zoom To Fade Out", "Zoom/Zoom To Cursor",
          "Zoom/Zoom Reset", "Show 'Import Audio' Reports", "Show 'Link Audio' Reports",
          "Show 'Export Audio' Reports"}},
        {"Setup",
         {"Audio Board...", "Windows Mixer...", "VST Folders...", "External Encoders...", "CDDB Settings...",
          "Use SSE DSP Instructions", "AutoExpand Panels", "Audio Storage", "Audio Storage/Compression",
          "Audio Storage/Compression/No Compression", "Audio Storage/Compression/Lossy Compression HQ",
          "Audio Storage/Compression/Lossy Compression SP", "Audio Storage/Compression/Lossy Compression LP",
          "Audio Storage/On Import", "Audio Storage/On Import/Transcode Compressed Files",
          "Audio Storage/On Import/Clone Compressed Files", "Font size", "Font size/Small", "Font size/Medium",
          "Font size/Large", "Meters", "Meters/Scale", "Meters/Scale/Linear", "Meters/Scale/Log 140 dB",
          "Meters/Scale/Log 90 dB", "Meters/Scale/Log 60 dB", "Meters/Scale/Special", "Meters/Hold",
          "Meters/Hold/Shortest", "Meters/Hold/Short", "Meters/Hold/Medium", "Meters/Hold/Long", "Meters/Hold/Longest",
          "Meters/Decay", "Meters/Decay/Slowest", "Meters/Decay/Slow", "Meters/Decay/Medium", "Meters/Decay/Fast",
          "Meters/Decay/Fastest", "Meters/Persistence", "Region Viewer", "Region Viewer/AutoLoop Range",
          "Region Viewer/Scroll Graph When Playing", "Region Viewer/Show As Mono", "Region Viewer/Show As Log",
          // The region graph's LED colours, after the items of the command set.
          "Region Graph", "Region Graph/Blue", "Region Graph/Amber", "Region Graph/Yellow", "Region Graph/Green",
          "Region Graph/Rebuild Graph"}},
        {"Help", {"Help...", "Orbeline Home Page", "About..."}},
    };
    return menus;
}

const QStringList kOptional = {"VST Folders...", "CDDB Settings...", "AutoExpand Panels"};

// The items a mode hides.
const QStringList kBrowseOnly = {"Import Audio File (Copy) ...",
                                 "Import Audio File (Link) ...",
                                 "Clone Dry",
                                 "Clone Wet",
                                 "Rename...",
                                 "Edit Tags...",
                                 "Delete",
                                 "Invert Selection"};
const QStringList kEditOnly = {"New Marker at Cursor",
                               "Mark Individual Tracks ",
                               "Go to Previous Marker",
                               "Go to Next Marker",
                               "Start Selection At Cursor",
                               "End Selection At Cursor",
                               "Fade",
                               "Show Region As Range On Root",
                               "Rebuild Graph"};
const QStringList kEditOnlyMenus = {"DSP", "Transport"};

QString Leaf(const QString& path) { return path.section('/', -1); }
} // namespace

class PreferencesTest : public QObject {
    Q_OBJECT

private slots:
    void everyKeySurvivesARestartAndComesBack() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        int regionTreeHeight = 0, presetTreeHeight = 0;
        bool persistence = false;
        {
            TForm1 form(WindowEnv(dir, ui));
            QVERIFY(form.StartupComplete());
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            // The defaults of a first start.
            QVERIFY(Checked(form, "setup.font.small"));
            QVERIFY(Checked(form, "setup.storage.none"));
            QVERIFY(Checked(form, "setup.onImport.transcode"));
            QVERIFY(Checked(form, "view.showImportReports"));
            QCOMPARE(form.Core().StorageMode(), 0);
            QCOMPARE(form.Core().LossyBitRate(), 400);
            // Every setting away from its default, through the menus where it has an item.
            for (const char* id :
                 {"view.showImportReports", "view.showLinkReports", "view.showExportReports", "setup.viewer.autoLoop",
                  "setup.viewer.scroll", "setup.viewer.mono", "setup.viewer.log", "setup.graph.green", "meters.hold3",
                  "meters.decay1", "setup.font.large", "setup.onImport.clone", "setup.storage.sp"})
                Trigger(form, id);
            persistence = !Checked(form, "meters.persistence");
            Trigger(form, "meters.persistence");
            form.Core().AudioThread()->SetPlaybackDevice(-1);
            form.Core().AudioThread()->SetRecordDevice(-1);
            form.Preferences()->SetAutoPlayAtClick(true);
            form.Preferences()->SetAutoPlayRange(true);
            // The font reaches the trees, the lists and both tapes at once.
            QCOMPARE(PixelSize(form.RegionTree()), 15);
            QCOMPARE(PixelSize(form.PresetTree()), 15);
            QCOMPARE(PixelSize(form.findChild<QWidget*>("RegionNotes")), 15);
            QCOMPARE(form.Core().StorageMode(), 6);
            QCOMPARE(form.Core().LossyBitRate(), 256);
            QCOMPARE(form.DSP()->ValveScheme(), 3);
            QTRY_VERIFY(form.RegionTree()->height() > 40 && form.PresetTree()->height() > 40);
            regionTreeHeight = form.RegionTree()->height();
            presetTreeHeight = form.PresetTree()->height();
            form.close();
        }

        const std::map<int, int> expected = {{1, -1},
                                             {2, -1},
                                             {22, 1},
                                             {23, 1},
                                             {24, 1},
                                             {30, regionTreeHeight},
                                             {31, presetTreeHeight},
                                             {40, 1},
                                             {41, 1},
                                             {42, 1},
                                             {43, 1},
                                             {44, 1},
                                             {45, 1},
                                             {60, 3},
                                             {61, 3},
                                             {62, 1},
                                             {63, persistence ? 1 : 0},
                                             {70, 2},
                                             {80, 1},
                                             {81, 1},
                                             {82, 1},
                                             {90, 2},
                                             {91, 2},
                                             {92, 2},
                                             {100, 0},
                                             {101, 3}};
        std::map<int, int> second;
        {
            TForm1 form(Again(dir, ui));
            QVERIFY(form.StartupComplete());
            CPrefs& prefs = *form.Core().Prefs();
            for (int key : kWindowKeys) {
                const QByteArray what = "key " + QByteArray::number(key);
                QVERIFY2(prefs.Has(key), what.constData());
                QVERIFY2(expected.count(key), what.constData());
                QCOMPARE(prefs.GetInt(key), expected.at(key));
                second[key] = prefs.GetInt(key);
            }
            // ...and the window shows them.
            QVERIFY(!Checked(form, "view.showImportReports"));
            QVERIFY(!Checked(form, "view.showLinkReports"));
            QVERIFY(!Checked(form, "view.showExportReports"));
            for (const char* id : {"setup.viewer.autoLoop", "setup.viewer.scroll", "setup.viewer.mono",
                                   "setup.viewer.log", "setup.graph.green", "meters.hold3", "meters.decay1",
                                   "setup.font.large", "setup.onImport.clone", "setup.storage.sp"})
                QVERIFY2(Checked(form, id), id);
            QCOMPARE(Checked(form, "meters.persistence"), persistence);
            // One radio item per group.
            QVERIFY(!Checked(form, "meters.hold0") && !Checked(form, "meters.decay0"));
            QVERIFY(!Checked(form, "setup.font.small") && !Checked(form, "setup.storage.none"));
            QCOMPARE(form.Meters()->Display().GetHold(), 3);
            QCOMPARE(form.Meters()->Display().GetDecay(), 1);
            QCOMPARE(form.Meters()->Display().GetPersistence(), persistence);
            // The colour scheme on the graph, the meter bridge and the valve amplifier's panel.
            QCOMPARE(form.WaveViewer().ColourScheme(), 3);
            QCOMPARE(form.Meters()->Display().GetColourScheme(), 3);
            QCOMPARE(form.DSP()->ValveScheme(), 3);
            QVERIFY(form.WaveViewer().Mono() && form.WaveViewer().Log());
            QCOMPARE(PixelSize(form.RegionTree()), 15);
            QCOMPARE(PixelSize(form.findChild<QWidget*>("PresetList")), 15);
            QVERIFY(BrowserOf(form));
            QCOMPARE(BrowserOf(form)->Browser().GetTextHeight(), 15);
            QCOMPARE(BrowserOf(form)->VTape().GetTextHeight(), 15);
            QCOMPARE(form.Core().StorageMode(), 6);
            QCOMPARE(form.Core().LossyBitRate(), 256);
            QCOMPARE(form.Core().AudioThread()->PlaybackDevice(), -1);
            QCOMPARE(form.Core().AudioThread()->RecordDevice(), -1);
            QVERIFY(form.Preferences()->AutoPlayAtClick());
            QVERIFY(!form.Preferences()->AutoPlayRange());
            QCOMPARE(form.PresetTree()->maximumHeight(), presetTreeHeight);
            for (int panel = 0; panel < 3; ++panel) {
                QCOMPARE(form.Preferences()->PanelType(panel), 1);
                QCOMPARE(form.Preferences()->ControlColour(panel), 2);
            }
            form.close();
        }
        // Applied and gathered again, the store is the same, but for "AutoPlay Range", which
        // the second start turned off.
        second[45] = 0;
        TForm1 form(Again(dir, ui));
        QVERIFY(form.StartupComplete());
        for (int key : kWindowKeys) {
            const QByteArray what = "key " + QByteArray::number(key);
            QVERIFY2(form.Core().Prefs()->GetInt(key) == second[key], what.constData());
        }
    }

    void fixedSettingsAreResetWhateverWasStored() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        {
            TForm1 form(WindowEnv(dir, ui));
            QVERIFY(form.StartupComplete());
            form.close();
        }
        // A store from elsewhere: "AutoPlay Range" on, other panel types and colours, and values
        // outside every item's range, which must not leave a radio group without a check.
        PatchStore(
            dir,
            {{45, 1}, {80, 3}, {81, 0}, {82, 7}, {90, 0}, {91, 1}, {92, 9}, {61, 9}, {62, -4}, {70, 5}, {31, 100000}});
        TForm1 form(Again(dir, ui));
        QVERIFY(form.StartupComplete());
        QVERIFY(!form.Preferences()->AutoPlayRange());
        for (int panel = 0; panel < 3; ++panel) {
            QCOMPARE(form.Preferences()->PanelType(panel), 1);
            QCOMPARE(form.Preferences()->ControlColour(panel), 2);
        }
        const QByteArray hold = "meters.hold" + QByteArray::number(form.Meters()->Display().GetHold());
        const QByteArray decay = "meters.decay" + QByteArray::number(form.Meters()->Display().GetDecay());
        QVERIFY(Checked(form, hold.constData()));
        QVERIFY(Checked(form, decay.constData()));
        QVERIFY(Checked(form, "setup.font.small"));
        QCOMPARE(PixelSize(form.RegionTree()), 12);
        QVERIFY(form.PresetTree()->maximumHeight() != 100000);
    }

    void aDatabaseWithoutTheStorageKeyStartsWithNoCompression() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        {
            TForm1 form(WindowEnv(dir, ui));
            QVERIFY(form.StartupComplete());
            Trigger(form, "setup.storage.hq");
            form.close();
        }
        // An older database: the storage key's present flag never set.
        ClearFlag(dir, 101);
        TForm1 form(Again(dir, ui));
        QVERIFY(form.StartupComplete());
        QVERIFY(!form.Core().Prefs()->Has(101));
        QVERIFY(Checked(form, "setup.storage.none"));
        QVERIFY(!Checked(form, "setup.storage.hq"));
        QCOMPARE(form.Core().StorageMode(), 0);
        QCOMPARE(form.Core().LossyBitRate(), 400);
    }

    void listsBuiltLaterFollowTheFontSize() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        TForm1 form(WindowEnv(dir, ui));
        QVERIFY(form.StartupComplete());
        Trigger(form, "setup.font.medium");
        QCOMPARE(PixelSize(form.PresetTree()), 14);
        QCOMPARE(BrowserOf(form)->Browser().GetTextHeight(), 14);
        // A list another area makes after the start takes the size at once and every change.
        auto* late = new QTreeWidget(&form);
        form.Preferences()->AddFontTargets({late});
        QCOMPARE(PixelSize(late), 14);
        QCOMPARE(late->viewport()->font().pixelSize(), 14);
        Trigger(form, "setup.font.small");
        QCOMPARE(PixelSize(late), 12);
        QVERIFY(Checked(form, "setup.font.small") && !Checked(form, "setup.font.medium"));
        // A target that went away is skipped.
        delete late;
        Trigger(form, "setup.font.large");
        QCOMPARE(PixelSize(form.RegionTree()), 15);
    }

    void theSetupMetersItemsAreTheContextMenusToo() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        TForm1 form(WindowEnv(dir, ui));
        QVERIFY(form.StartupComplete());
        // Both copies of each radio item are one action, so one check mark shows in both.
        QWidget* meters = form.findChild<QWidget*>("Meters");
        QVERIFY(meters);
        QList<QMenu*> menus = meters->findChildren<QMenu*>();
        QAction* hold = form.Commands().Action("meters.hold4");
        int copies = 0;
        for (QMenu* m : menus)
            if (m->actions().contains(hold)) ++copies;
        QCOMPARE(copies, 1);
        QMenu* setupHold = form.findChild<QMenu*>("menu:Setup/Meters");
        QVERIFY(setupHold);
        bool inSetup = false;
        for (QMenu* m : setupHold->findChildren<QMenu*>())
            if (m->actions().contains(hold)) inSetup = true;
        QVERIFY(inSetup);
        hold->trigger();
        QVERIFY(hold->isChecked());
        QVERIFY(!Checked(form, "meters.hold0"));
        QCOMPARE(form.Meters()->Display().GetHold(), 4);
    }

    void theMainMenuInOrderForEachMode() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        TForm1 form(WindowEnv(dir, ui));
        QVERIFY(form.StartupComplete());
        for (int mode : {kModeBrowse, kModeEdit}) {
            form.SetMode(mode);
            QStringList tops;
            for (QAction* a : form.menuBar()->actions())
                if (a->isVisible() && a->menu()) tops << a->text();
            QString why;
            QStringList order = {"File", "Edit", "DSP", "VTape", "Transport", "View", "Setup", "Help"};
            QVERIFY2(InOrder(tops, order, why), qPrintable(why));
            for (const auto& [top, want] : FullMenu()) {
                QStringList shouldShow;
                for (const QString& item : want) {
                    const bool hidden = (mode == kModeEdit && kBrowseOnly.contains(Leaf(item))) ||
                                        (mode == kModeBrowse &&
                                         (kEditOnly.contains(item.section('/', 0, 0)) ||
                                          kEditOnly.contains(Leaf(item)) || kEditOnlyMenus.contains(top) ||
                                          (top == "View" && item.startsWith("Zoom"))));
                    if (!hidden && !kOptional.contains(Leaf(item))) shouldShow << item;
                }
                QMenu* menu = form.findChild<QMenu*>("menu:" + top);
                const bool shown = menu && menu->menuAction()->isVisible();
                if (shouldShow.isEmpty()) {
                    QVERIFY2(!shown, qPrintable(top + " shown in mode " + QString::number(mode)));
                    continue;
                }
                QVERIFY2(shown, qPrintable(top));
                QStringList got;
                Captions(menu, "", got);
                QVERIFY2(InOrder(got, want, why), qPrintable(top + ": " + why));
                for (const QString& item : shouldShow)
                    QVERIFY2(got.contains(item),
                             qPrintable(top + ": \"" + item + "\" missing in mode " + QString::number(mode)));
            }
            // The region browser's popup menu is the "Edit" menu, item for item, in each mode.
            QMenu* popup = form.findChild<QMenu*>("RegionPopup");
            QVERIFY(popup);
            QStringList edit, fromPopup;
            Captions(form.findChild<QMenu*>("menu:Edit"), "", edit);
            Captions(popup, "", fromPopup);
            QCOMPARE(fromPopup, edit);
        }
    }

    void theShortcutsOfTheMenuItems() {
        QTemporaryDir dir;
        ScriptedUiPort ui;
        TForm1 form(WindowEnv(dir, ui));
        QVERIFY(form.StartupComplete());
        const std::vector<std::pair<const char*, const char*>> keys = {
            {"edit.duplicate", "Ctrl+D"},
            {"edit.delete", "Del"},
            {"edit.newMarker", "Ctrl+M"},
            {"edit.prevMarker", "Shift+Tab"},
            {"edit.nextMarker", "Tab"},
            {"edit.selectAll", "Ctrl+A"},
            {"edit.deselectAll", "Ctrl+Shift+A"},
            {"edit.rangeStartAtCursor", "Ctrl+I"},
            {"edit.rangeEndAtCursor", "Ctrl+O"},
            {"dsp.takeSnap", "Ctrl+S"},
            {"dsp.makePresetStack", "Ctrl+P"},
            {"dsp.flatStack", "Ctrl+F"},
            {"vtape.remove", "Alt+Del"},
            {"vtape.selectAll", "Alt+A"},
            {"vtape.deselectAll", "Alt+Shift+A"},
            {"transport.decShuttle", "Ctrl+J"},
            {"transport.pause", "Ctrl+K"},
            {"transport.incShuttle", "Ctrl+L"},
            {"transport.microDec", "Ctrl+Shift+J"},
            {"transport.resetSpeed", "Ctrl+Shift+K"},
            {"transport.microInc", "Ctrl+Shift+L"},
        };
        std::map<QKeySequence, int> uses;
        for (const auto& [id, key] : keys) {
            QAction* a = form.Commands().Action(id);
            QVERIFY2(a, id);
            QCOMPARE(a->shortcut(), QKeySequence(key));
            ++uses[a->shortcut()];
        }
        // No other row claims one of these keys.
        size_t count = 0;
        const CommandRow* rows = MainWindowCommands(count);
        for (size_t i = 0; i < count; ++i) {
            if (!rows[i].shortcut[0]) continue;
            const QKeySequence k(rows[i].shortcut);
            if (uses.count(k)) QVERIFY2(--uses[k] >= 0, rows[i].id);
        }
    }

private:
    // The preferences block follows the 8,104-byte header: version word, 2,048 flags, values.
    static constexpr qint64 kFlags = 8104 + 4;
    static constexpr qint64 kValues = kFlags + 2048;

    static void PatchStore(QTemporaryDir& dir, const std::map<int, int>& values) {
        QFile f(dir.path() + "/AudioDB/audiodb.adb");
        QVERIFY(f.open(QIODevice::ReadWrite));
        for (const auto& [key, value] : values) {
            QVERIFY(f.seek(kFlags + key));
            QVERIFY(f.putChar(1));
            QVERIFY(f.seek(kValues + 4 * key));
            const quint32 v = static_cast<quint32>(value);
            const char bytes[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
            QCOMPARE(f.write(bytes, 4), qint64(4));
        }
    }

    static void ClearFlag(QTemporaryDir& dir, int key) {
        QFile f(dir.path() + "/AudioDB/audiodb.adb");
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek(kFlags + key));
        QVERIFY(f.putChar(0));
        QVERIFY(f.seek(kValues + 4 * key));
        QCOMPARE(f.write("\0\0\0\0", 4), qint64(4));
    }
};

QTEST_MAIN(PreferencesTest)
#include "PreferencesTest.moc"
