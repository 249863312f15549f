// The "Raw File Type" dialog: its lists, defaults, what each entry yields and the remembered
// choice, driven through its real widgets.
#include <QTimer>
#include <QtTest>

#include "app/TRawFileTypeForm.h"

class RawFileTypeFormTest : public QObject {
    Q_OBJECT
private slots:
    void ListsDefaultsYieldsAndRemembers();
};

void RawFileTypeFormTest::ListsDefaultsYieldsAndRemembers() {
    TRawFileTypeForm form;
    QCOMPARE(form.windowTitle(), QString("Raw File Type"));
    QCOMPARE(form.sampleFormat->count(), 8);
    QCOMPARE(form.rate->count(), 7);
    QCOMPARE(form.channels->count(), 2);
    QCOMPARE(form.sampleFormat->itemText(3), QString("32bit LSB-Intel(float -1.0:+1.0)"));
    QCOMPARE(form.rate->itemText(6), QString("192000Hz"));

    // Defaults: 16-bit Intel, 44100 Hz, stereo; "Ok" closes with them.
    RawFileType f;
    bool shown = false;
    QTimer::singleShot(0, [&] {
        shown = form.isVisible();
        QTest::mouseClick(form.okButton, Qt::LeftButton);
    });
    QVERIFY(form.ChooseRawFormat("a.raw", f));
    QVERIFY(shown);
    QCOMPARE(f.bits, 16);
    QCOMPARE(f.sampleType, int32_t(kRawIntLE));
    QCOMPARE(f.rate, 44100);
    QCOMPARE(f.channels, 2u);

    // Each entry's depth and byte-order code.
    const int32_t bits[] = {16, 24, 32, 32, 16, 24, 32, 32};
    const int32_t codes[] = {kRawIntLE, kRawIntLE, kRawIntLE, kRawFloatLE,
                             kRawIntBE, kRawIntBE, kRawIntBE, kRawFloatBE};
    for (int i = 0; i < 8; ++i) {
        form.sampleFormat->setCurrentIndex(i);
        QCOMPARE(form.Selected().bits, bits[i]);
        QCOMPARE(form.Selected().sampleType, codes[i]);
    }

    // A choice made with the keyboard is offered again next time, in a new dialog too.
    QTimer::singleShot(0, [&] {
        form.sampleFormat->setCurrentIndex(7);
        form.rate->setCurrentIndex(4);
        form.channels->setFocus();
        QTest::keyClick(form.channels, Qt::Key_Up);
        QTest::mouseClick(form.okButton, Qt::LeftButton);
    });
    QVERIFY(form.ChooseRawFormat("b.raw", f));
    QCOMPARE(f.sampleType, int32_t(kRawFloatBE));
    QCOMPARE(f.rate, 96000);
    QCOMPARE(f.channels, 1u);
    TRawFileTypeForm second;
    QTimer::singleShot(0, [&] { QTest::keyClick(&second, Qt::Key_Return); });
    RawFileType g;
    QVERIFY(second.ChooseRawFormat("c.raw", g));
    QCOMPARE(g.sampleType, int32_t(kRawFloatBE));
    QCOMPARE(g.bits, 32);
    QCOMPARE(g.rate, 96000);
    QCOMPARE(g.channels, 1u);
}

QTEST_MAIN(RawFileTypeFormTest)
#include "RawFileTypeFormTest.moc"
