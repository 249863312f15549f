#include "EngineRig.h"

#include <cstring>

#include "support/Files.h"

Capture ReadCapture(const std::string& path) {
    Capture c;
    const std::vector<uint8_t> all = LoadBytes(path);
    if (all.size() < 44 || std::memcmp(all.data(), "RIFF", 4) != 0) return c;
    c.channels = all[22] | (all[23] << 8);
    c.rate = static_cast<int>(all[24] | (all[25] << 8) | (all[26] << 16) | (static_cast<uint32_t>(all[27]) << 24));
    c.bits = all[34] | (all[35] << 8);
    const uint32_t size = all[40] | (all[41] << 8) | (all[42] << 16) | (static_cast<uint32_t>(all[43]) << 24);
    if (size != all.size() - 44) return c;
    c.data.assign(all.begin() + 44, all.end());
    return c;
}

std::vector<uint8_t> ReferencePlayback(TestChain& chain, int32_t blocks, int32_t block, int32_t rate, int32_t bits,
                                       const std::vector<float>& input) {
    EnableFlushToZero(); // as on the audio thread
    chain.stack.ResetAll();
    std::vector<uint8_t> out;
    std::vector<float> buf(2 * static_cast<size_t>(block));
    std::vector<uint8_t> pcm(static_cast<size_t>(block) * 8);
    for (int32_t b = 0; b < blocks; ++b) {
        std::memcpy(buf.data(), input.data() + 2 * static_cast<size_t>(b) * block, sizeof(float) * buf.size());
        chain.stack.ProcessBlock(buf.data(), block, rate, false, bits);
        const int32_t n = EncodeDevicePcm(buf.data(), block, bits, 2, pcm.data());
        out.insert(out.end(), pcm.begin(), pcm.begin() + n);
    }
    return out;
}
