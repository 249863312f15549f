// The start-up's screen check counts a screen's real pixels, whatever its scale factor.
#include <QTest>
#include <string>

#include "app/ScreenCheck.h"

class ScreenCheckTest : public QObject {
    Q_OBJECT
private slots:
    void realPixelsDecide() {
        std::string message;
        // 2560 x 1440 at scale 2 (1280 x 720 logical) and 1024 x 768 at scale 1 start.
        QCOMPARE(ScreenDeviceSize(QSize(1280, 720), 2.0), QSize(2560, 1440));
        QVERIFY(ScreenLargeEnough(ScreenDeviceSize(QSize(1280, 720), 2.0), message));
        QVERIFY(ScreenLargeEnough(ScreenDeviceSize(QSize(1024, 768), 1.0), message));
        QVERIFY(message.empty());
        // A fractional factor rounds back to the real size: 1920 x 1080 at 1.5 is 1280 x 720.
        QCOMPARE(ScreenDeviceSize(QSize(1280, 720), 1.5), QSize(1920, 1080));
        // A screen that reports no ratio counts its logical pixels.
        QCOMPARE(ScreenDeviceSize(QSize(1024, 768), 0.0), QSize(1024, 768));
    }

    void tooSmallIsRefusedWithTheDisplaySettingsAdvice() {
        const QSize small[] = {QSize(1000, 700), QSize(1023, 768), QSize(1024, 767)};
        for (QSize s : small) {
            std::string message;
            QVERIFY(!ScreenLargeEnough(s, message));
            QCOMPARE(QString::fromStdString(message),
                     QString("The minimum required screen resolution is 1024x768.\n Please change the resolution in "
                             "your system's display settings."));
        }
    }
};

QTEST_MAIN(ScreenCheckTest)
#include "ScreenCheckTest.moc"
