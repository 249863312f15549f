#pragma once
// TapeView: composes a tape (VTape strip or region browser) into its off-screen image, which
// the window's paint box shows as it is. Only laid-out items are drawn, and thumbnails come
// from each region's 1024-byte overview, so painting reads no audio or peak data.
//
// Threading: main thread only.

#include <QImage>
#include <QString>

#include <cstdint>
#include <vector>

#include "views/CScrollbar.h"

class CTape;
class QFontMetrics;

class TapeView {
public:
    // VTape: white names and the total-duration panel on the right 105 px of the surface.
    explicit TapeView(bool vtape) : m_vtape(vtape) {}

    // Composes the whole surface (width × height); the tape's area must already be set and
    // laid out. today is the date stamp that marks a name red.
    void Paint(const CTape& tape, int width, int height, int32_t today);
    const QImage& Image() const { return m_image; }

    // Cuts text to end before width: while its pixel width + 2 is not below width, drop the
    // last character; when it then fits and at least four characters remain, the last three
    // become "...".
    static QString Shorten(const QString& text, int width, const QFontMetrics& metrics);
    // Darkened colour of the views: red × 0.5, green × 0.5, blue × 0.6, truncated.
    static uint32_t Darken(uint32_t rgb);
    // "%02d:%02d:%02d" of whole seconds.
    static QString TotalText(double seconds);

private:
    void DrawOverviewBars(const uint8_t* overview, const TapeRect& thumb, uint32_t rgb);

    bool m_vtape;
    QImage m_image;
    std::vector<int> m_bars;
};
