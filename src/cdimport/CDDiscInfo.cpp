#include "cdimport/CDDiscInfo.h"

void CDDiscInfo::ClearTitles() {
    for (std::string& t : titles) t.clear();
    artist.clear();
    album.clear();
    year = 0;
    source = Source::None;
}

void CDDiscInfo::Clear() {
    ClearTitles();
    genre.clear();
    discId = 0;
}

bool CDDiscInfo::AnyTitle() const {
    for (const std::string& t : titles)
        if (!t.empty()) return true;
    return false;
}
