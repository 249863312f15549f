// "cdplayer.ini" from any bytes: the entries for a disc (its id from the first four bytes) are at
// most five, their titles within bounds, and each turns into a record the record parser reads.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cdimport/CDDBRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t id = 0x19002904;
    if (size >= 4) id = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<uint32_t>(data[3]) << 24);
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (uint32_t disc : {id, 0x19002904u}) {
        const std::vector<CDPlayerIniEntry> entries = ParseCDPlayerIni(text, disc);
        if (entries.size() > 5) std::abort();
        for (const CDPlayerIniEntry& e : entries) {
            if (e.tracks.size() > CDDiscInfo::kMaxTitles || e.artist.size() > 80 || e.title.size() > 80) std::abort();
            CDDiscInfo info;
            ParseCDDBRecord(CDPlayerIniRecord(e), info);
            CDPlayerIniMatch(e, disc);
        }
    }
    return 0;
}
