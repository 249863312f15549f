#include <QMainWindow>
#include <QTest>
#include <QTimer>

#include "app/QtUiPort.h"

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void progressDisablesTheWindowAndAbortSticksUntilNextOpen() {
        QMainWindow main;
        main.show();
        QtUiPort ui(&main);
        ui.CreateDialogs();
        ui.ProgressOpen(true);
        QVERIFY(!main.isEnabled());
        QVERIFY(ui.gauge()->isVisible());
        QCOMPARE(ui.gauge()->windowTitle(), QString("In Progress..."));
        QCOMPARE(ui.gauge()->abortButton->text(), QString("Abort"));
        QVERIFY(!ui.gauge()->abortButton->isHidden());
        ui.ProgressText("Importing a.wav");
        ui.ProgressBar(42);
        QCOMPARE(ui.gauge()->text->text(), QString("Importing a.wav"));
        QCOMPARE(ui.gauge()->bar->value(), 42);
        QTest::mouseClick(ui.gauge()->abortButton, Qt::LeftButton);
        QVERIFY(ui.ProgressAborted());
        ui.ProgressClose();
        QVERIFY(main.isEnabled());
        QVERIFY(!ui.gauge()->isVisible());
        QVERIFY(ui.ProgressAborted());
        ui.ProgressOpen(false);
        QVERIFY(!ui.ProgressAborted());
        QVERIFY(ui.gauge()->abortButton->isHidden());
        QCOMPARE(ui.gauge()->bar->value(), 0);
        ui.ProgressClose();

        ui.DualOpen();
        QVERIFY(!main.isEnabled());
        ui.DualBars(30, 70);
        QCOMPARE(ui.dualGauge()->overall->value(), 30);
        QCOMPARE(ui.dualGauge()->detail->value(), 70);
        QTest::mouseClick(ui.dualGauge()->abortButton, Qt::LeftButton);
        QVERIFY(ui.DualAborted());
        ui.DualClose();
        QVERIFY(main.isEnabled());
    }

    void escAndTheCloseButtonAbortAndTheProgressStaysUp() {
        QMainWindow main;
        main.show();
        QtUiPort ui(&main);
        ui.CreateDialogs();
        // The double dialog takes the keyboard (the window behind it is disabled): Esc is the
        // abort, and the loop still owns the dialog.
        ui.DualOpen();
        QTRY_VERIFY(ui.dualGauge()->isActiveWindow());
        QTest::keyClick(ui.dualGauge(), Qt::Key_Escape);
        QVERIFY(ui.DualAborted());
        QVERIFY(ui.dualGauge()->isVisible());
        QVERIFY(!main.isEnabled());
        ui.DualClose();
        QVERIFY(!ui.dualGauge()->isVisible());
        QVERIFY(main.isEnabled());
        // The close button too.
        ui.DualOpen();
        QVERIFY(!ui.DualAborted());
        QVERIFY(!ui.dualGauge()->close());
        QVERIFY(ui.DualAborted());
        QVERIFY(ui.dualGauge()->isVisible());
        ui.DualClose();

        // The single dialog with its "Abort" button: the same.
        ui.ProgressOpen(true);
        QTRY_VERIFY(ui.gauge()->isActiveWindow());
        QTest::keyClick(ui.gauge(), Qt::Key_Escape);
        QVERIFY(ui.ProgressAborted());
        QVERIFY(ui.gauge()->isVisible());
        ui.ProgressClose();
        ui.ProgressOpen(true);
        QVERIFY(!ui.gauge()->close());
        QVERIFY(ui.ProgressAborted());
        QVERIFY(ui.gauge()->isVisible());
        ui.ProgressClose();
        // Without the button the operation cannot be stopped: neither aborts nor hides it.
        ui.ProgressOpen(false);
        QTest::keyClick(ui.gauge(), Qt::Key_Escape);
        QVERIFY(!ui.gauge()->close());
        QVERIFY(!ui.ProgressAborted());
        QVERIFY(ui.gauge()->isVisible());
        ui.ProgressClose();
        QVERIFY(main.isEnabled());
    }

    void reportTakesTheCheckBoxOnlyThroughOk() {
        QMainWindow main;
        QtUiPort ui(&main);
        ui.CreateDialogs();
        TReportForm* r = ui.report();
        // Ticked, then closed with Esc: the setting stays, and so it does with the close button.
        bool dontShow = false;
        ui.ReportPrepare("Export Audio Report", &dontShow);
        QTimer::singleShot(0, [r] {
            r->dontShowAgain->setChecked(true);
            QTest::keyClick(r, Qt::Key_Escape);
        });
        ui.ReportShow();
        QVERIFY(!dontShow);
        QTimer::singleShot(0, [r] {
            r->dontShowAgain->setChecked(true);
            r->close();
        });
        ui.ReportShow();
        QVERIFY(!dontShow);
        // The next report starts unticked, so its "Ok" keeps the reports on.
        QTimer::singleShot(0, [r] {
            QVERIFY(!r->dontShowAgain->isChecked());
            QTest::mouseClick(r->okButton, Qt::LeftButton);
        });
        ui.ReportShow();
        QVERIFY(!dontShow);
    }

    void reportOkWritesTheCheckBoxIntoTheSetting() {
        QMainWindow main;
        QtUiPort ui(&main);
        ui.CreateDialogs();
        bool dontShow = false;
        ui.ReportClear();
        ui.ReportAddLine("a.wav", "OK");
        ui.ReportAddLine("b.wav", "No RIFF chunk.");
        ui.ReportPrepare("Import Audio Report", &dontShow);
        TReportForm* r = ui.report();
        QCOMPARE(r->windowTitle(), QString("Import Audio Report"));
        QCOMPARE(r->list->rowCount(), 2);
        QCOMPARE(r->list->horizontalHeaderItem(0)->text(), QString("File"));
        QCOMPARE(r->list->horizontalHeaderItem(1)->text(), QString("Result"));
        QCOMPARE(r->list->item(1, 1)->text(), QString("No RIFF chunk."));
        QCOMPARE(r->dontShowAgain->text(), QString("Don't show this dialog again "));
        QTimer::singleShot(0, [r] {
            r->dontShowAgain->setChecked(true);
            QTest::mouseClick(r->okButton, Qt::LeftButton);
        });
        ui.ReportShow();
        QVERIFY(dontShow);
        QVERIFY(!r->dontShowAgain->isChecked());
        ui.ReportClear();
        QCOMPARE(r->list->rowCount(), 0);
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
