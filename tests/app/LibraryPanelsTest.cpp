// The folder panel, the region tree's drops, the Found scan, the search panel and the current
// region's details, driven through the real widgets offscreen.
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/BrowserController.h"
#include "app/RegionDetailsController.h"
#include "app/RegionTree.h"
#include "app/SideSections.h"
#include "app/TForm1.h"
#include "app/TapeBox.h"
#include "common/FolderId.h"
#include "core/CCore.h"
#include "engine/CTransport.h"
#include "library/CDatabase.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "library/CVDisk.h"
#include "support/AudioFiles.h"
#include "support/ScriptedUiPort.h"
#include "WindowTestSupport.h"

class LibraryPanelsTest : public QObject {
    Q_OBJECT

    StartupEnvironment Env(QTemporaryDir& dir, ScriptedUiPort& ui) { return WindowEnv(dir, ui); }

    static BrowserController* BrowserOf(TForm1& form) {
        auto* box = form.findChild<TapeBox*>("RegionBrowser");
        return box ? static_cast<BrowserController*>(box->property("browserController").value<void*>()) : nullptr;
    }

    static QTreeWidgetItem* Node(QTreeWidget* tree, int id) {
        for (QTreeWidgetItemIterator it(tree); *it; ++it)
            if ((*it)->data(0, Qt::UserRole).toInt() == id) return *it;
        return nullptr;
    }

    static void Click(QTreeWidget* tree, QTreeWidgetItem* item) {
        tree->scrollToItem(item);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
    }

    static void Press(TForm1& form, const char* button) {
        auto* b = form.findChild<QPushButton*>(button);
        QVERIFY2(b, button);
        QTest::mouseClick(b, Qt::LeftButton);
    }

    // A drag arriving over a node and let go there, as the desktop delivers it; true when the
    // tree took the drop.
    static bool Drop(QTreeWidget* tree, QTreeWidgetItem* target, QMimeData* mime) {
        tree->scrollToItem(target);
        const QPoint at = tree->visualItemRect(target).center();
        QDragEnterEvent enter(at, Qt::MoveAction, mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(tree->viewport(), &enter);
        QDragMoveEvent move(at, Qt::MoveAction, mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(tree->viewport(), &move);
        QDropEvent drop(QPointF(at), Qt::MoveAction, mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(tree->viewport(), &drop);
        const bool taken = drop.isAccepted();
        delete mime;
        return taken;
    }

    static QMimeData* FromBrowser(const char* source = "browser") {
        auto* mime = new QMimeData;
        mime->setData(TapeBox::kMimeType, QByteArray(source));
        return mime;
    }

    // The window's keys go to a control only while it has the focus, as a click gives it.
    static void Focus(QWidget* w) {
        w->setFocus();
        QTRY_VERIFY(w->hasFocus());
    }
    static void Type(QWidget* w, const QString& text) {
        Focus(w);
        QTest::keyClicks(w, text);
    }

    // Picks the n-th choice of a combo box with the keys.
    static void Choose(QComboBox* box, int n) {
        Focus(box);
        for (int i = 0; i < box->count(); ++i) QTest::keyClick(box, Qt::Key_Up);
        for (int i = 0; i < n; ++i) QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(box->currentIndex(), n);
    }

    static std::vector<std::string> Shown(BrowserController* c) {
        std::vector<std::string> names;
        for (int i = 0; i < c->Browser().Count(); ++i) names.push_back(c->Browser().RegionAt(i)->GetName());
        return names;
    }

private slots:
    void foldersNewRenameIconDelete();
    void movesThatMustBeRefused();
    void regionsDroppedOnAFolder();
    void foundScanDeletesStraysAndRecovers();
    void searchPanel();
    void currentRegionDetails();
};

void LibraryPanelsTest::foldersNewRenameIconDelete() {
    QTemporaryDir dir;
    ScriptedUiPort ui;
    TForm1 form(Env(dir, ui));
    QVERIFY(form.StartupComplete());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTreeWidget* tree = form.RegionTree();
    CRegionList* list = form.RegionList();

    // "New" under "User": a node "NewFolder", selected, for a folder of the next id.
    Click(tree, Node(tree, FolderId::User));
    const int before = list->Count();
    Press(form, "FolderNew");
    QCOMPARE(list->Count(), before + 1);
    QTreeWidgetItem* node = tree->currentItem();
    QVERIFY(node && node->parent() == Node(tree, FolderId::User));
    QCOMPARE(node->text(0), QString("NewFolder"));
    const int id = node->data(0, Qt::UserRole).toInt();
    QVERIFY(id > 1000);
    CRegion* folder = list->FolderById(id);
    QVERIFY(folder && folder->GetParentId() == FolderId::User);
    QCOMPARE(list->GetSelectedFolder(), id);
    // "New" under the new folder nests; under "System" or one of its folders nothing happens.
    Press(form, "FolderNew");
    QCOMPARE(list->Count(), before + 2);
    QCOMPARE(list->FolderById(tree->currentItem()->data(0, Qt::UserRole).toInt())->GetParentId(), id);
    Click(tree, Node(tree, FolderId::System));
    Press(form, "FolderNew");
    Click(tree, Node(tree, FolderId::Found));
    Press(form, "FolderNew");
    QCOMPARE(list->Count(), before + 2);
    QCOMPARE(Node(tree, FolderId::System)->childCount(), 4);

    // "Rename" opens the node's label; Enter gives the folder its new name. A fixed node has no
    // label to edit.
    Click(tree, node);
    Press(form, "FolderRename");
    QLineEdit* editor = nullptr;
    QTRY_VERIFY((editor = tree->viewport()->findChild<QLineEdit*>()) != nullptr && editor->isVisible());
    editor->selectAll();
    QTest::keyClicks(editor, "Drums");
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(QString::fromStdString(folder->GetName()), QString("Drums"));
    QCOMPARE(node->text(0), QString("Drums"));
    // A label longer than the field is cut to 255 characters, on the node as well.
    Press(form, "FolderRename");
    QTRY_VERIFY((editor = tree->viewport()->findChild<QLineEdit*>()) != nullptr && editor->isVisible());
    editor->selectAll();
    QTest::keyClicks(editor, QString(300, 'k'));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(folder->GetName().size(), size_t(255));
    QCOMPARE(node->text(0).size(), 255);
    QVERIFY(!(Node(tree, FolderId::User)->flags() & Qt::ItemIsEditable));
    QVERIFY(!(Node(tree, FolderId::Lost)->flags() & Qt::ItemIsEditable));

    // "Icon": 2, 4, 6, 8, 10, 0, then 2 again; the node shows the icon and the open one above it.
    std::vector<int> icons;
    for (int i = 0; i < 7; ++i) {
        Press(form, "FolderIcon");
        icons.push_back(folder->GetFolderIcon());
        QCOMPARE(node->data(0, Qt::UserRole + 1).toInt(), folder->GetFolderIcon());
        QCOMPARE(node->data(0, Qt::UserRole + 2).toInt(), folder->GetFolderIcon() + 1);
    }
    QCOMPARE(icons, (std::vector<int>{2, 4, 6, 8, 10, 0, 2}));
    QCOMPARE(folder->GetName().size(), size_t(255)); // setting the icon renamed nothing

    // "Delete" of a folder that holds a folder: refused with the notice.
    Press(form, "FolderDelete");
    QVERIFY(list->FolderById(id));
    QVERIFY(!ui.messages.empty());
    QCOMPARE(QString::fromStdString(ui.messages.back().text),
             QString("Folder not empty. Please delete contents first."));
    // Its empty sub-folder goes; its parent is selected and shown.
    QTreeWidgetItem* sub = node->child(0);
    const int subId = sub->data(0, Qt::UserRole).toInt();
    Click(tree, sub);
    Press(form, "FolderDelete");
    QVERIFY(!list->FolderById(subId));
    QVERIFY(!Node(tree, subId));
    QCOMPARE(tree->currentItem(), node);
    QCOMPARE(list->GetSelectedFolder(), id);
    // A folder holding a region is not empty either; a fixed node is never deleted.
    auto* sample = new CSample("x.wav", dir.path().toStdString(), 0, 0, 1000, 2, 16, 1000, 0, 0);
    form.Core().SampleList()->Add(sample);
    list->Insert(new CRegion("inside", 0, 1000, sample, RegionRoot, -1, id));
    const size_t notices = ui.messages.size();
    Press(form, "FolderDelete");
    QVERIFY(list->FolderById(id));
    QCOMPARE(ui.messages.size(), notices + 1);
    Click(tree, Node(tree, FolderId::User));
    Press(form, "FolderDelete");
    QVERIFY(Node(tree, FolderId::User));
    QCOMPARE(ui.messages.size(), notices + 1);
    form.close();
}

void LibraryPanelsTest::movesThatMustBeRefused() {
    QTemporaryDir dir;
    ScriptedUiPort ui;
    TForm1 form(Env(dir, ui));
    QVERIFY(form.StartupComplete());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTreeWidget* tree = form.RegionTree();
    CRegionList* list = form.RegionList();
    // A and C under "User", B inside A.
    auto newFolderUnder = [&](int parent) {
        // A click on the node already selected would open its label for editing.
        if (tree->currentItem() != Node(tree, parent)) Click(tree, Node(tree, parent));
        Press(form, "FolderNew");
        return tree->currentItem()->data(0, Qt::UserRole).toInt();
    };
    const int a = newFolderUnder(FolderId::User);
    const int b = newFolderUnder(a);
    const int c = newFolderUnder(FolderId::User);
    auto parentNodeOf = [&](int id) { return RegionTree::FolderIdOf(Node(tree, id)->parent()); };

    // A onto its own sub-folder B, onto itself, B onto its present parent, A onto "User" and onto
    // a system folder: each refused, tree and list unchanged.
    QVERIFY(!Drop(tree, Node(tree, b), RegionTree::FolderMime(a)));
    QVERIFY(!Drop(tree, Node(tree, a), RegionTree::FolderMime(a)));
    QVERIFY(!Drop(tree, Node(tree, a), RegionTree::FolderMime(b)));
    QVERIFY(!Drop(tree, Node(tree, FolderId::User), RegionTree::FolderMime(a)));
    QVERIFY(!Drop(tree, Node(tree, FolderId::Lost), RegionTree::FolderMime(a)));
    QCOMPARE(list->FolderById(a)->GetParentId(), FolderId::User);
    QCOMPARE(list->FolderById(b)->GetParentId(), a);
    QCOMPARE(parentNodeOf(a), int(FolderId::User));
    QCOMPARE(parentNodeOf(b), a);

    // C onto B: deeper inside A. Then A onto C, which now lies inside A: refused.
    QVERIFY(Drop(tree, Node(tree, b), RegionTree::FolderMime(c)));
    QCOMPARE(list->FolderById(c)->GetParentId(), b);
    QCOMPARE(parentNodeOf(c), b);
    QVERIFY(!Drop(tree, Node(tree, c), RegionTree::FolderMime(a)));
    QCOMPARE(list->FolderById(a)->GetParentId(), FolderId::User);
    // B (with C) onto a new folder D under "User": the node carries its children along.
    const int d = newFolderUnder(FolderId::User);
    QVERIFY(Drop(tree, Node(tree, d), RegionTree::FolderMime(b)));
    QCOMPARE(parentNodeOf(b), d);
    QCOMPARE(parentNodeOf(c), b);
    QCOMPARE(list->FolderById(b)->GetParentId(), d);
    // The fixed nodes cannot be dragged at all.
    QVERIFY(!(Node(tree, FolderId::Found)->flags() & Qt::ItemIsDragEnabled));
    QVERIFY(Node(tree, a)->flags() & Qt::ItemIsDragEnabled);
    form.close();
}

void LibraryPanelsTest::regionsDroppedOnAFolder() {
    QTemporaryDir dir;
    ScriptedUiPort ui;
    TForm1 form(Env(dir, ui));
    QVERIFY(form.StartupComplete());
    CRegionList* list = form.RegionList();
    auto* sample = new CSample("x.wav", dir.path().toStdString(), 0, 0, 1000, 2, 16, 100000, 0, 0);
    form.Core().SampleList()->Add(sample);
    std::vector<CRegion*> r;
    for (int i = 0; i < 3; ++i) {
        r.push_back(new CRegion("take " + std::to_string(i), 0, 1000, sample, 0, -1, FolderId::User));
        list->Insert(r.back());
    }
    r[1]->SetFlags(r[1]->GetFlags() | RegionFound);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTreeWidget* tree = form.RegionTree();
    Click(tree, Node(tree, FolderId::User));
    Press(form, "FolderNew");
    const int target = tree->currentItem()->data(0, Qt::UserRole).toInt();
    Click(tree, Node(tree, FolderId::User));
    BrowserController* c = BrowserOf(form);
    QVERIFY(c);
    QTRY_COMPARE(c->Browser().Count(), 3);

    // The first two regions selected with the mouse in the browser.
    auto* box = form.findChild<TapeBox*>("RegionBrowser");
    QTRY_VERIFY(box->width() > 400);
    const int cell = (box->width() - 14) / 4;
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(cell / 2, 20));
    QTest::mouseClick(box, Qt::LeftButton, Qt::ShiftModifier, QPoint(cell + cell / 2, 20));
    QCOMPARE(c->Browser().CountSelected(), 2);

    // Onto "System", onto a system folder, or from the VTape: nothing moves.
    QVERIFY(!Drop(tree, Node(tree, FolderId::System), FromBrowser()));
    QVERIFY(!Drop(tree, Node(tree, FolderId::Today), FromBrowser()));
    QVERIFY(!Drop(tree, Node(tree, target), FromBrowser("vtape")));
    QCOMPARE(r[0]->GetParentId(), int(FolderId::User));
    // Onto the new folder: both move there, the Found mark goes, and "User" is shown again.
    QVERIFY(Drop(tree, Node(tree, target), FromBrowser()));
    QCOMPARE(r[0]->GetParentId(), target);
    QCOMPARE(r[1]->GetParentId(), target);
    QCOMPARE(r[2]->GetParentId(), int(FolderId::User));
    QVERIFY(!(r[1]->GetFlags() & RegionFound));
    QCOMPARE(Shown(c), std::vector<std::string>{"take 2"});
    // And back onto "User" from the folder.
    Click(tree, Node(tree, target));
    QTRY_COMPARE(c->Browser().Count(), 2);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(cell / 2, 20));
    QVERIFY(Drop(tree, Node(tree, FolderId::User), FromBrowser()));
    QCOMPARE(r[0]->GetParentId(), int(FolderId::User));
    QCOMPARE(Shown(c), std::vector<std::string>{"take 1"});
    form.close();
}

void LibraryPanelsTest::foundScanDeletesStraysAndRecovers() {
    QTemporaryDir dir;
    ScriptedUiPort ui;
    TForm1 form(Env(dir, ui));
    QVERIFY(form.StartupComplete());
    std::string vdisk;
    const DbLibrary lib = form.Core().Library();
    QVERIFY(lib.vdisk->FolderOf(lib.vdisk->CurrentSerial(), vdisk));
    // A 500-byte stray, a real WAV file no region claims, and a claimed one.
    std::ofstream(vdisk + "/stray.bin", std::ios::binary) << std::string(500, 's');
    std::vector<float> audio(2 * 4410);
    for (size_t i = 0; i < audio.size(); ++i) audio[i] = static_cast<float>((i % 200) / 400.0);
    QVERIFY(MakeWavFile(vdisk, "261209120000.wav", audio, 44100));
    QVERIFY(MakeWavFile(vdisk, "261209120001.wav", audio, 44100));
    auto* claimed = new CSample("261209120001.WAV", vdisk, 1, lib.vdisk->CurrentSerial(), 44100, 2, 16, 4410, 0,
                                std::filesystem::file_size(vdisk + "/261209120001.wav"));
    form.Core().SampleList()->Add(claimed);
    form.RegionList()->Insert(new CRegion("claimed", 0, 4410, claimed, RegionRoot, -1, FolderId::User));
    const int before = form.RegionList()->Count();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTreeWidget* tree = form.RegionTree();
    BrowserController* c = BrowserOf(form);

    // While the transport runs (a recording writes into the VDisk) the scan leaves the files alone.
    CTransport* transport = form.Core().Transport();
    transport->Monitor();
    QVERIFY(!transport->IsStopped());
    Click(tree, Node(tree, FolderId::Found));
    QCoreApplication::processEvents(); // the scan, queued behind the selection
    QVERIFY(std::filesystem::exists(vdisk + "/stray.bin"));
    QCOMPARE(form.RegionList()->Count(), before);
    transport->Stop();
    Click(tree, Node(tree, FolderId::User));
    Click(tree, Node(tree, FolderId::Found));
    QTRY_VERIFY(!std::filesystem::exists(vdisk + "/stray.bin"));
    QTRY_COMPARE(form.RegionList()->Count(), before + 1);
    // The real file came back as a stored sample, its root region marked Found, shown in Found.
    CRegion* found = nullptr;
    form.RegionList()->ForEach([&](CRegion* r) {
        if (r->GetSample() && r->GetSample()->GetFileName() == "261209120000.wav") found = r;
    });
    QVERIFY(found);
    QVERIFY(found->GetFlags() & RegionFound);
    QVERIFY(found->GetSample()->IsStored());
    QCOMPARE(found->GetEnd(), int64_t(4410));
    QTRY_COMPARE(Shown(c), std::vector<std::string>{found->GetName()});
    QVERIFY(std::filesystem::exists(vdisk + "/261209120000.wav"));
    QVERIFY(std::filesystem::exists(vdisk + "/261209120001.wav"));
    QVERIFY(std::find(ui.progressTexts.begin(), ui.progressTexts.end(), "Recovering file 1 of 1\n261209120000.wav") !=
            ui.progressTexts.end());
    QVERIFY(!ui.progressVisible);
    // Selecting "Found" again finds nothing new to bring back.
    Click(tree, Node(tree, FolderId::User));
    Click(tree, Node(tree, FolderId::Found));
    QTRY_COMPARE(c->Browser().Count(), 1);
    QCoreApplication::processEvents(); // the scan, queued behind the selection
    QCOMPARE(form.RegionList()->Count(), before + 1);
    form.close();
}

void LibraryPanelsTest::searchPanel() {
    QTemporaryDir dir;
    ScriptedUiPort ui;
    TForm1 form(Env(dir, ui));
    QVERIFY(form.StartupComplete());
    CRegionList* list = form.RegionList();
    auto* sample = new CSample("x.wav", dir.path().toStdString(), 0, 0, 1000, 2, 16, 1000000, 0, 0);
    form.Core().SampleList()->Add(sample);
    auto add = [&](const std::string& name, int64_t frames, const std::string& notes = "",
                   const std::string& genre = "") {
        auto* r = new CRegion(name, 0, frames, sample, 0, -1, FolderId::User);
        r->SetNotes(notes);
        r->SetGenre(genre);
        list->Insert(r);
        return r;
    };
    add("Live Piano Take", 1000);
    add("Piano solo", 1000, "live in the hall");
    add("Blues", 89900, "", "Piano");
    add("Ballad", 90000);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    BrowserController* c = BrowserOf(form);
    auto* text = form.findChild<QLineEdit*>("SearchText");
    auto* field = form.findChild<QComboBox*>("SearchField");
    auto* operation = form.findChild<QComboBox*>("SearchOperation");
    auto* scope = form.findChild<QComboBox*>("SearchScope");
    QVERIFY(text && field && operation && scope);
    // The choices, their texts and the defaults.
    QCOMPARE(scope->count(), 3);
    QCOMPARE(scope->currentText(), QString("All folders"));
    QCOMPARE(operation->itemText(5), QString("Remove non matching"));
    QCOMPARE(operation->currentText(), QString("Show matching"));
    QCOMPARE(field->currentText(), QString("All Fields"));
    QCOMPARE(field->itemText(6), QString("Genre"));
    QCOMPARE(form.findChild<QCheckBox*>("SearchLongerOn")->text(), QString("Longer then"));
    QCOMPARE(form.findChild<QCheckBox*>("SearchShorterOn")->text(), QString("Shorter then"));

    // piano live in "All Fields": only the region whose one field holds both words.
    Type(text, "piano LIVE");
    Press(form, "SearchButton");
    QCOMPARE(Shown(c), std::vector<std::string>{"Live Piano Take"});
    // "Add matching" keeps what is shown and adds the new matches.
    text->clear();
    Type(text, "solo");
    Choose(operation, 1);
    Press(form, "SearchButton");
    QCOMPARE(Shown(c), (std::vector<std::string>{"Live Piano Take", "Piano solo"}));
    // "Remove matching" of "take", by Enter in the words.
    text->clear();
    Type(text, "take");
    Choose(operation, 2);
    Focus(text);
    QTest::keyClick(text, Qt::Key_Return);
    QCOMPARE(Shown(c), std::vector<std::string>{"Piano solo"});

    // "Genre" finds the word in the genre; "All Fields" does not look there.
    Choose(operation, 0);
    text->clear();
    Type(text, "piano");
    Choose(field, 6);
    Press(form, "SearchButton");
    QCOMPARE(Shown(c), std::vector<std::string>{"Blues"});
    Choose(field, 0);
    Press(form, "SearchButton");
    QCOMPARE(Shown(c), (std::vector<std::string>{"Live Piano Take", "Piano solo"}));
    // A look at the panels for people: SONQUIL_SCREENSHOT=/path/to.png
    if (qEnvironmentVariableIsSet("SONQUIL_SCREENSHOT")) {
        QTest::mouseClick(form.findChild<TapeBox*>("RegionBrowser"), Qt::LeftButton, {}, QPoint(20, 20));
        form.grab().toImage().save(qEnvironmentVariable("SONQUIL_SCREENSHOT"));
    }

    // "Longer then" 01m 30s: 89.9 s is out, exactly 90 s is in.
    text->clear();
    QTest::mouseClick(form.findChild<QCheckBox*>("SearchLongerOn"), Qt::LeftButton);
    auto* longer = form.findChild<QLineEdit*>("SearchLonger");
    Focus(longer);
    longer->home(false);
    QTest::keyClicks(longer, "0130");
    QCOMPARE(longer->displayText(), QString("01m 30s"));
    Press(form, "SearchButton");
    QCOMPARE(Shown(c), std::vector<std::string>{"Ballad"});
    // "Shorter then" 01m 30s as well: only the region of exactly 90 s passes both.
    QTest::mouseClick(form.findChild<QCheckBox*>("SearchShorterOn"), Qt::LeftButton);
    auto* shorter = form.findChild<QLineEdit*>("SearchShorter");
    Focus(shorter);
    shorter->home(false);
    QTest::keyClicks(shorter, "0130");
    Press(form, "SearchButton");
    QCOMPARE(Shown(c), std::vector<std::string>{"Ballad"});
    QTest::mouseClick(form.findChild<QCheckBox*>("SearchLongerOn"), Qt::LeftButton);
    Press(form, "SearchButton");
    QCOMPARE(Shown(c), (std::vector<std::string>{"Ballad", "Blues", "Live Piano Take", "Piano solo"}));
    form.close();
}

void LibraryPanelsTest::currentRegionDetails() {
    QTemporaryDir dir;
    ScriptedUiPort ui;
    TForm1 form(Env(dir, ui));
    QVERIFY(form.StartupComplete());
    CRegionList* list = form.RegionList();
    const std::string folder = dir.path().toStdString();
    QVERIFY(MakeWavFile(folder, "song.wav", std::vector<float>(2000, 0.25f), 1000));
    auto* sample = new CSample("song.wav", folder, 0, 0, 1000, 2, 16, 1000, 0, 0);
    auto* gone = new CSample("gone.wav", folder, 0, 0, 1000, 2, 16, 1000, 0, 0);
    form.Core().SampleList()->Add(sample);
    form.Core().SampleList()->Add(gone);
    CRegion* root = new CRegion("song", 0, 1000, sample, RegionRoot, -1, FolderId::User);
    CRegion* part = new CRegion("song.001", 100, 600, sample, 0, -1, FolderId::User);
    CRegion* lost = new CRegion("lost one", 0, 1000, gone, RegionRoot, -1, FolderId::User);
    root->SetNotes("first notes");
    list->Insert(root);
    list->Insert(part);
    list->Insert(lost);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Click(form.RegionTree(), Node(form.RegionTree(), FolderId::System));
    Click(form.RegionTree(), Node(form.RegionTree(), FolderId::User));
    BrowserController* c = BrowserOf(form);
    QTRY_COMPARE(c->Browser().Count(), 3);
    auto* box = form.findChild<TapeBox*>("RegionBrowser");
    QTRY_VERIFY(box->width() > 400);
    const int cell = (box->width() - 14) / 4;
    auto* info = form.findChild<QTreeWidget*>("RegionInfo");
    auto* same = form.findChild<QListWidget*>("SameSampleRegions");
    auto* notes = form.findChild<QPlainTextEdit*>("RegionNotes");
    QVERIFY(info && same && notes);
    QCOMPARE(notes->toolTip(), QString(RegionDetailsController::kNotesHint));

    // Browser order: "lost one", "song", "song.001". A click on "song" shows its details.
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(cell + cell / 2, 20));
    QCOMPARE(c->Browser().GetCurrent(), root);
    // The region's twenty rows, then the loudness rows, empty until "Measure Loudness".
    QCOMPARE(info->topLevelItemCount(), 23);
    QCOMPARE(info->topLevelItem(0)->text(0), QString("Title"));
    QCOMPARE(info->topLevelItem(19)->text(0), QString("Right Peak"));
    QCOMPARE(info->topLevelItem(20)->text(0), QString("Loudness"));
    QCOMPARE(info->topLevelItem(21)->text(0), QString("Loudness Range"));
    QCOMPARE(info->topLevelItem(22)->text(0), QString("True Peak"));
    for (int row = 20; row < 23; ++row) QCOMPARE(info->topLevelItem(row)->text(1), QString());
    QCOMPARE(info->topLevelItem(10)->text(0), QString("Length"));
    QCOMPARE(info->topLevelItem(10)->text(1), QString("0:00:01:00"));
    QCOMPARE(notes->toPlainText(), QString("first notes"));
    // The regions of the same sample, the current one selected; a linked WAV root is icon 0, a
    // part of it icon 2.
    QCOMPARE(same->count(), 2);
    QCOMPARE(same->item(0)->text(), QString("song"));
    QCOMPARE(same->currentRow(), 0);
    QCOMPARE(same->item(0)->data(Qt::UserRole).toInt(), 0);
    QCOMPARE(same->item(1)->data(Qt::UserRole).toInt(), 2);

    // "Save" keeps the box as the region's notes, cut to 255 bytes; the box takes typing while
    // its section is open.
    form.Sections()->HeaderClicked(SideSections::EditRegionNotes);
    QVERIFY(notes->isEnabled());
    notes->clear();
    Type(notes, "new words");
    Press(form, "NotesSave");
    QCOMPARE(root->GetNotes(), std::string("new words"));
    notes->setPlainText(QString(300, 'n'));
    Press(form, "NotesSave");
    QCOMPARE(root->GetNotes().size(), size_t(255));
    QCOMPARE(notes->toPlainText().size(), 255);

    // A click on the second row makes "song.001" current in the browser and on the VTape's side.
    QTest::mouseClick(same->viewport(), Qt::LeftButton, {}, same->visualItemRect(same->item(1)).center());
    QTRY_COMPARE(c->Browser().GetCurrent(), part);
    QVERIFY(c->Browser().IsSelected(part));
    QTRY_COMPARE(info->topLevelItem(10)->text(1), QString("0:00:00:50"));
    QTRY_COMPARE(same->currentRow(), 1);
    QCOMPARE(notes->toPlainText(), QString());

    // A region whose file is not there shows icon 12.
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(cell / 2, 20));
    QTRY_COMPARE(same->count(), 1);
    QCOMPARE(same->item(0)->data(Qt::UserRole).toInt(), 12);
    form.close();
}

QTEST_MAIN(LibraryPanelsTest)
#include "LibraryPanelsTest.moc"
