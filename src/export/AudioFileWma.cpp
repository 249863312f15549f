#include "export/AudioFileWma.h"

bool AudioFileWma::Accepts(uint32_t channels, int32_t rate, int32_t kbps) {
    if (kbps < 16 || kbps > 320) {
        SetError("Unsupported WMA bit rate.");
        return false;
    }
    return true;
}

std::vector<std::pair<std::string, std::string>> AudioFileWma::Metadata() const {
    return {{"title", title},    {"artist", artist},
            {"album", album},    {"date", year > 0 ? std::to_string(year) : ""},
            {"genre", genre},    {"track", track > 0 ? std::to_string(track) : ""},
            {"comment", comment}};
}
