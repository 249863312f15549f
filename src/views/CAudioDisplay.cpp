#include "views/CAudioDisplay.h"

#include <QFont>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/TransportState.h"
#include "engine/BlockStats.h"

namespace {

struct SchemeColours {
    uint32_t peak, power, trail, scale, label;
};
const SchemeColours kSchemes[4] = {
    {0x2C85C0, 0x80BAE6, 0x1C455A, 0x80BAE6, 0x90E8F6},
    {0xDA6200, 0xFFA357, 0x944300, 0xFFA357, 0xFFB367},
    {0xE6D800, 0xFFEE5F, 0x726100, 0xFFEE5F, 0xFFFF67},
    {0x00EC53, 0x67FF95, 0x067021, 0x67FF95, 0x67FF67},
};
constexpr uint32_t kBackground = 0x0D0D0D;

QColor Rgb(uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

std::string DbLabel(float db) {
    char buf[16];
    if (db == 0.0f) return "0dB";
    std::snprintf(buf, sizeof buf, db < 10.0f ? "-%1.0f" : "-%2.0f", static_cast<double>(db));
    return buf;
}

} // namespace

const std::vector<std::string>& CAudioDisplay::HoldNames() {
    static const std::vector<std::string> n = {"Shortest", "Short", "Medium", "Long", "Longest"};
    return n;
}
const std::vector<std::string>& CAudioDisplay::DecayNames() {
    static const std::vector<std::string> n = {"Slowest", "Slow", "Medium", "Fast", "Fastest"};
    return n;
}
const std::vector<std::string>& CAudioDisplay::ScaleNames() {
    static const std::vector<std::string> n = {"Linear", "Log 140 dB", "Log 90 dB", "Log 60 dB", "Special"};
    return n;
}

int CAudioDisplay::HoldTimeFor(int setting) { return 5 * std::clamp(setting, 0, 4); }
float CAudioDisplay::HoldDecayFor(int setting) {
    return 0.005f + 0.001f * static_cast<float>(std::clamp(setting, 0, 4));
}

float CAudioDisplay::Reading(int scale, float rangeDb, float x, bool sideOrCentre) {
    if (!(x > 0.0f)) return 0.0f; // silence, and a NaN from a damaged block, read 0
    switch (scale) {
    case Log140:
    case Log90:
    case Log60: {
        const double range = rangeDb == 0.0f ? 140.0 : rangeDb;
        if (x <= std::pow(10.0, -range / 20.0)) return 0.0f;
        return static_cast<float>((20.0 * std::log10(x) + range) / range);
    }
    case Special: {
        if (x > 0.5f) return x;
        if (x < std::pow(10.0, -4.5)) return 0.0f;
        const double offset = sideOrCentre ? 84.0 : 90.0;
        return static_cast<float>((20.0 * std::log10(x) + offset) / 2.0 / 84.0);
    }
    default: return x;
    }
}

std::vector<ScaleTick> CAudioDisplay::Ticks(int scale, float rangeDb, int s) {
    std::vector<ScaleTick> ticks;
    auto add = [&](double pos, float db, bool labelled) {
        ScaleTick t;
        t.position = static_cast<int>(pos);
        t.whole = std::floor(db) == db;
        if (labelled) t.label = DbLabel(db);
        ticks.push_back(t);
    };
    auto linearPos = [&](float db) { return s * std::pow(10.0, -db / 20.0); };
    if (scale == Log140 || scale == Log90 || scale == Log60) {
        const float range = rangeDb == 0.0f ? 140.0f : rangeDb;
        for (float db = 0; db <= range - 10.0f; db += 10.0f)
            add(s * (1.0 - db / range), db, static_cast<int>(db) % 20 == 0);
    } else if (scale == Special) {
        // Below 6 dB the scale is linear; from 6 dB on each 12 dB step takes the same room of
        // the lower half. The 6 dB tick is drawn once, at half the length.
        for (float db = 0; db < 6.0f; db += 0.5f) add(linearPos(db), db, db == 0 || db == 1 || db == 3);
        for (float db = 6; db <= 78.0f; db += 12.0f)
            add(s * (90.0 - (db - 6.0)) / 90.0 * 0.5, db, static_cast<int>(db - 6) % 24 == 0);
    } else {
        for (float db = 0; db <= 20.0f; db += 0.5f)
            add(linearPos(db), db, db == 0 || db == 1 || db == 3 || db == 6 || db == 10 || db == 15 || db == 20);
    }
    return ticks;
}

int CAudioDisplay::CounterDigits(int layout) {
    static const int digits[8] = {8, 7, 6, 5, 6, 5, 4, 3};
    return layout >= 0 && layout <= 7 ? digits[layout] : 8;
}

std::string CAudioDisplay::CounterText(int64_t frames, int32_t rate, int digits) {
    if (rate <= 0) rate = 44100;
    if (frames < 0) frames = 0;
    const int64_t hundredths = frames * 100 / rate;
    const int ff = static_cast<int>(hundredths % 100);
    const int64_t seconds = hundredths / 100;
    const int ss = static_cast<int>(seconds % 60), mm = static_cast<int>(seconds / 60 % 60);
    const int hh = static_cast<int>(seconds / 3600 % 100);
    char all[16];
    std::snprintf(all, sizeof all, "%02d%02d%02d%02d", hh, mm, ss, ff);
    digits = std::clamp(digits, 1, 8);
    std::string out;
    for (int i = 8 - digits; i < 8; ++i) {
        if (i > 8 - digits && i % 2 == 0) out += ':';
        out += all[i];
    }
    return out;
}

int CAudioDisplay::StatusIcon(int32_t state) {
    switch (state) {
    case kTransportPlaying: return 0;
    case kTransportMonitoring: return 1;
    case kTransportRecording: return 2;
    default: return 3;
    }
}

CAudioDisplay::CAudioDisplay() : m_canvas(m_image) {
    for (CMeterBar& b : m_bars) b.SetCanvas(&m_canvas);
    SetHold(2);
    SetDecay(2);
    SetPersistence(true);
    SetColourScheme(0);
    Layout();
}

void CAudioDisplay::ApplyToBars() {
    const SchemeColours& c = kSchemes[m_scheme];
    for (size_t i = 0; i < m_bars.size(); ++i) {
        const int kind = static_cast<int>(i % 6);
        const bool bright = kind == BarPeakLeft || kind == BarPeakRight || kind == BarSide;
        const uint32_t bar = bright ? c.peak : c.power;
        m_bars[i].SetColours(bar, bar);
        m_bars[i].SetHoldTime(HoldTimeFor(m_hold));
        m_bars[i].SetHoldDecay(HoldDecayFor(m_decay));
        m_bars[i].SetPersistence(m_persistence);
    }
}

void CAudioDisplay::SetColourScheme(int scheme) {
    m_scheme = std::clamp(scheme, 0, 3);
    ApplyToBars();
}
void CAudioDisplay::SetHold(int setting) {
    m_hold = std::clamp(setting, 0, 4);
    ApplyToBars();
}
void CAudioDisplay::SetDecay(int setting) {
    m_decay = std::clamp(setting, 0, 4);
    ApplyToBars();
}
void CAudioDisplay::SetPersistence(bool on) {
    m_persistence = on;
    ApplyToBars();
}
void CAudioDisplay::SetScale(int scale) {
    m_scale = std::clamp(scale, 0, 4);
    if (m_scale == Log140) m_range = 140.0f;
    if (m_scale == Log90) m_range = 90.0f;
    if (m_scale == Log60) m_range = 60.0f;
}
void CAudioDisplay::SetShownMeters(int mask) { m_shown = mask & 63; }

uint32_t CAudioDisplay::ScaleColour() const { return kSchemes[m_scheme].scale; }

void CAudioDisplay::Layout() {
    m_rows = 0;
    for (int b = 0; b < 6; ++b) m_rows += (m_shown >> b) & 1;
    m_rows = std::max(1, m_rows);
    const int digits = CounterDigits(m_counterLayout);
    m_counterWidth = kDigitWidth * digits + (digits / 2) * m_groupGap + 2;
    m_meterLength = std::max(0, (m_image.width() - m_counterWidth - 56) / 2 - 15);
    int row = 0;
    for (int kind = 0; kind < 6; ++kind) {
        const bool shown = (m_shown >> kind) & 1;
        const int y = kTopMargin + 2 + row * kRowHeight;
        for (int bank = 0; bank < 2; ++bank) {
            CMeterBar& b = m_bars[static_cast<size_t>(bank * 6 + kind)];
            if (shown) {
                b.SetBounds(bank == 0 ? 40 : m_meterLength + 55, y, m_meterLength, kRowHeight - 1);
            } else {
                b.SetBounds(0, 0, 0, 0);
            }
        }
        if (shown) ++row;
    }
}

void CAudioDisplay::RedrawAll(int width, int height) {
    if (width <= 0 || height <= 0) return;
    if (m_image.width() != width || m_image.height() != height) m_image = QImage(width, height, QImage::Format_RGB32);
    m_image.fill(Rgb(kBackground));
    Layout();
    DrawScale();
    for (CMeterBar& b : m_bars)
        if (b.Width() > 0) b.Paint();
    DrawCounter();
    DrawStatusIcon();
}

void CAudioDisplay::DrawScale() {
    QPainter p(&m_image);
    QFont f;
    f.setPixelSize(8);
    p.setFont(f);
    const int s = m_meterLength;
    const int line = kTopMargin;
    const std::vector<ScaleTick> ticks = Ticks(m_scale, m_range, s);
    for (int bank = 0; bank < 2; ++bank) {
        const int x0 = bank == 0 ? 40 : s + 55;
        // The bank icon: a small speaker-like mark.
        p.fillRect(4 + bank * 0, 22 + 2, 6, 6, Rgb(ScaleColour()));
        p.setPen(Rgb(ScaleColour()));
        p.drawLine(x0, line, x0 + s, line);
        int labelIndex = 0;
        for (const ScaleTick& t : ticks) {
            const int x = x0 + t.position;
            p.setPen(Rgb(ScaleColour()));
            p.drawLine(x, line, x, line - (t.whole ? 7 : 4));
            if (t.label.empty()) continue;
            const QString text = QString::fromStdString(t.label);
            const int shade = std::min(255, 0x90 + 16 * labelIndex++);
            p.setPen(QColor(0x40, 0x40, 0x40));
            p.drawText(x + 2, 9, text);
            p.setPen(QColor(shade, shade, shade));
            p.drawText(x + 1, 8, text);
        }
        p.setPen(Qt::white);
        p.drawText(x0, 8 + 8, bank == 0 ? "Pre" : "Post");
    }
}

void CAudioDisplay::UpdateLevels(const MeterStats& pre, const MeterStats& post) {
    m_pre = pre;
    m_post = post;
    for (int bank = 0; bank < 2; ++bank) {
        const MeterStats& st = bank == 0 ? m_pre : m_post;
        const float value[6] = {st.v[MeterStats::PeakLeft],  st.v[MeterStats::PeakRight],
                                st.v[MeterStats::PowerLeft], st.v[MeterStats::PowerRight],
                                st.v[MeterStats::Side],      st.v[MeterStats::Centre] - st.v[MeterStats::Side]};
        for (int kind = 0; kind < 6; ++kind) {
            if (!((m_shown >> kind) & 1)) continue;
            const bool sc = kind == BarSide || kind == BarCentre;
            m_bars[static_cast<size_t>(bank * 6 + kind)].SetValue(Reading(m_scale, m_range, value[kind], sc));
        }
    }
}

MeterStats MeterStats::From(const BlockStatSet& set) {
    MeterStats m;
    // The engine's order is the same as ours.
    for (int i = 0; i < Count; ++i) m.v[static_cast<size_t>(i)] = set.Get(i);
    return m;
}

bool CAudioDisplay::Settle() {
    if (m_falloff <= 0) return false;
    --m_falloff;
    Fall();
    return true;
}

void CAudioDisplay::Fall() {
    MeterStats pre = m_pre, post = m_post;
    for (float& v : pre.v) v *= 0.5f;
    for (float& v : post.v) v *= 0.5f;
    UpdateLevels(pre, post);
}

void CAudioDisplay::Reset() {
    m_pre = MeterStats{};
    m_post = MeterStats{};
    for (CMeterBar& b : m_bars)
        if (b.Width() > 0) {
            b.Reset();
        }
}

void CAudioDisplay::UpdateCounter(int64_t position, int64_t remaining, int32_t rate) {
    const int digits = CounterDigits(m_counterLayout);
    m_upper = CounterText(position, rate, digits);
    m_lower = CounterText(remaining, rate, digits);
    if (!m_image.isNull()) DrawCounter();
}

void CAudioDisplay::DrawCounter() {
    if (m_image.isNull()) return;
    const int x = m_image.width() - m_counterWidth - 1;
    const int h = m_image.height();
    const int yUpper = h - 2 * kDigitHeight - 9, yLower = h - kDigitHeight - 5;
    QPainter p(&m_image);
    p.fillRect(x - 12, std::max(0, yUpper - 2), m_counterWidth + 12, h - std::max(0, yUpper - 2), Rgb(kBackground));
    QFont digitsFont("Monospace");
    digitsFont.setStyleHint(QFont::TypeWriter);
    digitsFont.setPixelSize(kDigitHeight);
    digitsFont.setBold(true);
    QFont labelFont;
    labelFont.setPixelSize(6);
    const QColor colour = Rgb(kSchemes[m_scheme].label);
    auto line = [&](const std::string& text, int y) {
        int cx = x;
        int group = 0;
        p.setFont(digitsFont);
        for (char c : text) {
            if (c == ':') {
                cx += m_groupGap;
                ++group;
                continue;
            }
            p.setPen(colour);
            p.drawText(QRect(cx, y, kDigitWidth, kDigitHeight), Qt::AlignCenter, QString(QChar(c)));
            cx += kDigitWidth;
        }
        (void)group;
    };
    line(m_upper, yUpper);
    line(m_lower, yLower);
    // Group labels beside the digits, from the right: frames, seconds, minutes, hours.
    p.setFont(labelFont);
    p.setPen(colour);
    const char* labels[4] = {"F", "S", "M", "H"};
    const int digits = CounterDigits(m_counterLayout);
    const int groups = (digits + 1) / 2;
    for (int g = 0; g < groups; ++g) {
        const int gx = m_image.width() - 1 - (g + 1) * (2 * kDigitWidth + m_groupGap) + m_groupGap - 6;
        p.drawText(gx, yUpper + 6, labels[g]);
    }
}

void CAudioDisplay::UpdateStatusIcon(int32_t transportState) {
    m_icon = StatusIcon(transportState);
    if (!m_image.isNull()) DrawStatusIcon();
}

void CAudioDisplay::DrawStateLamp() {
    m_lampShown = true;
    if (m_image.isNull()) return;
    QPainter p(&m_image);
    p.setRenderHint(QPainter::Antialiasing);
    const int size = 14;
    const int x = m_image.width() - size - 2, y = 4;
    p.fillRect(x, y, size, size, Rgb(kBackground));
    // A lit lamp: a disc in the scheme's label colour with a bright centre.
    const QColor c = Rgb(kSchemes[m_scheme].label);
    p.setPen(Qt::NoPen);
    p.setBrush(c.darker(160));
    p.drawEllipse(x + 1, y + 1, size - 2, size - 2);
    p.setBrush(c);
    p.drawEllipse(x + 4, y + 4, size - 8, size - 8);
}

void CAudioDisplay::DrawStatusIcon() {
    m_lampShown = false;
    if (m_image.isNull()) return;
    QPainter p(&m_image);
    p.setRenderHint(QPainter::Antialiasing);
    const int size = 14;
    const int x = m_image.width() - size - 2, y = 4;
    p.fillRect(x, y, size, size, Rgb(kBackground));
    const QColor c = Rgb(kSchemes[m_scheme].label);
    switch (m_icon) {
    case 0: { // playing: a triangle
        const QPointF tri[3] = {QPointF(x + 2, y + 1), QPointF(x + 2, y + size - 1),
                                QPointF(x + size - 1, y + size / 2.0)};
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x40, 0xE0, 0x40));
        p.drawPolygon(tri, 3);
        break;
    }
    case 1: // record-ready: a hollow red ring
        p.setPen(QPen(QColor(0xE0, 0x30, 0x30), 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(x + 2, y + 2, size - 4, size - 4);
        break;
    case 2: // recording: a red disc
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xFF, 0x20, 0x20));
        p.drawEllipse(x + 1, y + 1, size - 2, size - 2);
        break;
    default: // stopped: a square
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRect(x + 3, y + 3, size - 6, size - 6);
        break;
    }
}
