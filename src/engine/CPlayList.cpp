#include "engine/CPlayList.h"

#include "library/CRegion.h"
#include "library/CSample.h"

bool CPlayList::Add(const CRegion& region, int32_t start) {
    const CSample* sample = region.GetSample();
    if (!sample) return false;
    PlayItem item;
    item.region = &region;
    item.start = start;
    item.folder = sample->FolderPath();
    item.fileName = sample->GetFileName();
    item.formatCode = sample->GetFormatCode();
    item.sampleFrames = sample->GetFrameCount();
    item.sampleRate = sample->GetSampleRate();
    item.channels = sample->GetChannels();
    item.bits = sample->GetBits();
    item.regionStart = region.GetStart();
    item.length = region.Length();
    item.fadeIn = region.GetFadeInLength();
    item.fadeOut = region.GetFadeOutLength();
    item.fadeInShape = region.GetFadeInShape();
    item.fadeOutShape = region.GetFadeOutShape();
    return AddItem(item);
}

bool CPlayList::AddItem(const PlayItem& item) {
    if (Count() >= kMaxEntries || item.length < 0) return false;
    m_items.push_back(item);
    return true;
}
