#pragma once
// CDDiscInfo: what is known of the disc in the drive: the track titles, the album artist and
// title, the year, the genre and the disc id they belong to. A CDDB lookup fills it, or the
// disc's own CD-TEXT; the CD reader keeps it while the same disc stays in the drive and clears
// it when another disc turns up, so titles never stick to the wrong disc.
//
// Threading: main thread only (it lives in the CD reader).

#include <array>
#include <cstdint>
#include <string>

struct CDDiscInfo {
    static constexpr int kMaxTitles = 100;
    // Field sizes of the record: texts hold at most size − 1 bytes.
    static constexpr size_t kTitleBytes = 64;
    static constexpr size_t kGenreBytes = 32;

    std::array<std::string, kMaxTitles> titles; // per track, index 0 = track 1; "" = none
    std::string artist;                         // album artist
    std::string album;                          // album title
    int32_t year = 0;
    std::string genre;
    uint32_t discId = 0; // the CDDB disc id the information belongs to; 0 = none
    // Where the titles came from; a lookup's titles stay until the disc changes, CD-TEXT titles
    // are read again with every table of contents.
    enum class Source { None, CDText, Lookup } source = Source::None;

    // Clears the titles, the album artist and title and the year (the genre and the id stay, as
    // a lookup without titles leaves them).
    void ClearTitles();
    // Everything, the id included.
    void Clear();
    bool HasTitle(int track) const {
        return track >= 0 && track < kMaxTitles && !titles[static_cast<size_t>(track)].empty();
    }
    bool AnyTitle() const;
};
