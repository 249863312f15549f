#include "cdimport/CCDRip.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/logging.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include "common/TextCase.h"
#include "audiofile/AudioFile.h"
#include "audiofile/PeakFile.h"
#include "common/ByteIO.h"
#include "common/FixedText.h"
#include "common/UiPort.h"

namespace fs = std::filesystem;

namespace {

// libcdio tells stderr about every image line it does not like and every drive it cannot ask;
// the reader reports what matters itself, through its results.
void QuietLog(cdio_log_level_t, const char*) {}

// Opens a device node or an image, by the image's kind where its name tells it.
CdIo_t* OpenCdio(const CDDrive& drive) {
    const std::string& d = drive.device;
    if (!drive.image) return cdio_open(d.c_str(), DRIVER_DEVICE);
    CdIo_t* p = nullptr;
    if (EndsWithNoCase(d, ".cue")) p = cdio_open_cue(d.c_str());
    else if (EndsWithNoCase(d, ".toc")) p = cdio_open_cdrdao(d.c_str());
    else if (EndsWithNoCase(d, ".nrg")) p = cdio_open_nrg(d.c_str());
    else if (EndsWithNoCase(d, ".bin")) p = cdio_open_bincue(d.c_str());
    if (p == nullptr) p = cdio_open(d.c_str(), DRIVER_UNKNOWN);
    return p;
}

int DigitSum(int n) {
    int s = 0;
    for (; n > 0; n /= 10) s += n % 10;
    return s;
}

} // namespace

// An open drive or image, closed when it goes; with paranoia's reader for real drives.
struct CCDRip::Disc {
    CdIo_t* cdio = nullptr;
    cdrom_drive_t* drive = nullptr;
    cdrom_paranoia_t* paranoia = nullptr;

    ~Disc() {
        if (paranoia != nullptr) cdio_paranoia_free(paranoia);
        if (drive != nullptr) cdio_cddap_close_no_free_cdio(drive);
        if (cdio != nullptr) cdio_destroy(cdio);
    }
    // Paranoia's error correction for a real drive that it can drive; images are read directly.
    void StartParanoia() {
        if (cdio == nullptr || paranoia != nullptr) return;
        drive = cdio_cddap_identify_cdio(cdio, CDDA_MESSAGE_FORGETIT, nullptr);
        if (drive == nullptr) return;
        if (cdio_cddap_open(drive) != 0) {
            cdio_cddap_close_no_free_cdio(drive);
            drive = nullptr;
            return;
        }
        paranoia = cdio_paranoia_init(drive);
        // Full correction, but a spot it cannot get right after its retries is given up rather
        // than retried for ever: our own three attempts decide then.
        if (paranoia != nullptr) cdio_paranoia_modeset(paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    }
    // frames audio frames from lsn into out as little-endian 16-bit stereo; false on failure.
    bool Read(int32_t lsn, int frames, uint8_t* out) {
        if (paranoia == nullptr)
            return cdio_read_audio_sectors(cdio, out, lsn, static_cast<uint32_t>(frames)) == DRIVER_OP_SUCCESS;
        cdio_paranoia_seek(paranoia, lsn, SEEK_SET);
        for (int f = 0; f < frames; ++f) {
            const int16_t* s = cdio_paranoia_read_limited(paranoia, nullptr, 3);
            if (s == nullptr) return false;
            uint8_t* o = out + static_cast<size_t>(f) * kBytesPerFrame;
            for (int k = 0; k < kBytesPerFrame / 2; ++k) {
                const uint16_t v = static_cast<uint16_t>(s[k]);
                o[2 * k] = static_cast<uint8_t>(v & 0xff);
                o[2 * k + 1] = static_cast<uint8_t>(v >> 8);
            }
        }
        return true;
    }
};

CCDRip::CCDRip() = default;
CCDRip::~CCDRip() = default;

bool CCDRip::Start() {
    cdio_log_set_handler(QuietLog);
    // libcdio sets its drivers up once per process and says false to every later call.
    static const bool initialised = cdio_init();
    m_started = initialised || cdio_have_driver(DRIVER_BINCUE);
    m_block.assign(static_cast<size_t>(kBlockFrames) * 2, 0.0f);
    return m_started;
}

int CCDRip::ListDrives() {
    std::vector<CDDrive> drives;
    if (m_started) {
        char** devices = cdio_get_devices(DRIVER_DEVICE);
        for (char** d = devices; d != nullptr && *d != nullptr && drives.size() < kMaxDrives; ++d) {
            CDDrive drive;
            drive.device = *d;
            drive.vendor = "Unknown";
            drive.product = fs::path(drive.device).filename().string();
            // The identification comes from the drive itself, which answers without a disc.
            if (CdIo_t* p = cdio_open(*d, DRIVER_DEVICE)) {
                cdio_hwinfo_t hw{};
                if (cdio_get_hwinfo(p, &hw)) {
                    std::string vendor = hw.psz_vendor, model = hw.psz_model;
                    while (!vendor.empty() && vendor.back() == ' ') vendor.pop_back();
                    while (!model.empty() && model.back() == ' ') model.pop_back();
                    if (!vendor.empty()) drive.vendor = vendor;
                    if (!model.empty()) drive.product = model;
                }
                cdio_destroy(p);
            }
            drives.push_back(drive);
        }
        if (devices != nullptr) cdio_free_device_list(devices);
    }
    for (const CDDrive& d : m_drives)
        if (d.image) drives.push_back(d);
    m_drives = std::move(drives);
    SelectDrive(m_selected);
    return DriveCount();
}

std::string CCDRip::DriveName(int i) const {
    if (i < 0 || i >= DriveCount()) return "";
    const CDDrive& d = m_drives[static_cast<size_t>(i)];
    return d.vendor + ":" + d.product;
}

int CCDRip::AddImage(const std::string& path, std::string& error) {
    std::error_code ec;
    const std::string full = fs::absolute(path, ec).lexically_normal().string();
    for (int i = 0; i < DriveCount(); ++i)
        if (m_drives[static_cast<size_t>(i)].image && m_drives[static_cast<size_t>(i)].device == full) return i;
    CDDrive drive;
    drive.vendor = "Image";
    drive.product = fs::path(full).filename().string();
    drive.device = full;
    drive.image = true;
    if (!fs::is_regular_file(full, ec)) {
        error = "Can't open file.";
        return -1;
    }
    CdIo_t* p = m_started ? OpenCdio(drive) : nullptr;
    if (p == nullptr) {
        error = "Not a disc image.";
        return -1;
    }
    cdio_destroy(p);
    m_drives.push_back(drive);
    return DriveCount() - 1;
}

int CCDRip::FindDrive(const std::string& what) const {
    for (int i = 0; i < DriveCount(); ++i)
        if (m_drives[static_cast<size_t>(i)].device == what || DriveName(i) == what) return i;
    if (!what.empty() && what.find_first_not_of("0123456789") == std::string::npos && what.size() < 4) {
        const int n = std::stoi(what);
        if (n >= 1 && n <= DriveCount()) return n - 1;
    }
    return -1;
}

void CCDRip::SelectDrive(int i) { m_selected = i >= 0 && i < DriveCount() ? i : 0; }

bool CCDRip::Open(Disc& disc) const {
    if (!m_started || m_selected < 0 || m_selected >= DriveCount()) return false;
    const CDDrive& drive = m_drives[static_cast<size_t>(m_selected)];
    disc.cdio = OpenCdio(drive);
    if (disc.cdio == nullptr) return false;
    if (!drive.image) disc.StartParanoia();
    return true;
}

uint32_t CCDRip::DiscIdOf(const std::vector<CDTocEntry>& toc) {
    if (toc.size() < 2) return 0;
    const int tracks = static_cast<int>(toc.size()) - 1;
    // Addresses count from the start of the disc's lead-in: two seconds before frame 0.
    int n = 0;
    for (int t = 0; t < tracks; ++t) n += DigitSum((toc[static_cast<size_t>(t)].start + 150) / 75);
    const int length = (toc.back().start + 150) / 75 - (toc.front().start + 150) / 75;
    return (static_cast<uint32_t>(n % 0xff) << 24) | (static_cast<uint32_t>(length & 0xffff) << 8) |
           static_cast<uint32_t>(tracks & 0xff);
}

bool CCDRip::ReadDiscId(uint32_t& id) {
    if (m_toc.empty() && ReadTOC() == 0) return false;
    id = DiscIdOf(m_toc);
    return id != 0;
}

namespace {

// A disc sample as the float that every 16-bit writer (WAV and KX64 store trunc(f x 32767))
// turns back into the same integer: the middle of that integer's interval. A rip must be the
// disc's audio bit for bit; x / 32768 would come back one step nearer zero.
float DiscSampleToFloat(int16_t x) { return static_cast<float>((x + (x < 0 ? -0.5 : 0.5)) / 32767.0); }

// The disc's own CD-TEXT, when it carries any, as disc information.
bool ReadCDText(CdIo_t* p, int first, int tracks, CDDiscInfo& info) {
    cdtext_t* text = cdio_get_cdtext(p);
    if (text == nullptr) return false;
    auto field = [&](cdtext_field_t f, int track) {
        const char* s = cdtext_get_const(text, f, static_cast<track_t>(track));
        return s != nullptr ? std::string(s) : std::string();
    };
    bool any = false;
    for (int t = 0; t < tracks && t < CDDiscInfo::kMaxTitles; ++t) {
        std::string title = CutUtf8(field(CDTEXT_FIELD_TITLE, first + t), CDDiscInfo::kTitleBytes - 1);
        any = any || !title.empty();
        info.titles[static_cast<size_t>(t)] = std::move(title);
    }
    if (!any) {
        info.ClearTitles();
        return false;
    }
    info.album = CutUtf8(field(CDTEXT_FIELD_TITLE, 0), CDDiscInfo::kTitleBytes - 1);
    info.artist = CutUtf8(field(CDTEXT_FIELD_PERFORMER, 0), CDDiscInfo::kTitleBytes - 1);
    info.genre = CutUtf8(field(CDTEXT_FIELD_GENRE, 0), CDDiscInfo::kGenreBytes - 1);
    info.source = CDDiscInfo::Source::CDText;
    return true;
}

} // namespace

int CCDRip::ReadTOC() {
    m_toc.clear();
    Disc disc;
    if (!Open(disc)) return 0;
    const track_t first = cdio_get_first_track_num(disc.cdio);
    const track_t count = cdio_get_num_tracks(disc.cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0 || first + count - 1 > 99) return 0;
    std::vector<CDTocEntry> toc;
    for (int t = first; t < first + count; ++t) {
        const lsn_t lsn = cdio_get_track_lsn(disc.cdio, static_cast<track_t>(t));
        if (lsn == CDIO_INVALID_LSN) return 0;
        CDTocEntry e;
        e.start = lsn;
        e.control = cdio_get_track_format(disc.cdio, static_cast<track_t>(t)) == TRACK_FORMAT_AUDIO ? 0 : 4;
        toc.push_back(e);
    }
    const lsn_t leadOut = cdio_get_track_lsn(disc.cdio, CDIO_CDROM_LEADOUT_TRACK);
    if (leadOut == CDIO_INVALID_LSN) return 0;
    toc.push_back({0x10, leadOut});
    // A table whose addresses do not grow is no table: every length below comes from it.
    for (size_t i = 1; i < toc.size(); ++i)
        if (toc[i].start < toc[i - 1].start) return 0;
    m_toc = std::move(toc);
    m_firstTrack = first;

    // Titles from a lookup stay while the same disc is in the drive; another disc clears them.
    const uint32_t id = DiscIdOf(m_toc);
    const bool sameDisc = id != 0 && id == m_info.discId;
    if (!sameDisc || m_info.source != CDDiscInfo::Source::Lookup) {
        m_info.ClearTitles();
        if (!sameDisc) m_info.genre.clear();
        m_info.discId = id;
        ReadCDText(disc.cdio, first, TrackCount(), m_info);
    }
    return TrackCount();
}

bool CCDRip::IsAudioTrack(int i) const {
    if (i < 0 || i >= TrackCount()) return false;
    return (m_toc[static_cast<size_t>(i)].control & 4) == 0;
}

int32_t CCDRip::TrackFrames(int i) const {
    if (i < 0 || i >= TrackCount()) return 0;
    return m_toc[static_cast<size_t>(i) + 1].start - m_toc[static_cast<size_t>(i)].start;
}

std::string CCDRip::TrackName(int i) const {
    char text[96];
    const bool audio = IsAudioTrack(i);
    if (!m_info.HasTitle(i)) std::snprintf(text, sizeof text, " %sTrack %02d", audio ? "Audio" : "Data", i + 1);
    else if (!audio) std::snprintf(text, sizeof text, "%02d-DataTrack", i + 1);
    else std::snprintf(text, sizeof text, "%02d-%s", i + 1, m_info.titles[static_cast<size_t>(i)].c_str());
    return text;
}

std::string CCDRip::TrackTime(int i) const {
    int32_t seconds = TrackFrames(i) / 75;
    // Before a data track lie the lead-out and lead-in of the audio session, which are not music.
    if (i + 1 < TrackCount() && !IsAudioTrack(i + 1) && seconds > 150) seconds -= 150;
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d", seconds / 60, seconds % 60);
    return text;
}

std::string CCDRip::TrackSize(int i) const {
    int32_t frames = TrackFrames(i);
    if (i + 1 < TrackCount() && !IsAudioTrack(i + 1) && frames > kDataGapFrames) frames -= kDataGapFrames;
    char text[32];
    std::snprintf(text, sizeof text, "%d MB", static_cast<int>(frames * 0.002352));
    return text;
}

int64_t CCDRip::ReadTrack(int i, AudioFile& writer, int32_t kbps, PeakBuffers& peaks, UiPort* ui, int overall,
                          bool& aborted, bool& writeFailed) {
    aborted = false;
    writeFailed = false;
    if (i < 0 || i >= TrackCount()) return 0;
    Disc disc;
    if (!Open(disc)) return 0;

    if (m_info.HasTitle(i)) {
        writer.hasTags = 1;
        writer.SetTitle(m_info.titles[static_cast<size_t>(i)]);
        writer.SetArtist(m_info.artist);
        writer.SetAlbum(m_info.album);
        writer.SetGenre(m_info.genre);
        writer.year = m_info.year;
        writer.track = i + 1;
    }
    if (!writer.OpenWrite(2, 44100, 16, kSampleInt, kbps)) {
        writeFailed = true;
        return 0;
    }

    int32_t frame = m_toc[static_cast<size_t>(i)].start;
    const int64_t n = TrackFrames(i);
    int64_t left = n;
    const int32_t perEntry = PeakFramesPerEntry(44100);
    const int32_t perLevel = LevelFramesPerBlock(44100);
    peaks.Clear();
    m_block.assign(static_cast<size_t>(kBlockFrames) * 2, 0.0f);
    int32_t fill = 0;
    int64_t bytes = 0;
    std::vector<uint8_t> buffer(static_cast<size_t>(kFramesPerCall) * kBytesPerFrame);
    auto flush = [&](int32_t frames) {
        if (frames <= 0) return;
        BuildPeaks(m_block.data(), frames, peaks, perEntry, perLevel);
        writer.WriteFloat(m_block.data(), frames); // converts the buffer in place
    };

    for (int64_t call = 0; left > 0; ++call) {
        const int block = static_cast<int>(std::min<int64_t>(kFramesPerCall, left));
        if (ui != nullptr) {
            ui->LetEventsThrough();
            if (call % 5 == 0) ui->DualBars(overall, static_cast<int>((n - left) * 100 / n));
            if (ui->DualAborted()) {
                aborted = true;
                break;
            }
        }
        bool ok = false;
        for (int attempt = 1; attempt <= kAttempts && !ok; ++attempt) {
            if (m_fault && m_fault(frame, attempt)) continue;
            ok = disc.Read(frame, block, buffer.data());
        }
        if (ok) {
            const int64_t got = static_cast<int64_t>(block) * kBytesPerFrame;
            bytes += got;
            const uint8_t* p = buffer.data();
            for (int64_t s = 0; s < got / 4; ++s, p += 4) {
                m_block[static_cast<size_t>(fill) * 2] = DiscSampleToFloat(static_cast<int16_t>(LoadLE16(p)));
                m_block[static_cast<size_t>(fill) * 2 + 1] = DiscSampleToFloat(static_cast<int16_t>(LoadLE16(p + 2)));
                if (++fill == kBlockFrames) {
                    flush(fill);
                    fill = 0;
                }
            }
        }
        frame += block;
        left -= block;
    }
    if (!aborted) flush(fill);
    if (!writer.FinishWrite()) writeFailed = true;
    writer.Close();
    return bytes;
}
