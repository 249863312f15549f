#include "audiofile/AudioFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "common/FixedText.h"

void AudioFile::SetTitle(const std::string& s) { SetFixedText(title, s); }
void AudioFile::SetArtist(const std::string& s) { SetFixedText(artist, s); }
void AudioFile::SetAlbum(const std::string& s) { SetFixedText(album, s); }
void AudioFile::SetComment(const std::string& s) { SetFixedText(comment, s); }
void AudioFile::SetGenre(const std::string& s) { SetFixedText(genre, s); }

bool PcmCodingFor(int32_t bits, bool isFloat, bool bigEndian, bool unsigned8, SampleCoding& out) {
    if (isFloat) {
        if (bits != 32) return false;
        out = bigEndian ? SampleCoding::F32BE : SampleCoding::F32LE;
        return true;
    }
    switch (bits) {
    case 8: out = unsigned8 ? SampleCoding::U8 : SampleCoding::S8; return true;
    case 16: out = bigEndian ? SampleCoding::S16BE : SampleCoding::S16LE; return true;
    case 24: out = bigEndian ? SampleCoding::S24BE : SampleCoding::S24LE; return true;
    case 32: out = bigEndian ? SampleCoding::S32BE : SampleCoding::S32LE; return true;
    default: return false;
    }
}

bool AudioFile::OpenReadChecked() {
    errorText.clear();
    dataPos = 0;
    if (!FolderExists()) {
        SetError("Can't access input folder.");
        return false;
    }
    if (!OpenForRead()) {
        SetError("Can't open file.");
        return false;
    }
    return true;
}

bool AudioFile::OpenWriteChecked() {
    errorText.clear();
    writeFailed = false;
    if (!FolderExists()) {
        SetError("Can't access output folder.");
        return false;
    }
    if (!OpenForWrite()) {
        SetError("Can't create file.");
        return false;
    }
    return true;
}

void AudioFile::DiscardCreatedFile() {
    // Only a plain file that the name still leads to is deleted: a device or pipe the writer was
    // pointed at (/dev/full, a FIFO) is not ours to remove, and neither is a file that took the
    // name meanwhile.
    struct stat opened, named;
    const bool ours = handle != -1 && ::fstat(handle, &opened) == 0 && S_ISREG(opened.st_mode) &&
                      ::stat(FullPath().c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
                      named.st_ino == opened.st_ino;
    // Only the handle: a subclass's Close would finish the stream or write a tag into the file.
    CFile::Close();
    if (ours) CFile::Delete();
}

bool AudioFile::ReadMark(uint8_t* head, const char* mark, const char* missingMessage) {
    if (Read(head, 4) < 4) {
        SetError("No data found (truncated?).");
        return false;
    }
    if (std::memcmp(head, mark, 4) != 0) {
        SetError(missingMessage);
        return false;
    }
    return true;
}

void AudioFile::SetWriteFormat(uint32_t ch, int32_t r, int32_t b, int32_t type) {
    channels = ch;
    rate = r;
    bits = b;
    sampleType = type;
    dataBytes = 0;
    frames = 0;
}

bool AudioFile::StartAtData() {
    const int64_t frameBytes = FrameBytes();
    dataBytes -= dataBytes % frameBytes;
    frames = dataBytes / frameBytes;
    dataPos = 0;
    if (Seek(dataOffset) < 0) {
        SetError("Can't open file.");
        return false;
    }
    return true;
}

bool AudioFile::CheckReadFormat() {
    if (channels != 1 && channels != 2) {
        SetError("Unsupported number of channels (only mono and stereo).");
        return false;
    }
    if (bits < 8 || bits > 32) {
        SetError("Unsupported sample size (8 to 32 bits only).");
        return false;
    }
    if (rate <= 0) {
        SetError("Invalid sample rate (zero).");
        return false;
    }
    return true;
}

bool AudioFile::FinishResult() {
    if (writeFailed && errorText.empty()) SetError("Can't write file (disk full?).");
    return !writeFailed;
}

int32_t AudioFile::ReadStored(void* buffer, int32_t n) {
    if (n <= 0 || buffer == nullptr) return 0;
    const int64_t frameBytes = static_cast<int64_t>(channels) * BytesPerSample(coding);
    const int64_t want = static_cast<int64_t>(n) * frameBytes;
    const int64_t left = std::max<int64_t>(0, dataBytes - dataPos);
    const int64_t got = IsOpen() ? Read(buffer, std::min(want, left)) : 0;
    dataPos += got;
    return static_cast<int32_t>(got / frameBytes);
}

int32_t AudioFile::PcmRead(void* buffer, int32_t n, bool asFloat) {
    if (n <= 0 || buffer == nullptr) return 0;
    const int64_t whole = ReadStored(buffer, n);
    if (asFloat) DecodeToFloat(buffer, whole, static_cast<int>(channels), coding);
    else DecodeToInt(buffer, whole, static_cast<int>(channels), coding);
    // Whatever the file could not supply reads as silence.
    std::memset(static_cast<uint8_t*>(buffer) + whole * 8, 0, static_cast<size_t>((n - whole) * 8));
    return static_cast<int32_t>(whole);
}

int32_t AudioFile::WriteStored(const void* buffer, int32_t n) {
    if (n <= 0 || buffer == nullptr || !IsOpen()) return 0;
    const int64_t frameBytes = static_cast<int64_t>(channels) * BytesPerSample(coding);
    const int64_t bytes = static_cast<int64_t>(n) * frameBytes;
    if (dataBytes + bytes > maxDataBytes) {
        // The header could not state the length: refuse rather than write a file that lies.
        writeFailed = true;
        SetError("File too large for its format.");
        return 0;
    }
    const int64_t before = Seek(0, FromCurrent);
    const int64_t written = Write(buffer, bytes);
    NoteWrite(bytes, written);
    int64_t kept = written;
    if (written != bytes && before >= 0) {
        // A full disk takes part of the write before it refuses the rest: the whole frames of
        // that part count, so that a writer that keeps what it wrote loses none of them, and
        // the position returns to the end of the last of them.
        const int64_t after = Seek(0, FromCurrent);
        kept = after > before ? (after - before) / frameBytes * frameBytes : 0;
        Seek(before + kept);
    }
    dataBytes += kept;
    frames += kept / frameBytes;
    return static_cast<int32_t>(written);
}

int32_t AudioFile::PcmWrite(float* buffer, int32_t n) {
    if (n <= 0 || buffer == nullptr || !IsOpen()) return 0;
    EncodeFromFloat(buffer, n, static_cast<int>(channels), coding);
    return WriteStored(buffer, n);
}

bool AudioFile::SeekFrame(int64_t frame) {
    if (!IsOpen()) return false;
    const int64_t frameBytes = FrameBytes();
    if (frameBytes <= 0) return false;
    int64_t maxFrame = dataBytes / frameBytes;
    frame = std::clamp<int64_t>(frame, 0, maxFrame);
    dataPos = frame * frameBytes;
    return Seek(dataOffset + dataPos) >= 0;
}
