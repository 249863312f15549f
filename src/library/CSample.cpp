#include "library/CSample.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/FixedText.h"
#include "library/CVDisk.h"

namespace {
int32_t g_sampleCounter = 0;

bool IsCompressedFormat(int32_t code) { return code == 2 || code == 3 || code == 6; }
} // namespace

int32_t CSample::GetCounter() { return g_sampleCounter; }
void CSample::SetCounter(int32_t value) { g_sampleCounter = value; }

CSample::CSample() = default;

CSample::CSample(const std::string& fileName, const std::string& folder, int32_t stored, int32_t vdiskSerial,
                 int32_t sampleRate, int32_t channels, int32_t bits, int64_t frameCount, int32_t formatCode,
                 int64_t fileSize, int32_t id)
    : m_vdiskSerial(vdiskSerial), m_stored(stored), m_formatCode(formatCode), m_sampleRate(sampleRate), m_bits(bits),
      m_channels(channels), m_frameCount(frameCount), m_fileSize(fileSize) {
    SetFileName(fileName);
    SetFolder(folder);
    if (id == -1) m_id = ++g_sampleCounter;
    else m_id = id;
}

void CSample::SetFileName(const std::string& name) { m_fileName = CutUtf8(name, kNameSize - 1); }
void CSample::SetFolder(const std::string& folder) { m_folder = CutUtf8(folder, kNameSize - 1); }

int64_t CSample::ByteSize() const {
    if (IsCompressedFormat(m_formatCode)) return m_fileSize;
    // Fields from a damaged record could overflow 64 bits; such a size is held at the largest.
    int64_t bits = 0;
    if (__builtin_mul_overflow(m_frameCount, static_cast<int64_t>(m_channels), &bits) ||
        __builtin_mul_overflow(bits, static_cast<int64_t>(m_bits), &bits))
        return (m_frameCount < 0) != ((m_channels < 0) != (m_bits < 0)) ? INT64_MIN / 8 : INT64_MAX / 8;
    return bits / 8;
}

int32_t CSample::DataRate() const {
    if (m_frameCount <= 0 || m_sampleRate <= 0) return 0;
    double seconds = static_cast<double>(m_frameCount) / static_cast<double>(m_sampleRate);
    double rate = static_cast<double>(ByteSize()) * 8.0 * 0.001 / seconds + 0.5;
    if (!(rate < 2147483647.0)) return 2147483647;
    if (rate < -2147483647.0) return -2147483647;
    return static_cast<int32_t>(rate);
}

std::string CSample::FolderPath() const {
    if (!IsStored()) return m_folder;
    std::string folder;
    CVDisk::Table().FolderOf(m_vdiskSerial, folder);
    return folder;
}

std::string CSample::FilePath() const {
    std::string folder = FolderPath();
    if (folder.empty()) return std::string();
    if (folder.back() == '/') return folder + m_fileName;
    return folder + "/" + m_fileName;
}

std::string CSample::PeakFileFolder() const {
    std::string folder;
    CVDisk::Table().FolderOf(m_vdiskSerial, folder);
    return folder;
}

bool CSample::PeakFileName(std::string& name) const {
    std::string made;
    if (IsStored()) {
        made = "_" + m_fileName;
    } else {
        made = "_" + std::to_string(m_id) + m_fileName + "_";
    }
    if (made.size() >= static_cast<size_t>(kNameSize)) return false;
    name = made;
    return true;
}

bool CSample::FilePresent() const {
    std::string path = FilePath();
    if (path.empty() || m_fileName.empty()) return false;
    // A folder of the same name opens on this platform but holds no audio.
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}
