#include "views/CWaveViewer.h"

#include <QFont>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "audiofile/AudioFileFactory.h"
#include "audiofile/PeakFile.h"
#include "audiofile/PeakRebuild.h"
#include "audiofile/TrackMarking.h"
#include "common/FormatCode.h"
#include "common/TimeFormat.h"
#include "library/CMarker.h"
#include "library/CRegion.h"
#include "library/CSample.h"

namespace {

constexpr uint32_t kRulerUpper = 0xFBFAC6;
constexpr uint32_t kRulerLower = 0xC9CBF5;
constexpr uint32_t kTitleColour = 0xFFFFFF;

QColor Rgb(uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

QFont PixelFont(int px) {
    QFont f;
    f.setPixelSize(px);
    return f;
}

int32_t ClampTo32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, 0, std::numeric_limits<int32_t>::max()));
}

// Column writes go straight into the scan lines: a redraw touches every column of a wide graph
// and one QPainter call per column would cost more than the peak lookup itself.
void FillColumn(QImage& img, int x, int y0, int y1, uint32_t rgb) {
    if (x < 0 || x >= img.width()) return;
    y0 = std::max(y0, 0);
    y1 = std::min(y1, img.height() - 1);
    const uint32_t px = 0xFF000000u | rgb;
    for (int y = y0; y <= y1; ++y) reinterpret_cast<uint32_t*>(img.scanLine(y))[x] = px;
}

void FillRows(QImage& img, int y0, int y1, uint32_t rgb) {
    y0 = std::max(y0, 0);
    y1 = std::min(y1, img.height() - 1);
    const uint32_t px = 0xFF000000u | rgb;
    for (int y = y0; y <= y1; ++y) std::fill_n(reinterpret_cast<uint32_t*>(img.scanLine(y)), img.width(), px);
}

void InvertColumn(QImage& img, int x, int y0, int y1) {
    if (x < 0 || x >= img.width()) return;
    y0 = std::max(y0, 0);
    y1 = std::min(y1, img.height() - 1);
    for (int y = y0; y <= y1; ++y) reinterpret_cast<uint32_t*>(img.scanLine(y))[x] ^= 0x00FFFFFFu;
}

// The three marker pictures (lamp, down arrow, pin) in a 12 × 12 cell at (x, y).
void DrawMarkerIcon(QPainter& p, int x, int y, int icon) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(0, 0, 0));
    switch (icon) {
    case CMarker::IconDownArrow: {
        p.setBrush(Rgb(0xFF0000));
        const QPoint tri[3] = {QPoint(x + 1, y + 2), QPoint(x + 11, y + 2), QPoint(x + 6, y + 11)};
        p.drawPolygon(tri, 3);
        break;
    }
    case CMarker::IconPin:
        p.drawLine(x + 6, y + 5, x + 6, y + 11);
        p.setBrush(Rgb(0x3060FF));
        p.drawEllipse(x + 3, y + 1, 6, 6);
        break;
    default:
        p.setBrush(Rgb(0xFFE040));
        p.drawEllipse(x + 2, y + 1, 8, 8);
        p.drawLine(x + 4, y + 10, x + 8, y + 10);
        break;
    }
    p.restore();
}

} // namespace

CWaveViewer::Colours CWaveViewer::SchemeColours(int scheme) {
    static const Colours kSchemes[4] = {
        {0x1F1F4F, 0x9F9FEF, 0x1C5580, 0x22226F, 0x9FFFFF, 0x2C6590},
        {0x4A2200, 0xDA6200, 0x9A2200, 0x8A5220, 0xFA9230, 0xCA6200},
        {0x354400, 0xE6D800, 0x939800, 0x6C8220, 0xFFF445, 0xB2B800},
        {0x00462C, 0x00EC53, 0x009C46, 0x2C7A5E, 0x4DFF8C, 0x08B455},
    };
    return kSchemes[scheme < 0 || scheme > 3 ? 0 : scheme];
}

uint32_t CWaveViewer::Darken(uint32_t rgb) {
    const uint32_t r = ((rgb >> 16) & 0xFF) * 5 / 10, g = ((rgb >> 8) & 0xFF) * 5 / 10, b = (rgb & 0xFF) * 6 / 10;
    return (r << 16) | (g << 8) | b;
}

CWaveViewer::CWaveViewer() { LayoutZoomSlider(0); }

void CWaveViewer::SetRegion(CRegion* region) {
    ResetInteraction();
    m_current = region;
    if (region == nullptr) return;
    const int32_t rate = region->SampleRate();
    m_rate = rate > 0 ? rate : 44100;
    m_regionEnd = ClampTo32(region->Length());
    m_regionOffset = std::max<int64_t>(0, region->GetStart());
    m_sampleLength = region->GetSample() != nullptr ? region->GetSample()->GetFrameCount() : 0;
    SetViewWindow(region->GetViewStart(), region->GetViewEnd());
    m_rangeOn = region->HasRange();
    m_rangeStart = region->GetRangeStart();
    m_rangeEnd = region->GetRangeEnd();
    m_cursor = 0;
    m_cursorX = X(0);
}

void CWaveViewer::RemoveRegion() {
    ResetInteraction();
    m_current = nullptr;
    m_notesFor = nullptr;
    m_loaded = nullptr;
    m_peaks.clear();
    m_peakCount = 0;
}

void CWaveViewer::SaveViewWindow() {
    if (m_current != nullptr) m_current->SetViewWindow(m_viewStart, m_viewEnd);
}

bool CWaveViewer::SetPeaks(const std::vector<uint16_t>& pairs, int32_t framesPerPeak, int32_t channels) {
    m_loaded = nullptr;
    m_peaks.clear();
    m_peakCount = 0;
    const int64_t count = static_cast<int64_t>(pairs.size() / 2);
    if (m_current == nullptr || framesPerPeak <= 0 || count > kPeakCapacity) return false;
    m_peaks.assign(pairs.begin(), pairs.begin() + count * 2);
    m_peakCount = static_cast<int32_t>(count);
    m_framesPerPeak = framesPerPeak;
    m_channels = channels == 0 ? 2 : channels;
    m_loaded = m_current;
    return true;
}

bool CWaveViewer::LoadPeaks() {
    if (m_current == m_loaded) return m_loaded != nullptr;
    m_loaded = nullptr;
    m_peaks.clear();
    m_peakCount = 0;
    const CSample* sample = m_current != nullptr ? m_current->GetSample() : nullptr;
    std::string name;
    if (sample == nullptr || !sample->PeakFileName(name)) return false;
    PeakFile file(sample->PeakFileFolder(), name);
    // A file larger than the buffer is not drawn at all: drawing its first part would show a
    // picture that does not belong to the positions under it.
    if (!file.OpenRead() || file.ValuesPerEntry() != 2 || file.FramesPerEntry() <= 0 ||
        file.EntryCount() > kPeakCapacity)
        return false;
    std::vector<uint16_t> pairs(static_cast<size_t>(file.EntryCount()) * 2);
    const int32_t got = file.ReadEntries(pairs.data(), file.EntryCount());
    pairs.resize(static_cast<size_t>(std::max(got, 0)) * 2);
    return SetPeaks(pairs, file.FramesPerEntry(), 2);
}

bool CWaveViewer::RebuildGraph(UiPort* ui, PeakBuffers& buffers, bool& cancelled, std::string& error) {
    cancelled = false;
    error.clear();
    CSample* sample = m_current != nullptr ? m_current->GetSample() : nullptr;
    if (sample == nullptr) return false;
    const int32_t code = sample->GetFormatCode();
    if (code != kFormatWav && code != kFormatAiff && code != kFormatMp3 && code != kFormatVorbis && code != kFormatKX64)
        return false;
    std::unique_ptr<AudioFile> file = OpenAudioFileRead(code, sample->FolderPath(), sample->GetFileName(), nullptr,
                                                        error);
    if (file == nullptr) return false;
    const bool ok = RebuildPeakFile(*file, *sample, ui, true, cancelled, buffers);
    // Whatever happened, the peaks in hand may no longer match the file: read them again.
    m_loaded = nullptr;
    return ok;
}

bool CWaveViewer::MarkTracks(std::vector<int64_t>& added) {
    added.clear();
    if (m_loaded == nullptr || m_loaded != m_current || m_framesPerPeak <= 0) return false;
    const CSample* sample = m_current->GetSample();
    const int64_t start = m_current->GetStart(), end = m_current->GetEnd();
    // The entries the region's frames fall into, bounded by the entries there are.
    const int64_t first = start / m_framesPerPeak;
    const int64_t last = end > start ? (end - 1) / m_framesPerPeak : first - 1;
    const int64_t count = std::min<int64_t>(last, m_peakCount - 1) - first + 1;
    if (count > 0)
        added = FindTrackMarks(m_peaks.data(), m_peakCount, first, count, m_framesPerPeak,
                               sample != nullptr ? sample->GetSampleRate() : m_rate);
    for (int64_t pos : added) m_current->NewMarker(pos);
    return true;
}

void CWaveViewer::SetViewWindow(int32_t start, int32_t end) {
    start = std::clamp(start, 0, m_regionEnd);
    end = std::clamp(end, 0, m_regionEnd);
    if (end <= start) {
        start = 0;
        end = m_regionEnd;
    }
    m_viewStart = start;
    m_viewEnd = end;
    m_cursorX = X(m_cursor);
}

void CWaveViewer::SetCursor(int32_t position) {
    m_cursor = std::clamp(position, 0, m_regionEnd);
    m_cursorX = X(m_cursor);
}

void CWaveViewer::SetRange(bool on, int32_t start, int32_t end) {
    m_rangeOn = on;
    m_rangeStart = start;
    m_rangeEnd = end;
    if (m_current != nullptr) m_current->SetRange(on, start, end);
}

// ---- mappings ----

int CWaveViewer::PosToX(int64_t p, int64_t s, int64_t e, int w) {
    const double v = static_cast<double>(p - s) / static_cast<double>(e - s + 1) * (w - 1) + 0.5;
    return static_cast<int>(std::trunc(v));
}

int64_t CWaveViewer::XToPos(int x, int64_t s, int64_t e, int w) {
    // A surface one column wide has no second column to divide by: it shows S.
    if (w <= 1) return std::max<int64_t>(s, 0);
    x = std::clamp(x, 0, w - 1);
    const double v = static_cast<double>(x) / (w - 1) * static_cast<double>(e - s + 1) + static_cast<double>(s);
    // The last column would map to E + 1, one frame past the window (and past the region when
    // E = L); it stands for E.
    return std::clamp<int64_t>(static_cast<int64_t>(std::trunc(v)), 0, std::max<int64_t>(e, 0));
}

int CWaveViewer::PosToNavX(int64_t p, int64_t l, int wn) {
    const double v = static_cast<double>(p) / static_cast<double>(l + 1) * (wn - 1) + 0.5;
    return static_cast<int>(std::trunc(v));
}

int64_t CWaveViewer::NavXToPos(int x, int64_t l, int wn) {
    if (wn <= 1) return 0;
    x = std::clamp(x, 0, wn - 1);
    // As in the graph, the last column stands for L rather than L + 1.
    return std::min<int64_t>(static_cast<int64_t>(
                                 std::trunc(static_cast<double>(x) / (wn - 1) * static_cast<double>(l + 1))),
                             l);
}

// ---- peaks ----

CWaveViewer::Lookup CWaveViewer::LookupFor(int64_t a, int64_t b, int w) const {
    Lookup k;
    if (m_loaded == nullptr || m_peakCount <= 0 || m_sampleLength <= 0 || b <= a || w <= 0) return k;
    k.m = static_cast<double>(b - a) / (static_cast<double>(m_sampleLength) * w) * m_peakCount;
    k.base = std::trunc(static_cast<double>(m_regionOffset + a) * w / static_cast<double>(b - a)) * k.m;
    k.ok = true;
    return k;
}

void CWaveViewer::MaxOver(int64_t first, int64_t stop, double& left, double& right) const {
    left = right = 0.0;
    stop = std::max(stop, first + 1);
    // Rounding at the region's end can reach past the last pair; such entries do not exist.
    first = std::max<int64_t>(first, 0);
    stop = std::min<int64_t>(stop, m_peakCount);
    uint16_t l = 0, r = 0;
    for (int64_t i = first; i < stop; ++i) {
        l = std::max(l, m_peaks[static_cast<size_t>(i) * 2]);
        r = std::max(r, m_peaks[static_cast<size_t>(i) * 2 + 1]);
    }
    left = l / 65535.0;
    right = r / 65535.0;
}

void CWaveViewer::ColumnLevels(int64_t a, int64_t b, int w, int j, double& left, double& right) const {
    left = right = 0.0;
    const Lookup k = LookupFor(a, b, w);
    if (!k.ok) return;
    const auto first = static_cast<int64_t>(std::trunc(j * k.m + k.base));
    const auto stop = static_cast<int64_t>(std::trunc((j + 1) * k.m + k.base));
    MaxOver(first, stop, left, right);
}

double CWaveViewer::FadeGain(int64_t p) const {
    if (m_current == nullptr) return 1.0;
    auto shaped = [](double g, int shape) { return shape == 1 ? g * g : shape == 2 ? 1.0 - (1.0 - g) * (1.0 - g) : g; };
    double gain = 1.0;
    const int64_t f = m_current->GetFadeInLength(), g = m_current->GetFadeOutLength(), l = m_regionEnd;
    if (f > 0 && p < f) gain *= shaped(static_cast<double>(p) / f, m_current->GetFadeInShape());
    if (g > 0 && p > l - g) gain *= shaped(static_cast<double>(l - p) / g, m_current->GetFadeOutShape());
    return std::max(gain, 0.0);
}

bool CWaveViewer::InFade(int64_t p) const {
    if (m_current == nullptr) return false;
    const int64_t f = m_current->GetFadeInLength(), g = m_current->GetFadeOutLength();
    return (f > 0 && p < f) || (g > 0 && p > m_regionEnd - g);
}

int CWaveViewer::BarHeight(double level, int lane, bool log) {
    if (lane <= 1) return 0;
    if (!log) return static_cast<int>(std::trunc(level * (lane - 1)));
    if (level < 0.0001) return 0;
    return static_cast<int>(std::trunc((std::log10(level) * 0.25 + 1.0) * (lane - 1)));
}

double CWaveViewer::PeakAtCursor() const {
    if (m_current == nullptr) return -99.9;
    const Lookup k = LookupFor(m_viewStart, m_viewEnd, m_graphWidth);
    double left = 0.0, right = 0.0;
    if (k.ok) {
        const double r =
            std::trunc(static_cast<double>(m_regionOffset + m_cursor) * m_graphWidth / (m_viewEnd - m_viewStart)) * k.m;
        MaxOver(static_cast<int64_t>(std::trunc(r)), static_cast<int64_t>(std::trunc(r + k.m)), left, right);
    }
    const double v = std::max(left, right);
    return v > 0.0 ? 20.0 * std::log10(v) : -1000.0;
}

// ---- texts ----

std::string CWaveViewer::StatusText() const {
    int32_t rs = 0, re = 0;
    if (m_rangeOn) {
        rs = std::min(m_rangeStart, m_rangeEnd);
        re = std::max(m_rangeStart, m_rangeEnd);
    }
    auto t = [this](int64_t frames) { return FormatTime(frames, m_rate); };
    const std::string pos = "Pos:" + t(m_cursor);
    const std::string peak = StrFormat("Peak:-%04.1fdB", std::fabs(std::max(PeakAtCursor(), -99.9)));
    return StrFormat("     Crsr[%s %s] Range[%s %s %s] Display[%s %s %s]", pos.c_str(), peak.c_str(),
                     ("S:" + t(rs)).c_str(), ("E:" + t(re)).c_str(), ("L:" + t(re - rs)).c_str(),
                     ("S:" + t(m_viewStart)).c_str(), ("E:" + t(m_viewEnd)).c_str(),
                     ("L:" + t(m_viewEnd - m_viewStart)).c_str());
}

std::string CWaveViewer::NavigatorTitle() const {
    if (m_current == nullptr) return std::string();
    const CSample* s = m_current->GetSample();
    return StrFormat("%s %.1fKHz/%dbit", m_current->GetName().c_str(), m_rate / 1000.0,
                     s != nullptr ? s->GetBits() : 0);
}

std::vector<CWaveViewer::RulerLabel> CWaveViewer::RulerLabels() const {
    std::vector<RulerLabel> out;
    // Fewer than 102 columns leave room for no label.
    const int64_t g = (m_graphWidth - 2) / 100;
    if (g <= 0 || m_rate <= 0) return out;
    const int64_t d = (m_viewEnd - m_viewStart) / m_rate;
    const int64_t step = d / g + 1;
    // The first label is the first multiple of the step at or after S; one before S would
    // stand left of the graph.
    const auto firstSecond = static_cast<int64_t>(std::ceil(static_cast<double>(m_viewStart) / m_rate));
    const int64_t kFirst = (firstSecond + step - 1) / step;
    const int64_t kLast = (m_viewEnd / m_rate) / step;
    for (int64_t k = kFirst; k <= kLast; ++k) {
        const int64_t frames = k * step * m_rate;
        out.push_back({X(frames), FormatTime(frames, m_rate)});
    }
    return out;
}

std::vector<CWaveViewer::Tick> CWaveViewer::ScaleTicks(int height) const {
    std::vector<Tick> out;
    const int t = kRulerHeight;
    const double q = height - t - 2;
    if (q <= 0) return out;
    auto label = [](double v) { return v >= 10.0 ? StrFormat("-%02.0f", v) : StrFormat("  -%1.0f", v); };
    if (m_log) {
        for (int v = 0; v <= 70; v += 10) {
            const bool labelled = v == 20 || v == 40 || v == 60;
            const bool major = v % 20 == 0;
            if (m_mono) {
                out.push_back({t + static_cast<int>(q * v / 80.0), major, labelled ? label(v) : std::string()});
            } else {
                out.push_back({t + static_cast<int>(q * v / 160.0), major, labelled ? label(v) : std::string()});
                out.push_back(
                    {t + static_cast<int>(q / 2 + q * v / 160.0), major, labelled ? label(v) : std::string()});
            }
        }
        return out;
    }
    const bool fine = m_mono ? height > 150 : height > 300;
    const double step = fine ? 0.5 : 1.0;
    const std::vector<double> labels = fine ? std::vector<double>{1, 2, 3, 6, 10, 15, 20}
                                            : std::vector<double>{3, 10, 20};
    const int steps = static_cast<int>(20.0 / step);
    for (int i = 1; i <= steps; ++i) {
        const double v = i * step;
        const bool major = std::floor(v) == v;
        const bool labelled = std::find(labels.begin(), labels.end(), v) != labels.end();
        const double depth = 1.0 - std::pow(10.0, -v / 20.0);
        if (m_mono) {
            out.push_back({t + static_cast<int>(depth * q), major, labelled ? label(v) : std::string()});
        } else {
            out.push_back({t + static_cast<int>(depth * q / 2), major, labelled ? label(v) : std::string()});
            out.push_back({t + static_cast<int>(q / 2 + depth * q / 2), major, labelled ? label(v) : std::string()});
        }
    }
    return out;
}

CMarker* CWaveViewer::MarkerNear(int x) const {
    if (m_current == nullptr) return nullptr;
    CMarker* best = nullptr;
    int bestDistance = kMarkerPickColumns + 1;
    const CMarkersList& list = m_current->Markers();
    for (int i = 0; i < list.Count(); ++i) {
        CMarker* mk = list.At(i);
        if (mk == nullptr || mk->GetPosition() < m_viewStart || mk->GetPosition() > m_viewEnd) continue;
        const int d = std::abs(X(mk->GetPosition()) - x);
        if (d < bestDistance) {
            best = mk;
            bestDistance = d;
        }
    }
    return best;
}

// ---- drawing ----

void CWaveViewer::Redraw(int graphWidth, int graphHeight, int navWidth) {
    m_graphWidth = std::max(graphWidth, 1);
    m_graphHeight = graphHeight;
    m_navWidth = std::max(navWidth, 1);
    const int graphH = std::max(graphHeight, kRulerHeight + 2);
    m_cursorX = X(m_cursor);
    // Once per region shown, even when its peak file does not read and every redraw tries again.
    if (m_current != m_loaded && m_current != m_notesFor && m_current != nullptr && m_notesHook)
        m_notesHook(m_current->GetNotes());
    m_notesFor = m_current;
    LoadPeaks();
    if (m_loaded != nullptr && !m_editMode) return;
    auto sized = [](QImage& img, int w, int h) {
        if (img.width() != w || img.height() != h) img = QImage(w, h, QImage::Format_RGB32);
    };
    sized(m_graph, m_graphWidth, graphH);
    sized(m_navigator, m_navWidth, kNavigatorHeight);
    sized(m_scale, kStripWidth, graphH);
    sized(m_strip, kStripWidth, graphH);
    sized(m_status, m_navWidth, kStatusHeight);
    m_strip.fill(Rgb(kPanelColour));
    const Colours c = SchemeColours(m_scheme);
    FillRows(m_graph, kRulerHeight, graphH - 1, c.background);
    if (m_loaded != nullptr) {
        DrawRuler(true);
        DrawPeakGraph();
        FillColumn(m_graph, m_cursorX, 1, graphH - 1, kCursorColour);
        DrawNavigator();
    } else {
        DrawRuler(false);
        // The navigator of a removed region would go on showing it.
        m_navigator.fill(Rgb(c.background));
    }
    DrawScale(graphH);
    DrawStatus();
    m_playLineShown = false;
    if (m_redrawHook) m_redrawHook();
}

void CWaveViewer::RedrawLast() { Redraw(m_graphWidth, m_graphHeight, m_navWidth); }

void CWaveViewer::DrawRuler(bool markers) {
    const int w = m_graph.width();
    const int half = kRulerHeight / 2;
    FillRows(m_graph, 0, half, kRulerUpper);
    FillRows(m_graph, half + 1, kRulerHeight - 1, kRulerLower);
    QPainter p(&m_graph);
    p.setPen(QColor(0, 0, 0));
    p.setFont(PixelFont(9));
    p.setBackgroundMode(Qt::TransparentMode);
    for (const RulerLabel& label : RulerLabels()) {
        p.drawLine(label.x, 1, label.x, half);
        p.drawText(label.x + 4, 2, 200, half - 2, Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(label.text));
    }
    p.setPen(QColor(0, 0, 0));
    p.drawLine(0, 0, 0, kRulerHeight - 1);
    p.drawLine(w - 1, 0, w - 1, kRulerHeight - 1);
    p.drawLine(0, half, w - 1, half);
    if (!markers || m_current == nullptr) return;
    const CMarkersList& list = m_current->Markers();
    for (int i = 0; i < list.Count(); ++i) {
        const CMarker* mk = list.At(i);
        if (mk == nullptr || mk->GetPosition() < m_viewStart || mk->GetPosition() > m_viewEnd) continue;
        DrawMarkerIcon(p, X(mk->GetPosition()) - 6, half + 1, mk->GetIcon());
    }
}

void CWaveViewer::DrawPeakGraph() {
    const int w = m_graph.width(), bottom = m_graph.height() - 1;
    const int t = kRulerHeight, h = m_graph.height() - t;
    const Colours c = SchemeColours(m_scheme);
    int left = -1, right = -2;
    if (m_rangeOn) {
        const int32_t rs = std::min(m_rangeStart, m_rangeEnd), re = std::max(m_rangeStart, m_rangeEnd);
        if (rs <= m_viewEnd && re >= m_viewStart) {
            left = rs <= m_viewStart ? X(m_viewStart) : X(rs);
            right = re >= m_viewEnd ? X(m_viewEnd) : X(re);
        }
    }
    // Every column's background, pen and bar tops first; the image is then written row by row,
    // which on a wide graph is several times faster than walking each column down the rows.
    const int lane = m_mono ? h : h / 2;
    const int secondTop = t + lane; // first row of the second lane (stereo)
    std::vector<uint32_t> back(static_cast<size_t>(w)), pens(static_cast<size_t>(w));
    std::vector<int> top1(static_cast<size_t>(w)), top2(static_cast<size_t>(w));
    const Lookup k = LookupFor(m_viewStart, m_viewEnd, w);
    for (int j = 0; j < w; ++j) {
        const int64_t p = Pos(j);
        const bool inRange = j >= left && j <= right;
        const bool fade = InFade(p);
        back[j] = 0xFF000000u | (inRange ? c.rangeBackground : c.background);
        pens[j] = 0xFF000000u | (fade ? (inRange ? c.rangeFade : c.fade) : (inRange ? c.rangeBody : c.body));
        double l = 0.0, r = 0.0;
        if (k.ok)
            MaxOver(static_cast<int64_t>(std::trunc(j * k.m + k.base)),
                    static_cast<int64_t>(std::trunc((j + 1) * k.m + k.base)), l, r);
        const double gain = FadeGain(p);
        l *= gain;
        r *= gain;
        if (m_mono) {
            top1[j] = t + h - BarHeight(std::max(l, r), lane, m_log);
        } else {
            top1[j] = t + lane - BarHeight(l, lane, m_log);
            top2[j] = t + h - BarHeight(r, lane, m_log);
        }
    }
    // Lane tops: a darker row marks where each lane begins.
    const uint32_t laneTop = 0xFF000000u | Darken(c.body);
    for (int y = t; y <= bottom; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(m_graph.scanLine(y));
        if (y == t || (!m_mono && y == secondTop)) {
            std::fill_n(row, w, laneTop);
            continue;
        }
        const std::vector<int>& tops = !m_mono && y >= secondTop ? top2 : top1;
        for (int j = 0; j < w; ++j) row[j] = y >= tops[j] ? pens[j] : back[j];
    }
    if (m_current == nullptr) return;
    const CMarkersList& list = m_current->Markers();
    for (int i = 0; i < list.Count(); ++i) {
        const CMarker* mk = list.At(i);
        if (mk == nullptr || mk->GetPosition() < m_viewStart || mk->GetPosition() > m_viewEnd) continue;
        FillColumn(m_graph, X(mk->GetPosition()), t + 1, bottom, kMarkerColour);
    }
}

void CWaveViewer::DrawScale(int height) {
    m_scale.fill(Rgb(kPanelColour));
    QPainter p(&m_scale);
    p.setPen(QColor(0, 0, 0));
    p.setFont(PixelFont(7));
    const int w = m_scale.width();
    for (const Tick& tick : ScaleTicks(height)) {
        const int len = tick.major ? 4 : 2;
        p.drawLine(w - len, tick.row, w - 1, tick.row);
        if (!tick.label.empty())
            p.drawText(QRect(5, tick.row - 3 - 8, w - 5, 8), Qt::AlignLeft | Qt::AlignBottom,
                       QString::fromStdString(tick.label));
    }
}

void CWaveViewer::DrawNavigator() {
    const Colours c = SchemeColours(m_scheme);
    const int wn = m_navigator.width(), hn = m_navigator.height();
    m_navigator.fill(Rgb(c.background));
    int left = -1, right = -2;
    if (m_rangeOn) {
        left = NavX(std::min(m_rangeStart, m_rangeEnd));
        right = NavX(std::max(m_rangeStart, m_rangeEnd));
        for (int x = std::max(left, 0); x <= std::min(right, wn - 1); ++x)
            FillColumn(m_navigator, x, 0, hn - 1, c.rangeBackground);
    }
    const int viewLeft = NavX(m_viewStart), viewRight = NavX(m_viewEnd);
    const Lookup k = LookupFor(0, m_regionEnd, wn);
    for (int j = 0; j < wn; ++j) {
        const int64_t p = NavPos(j);
        const bool inRange = j >= left && j <= right;
        uint32_t pen = InFade(p) ? (inRange ? c.rangeFade : c.fade) : (inRange ? c.rangeBody : c.body);
        if (j < viewLeft || j > viewRight) pen = Darken(pen);
        double l = 0.0, r = 0.0;
        if (k.ok)
            MaxOver(static_cast<int64_t>(std::trunc(j * k.m + k.base)),
                    static_cast<int64_t>(std::trunc((j + 1) * k.m + k.base)), l, r);
        const int bar = BarHeight(std::max(l, r) * FadeGain(p), hn, false);
        if (bar > 0) FillColumn(m_navigator, j, hn - bar, hn - 1, pen);
    }
    QPainter painter(&m_navigator);
    painter.setPen(Rgb(kTitleColour));
    painter.setFont(PixelFont(9));
    painter.drawText(2, 0, wn, 12, Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(NavigatorTitle()));
    if (m_current == nullptr) return;
    const CMarkersList& list = m_current->Markers();
    for (int i = 0; i < list.Count(); ++i) {
        const CMarker* mk = list.At(i);
        if (mk == nullptr) continue;
        const int x = NavX(mk->GetPosition());
        FillColumn(m_navigator, x, 12, hn - 1, kMarkerColour);
        DrawMarkerIcon(painter, x - 6, 1, mk->GetIcon());
    }
}

void CWaveViewer::DrawStatus() {
    m_status.fill(Rgb(kPanelColour));
    QPainter p(&m_status);
    p.setPen(QColor(0, 0, 0));
    p.setFont(PixelFont(11));
    p.drawText(6, 4, m_status.width() - 6, m_status.height() - 4, Qt::AlignLeft | Qt::AlignTop,
               QString::fromStdString(StatusText()));
}

// ---- play line ----

void CWaveViewer::SetPlayLine(int64_t position) {
    m_playPosition = position;
    m_playLineShown = true;
}

QImage CWaveViewer::ComposeGraph() const {
    QImage out = m_graph.copy();
    if (m_playLineShown && !out.isNull()) {
        const int x = X(m_playPosition);
        if (x != m_cursorX) InvertColumn(out, x, kRulerHeight, out.height() - 1);
    }
    return out;
}

QImage CWaveViewer::ComposeNavigator() const {
    QImage out = m_navigator.copy();
    if (m_playLineShown && !out.isNull()) InvertColumn(out, NavX(m_playPosition), 0, out.height() - 1);
    return out;
}
