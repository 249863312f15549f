#pragma once
// What a test plug-in records of the host's calls (see TestPlugin.cpp).
#include <atomic>
#include <cstdint>

struct TestProbe {
    static constexpr int kMaxCalls = 4096;
    static constexpr int kMaxChunk = 64;
    struct Call {
        int32_t opcode;
        int32_t index;
        int64_t value;
        float opt;
    };
    // Dispatcher calls in order (main thread only).
    Call calls[kMaxCalls] = {};
    std::atomic<int> callCount{0};
    // The host callback's answers, asked at effOpen.
    int32_t hostVersion = 0, hostBlock = 0, canSupplyIdle = -1, canOther = -1, hostUnknown = -1;
    char vendor[64] = {}, product[64] = {};
    // Bytes given with effSetChunk.
    uint8_t chunk[kMaxChunk] = {};
    int32_t chunkSize = 0;
    intptr_t editorWindow = 0;
    std::atomic<int> instances{0};
    std::atomic<int> closed{0};
    std::atomic<int32_t> mains{-1};
    std::atomic<float> rate{0.0f};
    // The audio side. A rate told to an instance while a block is inside it counts here.
    std::atomic<int> rateChangedWhileProcessing{0};
    std::atomic<int32_t> maxBlock{0};
    std::atomic<int64_t> frames{0};
    std::atomic<float> rateAtProcess{0.0f};
    std::atomic<int32_t> hostRateAtProcess{0};

    void Reset() {
        callCount.store(0);
        maxBlock.store(0);
        frames.store(0);
        rateChangedWhileProcessing.store(0);
        closed.store(0);
        chunkSize = 0;
    }
};
