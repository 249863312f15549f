#pragma once
// Which regions took text stamps (CRegion::TextStamp) lately: the search's copies ask after a
// few edits for the regions to look at again, instead of looking at every region.
//
// Threading: any thread; the log is guarded.

#include <cstdint>
#include <vector>

class CRegion;

// The addresses of the regions (some perhaps gone since) that took the stamps after stamp,
// oldest first, duplicates possible. False when that far back is no longer kept.
bool RegionsStampedSince(uint64_t stamp, std::vector<const CRegion*>& out);
