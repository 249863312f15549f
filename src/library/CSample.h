#pragma once
// CSample: one audio file of the library, either stored in the VDisk or linked where it lies.
// Regions point into a sample; the sample list owns it.
//
// Threading: main thread only. The audio and disk threads read a sample through the play list
// while the transport runs; it must not be deleted before the transport has stopped.

#include <cstdint>
#include <string>

class CSample {
public:
    static constexpr int kNameSize = 256; // file name and folder fields, NUL included

    // An empty sample for the database loader; every field is filled from the record.
    CSample();
    // A new sample. id −1 takes the next id from the sample counter; an explicit id leaves the
    // counter alone.
    CSample(const std::string& fileName, const std::string& folder, int32_t stored, int32_t vdiskSerial,
            int32_t sampleRate, int32_t channels, int32_t bits, int64_t frameCount, int32_t formatCode,
            int64_t fileSize, int32_t id = -1);

    // The sample counter: the last sample id handed out (0 at start, first id 1).
    static int32_t GetCounter();
    static void SetCounter(int32_t value);

    // Stored fields. Texts are cut to 255 bytes on a character boundary.
    const std::string& GetFileName() const { return m_fileName; }
    void SetFileName(const std::string& name);
    // The folder field as stored: the linked file's folder; empty for a stored sample.
    const std::string& GetFolder() const { return m_folder; }
    void SetFolder(const std::string& folder);
    int32_t GetVDiskSerial() const { return m_vdiskSerial; }
    void SetVDiskSerial(int32_t serial) { m_vdiskSerial = serial; }
    int32_t GetStored() const { return m_stored; }
    bool IsStored() const { return m_stored != 0; }
    void SetStored(int32_t stored) { m_stored = stored; }
    int32_t GetId() const { return m_id; }
    void SetId(int32_t id) { m_id = id; }
    int32_t GetFormatCode() const { return m_formatCode; }
    void SetFormatCode(int32_t code) { m_formatCode = code; }
    int32_t GetSampleRate() const { return m_sampleRate; }
    void SetSampleRate(int32_t rate) { m_sampleRate = rate; }
    int32_t GetBits() const { return m_bits; }
    void SetBits(int32_t bits) { m_bits = bits; }
    int32_t GetChannels() const { return m_channels; }
    void SetChannels(int32_t channels) { m_channels = channels; }
    int32_t GetReserved() const { return m_reserved; }
    void SetReserved(int32_t value) { m_reserved = value; }
    int64_t GetFrameCount() const { return m_frameCount; }
    void SetFrameCount(int64_t frames) { m_frameCount = frames; }
    int64_t GetFileSize() const { return m_fileSize; }
    void SetFileSize(int64_t size) { m_fileSize = size; }

    // Derived values.
    // Compressed formats (MP3, KX64, Ogg Vorbis) give the file size, others the PCM size.
    int64_t ByteSize() const;
    // kbit/s, rounded; 0 when the frame count or the sample rate is not positive.
    int32_t DataRate() const;
    // The folder that holds the file: "<location>/VDisk" for a stored sample (empty when its
    // serial is not in the VDisk table), else the stored folder.
    std::string FolderPath() const;
    // Folder path plus "/" plus file name; empty when the folder path is empty.
    std::string FilePath() const;
    // The VDisk folder of the sample's serial, or empty.
    std::string PeakFileFolder() const;
    // "_<name>" for a stored sample, "_<id><name>_" for a linked one. False (name untouched)
    // when the result would not fit in 255 characters.
    bool PeakFileName(std::string& name) const;
    // The file opens for reading.
    bool FilePresent() const;

private:
    std::string m_fileName;
    std::string m_folder;
    int32_t m_vdiskSerial = 0;
    int32_t m_stored = 0;
    int32_t m_id = 0;
    int32_t m_formatCode = 0;
    int32_t m_sampleRate = 0;
    int32_t m_bits = 0;
    int32_t m_channels = 0;
    int32_t m_reserved = 0;
    int64_t m_frameCount = 0;
    int64_t m_fileSize = 0;
};
