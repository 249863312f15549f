#include "engine/CRenderTarget.h"

#include "audiofile/AudioFile.h"

CFileRenderTarget::CFileRenderTarget(std::unique_ptr<AudioFile> writer, uint32_t channels, int32_t rate, int32_t bits,
                                     int32_t sampleType, int32_t kbps)
    : m_writer(std::move(writer)), m_channels(channels), m_rate(rate), m_bits(bits), m_sampleType(sampleType),
      m_kbps(kbps) {}

CFileRenderTarget::~CFileRenderTarget() {
    if (m_open) m_writer->Close();
}

bool CFileRenderTarget::Open() {
    m_frames = 0;
    m_open = m_writer->OpenWrite(m_channels, m_rate, m_bits, m_sampleType, m_kbps);
    return m_open;
}

bool CFileRenderTarget::Write(float* interleaved, int32_t frames) {
    if (frames <= 0) return true;
    if (m_writer->WriteFloat(interleaved, frames) <= 0) return false;
    m_frames += frames;
    return true;
}

bool CFileRenderTarget::Finish(bool complete) {
    if (!m_open) return false;
    const bool finished = m_writer->FinishWrite();
    m_writer->Close();
    m_open = false;
    if (!complete || !finished) {
        // A partial or damaged file must not be mistaken for a finished export.
        if (Message().empty() && !finished) SetMessage("Can't write output file.");
        m_writer->Delete();
        return false;
    }
    return true;
}
