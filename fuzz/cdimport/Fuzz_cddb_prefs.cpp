// "CDDBPrefs.dat" from any bytes: a whole record is read with every text within its field, and
// what was read writes back as 781 bytes that read the same again.
#include <cstdint>
#include <cstdlib>

#include "cdimport/CCDDBPrefs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CCDDBPrefs p;
    if (!p.FromBytes(data, size)) return 0;
    for (const std::string* t : {&p.server, &p.queryScript, &p.email, &p.proxyServer, &p.proxyUser, &p.proxyPassword})
        if (t->size() > CCDDBPrefs::kTextBytes - 1) std::abort();
    const std::vector<uint8_t> bytes = p.ToBytes();
    if (bytes.size() != CCDDBPrefs::kFileBytes) std::abort();
    CCDDBPrefs q;
    if (!q.FromBytes(bytes.data(), bytes.size()) || q.ToBytes() != bytes) std::abort();
    IsValidCDDBEmail(p.email);
    return 0;
}
