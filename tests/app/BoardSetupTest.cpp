#include <QCheckBox>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/TBoardSetupForm.h"
#include "engine/DriverProbe.h"
#include "engine/NullDevice.h"

// One output and two inputs; the card opens 44.1 kHz at 16 bits only, the second input also
// 48 kHz at 24 bits.
class TwoInputs : public DriverProbe {
public:
    int32_t InputDeviceCount() override { return 3; }
    int32_t OutputDeviceCount() override { return 2; }
    std::string InputDeviceName(int32_t i) override { return i == 0 ? "Mapper" : "Input " + std::to_string(i); }
    std::string OutputDeviceName(int32_t i) override { return i == 0 ? "Mapper" : "Speakers"; }
    bool ProbeInput(int32_t i, int32_t rate, int32_t bits, int32_t ch) override {
        ++probes;
        return ch == 2 && ((rate == 44100 && bits == 16) || (i == 2 && rate == 48000 && bits == 24));
    }
    bool ProbeOutput(int32_t, int32_t rate, int32_t bits, int32_t ch) override {
        ++probes;
        return ch == 2 && rate == 44100 && bits == 16;
    }
    int probes = 0;
};

class BoardSetupTest : public QObject {
    Q_OBJECT
private slots:
    void listsTheDevicesWithTheMapperFirstAndProbesTheSelection() {
        TwoInputs card;
        TBoardSetupForm form(card);
        QCOMPARE(form.windowTitle(), QString("Audio Board Setup"));
        QCOMPARE(form.playbackGroup->title(), QString("Playback Device"));
        QCOMPARE(form.recordGroup->title(), QString("Record Device"));
        QCOMPARE(form.okButton->text(), QString("OK"));
        QCOMPARE(form.cancelButton->text(), QString("Cancel"));
        QVERIFY(form.force24->isHidden());
        QVERIFY(!form.force24->isChecked());

        form.Prepare(0, -1);
        QCOMPARE(form.playbackList->count(), 2);
        QCOMPARE(form.recordList->count(), 3);
        QCOMPARE(form.playbackList->item(0)->text(), QString("Mapper"));
        QCOMPARE(form.playbackList->currentRow(), 1);
        QCOMPARE(form.recordList->currentRow(), 0);
        QCOMPARE(form.playbackProbe->count(), 12);
        QCOMPARE(form.playbackProbe->item(0)->text(), QString("[ 32000 Hz / 16]: no"));
        QCOMPARE(form.playbackProbe->item(1)->text(), QString("[ 44100 Hz / 16]: yes"));
        for (int i = 6; i < 12; ++i) QVERIFY(form.playbackProbe->item(i)->text().endsWith(": no"));
        QCOMPARE(form.playbackProbe->item(11)->text(), QString("[192000 Hz / 24]: no"));

        // Clicking another record entry probes that one.
        form.show();
        QListWidgetItem* second = form.recordList->item(2);
        QTest::mouseClick(form.recordList->viewport(), Qt::LeftButton, {},
                          form.recordList->visualItemRect(second).center());
        QCOMPARE(form.recordList->currentRow(), 2);
        QCOMPARE(form.recordProbe->item(8)->text(), QString("[ 48000 Hz / 24]: yes"));

        // "OK" takes the entries minus one; the mapper is −1.
        form.recordList->setCurrentRow(0);
        QTest::mouseClick(form.okButton, Qt::LeftButton);
        QCOMPARE(form.PlaybackDevice(), 0);
        QCOMPARE(form.RecordDevice(), -1);
    }

    void cancelKeepsTheDevicesAndOkReturnsTheChoice() {
        TwoInputs card;
        TBoardSetupForm form(card);
        int32_t playback = 0, record = 1;
        bool force = false;
        QTimer::singleShot(0, &form, [&] {
            form.playbackList->setCurrentRow(0);
            QTest::mouseClick(form.cancelButton, Qt::LeftButton);
        });
        QVERIFY(!form.Execute(playback, record, force));
        QCOMPARE(playback, 0);
        QCOMPARE(record, 1);
        QTimer::singleShot(0, &form, [&] {
            form.playbackList->setCurrentRow(0);
            QTest::mouseClick(form.okButton, Qt::LeftButton);
        });
        QVERIFY(form.Execute(playback, record, force));
        QCOMPARE(playback, -1);
        QCOMPARE(record, 1);
    }

    void theNullDeviceIsAlwaysListed() {
        CNullDevice null;
        CDeviceList list(nullptr, null);
        TBoardSetupForm form(list);
        form.Prepare(-1, -1);
        QCOMPARE(form.playbackList->count(), 1);
        QCOMPARE(form.playbackList->item(0)->text(), QString(CNullDevice::kName));
        QCOMPARE(form.playbackProbe->item(3)->text(), QString("[ 96000 Hz / 16]: yes"));
    }
};

QTEST_MAIN(BoardSetupTest)
#include "BoardSetupTest.moc"
