// A sound card that stops taking or giving data while a run uses it: the transfer on the pump
// thread gives up when told, and the card's stream is ended only after it has, never from
// another thread while the pump waits inside the driver, which a driver like PortAudio does
// not promise to survive.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "EngineRig.h"
#include "engine/CPolledStream.h"

namespace {

// What a card saw. Every driver call notes whether another call of the same stream was under
// way; a move of more than the card has room for waits inside the driver, as a blocking
// driver does, until the stream is ended (or a few seconds pass).
struct CardLog {
    int64_t room = 1 << 20;       // frames the card takes at once
    int64_t stallAfter = 1000000; // frames it takes before it stops
    std::atomic<int> inside{0}, overlaps{0}, ends{0}, drops{0}, moves{0};
    std::atomic<int64_t> moved{0};
    std::atomic<bool> ended{false}, waitedInside{false};
    std::mutex lock;
    std::vector<uint8_t> bytes; // what the card was given
};

class StallingDriver : public CPolledDriver {
public:
    StallingDriver(CardLog& log, int32_t frameBytes) : m_log(log), m_frameBytes(frameBytes) {}
    int64_t Available() override {
        Call call(m_log);
        return std::min(m_log.room, std::max<int64_t>(0, m_log.stallAfter - m_log.moved.load()));
    }
    bool Move(uint8_t* data, int64_t frames) override {
        Call call(m_log);
        ++m_log.moves;
        if (m_log.moved.load() + frames > m_log.stallAfter) {
            m_log.waitedInside = true;
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
            while (!m_log.ended.load() && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return false;
        }
        {
            std::lock_guard<std::mutex> hold(m_log.lock);
            m_log.bytes.insert(m_log.bytes.end(), data, data + frames * m_frameBytes);
        }
        m_log.moved += frames;
        return true;
    }
    void End(bool drop) override {
        Call call(m_log);
        ++m_log.ends;
        if (drop) ++m_log.drops;
        m_log.ended = true;
    }

private:
    struct Call {
        explicit Call(CardLog& l) : log(l) {
            if (log.inside.fetch_add(1) != 0) ++log.overlaps;
        }
        ~Call() { --log.inside; }
        CardLog& log;
    };
    CardLog& m_log;
    int32_t m_frameBytes;
};

TEST(PolledStream, MovesWhatTheCardHasRoomForInOrderAndEndsGracefully) {
    CardLog log;
    log.room = 1000;
    std::vector<uint8_t> block(4096 * 4);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7 + i / 251);
    {
        CPolledStream stream(std::make_unique<StallingDriver>(log, 4), 4);
        ASSERT_TRUE(stream.Transfer(block.data(), static_cast<int32_t>(block.size())));
        ASSERT_TRUE(stream.Transfer(block.data(), static_cast<int32_t>(block.size())));
        EXPECT_EQ(log.moves, 10); // 4096 frames in pieces of at most 1000, twice
        EXPECT_EQ(log.ends, 0);
    }
    EXPECT_EQ(log.ends, 1);
    EXPECT_EQ(log.drops, 0); // nothing went wrong: the queued audio plays out
    ASSERT_EQ(log.bytes.size(), 2 * block.size());
    EXPECT_TRUE(std::equal(block.begin(), block.end(), log.bytes.begin()));
    EXPECT_TRUE(std::equal(block.begin(), block.end(), log.bytes.begin() + static_cast<ptrdiff_t>(block.size())));
}

TEST(PolledStream, AStalledTransferGivesUpWhenToldAndTheCardIsEndedOnlyAfterIt) {
    CardLog log;
    log.stallAfter = 3 * 4096;
    auto stream = std::make_unique<CPolledStream>(std::make_unique<StallingDriver>(log, 4), 4);
    std::vector<uint8_t> block(4096 * 4);
    std::atomic<int> transfers{0};
    std::atomic<bool> gaveUp{false};
    std::thread pump([&] {
        while (stream->Transfer(block.data(), static_cast<int32_t>(block.size()))) ++transfers;
        gaveUp = true;
    });
    while (transfers.load() < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(gaveUp.load()); // the fourth transfer waits for the card
    stream->Abort();
    pump.join();
    EXPECT_TRUE(gaveUp.load());
    EXPECT_EQ(log.ends, 0); // telling the transfer to give up did not touch the card
    stream.reset();
    EXPECT_EQ(log.ends, 1);
    EXPECT_EQ(log.drops, 1); // what the card still held is dropped, not waited for
    EXPECT_EQ(log.overlaps, 0);
    EXPECT_FALSE(log.waitedInside);
}

// A host whose cards are stalling streams; the default entry is one of them.
struct StallingHost : DriverProbe {
    CardLog& log;
    explicit StallingHost(CardLog& l) : log(l) {}
    int32_t InputDeviceCount() override { return 2; }
    int32_t OutputDeviceCount() override { return 2; }
    std::unique_ptr<CAudioStream> OpenOutput(int32_t, int32_t channels, int32_t, int32_t bits) override {
        return Open(channels, bits);
    }
    std::unique_ptr<CAudioStream> OpenInput(int32_t, int32_t channels, int32_t, int32_t bits) override {
        return Open(channels, bits);
    }
    std::unique_ptr<CAudioStream> Open(int32_t channels, int32_t bits) {
        const int32_t frameBytes = DeviceFrameBytes(bits, channels);
        return std::make_unique<CPolledStream>(std::make_unique<StallingDriver>(log, frameBytes), frameBytes);
    }
};

TEST(PolledStream, ACardThatStopsEndsPlaybackAndRecordingWithTheirMessagesAndIsEndedOnce) {
    for (const bool output : {true, false}) {
        CardLog log;
        log.stallAfter = 5 * 4096;
        StallingHost host(log);
        EngineRig rig(&host);
        rig.audio->SetDeviceTimeLimit(std::chrono::milliseconds(200));
        if (output) {
            ASSERT_TRUE(WriteSignalWav(rig.dir.Str(), "in.wav", 200000));
            ASSERT_TRUE(rig.playList.AddItem(SignalItem(rig.dir.Str(), "in.wav", 200000, 0, 200000)));
            rig.Play(0, 200000);
        } else {
            RecordingSetup& r = rig.audio->Recording();
            r.file.folder = rig.dir.Str();
            r.file.name = "rec.wav";
            rig.transport.Record();
        }
        ASSERT_TRUE(rig.WaitFor([&] { return !rig.ui.messages.empty() && rig.transport.EngineIdle(); }));
        EXPECT_EQ(rig.ui.messages[0].text, output ? AudioIOThread::kOutputStalled : AudioIOThread::kInputStalled);
        EXPECT_TRUE(rig.transport.IsStopped());
        EXPECT_EQ(log.ends, 1);
        EXPECT_EQ(log.drops, 1);
        EXPECT_EQ(log.overlaps, 0) << (output ? "output" : "input");
        EXPECT_FALSE(log.waitedInside);
        EXPECT_EQ(log.moved, 5 * 4096);
    }
}

} // namespace
