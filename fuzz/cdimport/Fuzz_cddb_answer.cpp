// A CDDB server's HTTP answer from any bytes: the body, the record of a "read" answer and the
// record's titles, year and genre never exceed their fields, and the parser ends.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cdimport/CDDBRecord.h"

namespace {
void CheckInfo(const CDDiscInfo& info) {
    for (const std::string& t : info.titles)
        if (t.size() > CDDiscInfo::kTitleBytes - 1) std::abort();
    if (info.genre.size() > CDDiscInfo::kGenreBytes - 1) std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string answer(reinterpret_cast<const char*>(data), size);
    std::string body, record;
    int status = 0;
    if (HttpAnswerBody(answer, body, status) && CDDBReadAnswerRecord(body, record)) {
        CDDiscInfo info;
        ParseCDDBRecord(record, info);
        CheckInfo(info);
    }
    // The record parser on the bytes as they are, too.
    CDDiscInfo raw;
    const bool found = ParseCDDBRecord(answer, raw);
    if (found != raw.AnyTitle()) std::abort();
    CheckInfo(raw);
    AlbumTitleOfMatch({"rock", "0", answer.substr(0, size / 2), answer});
    return 0;
}
