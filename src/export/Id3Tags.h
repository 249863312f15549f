#pragma once
// ID3 tags that export writes into MP3 files: the 128-byte tag at the very end of the file,
// and an ID3v2.3 tag in front of the audio, which current players show in preference (it
// keeps texts longer than 30 bytes and characters beyond Latin-1).
//
// Threading: free functions on the caller's objects; the genre list is constant.

#include <cstdint>
#include <string>
#include <vector>

class CFile;

// The tag set an exported file carries. Texts are UTF-8.
struct SongTags {
    std::string title, artist, album, comment, genre;
    int32_t year = 0;
    int32_t track = 0;
    bool Empty() const {
        return title.empty() && artist.empty() && album.empty() && comment.empty() && genre.empty() &&
               year == 0 && track == 0;
    }
};

constexpr int kId3v1Bytes = 128;
constexpr int kId3GenreCount = 148;

// Genre i of the extended list (0 "Blues" .. 147 "Synthpop"); "" outside it.
const char* Id3Genre(int index);
// The position of name in the list without regard to case (the last one when several match);
// 255 when the list does not hold it.
int Id3GenreIndex(const std::string& name);
// The genre names sorted alphabetically, as the tag dialog offers them.
std::vector<std::string> Id3GenresSorted();

// The 128 bytes: "TAG", title, artist, album (30 bytes each, zero-filled after the text),
// year as four ASCII digits, comment (30 bytes; byte 125 = 0 and byte 126 = track for a
// track 1..99), genre index.
void MakeId3v1Tag(const SongTags& tags, uint8_t out[kId3v1Bytes]);
// Appends the tag at the current end of an open file and returns to the previous position.
// False when the write fails or is short.
bool AppendId3v1Tag(CFile& file, const SongTags& tags);

// An ID3v2.3 tag with a frame for every non-empty field (TIT2, TPE1, TALB, TYER, TCON, TRCK,
// COMM); texts are Latin-1 when they can be, else UTF-16 with a byte-order mark. Empty when
// the set is empty.
std::vector<uint8_t> MakeId3v2Tag(const SongTags& tags);
