// The order and the counters of the main timer's tick, with steps that only record what they
// were asked to do.
#include <QTest>

#include <string>
#include <vector>

#include "app/MainTimer.h"
#include "common/TransportState.h"
#include "core/EngineSnapshot.h"

namespace {
class RecordingSteps : public MainTimer::Steps {
public:
    std::vector<std::string> log;
    void DrawStateLamp() override { log.push_back("lamp"); }
    void RedrawStateDisplay() override { log.push_back("state"); }
    void Panels(const EngineSnapshot&) override { log.push_back("panels"); }
    void RedrawCounter() override { log.push_back("counter"); }
    void FallStep() override { log.push_back("fall"); }
    void ClearMeters() override { log.push_back("clear"); }
    void FollowPlayPosition(const EngineSnapshot&) override { log.push_back("follow"); }
    void ShowPlaying(const EngineSnapshot&) override { log.push_back("playing"); }
    void ShowRecording(const EngineSnapshot&) override { log.push_back("recording"); }
    int Count(const std::string& what) const {
        int n = 0;
        for (const auto& s : log) n += s == what;
        return n;
    }
};

EngineSnapshot At(int32_t state, int32_t cursor = 0) {
    EngineSnapshot s;
    s.transportState = state;
    s.playCursor = cursor;
    return s;
}
} // namespace

class MainTimerTest : public QObject {
    Q_OBJECT
private slots:
    void renderingTickDoesNothing() {
        MainTimer timer;
        RecordingSteps steps;
        int32_t shown = 0;
        for (int i = 0; i < 20; ++i) timer.Tick(At(kTransportRendering, i * 1000), shown, steps);
        QVERIFY(steps.log.empty());
        QCOMPARE(timer.BlinkCounter(), 0);
        QCOMPARE(shown, 0);
    }

    void lampSwapsEveryEighthTick() {
        MainTimer timer;
        RecordingSteps steps;
        int32_t shown = 0;
        std::vector<int> lampTicks, stateTicks;
        for (int tick = 1; tick <= 32; ++tick) {
            steps.log.clear();
            timer.Tick(At(kTransportStopped), shown, steps);
            if (steps.Count("lamp")) lampTicks.push_back(tick);
            if (steps.Count("state")) stateTicks.push_back(tick);
            // The lamp comes before the panels.
            QCOMPARE(steps.log.back() == "lamp" || steps.log.back() == "state", false);
        }
        QCOMPARE(lampTicks, (std::vector<int>{8, 24}));
        QCOMPARE(stateTicks, (std::vector<int>{16, 32}));
    }

    void playingDrawsOnlyWhenThePositionMoved() {
        MainTimer timer;
        RecordingSteps steps;
        int32_t shown = 500;
        timer.Tick(At(kTransportPlaying, 500), shown, steps);
        QCOMPARE(steps.Count("panels"), 1);
        QCOMPARE(steps.Count("playing"), 0); // a paused device: nothing is redrawn
        QCOMPARE(timer.Falloff(), MainTimer::kFalloffStart);
        timer.Tick(At(kTransportPlaying, 2705), shown, steps);
        QCOMPARE(shown, 2705);
        QCOMPARE(steps.Count("follow"), 1);
        QCOMPARE(steps.Count("playing"), 1);
        // The wave viewer follows before the meters show the position.
        QCOMPARE(steps.log.at(steps.log.size() - 2), std::string("follow"));
        timer.Tick(At(kTransportPlaying, 2705), shown, steps);
        QCOMPARE(steps.Count("playing"), 1);
    }

    void recordingAndMonitoringShowEveryTick() {
        MainTimer timer;
        RecordingSteps steps;
        int32_t shown = 0;
        timer.Tick(At(kTransportRecording), shown, steps);
        timer.Tick(At(kTransportRecording), shown, steps);
        timer.Tick(At(kTransportMonitoring), shown, steps);
        QCOMPARE(steps.Count("recording"), 3);
        QCOMPARE(steps.Count("playing"), 0);
        QCOMPARE(timer.Falloff(), MainTimer::kFalloffStart);
    }

    void metersFallFor199TicksAfterAStopThenClear() {
        MainTimer timer;
        RecordingSteps steps;
        int32_t shown = 0;
        // Quiet at start-up: nothing falls before anything ran.
        timer.Tick(At(kTransportStopped), shown, steps);
        QCOMPARE(steps.Count("fall") + steps.Count("clear") + steps.Count("counter"), 0);

        timer.Tick(At(kTransportPlaying, 100), shown, steps);
        steps.log.clear();
        int ticks = 0;
        while (ticks < 400) {
            timer.Tick(At(kTransportStopped), shown, steps);
            ++ticks;
            if (steps.Count("clear")) break;
        }
        QCOMPARE(ticks, 199);
        QCOMPARE(steps.Count("fall"), 199);
        QCOMPARE(steps.Count("counter"), 1); // the time counter once, at the first stopped tick
        QCOMPARE(timer.Falloff(), 1);
        steps.log.clear();
        for (int i = 0; i < 50; ++i) timer.Tick(At(kTransportStopped), shown, steps);
        QCOMPARE(steps.Count("fall") + steps.Count("clear") + steps.Count("counter"), 0);

        // Playing again within the fall-off ends it at once; the next stop starts a full one.
        timer.Tick(At(kTransportPlaying, 200), shown, steps);
        for (int i = 0; i < 10; ++i) timer.Tick(At(kTransportStopped), shown, steps);
        QCOMPARE(timer.Falloff(), MainTimer::kFalloffStart - 10);
        timer.Tick(At(kTransportPlaying, 300), shown, steps);
        QCOMPARE(timer.Falloff(), MainTimer::kFalloffStart);
        steps.log.clear();
        ticks = 0;
        while (!steps.Count("clear") && ticks < 400) {
            timer.Tick(At(kTransportStopped), shown, steps);
            ++ticks;
        }
        QCOMPARE(ticks, 199);
    }
};

QTEST_APPLESS_MAIN(MainTimerTest)
#include "MainTimerTest.moc"
