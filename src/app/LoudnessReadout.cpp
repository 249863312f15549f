#include "app/LoudnessReadout.h"

#include <QFont>
#include <QFontDatabase>

#include <string>

#include "engine/PostTap.h"

namespace {
// The part of the tap taken per step; a tick brings about 2200 frames at 44.1 kHz.
constexpr size_t kStepFrames = 8192;
constexpr int kWhat = kLoudnessMomentary | kLoudnessIntegrated | kLoudnessTruePeak | kLoudnessStreaming;

QString Figure(double value) { return QString::fromStdString(LoudnessText(value, "")).trimmed(); }
} // namespace

LoudnessReadout::LoudnessReadout(QWidget* parent) : m_label(new QLabel(parent)), m_buffer(2 * kStepFrames) {
    m_label->setObjectName("LoudnessReadout");
    m_label->setToolTip("Loudness | EBU R128 of what is playing: momentary, short-term, integrated since the play "
                        "started (LUFS), true peak max (dBTP).");
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(font.pointSizeF() * 0.85);
    m_label->setFont(font);
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_label->setContentsMargins(4, 0, 4, 0);
    Show();
}

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
    m_label->setText(QString("M %1  S %2\nI %3 LUFS\nTP %4 dBTP")
                         .arg(Figure(m_meter.Momentary()), 5)
                         .arg(Figure(m_meter.ShortTerm()), 5)
                         .arg(Figure(f.integrated), 5)
                         .arg(Figure(f.truePeak), 5));
}
