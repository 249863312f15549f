#include "app/LoudnessReadout.h"

#include <QEvent>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <string>

#include "engine/PostTap.h"

namespace {
// The part of the tap taken per step; a tick brings about 2200 frames at 44.1 kHz.
constexpr size_t kStepFrames = 8192;
constexpr int kWhat = kLoudnessMomentary | kLoudnessIntegrated | kLoudnessTruePeak | kLoudnessStreaming;
// A figure takes five characters at most ("-70.0", "-inf", "12.3"): one far below anything
// audible reads as silence, one beyond any real level as ">99.9".
constexpr double kLowest = -99.95;
constexpr double kHighest = 99.95;

QString Figure(double value) {
    if (value < kLowest) value = -LoudnessFigures::kSilence;
    if (value >= kHighest) return ">99.9";
    return QString::fromStdString(LoudnessText(value, "")).trimmed();
}

// The label keeps its width fitted to its font, whoever changes the font.
class ReadoutLabel : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> fontChanged;

protected:
    void changeEvent(QEvent* e) override {
        QLabel::changeEvent(e);
        if (e->type() == QEvent::FontChange && fontChanged) fontChanged();
    }
};
} // namespace

LoudnessReadout::LoudnessReadout(QWidget* parent) : m_buffer(2 * kStepFrames) {
    auto* label = new ReadoutLabel(parent);
    m_label = label;
    m_label->setObjectName("LoudnessReadout");
    m_label->setToolTip("Loudness | EBU R128 of what is playing: momentary, short-term, integrated since the play "
                        "started (LUFS), true peak max (dBTP).");
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(font.pointSizeF() * 0.85);
    m_label->setFont(font);
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The right margin keeps the text off the window's edge; the left one is the gap to the
    // meters, which the counter's own border widens.
    m_label->setContentsMargins(1, 0, 6, 0);
    label->fontChanged = [this] { Fit(); };
    Fit();
    Show();
}

QString LoudnessReadout::Text(double momentary, double shortTerm, double integrated, double truePeak) {
    return QString("M %1  S %2\nI %3 LUFS\nTP %4 dBTP")
        .arg(Figure(momentary), 5)
        .arg(Figure(shortTerm), 5)
        .arg(Figure(integrated), 5)
        .arg(Figure(truePeak), 5);
}

int LoudnessReadout::NeededWidth() const {
    const QFontMetrics fm(m_label->font());
    int widest = 0;
    // In a font whose digits are not all as wide as each other, any of these may be the widest.
    for (const double v : {-88.8, -77.7, -70.0, -LoudnessFigures::kSilence, 1e9, -8.8, 88.8})
        for (const QString& line : Text(v, v, v, v).split('\n')) widest = std::max(widest, fm.horizontalAdvance(line));
    const QMargins m = m_label->contentsMargins();
    return widest + m.left() + m.right() + 2 * m_label->margin();
}

void LoudnessReadout::Fit() { m_label->setFixedWidth(NeededWidth()); }

void LoudnessReadout::Start(PostTap& tap, int32_t rate) {
    std::string error;
    m_meter.Start(2, rate, kWhat, error);
    tap.Clear();
    tap.SetOn(true);
    ++m_plays;
    Show();
}

void LoudnessReadout::Stop(PostTap& tap) {
    Feed(tap);
    tap.SetOn(false);
}

void LoudnessReadout::Feed(PostTap& tap) {
    if (!m_meter.Started()) return;
    bool any = false;
    for (size_t n; (n = tap.Take(m_buffer.data(), kStepFrames)) > 0;) {
        m_meter.AddStereo(m_buffer.data(), n);
        any = true;
    }
    if (any) Show();
}

void LoudnessReadout::Show() {
    const LoudnessFigures f = m_meter.Figures();
    m_label->setText(Text(m_meter.Momentary(), m_meter.ShortTerm(), f.integrated, f.truePeak));
}
