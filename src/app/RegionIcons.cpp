#include "app/RegionIcons.h"

#include <QPainter>

#include "common/FormatCode.h"
#include "library/CRegion.h"
#include "library/CSample.h"

namespace RegionIcons {

int IndexFor(const CRegion& region) {
    const CSample* s = region.GetSample();
    if (!s || !s->FilePresent()) return kMissing;
    const int code = s->GetFormatCode();
    int base = 3;
    if (code == kFormatMp3) base = 7;
    else if (code == kFormatKX64 || code == kFormatVorbis) base = 11;
    return base - 3 + (s->IsStored() ? 1 : 0) + (region.IsRoot() ? 0 : 2);
}

QImage Image(int index) {
    QImage img(16, 16, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    if (index == kMissing) {
        // A file that is not there: a red cross.
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0xC0, 0x30, 0x30), 2.5));
        p.drawLine(4, 4, 12, 12);
        p.drawLine(12, 4, 4, 12);
        return img;
    }
    // The family colours the page: uncompressed blue, MP3 orange, KX64 and Ogg Vorbis green.
    static const QColor kFamily[3] = {QColor(0x40, 0x70, 0xC0), QColor(0xD0, 0x80, 0x30), QColor(0x40, 0xA0, 0x60)};
    const QColor c = kFamily[(index / 4) % 3];
    const bool stored = index % 2 == 1;
    const bool sub = (index % 4) >= 2;
    // A stored sample is a filled page, a linked one an outlined page with a link mark.
    p.setPen(c.darker(150));
    p.setBrush(stored ? c : QColor(Qt::white));
    p.drawRect(2, 1, 11, 13);
    p.setPen(stored ? QColor(Qt::white) : c);
    const int wave[] = {3, 6, 2, 5, 7, 4, 2};
    for (int i = 0; i < 7; ++i) p.drawLine(4 + i, 8 - wave[i] / 2, 4 + i, 8 + wave[i] / 2);
    if (sub) {
        // A region of part of the sample: a bracket under the wave.
        p.setPen(QColor(0x20, 0x20, 0x20));
        p.drawLine(4, 12, 11, 12);
        p.drawLine(4, 11, 4, 12);
        p.drawLine(11, 11, 11, 12);
    }
    return img;
}

QIcon Icon(int index) { return QIcon(QPixmap::fromImage(Image(index))); }

} // namespace RegionIcons
