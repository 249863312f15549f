#pragma once
// AudioFileKX64: the lossless storage format. Audio is cut into blocks of 1024 frames; each
// channel of a block is predicted by one of five predictors and its residuals are written
// with a variable-length bit code. Blocks are gathered into groups of 512 behind group
// markers that carry the group's byte length, so SeekFrame skips whole groups and blocks
// without decoding them.
//
// The header's frame count is the true length: the last, partial block is coded padded with
// silence and readers stop at the stated count.
//
// This class is the block container (header, groups, blocks, channel records); the predictors
// are in KX64Predictor, the residual code in KX64BitWriter and KX64BitReader.
//
// Threading: one thread at a time per object. Each object has its own coder buffers, so
// files may be coded and decoded on several threads at once.

#include <cstdint>
#include <vector>

#include "audiofile/AudioFile.h"
#include "audiofile/KX64Predictor.h"

class AudioFileKX64 : public AudioFile {
public:
    static constexpr int kBlockFrames = 1024;
    static constexpr int kBlocksPerGroup = 512;
    static constexpr int kMaxBlockFrames = 8192;
    static constexpr int kMaxPayload = 32768;
    static constexpr int kHeaderBytes = 192;

    using AudioFile::AudioFile;

    void Close() override;
    bool OpenRead() override;
    bool OpenWrite(uint32_t channels, int32_t rate, int32_t bits, int32_t sampleType, int32_t kbps = 0) override;
    bool FinishWrite() override;
    bool KeepWritten(int64_t& kept) override;
    int32_t ReadFloat(float* buffer, int32_t n) override;
    int32_t WriteFloat(float* buffer, int32_t n) override;
    int32_t ReadInt(int32_t* buffer, int32_t n) override;
    bool SeekFrame(int64_t frame) override;

    // The coder of one channel of a block, exposed for tests of its choices.
    using ChannelCode = KX64Predictor::Choice;
    // Codes n ≤ kMaxBlockFrames samples into out, which needs room for (65 × n + 7) / 8 + 8
    // bytes (kMaxPayload + 16 covers a block); returns the choices made.
    static ChannelCode EncodeChannel(const int32_t* x, int n, uint8_t* out);
    // Decodes n samples; false when the payload ran out (the rest of x is zeroed).
    static bool DecodeChannel(const uint8_t* payload, uint32_t payloadBytes, int predictor, int k, int32_t coefficient,
                              int32_t* x, int n);

private:
    // Writer.
    bool CodeBlock();
    // Reader.
    bool DecodeNextBlock();
    bool Fill();
    int GetByte();
    bool GetBytes(uint8_t* out, size_t n);
    bool GetU32(uint32_t& v);
    int64_t Tell() const { return m_bufStart + static_cast<int64_t>(m_bufPos); }
    void SeekTo(int64_t pos);
    template <typename T> int32_t ReadFrames(T* out, int32_t n, bool asFloat);

    // Parameter record.
    uint32_t m_blockLen = kBlockFrames;
    int64_t m_framesPerGroup = static_cast<int64_t>(kBlockFrames) * kBlocksPerGroup;
    bool m_isFloat = false;

    // Staging block: m_blockLen frames × channels, interleaved.
    std::vector<int32_t> m_stage;
    int64_t m_stageFrames = 0;
    int64_t m_stagePos = 0;

    // Writer state.
    bool m_writing = false; // opened for writing: the channel arrays stage the block
    int64_t m_blocksWritten = 0;
    int64_t m_markerLenPos = 0; // file position of the current marker's length field
    int64_t m_inputFrames = 0;
    // The data bytes and blocks up to the end of the last block that reached the file whole.
    int64_t m_keptBytes = 0, m_keptBlocks = 0;
    std::vector<uint8_t> m_blockBuf;

    // Reader state.
    int64_t m_readFrame = 0;
    int64_t m_streamEnd = 0;
    std::vector<uint8_t> m_buf;
    int64_t m_bufStart = 0;
    size_t m_bufLen = 0;
    size_t m_bufPos = 0;
    std::vector<uint8_t> m_payload;
    std::vector<int32_t> m_channel[2];
};
