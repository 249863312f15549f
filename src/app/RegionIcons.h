#pragma once
// The icons of the list of regions of one sample, drawn rather than shipped. Index = family
// base (3 uncompressed, 7 MP3, 11 KX64 and Ogg Vorbis) − 3, + 1 when the sample is stored in the
// VDisk, + 2 for a region that is not the root; 12 when the sample's file is not there.

#include <QIcon>
#include <QImage>

class CRegion;

namespace RegionIcons {
constexpr int kMissing = 12;
// The icon index of a region by the rule above.
int IndexFor(const CRegion& region);
QImage Image(int index);
QIcon Icon(int index);
} // namespace RegionIcons
