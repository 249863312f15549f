#include "library/CRegion.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "common/Clock.h"
#include "common/FixedText.h"
#include "common/TimeFormat.h"
#include "library/CRegionStamps.h"
#include "library/CSample.h"

namespace {
int32_t g_regionCounter = 0;
int32_t g_folderCounter = 1000;
// Stamps of text changes, unique over all regions, so that a search index entry made for one
// region never passes for another that later lives at the same address. The log keeps which
// region took each of the latest stamps: g_stamped[k] took stamp g_stampedBase + 1 + k.
std::atomic<uint64_t> g_textStamps{0};
std::mutex g_stampLock;
std::vector<const CRegion*> g_stamped;
uint64_t g_stampedBase = 0;
constexpr size_t kStampsKept = size_t{1} << 16;
CRegion::MarkerViewHook g_markerView;

int ShapeFromBits(uint32_t flags, uint32_t logBit, uint32_t expBit) {
    // Both bits set reads as Log.
    if (flags & logBit) return 1;
    if (flags & expBit) return 2;
    return 0;
}

uint32_t ShapeToBits(uint32_t flags, int shape, uint32_t logBit, uint32_t expBit) {
    flags &= ~(logBit | expBit);
    if (shape == 1) flags |= logBit;
    else if (shape == 2) flags |= expBit;
    return flags;
}
} // namespace

int32_t CRegion::GetRegionCounter() { return g_regionCounter; }
void CRegion::SetRegionCounter(int32_t value) { g_regionCounter = value; }
int32_t CRegion::GetFolderCounter() { return g_folderCounter; }
void CRegion::SetFolderCounter(int32_t value) { g_folderCounter = value; }

void CRegion::SetMarkerViewHook(MarkerViewHook hook) { g_markerView = std::move(hook); }

CRegion::CRegion(const std::string& name, int64_t start, int64_t end, CSample* sample, uint32_t flags, int32_t id,
                 int32_t parentId)
    : m_start(start), m_end(end), m_sample(sample), m_flags(flags), m_parentId(parentId) {
    SetName(name);
    if (id == -1) m_id = (flags & RegionFolder) ? ++g_folderCounter : ++g_regionCounter;
    else m_id = id;
    if (!(flags & RegionFolder) && sample) m_sampleId = sample->GetId();
    m_date = TodayStamp();
    ResetViewWindow();
}

CRegion::CRegion() {
    m_date = TodayStamp();
    TextChanged();
}

CRegion::~CRegion() = default;

uint64_t CRegion::StampsIssued() { return g_textStamps.load(std::memory_order_relaxed); }

void CRegion::SetSearchMark(uint32_t mark) {
    m_searchMark = mark;
    TextChanged();
}

void CRegion::SetFlags(uint32_t flags) {
    const bool folderChanged = ((flags ^ m_flags) & RegionFolder) != 0;
    m_flags = flags;
    if (folderChanged) TextChanged();
}

void CRegion::TextChanged() {
    std::lock_guard<std::mutex> lock(g_stampLock);
    m_textStamp = g_textStamps.fetch_add(1, std::memory_order_relaxed) + 1;
    // The log forgets its older half now and then; a search that has been away longer looks at
    // every region once.
    if (g_stamped.size() >= 2 * kStampsKept) {
        g_stamped.erase(g_stamped.begin(), g_stamped.begin() + static_cast<std::ptrdiff_t>(kStampsKept));
        g_stampedBase += kStampsKept;
    }
    g_stamped.push_back(this);
}

bool RegionsStampedSince(uint64_t stamp, std::vector<const CRegion*>& out) {
    std::lock_guard<std::mutex> lock(g_stampLock);
    out.clear();
    if (stamp < g_stampedBase) return false;
    const size_t from = static_cast<size_t>(stamp - g_stampedBase);
    if (from > g_stamped.size()) return false;
    out.assign(g_stamped.begin() + static_cast<std::ptrdiff_t>(from), g_stamped.end());
    return true;
}

void CRegion::SetName(const std::string& name) {
    m_name = CutUtf8(name, kNameSize - 1);
    TextChanged();
}
void CRegion::SetNotes(const std::string& notes) {
    m_notes = CutUtf8(notes, kNotesSize - 1);
    TextChanged();
}
void CRegion::SetTitle(const std::string& v) {
    m_title = CutUtf8(v, kTagSize - 1);
    TextChanged();
}
void CRegion::SetArtist(const std::string& v) {
    m_artist = CutUtf8(v, kTagSize - 1);
    TextChanged();
}
void CRegion::SetAlbum(const std::string& v) {
    m_album = CutUtf8(v, kTagSize - 1);
    TextChanged();
}
void CRegion::SetGenre(const std::string& v) {
    m_genre = CutUtf8(v, kGenreSize - 1);
    TextChanged();
}

void CRegion::SetPeakStats(int32_t leftPeak, int32_t rightPeak, int32_t leftLevel, int32_t rightLevel) {
    m_leftPeak = leftPeak;
    m_rightPeak = rightPeak;
    m_leftLevel = leftLevel;
    m_rightLevel = rightLevel;
}

void CRegion::ComputePeakStats(const uint16_t* pairs, int64_t pairCount) {
    if (!pairs || pairCount <= 0) {
        // No peak data: zero statistics, the overview keeps what it had.
        SetPeakStats(0, 0, 0, 0);
        return;
    }
    const int64_t n = pairCount;
    int32_t leftPeak = 0, rightPeak = 0;
    double leftSum = 0.0, rightSum = 0.0;
    const double weight = 0.707 / static_cast<double>(n);
    for (int64_t i = 0; i < n; ++i) {
        int32_t l = pairs[2 * i], r = pairs[2 * i + 1];
        if (l > leftPeak) leftPeak = l;
        if (r > rightPeak) rightPeak = r;
        leftSum += weight * l;
        rightSum += weight * r;
    }
    SetPeakStats(leftPeak, rightPeak, static_cast<int32_t>(leftSum), static_cast<int32_t>(rightSum));

    const int64_t frames = m_sample ? m_sample->GetFrameCount() : 0;
    if (frames <= 0) return;
    const float startRatio = static_cast<float>(static_cast<double>(m_start) / static_cast<double>(frames));
    const float endRatio = static_cast<float>(static_cast<double>(m_end) / static_cast<double>(frames));
    // A range that reaches outside the sample (damaged record) is held to the data there is,
    // before the conversion, which has no result for values beyond 64 bits.
    const auto pairIndex = [n](float ratio) {
        double k = static_cast<double>(n - 1) * static_cast<double>(ratio);
        if (!(k > 0.0)) return int64_t{0};
        if (k >= static_cast<double>(n - 1)) return n - 1;
        return static_cast<int64_t>(k);
    };
    const int64_t first = pairIndex(startRatio);
    int64_t last = pairIndex(endRatio);
    if (last < first) last = first;
    const int64_t span = last - first + 1;
    for (int i = 0; i < kOverviewSize; ++i) {
        int64_t k = first + static_cast<int64_t>(i) * span / 1023;
        if (k > last) k = last;
        double sum = static_cast<double>(pairs[2 * k]) + static_cast<double>(pairs[2 * k + 1]);
        m_overview[i] = static_cast<uint8_t>(static_cast<int>(sum * 0.5 * 255.0 / 65535.0));
    }
}

std::string CRegion::PeakDisplay(int32_t value) {
    double db = value == 0 ? -99.0 : 20.0 * std::log10(static_cast<double>(value) / 65535.0);
    return StrFormat("%04.2fdB", db);
}

int CRegion::GetFadeInShape() const { return ShapeFromBits(m_flags, RegionFadeInLog, RegionFadeInExp); }
void CRegion::SetFadeInShape(int shape) { m_flags = ShapeToBits(m_flags, shape, RegionFadeInLog, RegionFadeInExp); }
int CRegion::GetFadeOutShape() const { return ShapeFromBits(m_flags, RegionFadeOutLog, RegionFadeOutExp); }
void CRegion::SetFadeOutShape(int shape) { m_flags = ShapeToBits(m_flags, shape, RegionFadeOutLog, RegionFadeOutExp); }

std::string CRegion::ChildName() {
    std::string name = StrFormat("%s.%03d", m_name.c_str(), m_nextChild);
    ++m_nextChild;
    return name;
}

void CRegion::SetViewWindow(int32_t start, int32_t end) {
    m_viewStart = start;
    m_viewEnd = end;
}

void CRegion::ResetViewWindow() {
    m_viewStart = 0;
    m_viewEnd = static_cast<int32_t>(m_end - m_start);
}

void CRegion::SetRange(bool on, int32_t start, int32_t end) {
    m_rangeOn = on;
    m_rangeStart = start;
    m_rangeEnd = end;
}

bool CRegion::GetHistoryEntry(int i, int32_t& start, int32_t& end) const {
    if (i < 0 || i >= m_historyCount) return false;
    start = m_historyStart[i];
    end = m_historyEnd[i];
    return true;
}

void CRegion::AddToHistory(bool on, int32_t start, int32_t end) {
    if (!on) return;
    if (m_historyCount < kHistorySize) ++m_historyCount;
    for (int i = m_historyCount - 1; i > 0; --i) {
        m_historyStart[i] = m_historyStart[i - 1];
        m_historyEnd[i] = m_historyEnd[i - 1];
    }
    m_historyStart[0] = start;
    m_historyEnd[0] = end;
}

bool CRegion::SelectHistory(int n) {
    if (n == 0) {
        m_rangeOn = false;
        return true;
    }
    if (n < 1 || n > m_historyCount) return false;
    SetRange(true, m_historyStart[n - 1], m_historyEnd[n - 1]);
    return true;
}

bool CRegion::DeleteHistory(int n) {
    if (n < 1 || n > m_historyCount) return false;
    for (int i = n - 1; i < m_historyCount - 1; ++i) {
        m_historyStart[i] = m_historyStart[i + 1];
        m_historyEnd[i] = m_historyEnd[i + 1];
    }
    --m_historyCount;
    m_historyStart[m_historyCount] = 0;
    m_historyEnd[m_historyCount] = 0;
    return true;
}

std::vector<std::string> CRegion::HistoryLines() const {
    std::vector<std::string> lines{"none"};
    const int rate = SampleRate();
    for (int i = 0; i < m_historyCount; ++i)
        lines.push_back(FormatTime(m_historyStart[i], rate) + " - " + FormatTime(m_historyEnd[i], rate));
    return lines;
}

void CRegion::CopyNotesAndTags(const CRegion& other) {
    if (&other == this) return;
    m_notes = other.m_notes;
    m_title = other.m_title;
    m_artist = other.m_artist;
    m_album = other.m_album;
    m_genre = other.m_genre;
    m_year = other.m_year;
    m_track = other.m_track;
    TextChanged();
}

void CRegion::CopySnapsFrom(const CRegion& other) {
    if (&other == this) return;
    // A list's first snap is always its own "Flat"; only the snaps after it are the region's
    // own settings, and they keep their places, so the same indexes stay current and favourite.
    m_snaps.Reset();
    m_snaps.AppendCopiesFrom(other.m_snaps);
    const int32_t current = other.m_snaps.GetCurrent();
    m_snaps.SetCurrent(current >= 0 && current < m_snaps.Count() ? current : 0);
    m_snaps.SetFavourite(other.m_snaps.FavouriteValid() ? other.m_snaps.GetFavourite() : -1);
}

void CRegion::CopyFrom(const CRegion& other) {
    if (&other == this) return;
    CopyNotesAndTags(other);
    m_markers.CopyFrom(other.m_markers);
    m_rangeOn = other.m_rangeOn;
    m_rangeStart = other.m_rangeStart;
    m_rangeEnd = other.m_rangeEnd;
    m_historyCount = other.m_historyCount;
    std::memcpy(m_historyStart, other.m_historyStart, sizeof m_historyStart);
    std::memcpy(m_historyEnd, other.m_historyEnd, sizeof m_historyEnd);
    CopySnapsFrom(other);
}

int32_t CRegion::SampleRate() const { return m_sample ? m_sample->GetSampleRate() : 0; }

void CRegion::RefreshMarkerView() const {
    if (g_markerView) g_markerView(m_markers.Show());
}

CMarker* CRegion::NewMarker(int64_t position) {
    std::string text = FormatTime(position, SampleRate()) + " (you can edit this text)";
    CMarker* marker = new CMarker(position, text, 0, m_id, CMarker::IconLamp);
    m_markers.Insert(marker);
    RefreshMarkerView();
    return marker;
}

bool CRegion::DeleteMarker(int n) { return DeleteMarker(m_markers.At(n)); }

bool CRegion::DeleteMarker(CMarker* marker) {
    if (!marker || !m_markers.Remove(marker)) return false;
    delete marker;
    RefreshMarkerView();
    return true;
}

bool CRegion::MoveMarker(int n, int64_t position) { return MoveMarker(m_markers.At(n), position); }

bool CRegion::MoveMarker(CMarker* marker, int64_t position) {
    if (!marker || !m_markers.Remove(marker)) return false;
    marker->SetPosition(position);
    m_markers.Insert(marker);
    RefreshMarkerView();
    return true;
}

void CRegion::ShowMarkers() const { RefreshMarkerView(); }

std::vector<std::pair<std::string, std::string>> CRegion::InfoList() const {
    const CSample* s = m_sample;
    const int rate = s ? s->GetSampleRate() : 0;
    const int bits = s ? s->GetBits() : 0;
    const int channels = s ? s->GetChannels() : 0;
    const int32_t dataRate = s ? s->DataRate() : 0;
    const int64_t byteSize = s ? s->ByteSize() : 0;
    const int64_t frames = s ? s->GetFrameCount() : 0;
    const int32_t density = dataRate < 1 ? 0 : static_cast<int32_t>(static_cast<int64_t>(dataRate) * 100 / 1411);
    const double pcm16 = static_cast<double>(m_end - m_start) * channels * 2.0 / 1000000.0;

    std::vector<std::pair<std::string, std::string>> rows;
    rows.emplace_back("Title", m_title);
    rows.emplace_back("Artist", m_artist);
    rows.emplace_back("Album", m_album);
    rows.emplace_back("Year", m_year == 0 ? std::string() : StrFormat("%d", m_year));
    rows.emplace_back("Genre", m_genre);
    rows.emplace_back("Format", StrFormat("%.1f/%d/%d", rate / 1000.0, bits, channels));
    rows.emplace_back("Data Rate", StrFormat("%d Kbps", dataRate));
    rows.emplace_back("Data Density", StrFormat("%d (CDAudio = 100)", density));
    rows.emplace_back("Whole File Size", StrFormat("%.1f MB", static_cast<double>(byteSize) / 1000000.0));
    rows.emplace_back("Size as PCM16", StrFormat("%.1f MB", pcm16));
    rows.emplace_back("Length", FormatTime(m_end - m_start, rate));
    rows.emplace_back("Start Offset", FormatTime(m_start, rate));
    rows.emplace_back("End Offset", FormatTime(frames - m_end, rate));
    rows.emplace_back("Fade In", FormatTime(m_fadeIn, rate));
    rows.emplace_back("Fade Out", FormatTime(m_fadeOut, rate));
    rows.emplace_back("DSP Snaps", StrFormat("%d", m_snaps.Count()));
    rows.emplace_back("File Name", s ? s->GetFileName() : std::string());
    rows.emplace_back("File Path", s ? s->FolderPath() : std::string());
    rows.emplace_back("Left Peak", PeakDisplay(m_leftPeak));
    rows.emplace_back("Right Peak", PeakDisplay(m_rightPeak));
    return rows;
}
