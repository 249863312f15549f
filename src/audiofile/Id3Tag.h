#pragma once
// The 128-byte ID3 tag at the end of an MP3 file ("TAG"), and the genre list it indexes.
// MP3 files get it on export (the export layer adds an ID3v2 tag in front); the MP3 reader
// fills its tag fields from it on import. This is the one genre list and the one 128-byte
// layout of the program: both directions must agree on every byte.
//
// Threading: free functions on the caller's objects; the genre list is constant.

#include <cstdint>
#include <string>
#include <vector>

class AudioFile;
class CFile;

// The tag values as texts (UTF-8) and numbers.
struct TagSet {
    std::string title, artist, album, comment, genre;
    int32_t year = 0;
    int32_t track = 0;
};

constexpr int kId3Bytes = 128;
constexpr int kGenreCount = 148;

// Genre i of the extended ID3v1 list (0 "Blues" .. 147 "Synthpop"); "" outside the list.
const char* GenreName(int index);
// The position of name in the list without regard to case (the last match when several
// entries match); 255 when the list does not hold it.
int GenreIndex(const std::string& name);
// The genre names sorted alphabetically, as the tag dialog offers them.
std::vector<std::string> GenresSorted();

// The 128 bytes of a tag: "TAG", title, artist, album (30 bytes each, cut without splitting a
// character, zero-filled after the text), year as four ASCII digits (its last four; 0 for a
// negative year), comment (30 bytes; byte 125 = 0 and byte 126 = track for a track 1..99),
// genre index.
void BuildId3v1(const TagSet& tags, uint8_t out[kId3Bytes]);
// Decodes 128 bytes; false when they do not start with "TAG". Texts that are not UTF-8 are
// taken as Latin-1.
bool ParseId3v1(const uint8_t in[kId3Bytes], TagSet& out);

// Reads the last 128 bytes of an open file and restores its position; false without a tag.
bool ReadId3v1(CFile& file, TagSet& out);
// Appends a tag at the current end of an open file (a file that already ends in a tag gets a
// second one) and restores its position; false when the write is short or the position
// cannot be read or restored.
bool WriteId3v1(CFile& file, const TagSet& tags);

// Copies tags into a reader's tag fields (cut to the fields) and sets hasTags.
void ApplyTags(AudioFile& file, const TagSet& tags);
// A genre text as tags carry it: "(17)", "17" or "(17)Rock" name list entry 17; others stay.
std::string GenreFromText(const std::string& text);
// Latin-1 bytes as UTF-8 unless they already are valid UTF-8.
std::string TextAsUtf8(const std::string& bytes);
