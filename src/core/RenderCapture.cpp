#include "core/RenderCapture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "engine/EngineBlock.h"

namespace {

constexpr size_t kBufferBytes = size_t{1} << 20;

// A file without a name in the temporary folder: nothing to name it by, so it can never be
// anyone else's file, and nothing to remove afterwards.
int OpenUnnamed() {
    const char* dir = std::getenv("TMPDIR");
    return ::open(dir && *dir ? dir : "/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
}

} // namespace

RenderCapture::RenderCapture() : m_fd(OpenUnnamed()) {
    if (m_fd >= 0) m_buffer.resize(kBufferBytes);
}

RenderCapture::~RenderCapture() { Drop(); }

void RenderCapture::Drop() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_usable = false;
    m_buffer.clear();
    m_buffer.shrink_to_fit();
}

void RenderCapture::Put(const void* data, size_t bytes) {
    if (m_fd < 0 || m_failed) return;
    const char* p = static_cast<const char*>(data);
    while (bytes > 0) {
        if (m_used == m_buffer.size() && !Flush()) return;
        const size_t n = std::min(bytes, m_buffer.size() - m_used);
        std::memcpy(m_buffer.data() + m_used, p, n);
        m_used += n;
        p += n;
        bytes -= n;
    }
}

bool RenderCapture::Flush() {
    size_t done = 0;
    while (done < m_used) {
        const ssize_t w = ::write(m_fd, m_buffer.data() + done, m_used - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            m_failed = true;
            return false;
        }
        done += static_cast<size_t>(w);
    }
    m_used = 0;
    return true;
}

void RenderCapture::Block(int frames) {
    const Record r{KindBlock, frames};
    Put(&r, sizeof r);
    m_frames += frames;
}

void RenderCapture::Ran(const float* left, const float* right, int frames) {
    const Record r{KindRan, frames};
    Put(&r, sizeof r);
    Put(left, sizeof(float) * static_cast<size_t>(frames));
    Put(right, sizeof(float) * static_cast<size_t>(frames));
}

void RenderCapture::Passed(const float* interleaved, int frames) {
    const Record r{KindPassed, frames};
    Put(&r, sizeof r);
    Put(interleaved, 2 * sizeof(float) * static_cast<size_t>(frames));
}

void RenderCapture::Finish(int64_t frames) {
    if (m_fd < 0) return;
    m_usable = !m_failed && Flush() && m_frames == frames;
    if (!m_usable) Drop();
}

bool RenderCapture::Rewind() {
    if (!m_usable || ::lseek(m_fd, 0, SEEK_SET) != 0) return false;
    m_used = m_filled = 0;
    m_replayed = 0;
    return true;
}

bool RenderCapture::Get(void* data, size_t bytes) {
    char* p = static_cast<char*>(data);
    while (bytes > 0) {
        if (m_used == m_filled) {
            const ssize_t r = ::read(m_fd, m_buffer.data(), m_buffer.size());
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return false;
            m_used = 0;
            m_filled = static_cast<size_t>(r);
        }
        const size_t n = std::min(bytes, m_filled - m_used);
        std::memcpy(p, m_buffer.data() + m_used, n);
        m_used += n;
        p += n;
        bytes -= n;
    }
    return true;
}

int32_t RenderCapture::ReplayBlock(CDSPStack& stack, int sampleRate, int renderBits, float* out) {
    if (!m_usable) return -1;
    if (m_replayed == m_frames) return 0;
    Record block{};
    if (!Get(&block, sizeof block) || block.kind != KindBlock || block.frames <= 0 || block.frames > kMaxEngineBlock)
        return -1;
    float* left = stack.TailBuffer(0);
    float* right = stack.TailBuffer(1);
    if (!left || !right) return -1;
    for (int32_t done = 0; done < block.frames;) {
        Record piece{};
        if (!Get(&piece, sizeof piece) || piece.frames <= 0 || piece.frames > block.frames - done ||
            piece.frames > CDSPStack::kMaxFrames)
            return -1;
        float* at = out + 2 * static_cast<size_t>(done);
        const size_t n = static_cast<size_t>(piece.frames);
        if (piece.kind == KindPassed) {
            if (!Get(at, 2 * sizeof(float) * n)) return -1;
        } else if (piece.kind == KindRan) {
            if (!Get(left, sizeof(float) * n) || !Get(right, sizeof(float) * n)) return -1;
            stack.RunTail(left, right, piece.frames, sampleRate, true, renderBits);
            for (size_t i = 0; i < n; ++i) {
                at[2 * i] = left[i];
                at[2 * i + 1] = right[i];
            }
        } else {
            return -1;
        }
        done += piece.frames;
    }
    m_replayed += block.frames;
    return block.frames;
}
