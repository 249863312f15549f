#include "views/TapeView.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cstdio>

#include "library/CRegion.h"
#include "library/CSample.h"
#include "views/CTape.h"

namespace {

QColor Rgb(uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

QString Duration(double seconds) {
    const int s = static_cast<int>(seconds);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d:%02d", s / 60, s % 60);
    return QString::fromLatin1(buf);
}

QFont PixelFont(int px) {
    QFont f;
    f.setPixelSize(std::max(4, px));
    return f;
}

bool HasChosenSnap(const CRegion& r) { return r.Snaps().FavouriteValid() || r.Snaps().GetCurrent() > 0; }

void Bevel(QPainter& p, const TapeRect& t, bool large, bool pressed) {
    const int d = large ? 2 : 1;
    const QColor light = pressed ? QColor(0x70, 0x70, 0x70) : QColor(0xF0, 0xF0, 0xF0);
    const QColor dark = pressed ? QColor(0xF0, 0xF0, 0xF0) : QColor(0x70, 0x70, 0x70);
    for (int i = 1; i <= d; ++i) {
        p.setPen(light);
        p.drawLine(t.left - i, t.top - i, t.Right() - 1 + i, t.top - i);
        p.drawLine(t.left - i, t.top - i, t.left - i, t.Bottom() - 1 + i);
        p.setPen(dark);
        p.drawLine(t.left - i, t.Bottom() - 1 + i, t.Right() - 1 + i, t.Bottom() - 1 + i);
        p.drawLine(t.Right() - 1 + i, t.top - i, t.Right() - 1 + i, t.Bottom() - 1 + i);
    }
}

} // namespace

uint32_t TapeView::Darken(uint32_t rgb) {
    const uint32_t r = ((rgb >> 16) & 0xFF) * 5 / 10, g = ((rgb >> 8) & 0xFF) * 5 / 10, b = (rgb & 0xFF) * 6 / 10;
    return (r << 16) | (g << 8) | b;
}

QString TapeView::TotalText(double seconds) {
    const int64_t s = static_cast<int64_t>(seconds);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60),
                  static_cast<int>(s % 60));
    return QString::fromLatin1(buf);
}

QString TapeView::Shorten(const QString& text, int width, const QFontMetrics& metrics) {
    QString t = text;
    bool cut = false;
    while (!t.isEmpty() && metrics.horizontalAdvance(t) + 2 >= width) {
        t.chop(1);
        cut = true;
    }
    if (cut && t.size() >= 4) t = t.left(t.size() - 3) + "...";
    return t;
}

void TapeView::DrawOverviewBars(const uint8_t* overview, const TapeRect& t, uint32_t rgb) {
    // Column j shows overview byte trunc(j * 1023 / w) as a bar of trunc(byte * h / 256) px from
    // the bottom up. Written straight into the image row by row: thousands of one-pixel lines
    // through the painter cost most of a repaint.
    if (t.width <= 0 || t.height <= 0) return;
    m_bars.resize(static_cast<size_t>(t.width));
    for (int j = 0; j < t.width; ++j)
        m_bars[static_cast<size_t>(j)] = overview[static_cast<int64_t>(j) * 1023 / t.width] * t.height / 256;
    const QRgb colour = qRgb((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    const int x0 = std::max(0, t.left), x1 = std::min(m_image.width(), t.left + t.width);
    const int y0 = std::max(0, t.top), y1 = std::min(m_image.height(), t.top + t.height);
    for (int y = y0; y < y1; ++y) {
        // Pixels of this row belong to bars higher than its distance from the bottom row.
        const int above = t.top + t.height - 1 - y;
        auto* line = reinterpret_cast<QRgb*>(m_image.scanLine(y));
        for (int x = x0; x < x1; ++x)
            if (m_bars[static_cast<size_t>(x - t.left)] > above) line[x] = colour;
    }
}

void TapeView::Paint(const CTape& tape, int width, int height, int32_t today) {
    if (width <= 0 || height <= 0) return;
    if (m_image.width() != width || m_image.height() != height) m_image = QImage(width, height, QImage::Format_RGB32);
    const bool audition = tape.GetAudition();
    const CRegion* heard = tape.GetAuditioned();
    const int kind = tape.GetKind();
    const uint32_t bg = tape.GetBackground();
    m_image.fill(Rgb(audition ? Darken(bg) : bg));
    QPainter p(&m_image);
    const int th = tape.GetTextHeight();
    const QFont numberFont = PixelFont(th + 1);
    const QFont textFont = PixelFont(kind == CTape::Grid ? tape.GetLabelHeight() : th);
    const QFontMetrics textMetrics(textFont);

    for (int i = 0; i < tape.Count(); ++i) {
        const CTapeItem& item = tape.ItemAt(i);
        if (!item.LaidOut() || !item.region) continue;
        const CRegion& r = *item.region;
        const bool dim = audition && item.region != heard;
        auto colour = [&](uint32_t rgb) { return Rgb(dim ? Darken(rgb) : rgb); };
        const bool selected = item.Selected();
        const TapeRect& box = item.box;
        const TapeRect& th_ = item.thumb;
        if (kind != CTape::Strip) {
            p.fillRect(box.left, box.top, box.width, box.height, colour(selected ? 0xE0E0E0 : bg));
            if (!audition || item.region == heard)
                Bevel(p, th_, th_.width >= 59 && th_.height >= 29, kind == CTape::List && selected);
        }
        // Thumbnail with the overview's bars.
        if (!th_.Empty()) {
            const uint32_t fill = selected ? 0x32327F : 0x1F1F4F;
            uint32_t pen = selected ? 0x9FAFDF : 0x7F7F9F;
            if (item.region == tape.GetCurrent()) pen = 0x9FFFFF;
            p.fillRect(th_.left, th_.top, th_.width, th_.height, colour(fill));
            DrawOverviewBars(r.GetOverview(), th_, dim ? Darken(pen) : pen);
        }
        const double seconds = tape.Duration(i);
        // Item number, 1-based.
        p.setFont(numberFont);
        if (kind == CTape::List) {
            p.setPen(colour(0x7F7F7F));
            p.drawText(QRect(3, box.top, 30, th + 2), Qt::AlignLeft | Qt::AlignTop, QString::number(i + 1));
        } else if (th_.width > 16) {
            p.setPen(colour(0xFFFFFF));
            p.drawText(QRect(th_.left + 3, th_.top + 2, th_.width, th + 2), Qt::AlignLeft | Qt::AlignTop,
                       QString::number(i + 1));
        }
        const bool createdToday = r.GetDate() == today;
        if (kind == CTape::List) {
            const int t = tape.GetLabelHeight();
            const int top = box.top;
            p.setFont(PixelFont(t + 1));
            p.setPen(colour(createdToday ? 0xFF0000 : 0x000000));
            const QFontMetrics nameMetrics(p.font());
            p.drawText(QRect(34, top, 404 - 34, t + 2), Qt::AlignLeft | Qt::AlignTop,
                       Shorten(QString::fromStdString(r.GetName()), 404 - 34, nameMetrics));
            p.setFont(textFont);
            const int y2 = top + t + 2;
            p.setPen(colour(0x444444));
            p.drawText(QRect(34, y2, 60, t + 2), Qt::AlignLeft | Qt::AlignTop, Duration(seconds));
            p.setPen(colour(0x7F7F7F));
            if (const CSample* s = r.GetSample()) {
                char buf[64];
                std::snprintf(buf, sizeof buf, "%.1f/%d/%d", s->GetSampleRate() / 1000.0, s->GetBits(),
                              s->GetChannels());
                p.drawText(QRect(34, y2, 100, t + 2), Qt::AlignRight | Qt::AlignTop, QString::fromLatin1(buf));
                std::snprintf(buf, sizeof buf, "%4d Kbps", s->DataRate());
                p.drawText(QRect(134, y2, 80, t + 2), Qt::AlignRight | Qt::AlignTop, QString::fromLatin1(buf));
            }
            if (r.GetYear() > 0)
                p.drawText(QRect(214, y2, 44, t + 2), Qt::AlignRight | Qt::AlignTop, QString::number(r.GetYear()));
            p.drawText(QRect(278, y2, 404 - 278, t + 2), Qt::AlignLeft | Qt::AlignTop,
                       Shorten(QString::fromStdString(r.GetGenre()), 404 - 278, textMetrics));
            p.drawText(QRect(34, top + 2 * t + 4, 370, t + 2), Qt::AlignLeft | Qt::AlignTop,
                       Shorten(QString::fromStdString(r.GetArtist()), 404 - 34, textMetrics));
            p.drawText(QRect(34, top + 3 * t + 6, 370, t + 2), Qt::AlignLeft | Qt::AlignTop,
                       Shorten(QString::fromStdString(r.GetAlbum()), 404 - 34, textMetrics));
        } else if (box.width > 30) {
            p.setFont(textFont);
            const int lineH = textMetrics.height() + 1;
            const int y = box.Bottom() - lineH;
            const QString d = Duration(seconds);
            const int dw = textMetrics.horizontalAdvance(d);
            p.setPen(colour(0x000000 | (m_vtape ? 0xFFFFFF : 0x000000)));
            p.drawText(QRect(box.Right() - dw - 2, y, dw + 2, lineH), Qt::AlignRight | Qt::AlignTop, d);
            const int nameWidth = box.width - 4 - dw - 6;
            p.setPen(colour(createdToday ? 0xFF0000 : (m_vtape ? 0xFFFFFF : 0x000000)));
            if (nameWidth > 0)
                p.drawText(QRect(box.left + 4, y, nameWidth, lineH), Qt::AlignLeft | Qt::AlignTop,
                           Shorten(QString::fromStdString(r.GetName()), nameWidth, textMetrics));
        }
        // Snap icon: a small green square with a dot.
        if (th_.width > 70 && HasChosenSnap(r)) {
            p.fillRect(th_.left + 26, th_.top + 2, 10, 10, colour(0x40C040));
            p.fillRect(th_.left + 29, th_.top + 5, 4, 4, colour(0xFFFFFF));
        }
        // Close box of the current item.
        if (item.region == tape.GetCurrent() && th_.width > 12 && kind != CTape::List) {
            const int x = th_.Right() - 12, y = th_.top;
            p.fillRect(x, y, 12, 12, colour(0xC04040));
            p.setPen(colour(0xFFFFFF));
            p.drawLine(x + 3, y + 3, x + 8, y + 8);
            p.drawLine(x + 8, y + 3, x + 3, y + 8);
        }
        if (kind == CTape::Strip) {
            p.setPen(colour(0xBBBBBB));
            p.drawLine(box.left, box.top, box.left, box.Bottom() - 1);
        }
    }
    tape.Scrollbar().Paint(p);
    if (m_vtape) {
        // The right 105 px: the VTape's total duration.
        p.fillRect(width - 105, 0, 105, height, Qt::black);
        p.setPen(Qt::white);
        p.setFont(PixelFont(26));
        // The 26 px text is squeezed sideways when the font is wider than the panel's 95 px.
        const QString total = TotalText(tape.TotalDuration());
        const int textWidth = QFontMetrics(p.font()).horizontalAdvance(total);
        p.save();
        p.translate(width - 95, height - 29);
        if (textWidth > 93) p.scale(93.0 / textWidth, 1.0);
        p.drawText(QRect(0, 0, std::max(textWidth, 95), 29), Qt::AlignLeft | Qt::AlignTop, total);
        p.restore();
    }
}
