#include "audiofile/ImportPipeline.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "common/TextCase.h"
#include "audiofile/AudioFileAiff.h"
#include "audiofile/AudioFileFactory.h"
#include "audiofile/AudioFileFlac.h"
#ifdef SONQUIL_HAVE_FFMPEG_READER
#include "audiofile/AudioFileFFmpeg.h"
#endif
#include "audiofile/AudioFileKX64.h"
#include "audiofile/AudioFileMp3.h"
#include "audiofile/AudioFileRaw.h"
#include "audiofile/AudioFileSUN.h"
#include "audiofile/AudioFileVorbis.h"
#include "audiofile/AudioFileWav.h"
#include "audiofile/FormatProbe.h"
#include "audiofile/Pcm16Copy.h"
#include "audiofile/PeakRebuild.h"
#include "common/FixedText.h"
#include "common/TimeFormat.h"
#include "common/UiPort.h"
#include "library/CPrefs.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "library/CVDisk.h"

namespace {

// The extensions of the formats our own readers take (".wave" before ".wav" would not matter:
// one is not the end of the other).
const char* const kOwnExtensions[] = {"au",  "wav", "aif",  "mp3",  "ogg",  "aac",
                                      "raw", "snd", "wave", "aiff", "flac", "aifc"};
// What people keep that FFmpeg decodes for us: the usual extensions of audio files (not of
// video files, whose sound the probe takes too when one is dropped).
const char* const kFfmpegExtensions[] = {"m4a", "m4b", "alac", "opus", "oga", "caf", "webm", "mka",
                                         "wma", "asf", "ac3",  "eac3", "dts", "wv",  "ape",  "mpc",
                                         "amr", "3ga", "tta",  "w64",  "mp2", "spx", "gsm",  "voc"};

// Plain file access for the byte-for-byte clone.
class PlainFile : public CFile {
public:
    using CFile::CFile;
    bool OpenIn() { return FolderExists() && OpenForRead(); }
    bool OpenOut() { return FolderExists() && OpenForWrite(); }
};

// Copies the whole source over target; false when any read or write fails.
bool CopyWhole(const std::string& srcFolder, const std::string& srcName, const std::string& dstFolder,
               const std::string& dstName) {
    PlainFile in(srcFolder, srcName);
    PlainFile out(dstFolder, dstName);
    if (!in.OpenIn() || !out.OpenOut()) return false;
    const int64_t size = in.FileSize();
    std::vector<uint8_t> buf(1 << 20);
    int64_t done = 0;
    while (done < size) {
        const int64_t want = std::min<int64_t>(static_cast<int64_t>(buf.size()), size - done);
        const int64_t got = in.Read(buf.data(), want);
        if (got <= 0 || out.Write(buf.data(), got) != got) return false;
        done += got;
    }
    return true;
}

bool IsFfmpegReader(const AudioFile& f) {
#ifdef SONQUIL_HAVE_FFMPEG_READER
    return dynamic_cast<const AudioFileFFmpeg*>(&f) != nullptr;
#else
    (void)f;
    return false;
#endif
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

const std::vector<std::string>& ImportExtensions() {
    static const std::vector<std::string> list = [] {
        std::vector<std::string> v(std::begin(kOwnExtensions), std::end(kOwnExtensions));
#ifdef SONQUIL_HAVE_FFMPEG_READER
        v.insert(v.end(), std::begin(kFfmpegExtensions), std::end(kFfmpegExtensions));
#endif
        return v;
    }();
    return list;
}

std::string ImportFileFilter() {
    // The dialogs match the patterns without regard to case. "*" and not "*.*": a file without
    // an extension is shown too.
    std::string audio;
    for (const std::string& e : ImportExtensions()) audio += (audio.empty() ? "*." : " *.") + e;
    return "Audio Files (" + audio + ");;All Files (*)";
}

std::string RegionNameFor(const std::string& fileName) {
    std::string name = BaseName(fileName);
    for (const std::string& ext : ImportExtensions()) {
        const std::string tail = "." + ext;
        if (EndsWithNoCase(name, tail.c_str()) && name.size() > tail.size()) {
            name.resize(name.size() - tail.size());
            break;
        }
    }
    return name;
}

std::unique_ptr<AudioFile> MakeSourceReader(int32_t code, const std::string& folder, const std::string& file) {
    std::string unused; // a code without a reader is refused by the caller
    return MakeAudioFile(code, folder, file, unused);
}

std::unique_ptr<AudioFile> MakeStorageWriter(int32_t mode, const std::string& folder, const std::string& file) {
    if (mode == kFormatKX64) return std::make_unique<AudioFileKX64>(folder, file);
    if (mode == kFormatVorbis) return std::make_unique<AudioFileVorbis>(folder, file);
    return std::make_unique<AudioFileWav>(folder, file);
}

int32_t StorageBits(int32_t mode, int32_t sourceBits) {
    int32_t b = std::max(16, sourceBits);
    if (mode == kFormatKX64) b = std::min(24, b);
    return b;
}

bool ApplyStorageChoice(int choice, ImportSettings& s) {
    static constexpr int kBitRates[] = {0, 0, 400, 256, 128};
    if (choice < 0 || choice > 4) return false;
    s.storageMode = choice == 0 ? kFormatWav : choice == 1 ? kFormatKX64 : kFormatVorbis;
    if (choice >= 2) s.bitRate = kBitRates[choice];
    return true;
}

ImportSettings ImportSettingsFromPrefs(const CPrefs& prefs) {
    ImportSettings s;
    if (prefs.Has(101)) ApplyStorageChoice(prefs.GetInt(101), s);
    if (prefs.Has(100)) s.transcodeCompressed = prefs.GetByte(100) != 0;
    return s;
}

int32_t StorageChoiceFor(const ImportSettings& s) {
    if (s.storageMode == kFormatKX64) return 1;
    if (s.storageMode != kFormatVorbis) return 0;
    return s.bitRate > 256 ? 2 : s.bitRate > 128 ? 3 : 4;
}

void StoreImportSettings(CPrefs& prefs, const ImportSettings& s) {
    prefs.SetInt(101, StorageChoiceFor(s));
    prefs.SetByte(100, s.transcodeCompressed ? 1 : 0);
}

CImporter::CImporter(CSampleList& samples, CRegionList& regions, CVDisk& vdisk, PeakBuffers& peaks, UiPort* ui)
    : m_samples(samples), m_regions(regions), m_vdisk(vdisk), m_peaks(peaks), m_ui(ui) {
    // Ogg Vorbis files are recognised by their content, whatever their name.
    AudioFileVorbis::RegisterWithProbe();
}

CImporter::~CImporter() = default;

std::unique_ptr<AudioFile> CImporter::OpenSource(const std::string& folder, const std::string& file,
                                                 std::string& message, int32_t& code) {
    std::string probeMessage;
    code = ProbeFormat(folder, file, probeMessage);
    if (code < 0) {
        message = probeMessage;
        return nullptr;
    }
    std::unique_ptr<AudioFile> reader = MakeSourceReader(code, folder, file);
    if (!reader) {
        message = "Can't read this file format";
        return nullptr;
    }
    if (code == kFormatRaw) {
        RawFileType raw;
        if (m_raw == nullptr || !m_raw->ChooseRawFormat(file, raw)) {
            message = "Can't read this file format";
            return nullptr;
        }
        reader->sampleType = raw.sampleType;
        reader->bits = raw.bits;
        reader->rate = raw.rate;
        reader->channels = raw.channels;
    }
    if (!reader->OpenRead()) {
        message = reader->ErrorText();
        if (message.empty()) message = "Can't open file.";
        return nullptr;
    }
    return reader;
}

void CImporter::ShowProgress(int style, int percent) {
    if (m_ui == nullptr) return;
    percent = std::clamp(percent, 0, 100);
    if (style == kProgressOwn || style == kProgressOwnCancel) m_ui->ProgressBar(percent);
    else m_ui->DualBars(m_overall, percent);
}

bool CImporter::Cancelled(int style) const {
    if (m_ui == nullptr) return false;
    if (style == kProgressOwnCancel) return m_ui->ProgressAborted();
    if (style == kProgressSecondCancel) return m_ui->DualAborted();
    return false;
}

void CImporter::ApplyTags(const AudioFile& from, CRegion& region) const {
    if (!from.hasTags) return;
    region.SetTitle(GetFixedText(from.title));
    region.SetArtist(GetFixedText(from.artist));
    region.SetAlbum(GetFixedText(from.album));
    region.SetYear(from.year);
    region.SetGenre(GetFixedText(from.genre)); // the region's genre field holds 31 bytes
    region.SetTrack(from.track);
    region.SetNotes(GetFixedText(from.comment));
}

int64_t CImporter::Stream(AudioFile& source, AudioFile* target, int style, bool& cancelled) {
    cancelled = false;
    const int32_t perEntry = PeakFramesPerEntry(source.rate);
    const int32_t perLevel = LevelFramesPerBlock(source.rate);
    // 16-bit PCM into 16-bit PCM (most imports into WAV storage) moves the stored bytes and
    // takes the peaks on the integers, with the float path's results.
    SampleCoding from = SampleCoding::S16LE, to = SampleCoding::S16LE;
    const bool stored = target != nullptr && source.PlainPcm(from) && target->PlainPcm(to) && CopiesAsPcm16(from, to) &&
                        source.channels == target->channels;
    if (stored) m_stored.resize(static_cast<size_t>(kBlockFrames) * 2);
    else m_block.resize(static_cast<size_t>(kBlockFrames) * 2);
    int64_t read = 0;
    // An MP3's length is an estimate that trails the decoder (it has taken in more of the file
    // than it has given out): stopping at the estimate would cut the end off, so such a source
    // is read until it gives nothing more.
    const bool estimated = dynamic_cast<AudioFileMp3*>(&source) != nullptr || IsFfmpegReader(source);
    while (estimated || read < source.frames) {
        const int64_t left = estimated ? kBlockFrames : source.frames - read;
        const int32_t want = static_cast<int32_t>(std::min<int64_t>(kBlockFrames, left));
        const int32_t got = stored ? source.ReadStored(m_stored.data(), want) : source.ReadFloat(m_block.data(), want);
        if (got <= 0) break;
        if (m_ui != nullptr) m_ui->LetEventsThrough();
        const int64_t total = std::max<int64_t>(source.frames, 1);
        ShowProgress(style, static_cast<int>(std::clamp<int64_t>((read + got) * 100 / total, 0, 100)));
        if (Cancelled(style)) {
            cancelled = true;
            break;
        }
        if (stored) {
            CopyPcm16Block(m_stored.data(), got, static_cast<int>(source.channels), from, to, m_peaks, perEntry,
                           perLevel);
            target->WriteStored(m_stored.data(), got);
        } else {
            BuildPeaks(m_block.data(), got, m_peaks, perEntry, perLevel);
            if (target != nullptr) target->WriteFloat(m_block.data(), got);
        }
        read += got;
    }
    return read;
}

bool CImporter::Import(const std::string& folder, const std::string& file, std::string& message, int style,
                       bool& cancelled) {
    const BusyScope busy(m_busy);
    cancelled = false;
    m_last = nullptr;
    message.clear();
    int32_t code = -1;
    std::unique_ptr<AudioFile> source = OpenSource(folder, file, message, code);
    if (!source) return false;

    // Compressed sources are kept as they are unless the user wants them transcoded. FLAC
    // is lossless and always converted; so is whatever FFmpeg decodes, so that every stored
    // sample has a format of our own.
    const bool compressed = code == kFormatMp3 || code == kFormatVorbis;
    const bool convert = !compressed || m_settings.transcodeCompressed;
    // A converted MP3 becomes the music alone, lined up as other decoders give it. A clone
    // stays an MP3 sample, read with the frame positions every MP3 sample has.
    if (convert && code == kFormatMp3) static_cast<AudioFileMp3&>(*source).SetGapless(true);
    const int32_t mode = m_settings.storageMode == kFormatKX64 || m_settings.storageMode == kFormatVorbis
                             ? m_settings.storageMode
                             : kFormatWav;

    // A fresh name in the VDisk.
    const int32_t serial = m_vdisk.CurrentSerial();
    std::string vdiskFolder, name;
    if (!m_vdisk.FolderOf(serial, vdiskFolder) || !CVDisk::NewFileName(vdiskFolder, name)) {
        message = "Can't open output file";
        return false;
    }
    std::unique_ptr<AudioFile> target = convert ? MakeStorageWriter(mode, vdiskFolder, name)
                                                : std::make_unique<AudioFileEmpty>(vdiskFolder, name);

    // The target's depth.
    const int32_t bits = convert ? StorageBits(mode, source->bits) : std::max(16, source->bits);
    if (!target->OpenWrite(source->channels, source->rate, bits, kSampleInt, m_settings.bitRate)) {
        target->Close();
        target->Delete();
        message = "Can't open output file";
        return false;
    }

    // A fresh start for the viewer and the peaks.
    if (m_hooks.clearViewer) m_hooks.clearViewer();
    m_peaks.Clear();
    const bool own = style == kProgressOwn || style == kProgressOwnCancel;
    if (own && m_ui != nullptr) {
        m_ui->ProgressOpen(style == kProgressOwnCancel);
        m_ui->ProgressText(StrFormat("Importing %s", file.c_str()));
    }
    auto closeProgress = [&] {
        if (own && m_ui != nullptr) m_ui->ProgressClose();
    };

    // One pass: peaks and, when converting, the stored file.
    const int64_t frames = Stream(*source, convert ? target.get() : nullptr, style, cancelled);

    // A cancel leaves nothing behind.
    if (cancelled) {
        target->Close();
        source->Close();
        target->Delete();
        closeProgress();
        message = "Import aborted.";
        return false;
    }

    // Finish the stored file. A failed write would leave a file the library trusts: it is
    // reported and removed instead.
    int64_t storedBytes = 0;
    if (convert) {
        const bool written = target->FinishWrite();
        source->Close();
        target->Close();
        if (!written) {
            message = target->ErrorText().empty() ? "Can't write file (disk full?)." : target->ErrorText();
            target->Delete();
            closeProgress();
            return false;
        }
        storedBytes = target->dataBytes;
    } else {
        source->Close();
        target->Close();
        if (!CopyWhole(folder, file, vdiskFolder, name)) {
            target->Delete();
            closeProgress();
            message = "Can't write file (disk full?).";
            return false;
        }
        storedBytes = source->dataBytes;
    }

    // The sample.
    auto* sample = new CSample(name, "", 1, serial, source->rate, static_cast<int32_t>(source->channels), bits, frames,
                               convert ? mode : code, storedBytes);
    m_samples.Add(sample);

    // Its peak file. Peaks can always be rebuilt from the audio, so a failure here does not
    // undo the import.
    std::string peakName;
    if (sample->PeakFileName(peakName))
        WritePeakFile(sample->PeakFileFolder(), peakName, m_peaks, PeakFramesPerEntry(source->rate));

    // The root region in the folder for new material, with the file's tags.
    const int32_t folderId = m_regions.FolderForNew();
    auto* region = new CRegion(RegionNameFor(file), 0, frames, sample, RegionRoot, -1, folderId);
    region->ComputePeakStats(m_peaks.peaks.data(), static_cast<int64_t>(m_peaks.peaks.size() / 2));
    ApplyTags(*source, *region);

    // Into the list, its folder selected, onto the tape.
    m_regions.Insert(region);
    m_regions.SetSelectedFolder(folderId);
    if (m_hooks.selectFolder) m_hooks.selectFolder(folderId);
    if (m_hooks.showOnTape) m_hooks.showOnTape(*region);
    m_last = region;

    // The progress dialog closes only once everything is in place.
    closeProgress();
    return true;
}

bool CImporter::Link(const std::string& folder, const std::string& file, std::string& message, int style,
                     bool& cancelled, bool found) {
    const BusyScope busy(m_busy);
    cancelled = false;
    m_last = nullptr;
    message.clear();
    int32_t code = -1;
    std::unique_ptr<AudioFile> source = OpenSource(folder, file, message, code);
    if (!source) return false;

    // The sample for the file where it lies; only a found file counts as stored.
    const int32_t serial = m_vdisk.CurrentSerial();
    auto sample = std::make_unique<CSample>(file, folder, found ? 1 : 0, serial, source->rate,
                                            static_cast<int32_t>(source->channels), source->bits, source->frames, code,
                                            source->dataBytes);
    PeakTarget peaks;
    if (!sample->PeakFileName(peaks.peakName) || sample->PeakFileFolder().empty()) {
        message = "Can't open output file";
        return false;
    }
    peaks.peakFolder = sample->PeakFileFolder();

    // The root region, with the file's tags.
    const int32_t folderId = m_regions.FolderForNew();
    auto region = std::make_unique<CRegion>(RegionNameFor(file), 0, source->frames, sample.get(),
                                            RegionRoot | (found ? RegionFound : 0u), -1, folderId);
    ApplyTags(*source, *region);

    // The peak file, built from the audio. The same reader opens again.
    source->Close();
    const bool own = style == kProgressOwn || style == kProgressOwnCancel;
    if (!source->OpenRead()) {
        message = source->ErrorText().empty() ? "Can't open file." : source->ErrorText();
        return false;
    }
    if (own && m_ui != nullptr) {
        m_ui->ProgressOpen(style == kProgressOwnCancel);
        m_ui->ProgressText(StrFormat("Building %s", file.c_str()));
    }
    PeakFile(peaks.peakFolder, peaks.peakName).Delete();
    m_peaks.Clear();
    const int64_t frames = Stream(*source, nullptr, style, cancelled);
    source->Close();
    if (own && m_ui != nullptr) m_ui->ProgressClose();
    if (cancelled) {
        message = "Link aborted.";
        return false; // region and sample are discarded with their owners here
    }
    WritePeakFile(peaks.peakFolder, peaks.peakName, m_peaks, PeakFramesPerEntry(source->rate));

    // Compressed headers give only an estimate: the frames read count.
    if (code == kFormatMp3 || code == kFormatVorbis || code == kFormatFlac || code == kFormatFFmpeg) {
        sample->SetFrameCount(frames);
        region->SetEnd(frames);
        region->ResetViewWindow();
    }

    // The overview from the peak file as written (from the buffer when it could not be).
    if (!ComputeRegionPeaks(*region))
        region->ComputePeakStats(m_peaks.peaks.data(), static_cast<int64_t>(m_peaks.peaks.size() / 2));

    // Into the lists.
    CRegion* r = region.release();
    m_samples.Add(sample.release());
    m_regions.Insert(r);
    if (!found) {
        m_regions.SetSelectedFolder(folderId);
        if (m_hooks.selectFolder) m_hooks.selectFolder(folderId);
    }
    if (m_hooks.showOnTape) m_hooks.showOnTape(*r);
    m_last = r;
    return true;
}

CImporter::LoopResult CImporter::RunFileLoop(const std::vector<std::string>& paths, bool link, bool& showReport) {
    const BusyScope busy(m_busy);
    LoopResult result;
    if (m_ui != nullptr) {
        m_ui->DualOpen();
        m_ui->ReportClear();
    }
    if (m_hooks.clearBrowserSelection) m_hooks.clearBrowserSelection();
    const int n = static_cast<int>(paths.size());
    for (int i = 0; i < n; ++i) {
        const std::string& path = paths[static_cast<size_t>(i)];
        const size_t slash = path.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        m_overall = (i * 100 + 100) / n;
        if (m_ui != nullptr) {
            m_ui->DualText(
                StrFormat(link ? "Linking file %d of %d\n%s" : "Importing file %d of %d\n%s", i + 1, n, name.c_str()));
            m_ui->DualBars(m_overall, 0);
        }
        std::string message;
        bool cancelled = false;
        const bool ok = link ? Link(folder, name, message, kProgressSecondCancel, cancelled)
                             : Import(folder, name, message, kProgressSecondCancel, cancelled);
        ok ? ++result.succeeded : ++result.failed;
        if (m_ui != nullptr) m_ui->ReportAddLine(name, ok ? "OK" : message);
        if (cancelled || (m_ui != nullptr && m_ui->DualAborted())) {
            result.aborted = true;
            break;
        }
    }
    if (m_ui != nullptr) m_ui->DualClose();
    if (m_hooks.redrawTapes) m_hooks.redrawTapes();
    if (showReport && m_ui != nullptr) {
        bool dontShowAgain = false;
        m_ui->ReportPrepare(link ? "Link Audio Report" : "Import Audio Report", &dontShowAgain);
        m_ui->ReportShow();
        showReport = !dontShowAgain;
    }
    return result;
}
