// The browser item's own commands: the close corner deletes (the current region, or with Ctrl
// every selected one, with the delete command's questions), a right press on a label opens the
// region popup with the "Edit" items, and a press on the second label of the current item
// renames it.

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

#include "WindowTestSupport.h"
#include "app/BrowserController.h"
#include "app/CommandTable.h"
#include "app/TForm1.h"
#include "app/TRenameForm.h"
#include "app/TapeBox.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "support/AudioFiles.h"
#include "support/ScriptedUiPort.h"

namespace {

std::vector<float> Noise(double seconds) {
    std::vector<float> v(static_cast<size_t>(seconds * 44100) * 2);
    uint32_t x = 12345;
    for (float& s : v) {
        x = x * 1664525u + 1013904223u;
        s = (static_cast<float>(x >> 8) / 16777216.0f - 0.5f) * 0.5f;
    }
    return v;
}

QPoint Centre(const TapeRect& r) { return QPoint(r.left + r.width / 2, r.top + r.height / 2); }

} // namespace

class BrowserItemTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir, m_sources;
    ScriptedUiPort m_ui;
    std::unique_ptr<TForm1> m_form;
    BrowserController* c = nullptr;
    TapeBox* m_box = nullptr;

    CTape& Browser() { return c->Browser(); }
    int Find(const std::string& name) {
        for (int i = 0; i < Browser().Count(); ++i)
            if (Browser().RegionAt(i)->GetName() == name) return i;
        return -1;
    }
    // The close corner: the 13 × 13 px top-right corner of the thumbnail.
    QPoint Corner(int i) {
        const TapeRect& t = Browser().ItemAt(i).thumb;
        return QPoint(t.left + t.width - 5, t.top + 5);
    }
    bool LaidOut() {
        c->Redraw();
        for (int i = 0; i < Browser().Count(); ++i)
            if (!Browser().ItemAt(i).LaidOut()) return false;
        return true;
    }

private slots:
    void initTestCase() {
        m_form = std::make_unique<TForm1>(WindowEnv(m_dir, m_ui));
        QVERIFY(m_form->StartupComplete());
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        m_box = m_form->findChild<TapeBox*>("RegionBrowser");
        QVERIFY(m_box);
        c = static_cast<BrowserController*>(m_box->property("browserController").value<void*>());
        QVERIFY(c);
        const std::string folder = m_sources.path().toStdString();
        std::vector<std::string> files;
        for (const char* name : {"a.wav", "b.wav", "c.wav", "d.wav"}) {
            QVERIFY(MakeWavFile(folder, name, Noise(0.5), 44100));
            files.push_back(folder + "/" + name);
        }
        m_ui.fileAnswers.push_back(files);
        QVERIFY(m_form->Commands().Dispatch("file.importCopy"));
        QTRY_COMPARE(Browser().Count(), 4);
        QTRY_VERIFY(LaidOut());
    }

    void theCloseCornerDeletesWithTheDeleteQuestions() {
        // A plain press on the corner of the selected item: the region's own question; Cancel
        // keeps it.
        int a = Find("a");
        QTest::mouseClick(m_box, Qt::LeftButton, {}, Centre(Browser().ItemAt(a).thumb));
        QCOMPARE(Browser().GetCurrent(), Browser().RegionAt(a));
        m_ui.messages.clear();
        m_ui.questionAnswers.push_back(false);
        QTest::mouseClick(m_box, Qt::LeftButton, {}, Corner(a));
        QTRY_COMPARE(m_ui.messages.size(), size_t(1));
        QCOMPARE(m_ui.messages[0].caption, std::string("a"));
        QCOMPARE(Find("a"), a);
        // The root region of a stored sample: its own question, then gone.
        m_ui.messages.clear();
        m_ui.questionAnswers.push_back(true);
        QTest::mouseClick(m_box, Qt::LeftButton, {}, Corner(a));
        QTRY_COMPARE(Find("a"), -1);
        QCOMPARE(m_ui.messages.size(), size_t(1));
        QCOMPARE(m_ui.messages[0].text, std::string("Delete root region? (audio file will be removed!)"));
        QCOMPARE(Browser().Count(), 3);

        // With Ctrl, every selected region, asking once with the count.
        QTRY_VERIFY(LaidOut());
        QVERIFY(m_form->Commands().Dispatch("edit.selectAll"));
        QCOMPARE(Browser().CountSelected(), 3);
        m_ui.messages.clear();
        m_ui.questionAnswers.push_back(false);
        QTest::mouseClick(m_box, Qt::LeftButton, Qt::ControlModifier, Corner(0));
        QTRY_COMPARE(m_ui.messages.size(), size_t(1));
        QCOMPARE(m_ui.messages[0].text, std::string("3 items selected. Delete?"));
        QCOMPARE(m_ui.messages[0].caption, std::string("Multiple deletion confirmation"));
        QCOMPARE(Browser().Count(), 3);
    }

    void aRightPressOnALabelOpensTheRegionPopup() {
        QTRY_VERIFY(LaidOut());
        QVERIFY(m_form->Commands().Dispatch("edit.deselectAll"));
        const int b = Find("b");
        QTest::mousePress(m_box, Qt::RightButton, {}, Centre(Browser().ItemAt(b).label));
        auto* menu = m_form->findChild<QMenu*>("RegionPopup");
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        QTest::mouseRelease(m_box, Qt::RightButton, {}, Centre(Browser().ItemAt(b).label));
        // The label selected its item alone, as a left press would.
        QCOMPARE(Browser().GetCurrent(), Browser().RegionAt(b));
        QCOMPARE(Browser().CountSelected(), 1);
        QStringList captions;
        for (QAction* a : menu->actions())
            if (a->isVisible() && !a->isSeparator() && !a->menu()) captions << a->text();
        for (const char* item : {"Export...", "Duplicate", "Clone Dry", "Clone Wet", "Rename...", "Delete"})
            QVERIFY2(captions.contains(item), item);
        menu->hide();
    }

    void theSecondLabelOfTheCurrentItemRenamesIt() {
        QTRY_VERIFY(LaidOut());
        const int c0 = Find("c");
        const QPoint second = Centre(Browser().ItemAt(c0).label2);
        // The first press makes it current; only a press on the current item renames.
        QTest::mouseClick(m_box, Qt::LeftButton, {}, second);
        QCOMPARE(Browser().GetCurrent(), Browser().RegionAt(c0));
        QCoreApplication::processEvents();
        QVERIFY(!QApplication::activeModalWidget());
        bool answered = false;
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* form = qobject_cast<TRenameForm*>(QApplication::activeModalWidget());
            if (!form || answered) return;
            answered = true;
            form->Edit1->setText("cello");
            form->renameButton->click();
        });
        poll.start();
        QTest::mouseClick(m_box, Qt::LeftButton, {}, second);
        QTRY_VERIFY(answered);
        QTRY_VERIFY(Find("cello") >= 0);
        QCOMPARE(Find("c"), -1);
    }

    void theInfoListFollowsEditsOfTheCurrentRegion() {
        QTRY_VERIFY(LaidOut());
        const int d = Find("d");
        QTest::mouseClick(m_box, Qt::LeftButton, {}, Centre(Browser().ItemAt(d).thumb));
        CRegion* region = Browser().GetCurrent();
        QVERIFY(region && region->GetName() == "d");
        auto* info = m_form->findChild<QTreeWidget*>("RegionInfo");
        QVERIFY(info);
        const auto value = [info](const char* label) {
            for (int i = 0; i < info->topLevelItemCount(); ++i)
                if (info->topLevelItem(i)->text(0) == label) return info->topLevelItem(i)->text(1);
            return QString();
        };
        QTRY_VERIFY(!value("Fade In").isEmpty());
        const QString before = value("Fade In");
        // A fade set on the region that stays current (as the fade commands do) shows at once.
        region->SetFadeInLength(22050);
        QTRY_VERIFY(value("Fade In") != before);
        for (const auto& [label, text] : region->InfoList())
            QCOMPARE(value(label.c_str()), QString::fromStdString(text));
    }

    void cleanupTestCase() { m_form.reset(); }
};

QTEST_MAIN(BrowserItemTest)
#include "BrowserItemTest.moc"
