#pragma once
// AudioFile: the abstract audio file. Whatever the format, callers move audio in blocks of
// frames in the stereo float buffer (see PcmCodec.h): construct with a folder and a name,
// OpenRead or OpenWrite, ReadFloat / WriteFloat / ReadInt / SeekFrame, FinishWrite for a
// writer, Close. Nothing touches the disk before an open.
//
// Failure is a false result with a short message in ErrorText(). Short reads are not
// errors: the missing part of the caller's buffer is zero-filled and the frame count says
// how much was real.
//
// Threading: one thread at a time per object; objects are independent of each other.

#include <cstdint>
#include <string>

#include "audiofile/CFile.h"
#include "audiofile/PcmCodec.h"
#include "common/FormatCode.h"

// Values of `sampleType`: 0 integer, 1 IEEE float; the raw class uses byte-order codes.
enum SampleTypeCode : int32_t {
    kSampleInt = 0,
    kSampleFloat = 1,
    kRawIntLE = 16,
    kRawIntBE = 17,
    kRawFloatLE = 20,
    kRawFloatBE = 21,
};

// Whether a sample type holds IEEE floats (the plain code or a raw byte-order code).
inline bool IsFloatSampleType(int32_t type) {
    return type == kSampleFloat || type == kRawFloatLE || type == kRawFloatBE;
}

class AudioFile : public CFile {
public:
    AudioFile(const std::string& folder, const std::string& path) : CFile(folder, path) {}
    ~AudioFile() override = default;

    // The operations in slot order.
    void Close() override { CFile::Close(); }
    // Compressed readers take the known length from here; the PCM classes ignore it.
    virtual void SetLength(int64_t framesKnown) {}
    virtual bool OpenRead() = 0;
    // sampleType: 0/1, or a byte-order code for raw files; kbps only for compressed writers.
    virtual bool OpenWrite(uint32_t channels, int32_t rate, int32_t bits, int32_t sampleType, int32_t kbps = 0) = 0;
    // Patches the header after the last write. False when any write of the file failed.
    virtual bool FinishWrite() = 0;
    // After a failed write (a full disk): ends the file after the last whole frame (or block,
    // or page) that reached it and forgets the failure, so that FinishWrite makes a complete,
    // shorter file of what was written; kept is its frame count. Nothing of it needs new space
    // on the disk. False when the format cannot do that; the file is then as the failure left it.
    virtual bool KeepWritten(int64_t& kept) { return false; }
    // n frames into buffer (room for n × 2 floats); returns whole frames read from disk.
    virtual int32_t ReadFloat(float* buffer, int32_t n) = 0;
    // n stereo float frames, converted in place (the buffer is destroyed); returns bytes written.
    virtual int32_t WriteFloat(float* buffer, int32_t n) = 0;
    // As ReadFloat without scaling: stored integers sign-extended, mono duplicated.
    virtual int32_t ReadInt(int32_t* buffer, int32_t n) = 0;
    // Positions the reader at frame (clamped to the data).
    virtual bool SeekFrame(int64_t frame);
    virtual void Reserved() {}

    // True, with the stored coding, for the plain PCM classes (WAV, AIFF, SUN, raw) once open:
    // their samples lie in the file as they are. A copy between two such files may then move
    // the stored bytes with ReadStored / WriteStored instead of the float buffer.
    virtual bool PlainPcm(SampleCoding& stored) const { return false; }
    // n frames of stored samples, not converted: what ReadFloat reads before it widens, and
    // what WriteFloat writes after it narrows, with their bounds, counts and failure record.
    // ReadStored returns the whole frames read and leaves the rest of the buffer as it was;
    // WriteStored returns the bytes written. Only for a file that is PlainPcm.
    int32_t ReadStored(void* buffer, int32_t n);
    int32_t WriteStored(const void* buffer, int32_t n);

    // Tag setters: each copies at most its field's length minus one bytes and terminates it.
    void SetTitle(const std::string& s);
    void SetArtist(const std::string& s);
    void SetAlbum(const std::string& s);
    void SetComment(const std::string& s);
    void SetGenre(const std::string& s);

    // Bytes per frame as stored (channels × bits / 8).
    int64_t FrameBytes() const { return static_cast<int64_t>(channels) * (bits / 8); }

    int32_t rate = 44100;
    int32_t bits = 16;
    uint32_t channels = 2;
    int64_t dataOffset = 0;
    int64_t dataBytes = 1764000;
    int64_t frames = 441000;
    int32_t sampleType = kSampleInt;
    uint8_t hasTags = 0;
    char title[64] = {};
    char artist[64] = {};
    char album[64] = {};
    char comment[256] = {};
    char genre[33] = {};
    int32_t year = 0;
    int32_t track = 0;

protected:
    // Shared by the uncompressed classes: read, convert and write `coding` samples within
    // [dataOffset, dataOffset + dataBytes).
    int32_t PcmRead(void* buffer, int32_t n, bool asFloat);
    int32_t PcmWrite(float* buffer, int32_t n);
    // Checks the header fields a reader found; false with a message when they are unusable.
    bool CheckReadFormat();
    // The end of every uncompressed reader's open: whole frames of the data area, positioned
    // at its start.
    bool StartAtData();
    // The first step of every reader after opening: the four bytes of the format's mark.
    // False with "No data found (truncated?)." or with missingMessage.
    bool ReadMark(uint8_t* head, const char* mark, const char* missingMessage);
    // The format a writer was asked for, with nothing written yet.
    void SetWriteFormat(uint32_t ch, int32_t r, int32_t b, int32_t type);
    // The common start of every open: folder, then the file. Messages as the readers give them.
    bool OpenReadChecked();
    bool OpenWriteChecked();
    // Undoes the creation of OpenWriteChecked when the open fails after it: the file (empty or
    // with half a header) is closed and deleted, so a refused export leaves nothing that could
    // be taken for a result. Its old content, if any, was already cut away by the creation.
    void DiscardCreatedFile();
    // Records a failed write (reported by FinishWrite).
    void NoteWrite(int64_t wanted, int64_t written) {
        if (wanted != written) writeFailed = true;
    }
    bool FinishResult();

    SampleCoding coding = SampleCoding::S16LE;
    int64_t dataPos = 0; // bytes of the data already read
    bool writeFailed = false;
    // Largest data length the header of the format can state.
    int64_t maxDataBytes = INT64_MAX;
};

// The coding of an uncompressed file from its bits and sample type, for the given byte order.
bool PcmCodingFor(int32_t bits, bool isFloat, bool bigEndian, bool unsigned8, SampleCoding& out);
