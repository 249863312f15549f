// The "Encoders", "Edit Tags" and "Rename" dialogs, driven with keys and clicks.
#include <QApplication>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <vector>

#include "app/TEditTagsForm.h"
#include "app/TExtEncodersForm.h"
#include "app/TRenameForm.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "WindowTestSupport.h"

namespace {

void Type(QWidget* w, const QString& text) {
    w->setFocus();
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(w, Qt::Key_Delete);
    QTest::keyClicks(w, text);
}

} // namespace

class ExportDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void encodersDialogPresetsChecksAndProfiles() {
        ExtEncoderList list;
        TExtEncodersForm form(list);
        form.chooseProgram = [](QWidget*) { return QString("/bin/sh"); };
        form.show();
        QTRY_VERIFY(form.isVisible());
        QCOMPARE(form.windowTitle(), QString("Encoders"));
        QCOMPARE(form.ComboBox1->count(), 7);
        QCOMPARE(form.ComboBox1->itemText(0), QString("none (edit by hand)"));
        QCOMPARE(form.ComboBox1->itemText(6), QString("VorbisEnc arguments"));
        QCOMPARE(form.Edit1->text(), QString("Unnamed"));
        QVERIFY(form.Edit4->isReadOnly());
        QVERIFY(form.Edit2->text().isEmpty() && form.Edit3->text().isEmpty());

        // Without a program the profile is refused and nothing is shown.
        form.ComboBox1->setFocus();
        for (int i = 0; i < 3; ++i) QTest::keyClick(form.ComboBox1, Qt::Key_Down); // "LAME arguments"
        QCOMPARE(form.Edit2->text(), QString("%s %d -b %k"));
        QCOMPARE(form.Edit3->text(), QString("mp3"));
        QTest::mouseClick(form.Button1, Qt::LeftButton);
        QCOMPARE(form.ListBox1->count(), 0);
        QCOMPARE(form.lastCheck, ProfileCheck::NoProgram);

        QTest::mouseClick(form.Button2, Qt::LeftButton);
        QCOMPARE(form.Edit4->text(), QString("sh"));
        Type(form.Edit1, "LAME");
        QTest::mouseClick(form.Button1, Qt::LeftButton);
        QCOMPARE(form.ListBox1->count(), 1);
        QCOMPARE(list.At(0).folder, std::string("/bin"));
        QCOMPARE(list.At(0).program, std::string("sh"));

        // "%s" twice is refused; "lame" replaces "LAME".
        Type(form.Edit2, "%s %s");
        QTest::mouseClick(form.Button1, Qt::LeftButton);
        QCOMPARE(form.lastCheck, ProfileCheck::TwoInputs);
        Type(form.Edit2, "%s %d");
        Type(form.Edit1, "lame");
        QTest::mouseClick(form.Button1, Qt::LeftButton);
        QCOMPARE(form.ListBox1->count(), 1);
        QCOMPARE(form.ListBox1->item(0)->text(), QString("lame"));
        QVERIFY(!list.UsesBitRate(0));

        Type(form.Edit1, "FLAC");
        form.ComboBox1->setFocus();
        QTest::keyClick(form.ComboBox1, Qt::Key_Up); // "FLAC arguments"
        QCOMPARE(form.Edit2->text(), QString("%s"));
        QTest::mouseClick(form.Button1, Qt::LeftButton);
        QCOMPARE(form.ListBox1->count(), 2);

        // A click loads the profile; Delete removes the selected one.
        QListWidgetItem* first = form.ListBox1->item(0);
        QTest::mouseClick(form.ListBox1->viewport(), Qt::LeftButton, {}, form.ListBox1->visualItemRect(first).center());
        QCOMPARE(form.Edit1->text(), QString("lame"));
        QCOMPARE(form.Edit2->text(), QString("%s %d"));
        QCOMPARE(form.Edit3->text(), QString("mp3"));
        QTest::keyClick(form.ListBox1, Qt::Key_Delete);
        QCOMPARE(list.Count(), 1);
        QCOMPARE(list.At(0).name, std::string("FLAC"));
        QTest::mouseClick(form.Button3, Qt::LeftButton); // nothing selected: nothing happens
        QCOMPARE(list.Count(), 1);
        QTest::mouseClick(form.Button4, Qt::LeftButton);
        QTRY_VERIFY(!form.isVisible());
    }

    void editTagsBatchOffersTheLastValuesAndWritesToAll() {
        std::vector<CRegion*> sel;
        CRegionList owner;
        for (int i = 0; i < 3; ++i) {
            auto* r = new CRegion("r" + std::to_string(i), 0, 10, nullptr, 0, 100 + i, 1);
            r->SetAlbum("old");
            r->SetYear(1999);
            owner.Insert(r);
            sel.push_back(r);
        }
        TagEditSession session;
        bool secondChecked = false;
        OnShow script({[](QDialog* d) {
                           auto* f = qobject_cast<TEditTagsForm*>(d);
                           QVERIFY(f);
                           QCOMPARE(f->windowTitle(), QString("Edit Tags"));
                           QVERIFY(f->windowFlags() & Qt::WindowStaysOnTopHint);
                           QCOMPARE(f->ComboBox4->currentText(), QString("1999"));
                           QCOMPARE(f->ComboBox4->lineEdit()->maxLength(), 4);
                           QCOMPARE(f->ComboBox5->lineEdit()->maxLength(), 31);
                           QCOMPARE(f->ComboBox5->count(), 148);
                           QCOMPARE(f->ComboBox5->itemText(0), QString("A capella"));
                           Type(f->ComboBox1->lineEdit(), "Song");
                           Type(f->ComboBox5->lineEdit(), "Rock");
                           QTest::mouseClick(f->writeButton, Qt::LeftButton);
                       },
                       [&](QDialog* d) {
                           auto* f = qobject_cast<TEditTagsForm*>(d);
                           QCOMPARE(f->ComboBox1->count(), 1);
                           QCOMPARE(f->ComboBox1->itemText(0), QString("Song"));
                           QCOMPARE(f->ComboBox5->itemText(0), QString("Rock"));
                           QCOMPARE(f->ComboBox5->count(), 149);
                           Type(f->ComboBox1->lineEdit(), "");
                           Type(f->ComboBox3->lineEdit(), "New Album");
                           Type(f->ComboBox4->lineEdit(), "");
                           Type(f->ComboBox5->lineEdit(), "");
                           secondChecked = true;
                           QTest::mouseClick(f->writeAllButton, Qt::LeftButton);
                       }});
        QVERIFY(TEditTagsForm::EditSelection(session, sel));
        QVERIFY(secondChecked);
        QCOMPARE(script.next, size_t{2}); // no dialog after "Write Non-Empty Tags To Whole Selection"
        QCOMPARE(sel[0]->GetTitle(), std::string("Song"));
        QCOMPARE(sel[0]->GetGenre(), std::string("Rock"));
        QCOMPARE(sel[0]->GetAlbum(), std::string("old")); // the box showed it and "Write" took it
        for (int i = 1; i < 3; ++i) {
            QCOMPARE(sel[i]->GetAlbum(), std::string("New Album"));
            QCOMPARE(sel[i]->GetTitle(), std::string(""));
            QCOMPARE(sel[i]->GetYear(), 1999);
        }
    }

    void renameBatchEnterMovesFocusAndLongNamesAreRefused() {
        CRegionList list;
        std::vector<CRegion*> sel;
        for (const char* n : {"b", "c", "d"}) {
            auto* r = new CRegion(n, 0, 10, nullptr, 0, -1, 1);
            list.Insert(r);
            sel.push_back(r);
        }
        std::vector<std::string> notices;
        OnShow script(
            {[](QDialog* d) {
                 auto* f = qobject_cast<TRenameForm*>(d);
                 QVERIFY(f);
                 QCOMPARE(f->windowTitle(), QString("Rename"));
                 QCOMPARE(f->Edit1->text(), QString("b"));
                 Type(f->Edit1, "z");
                 QTest::keyClick(f->Edit1, Qt::Key_Return); // moves the focus, takes nothing
                 QVERIFY(f->isVisible());
                 QTRY_VERIFY(f->focusWidget() != f->Edit1);
                 QTest::mouseClick(f->renameButton, Qt::LeftButton);
             },
             [](QDialog* d) {
                 auto* f = qobject_cast<TRenameForm*>(d);
                 f->Edit1->setText(QString(256, 'x'));
                 QTest::mouseClick(f->renameButton, Qt::LeftButton);
             },
             [](QDialog* d) { QTest::mouseClick(qobject_cast<TRenameForm*>(d)->cancelButton, Qt::LeftButton); }});
        const int n = TRenameForm::RenameSelection(list, sel, [&](const std::string& m) { notices.push_back(m); });
        QCOMPARE(n, 1);
        QCOMPARE(script.next, size_t{3});
        QCOMPARE(notices.size(), size_t{1});
        QCOMPARE(notices[0], std::string("Error: Max name size is 255 chars."));
        QCOMPARE(list.At(2)->GetName(), std::string("z"));
        QCOMPARE(sel[1]->GetName(), std::string("c"));
        QCOMPARE(sel[2]->GetName(), std::string("d"));
    }
};

QTEST_MAIN(ExportDialogsTest)
#include "ExportDialogsTest.moc"
