#include "audiofile/Id3Tag.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "audiofile/AudioFile.h"
#include "common/FixedText.h"

namespace {

const char* const kGenres[kGenreCount] = {
    "Blues",
    "Classic Rock",
    "Country",
    "Dance",
    "Disco",
    "Funk",
    "Grunge",
    "Hip-Hop",
    "Jazz",
    "Metal",
    "New Age",
    "Oldies",
    "Other",
    "Pop",
    "R&B",
    "Rap",
    "Reggae",
    "Rock",
    "Techno",
    "Industrial",
    "Alternative",
    "Ska",
    "Death Metal",
    "Pranks",
    "Soundtrack",
    "Euro-Techno",
    "Ambient",
    "Trip-Hop",
    "Vocal",
    "Jazz+Funk",
    "Fusion",
    "Trance",
    "Classical",
    "Instrumental",
    "Acid",
    "House",
    "Game",
    "Sound Clip",
    "Gospel",
    "Noise",
    "AlternRock",
    "Bass",
    "Soul",
    "Punk",
    "Space",
    "Meditative",
    "Instrumental Pop",
    "Instrumental Rock",
    "Ethnic",
    "Gothic",
    "Darkwave",
    "Techno-Industrial",
    "Electronic",
    "Pop-Folk",
    "Eurodance",
    "Dream",
    "Southern Rock",
    "Comedy",
    "Cult",
    "Gangsta",
    "Top 40",
    "Christian Rap",
    "Pop/Funk",
    "Jungle",
    "Native American",
    "Cabaret",
    "New Wave",
    "Psychadelic",
    "Rave",
    "Showtunes",
    "Trailer",
    "Lo-Fi",
    "Tribal",
    "Acid Punk",
    "Acid Jazz",
    "Polka",
    "Retro",
    "Musical",
    "Rock & Roll",
    "Hard Rock",
    "Folk",
    "Folk-Rock",
    "National Folk",
    "Swing",
    "Fast Fusion",
    "Bebob",
    "Latin",
    "Revival",
    "Celtic",
    "Bluegrass",
    "Avantgarde",
    "Gothic Rock",
    "Progressive Rock",
    "Psychedelic Rock",
    "Symphonic Rock",
    "Slow Rock",
    "Big Band",
    "Chorus",
    "Easy Listening",
    "Acoustic",
    "Humour",
    "Speech",
    "Chanson",
    "Opera",
    "Chamber Music",
    "Sonata",
    "Symphony",
    "Booty Bass",
    "Primus",
    "Porn Groove",
    "Satire",
    "Slow Jam",
    "Club",
    "Tango",
    "Samba",
    "Folklore",
    "Ballad",
    "Power Ballad",
    "Rhythmic Soul",
    "Freestyle",
    "Duet",
    "Punk Rock",
    "Drum Solo",
    "A capella",
    "Euro-House",
    "Dance Hall",
    "Goa",
    "Drum & Bass",
    "Club-House",
    "Hardcore",
    "Terror",
    "Indie",
    "BritPop",
    "Negerpunk",
    "Polsk Punk",
    "Beat",
    "Christian Gangsta Rap",
    "Heavy Metal",
    "Black Metal",
    "Crossover",
    "Contemporary Christian",
    "Christian Rock ",
    "Merengue",
    "Salsa",
    "Thrash Metal",
    "Anime",
    "JPop",
    "Synthpop",
};

bool EqualNoCase(const std::string& a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool ValidUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int more = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (more < 0 || i + static_cast<size_t>(more) >= s.size() + (more == 0 ? 1 : 0)) return false;
        for (int k = 1; k <= more; ++k)
            if ((static_cast<unsigned char>(s[i + static_cast<size_t>(k)]) >> 6) != 2) return false;
        i += static_cast<size_t>(more) + 1;
    }
    return true;
}

// A field's text up to its first NUL.
std::string FieldText(const uint8_t* p, size_t n) {
    size_t len = 0;
    while (len < n && p[len] != 0) ++len;
    return TextAsUtf8(std::string(reinterpret_cast<const char*>(p), len));
}

void PutField(uint8_t* p, size_t n, const std::string& text) {
    const std::string cut = CutUtf8(text, n);
    std::memset(p, 0, n);
    std::memcpy(p, cut.data(), cut.size());
}

} // namespace

const char* GenreName(int index) { return index >= 0 && index < kGenreCount ? kGenres[index] : ""; }

std::vector<std::string> GenresSorted() {
    std::vector<std::string> out(kGenres, kGenres + kGenreCount);
    std::sort(out.begin(), out.end());
    return out;
}

int GenreIndex(const std::string& name) {
    int found = 255;
    for (int i = 0; i < kGenreCount; ++i)
        if (EqualNoCase(name, kGenres[i])) found = i;
    return found;
}

std::string TextAsUtf8(const std::string& bytes) {
    if (ValidUtf8(bytes)) return bytes;
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

void BuildId3v1(const TagSet& tags, uint8_t out[kId3Bytes]) {
    std::memset(out, 0, kId3Bytes);
    std::memcpy(out, "TAG", 3);
    PutField(out + 3, 30, tags.title);
    PutField(out + 33, 30, tags.artist);
    PutField(out + 63, 30, tags.album);
    // Four digits of the year's value; a year above 9999 keeps its last four digits.
    const int32_t y = tags.year < 0 ? 0 : tags.year % 10000;
    out[93] = static_cast<uint8_t>('0' + y / 1000);
    out[94] = static_cast<uint8_t>('0' + y / 100 % 10);
    out[95] = static_cast<uint8_t>('0' + y / 10 % 10);
    out[96] = static_cast<uint8_t>('0' + y % 10);
    PutField(out + 97, 30, tags.comment);
    if (tags.track >= 1 && tags.track <= 99) {
        out[125] = 0;
        out[126] = static_cast<uint8_t>(tags.track);
    }
    out[127] = static_cast<uint8_t>(GenreIndex(tags.genre));
}

bool ParseId3v1(const uint8_t in[kId3Bytes], TagSet& out) {
    if (std::memcmp(in, "TAG", 3) != 0) return false;
    out.title = FieldText(in + 3, 30);
    out.artist = FieldText(in + 33, 30);
    out.album = FieldText(in + 63, 30);
    out.year = 0;
    for (int i = 93; i < 97 && std::isdigit(in[i]); ++i) out.year = out.year * 10 + (in[i] - '0');
    out.comment = FieldText(in + 97, 30);
    out.track = (in[125] == 0 && in[126] >= 1 && in[126] <= 99) ? in[126] : 0;
    out.genre = GenreName(in[127]);
    return true;
}

bool ReadId3v1(CFile& file, TagSet& out) {
    const int64_t size = file.FileSize();
    if (size < kId3Bytes) return false;
    const int64_t pos = file.Seek(0, CFile::FromCurrent);
    uint8_t b[kId3Bytes];
    bool ok = file.Seek(size - kId3Bytes) >= 0 && file.Read(b, kId3Bytes) == kId3Bytes && ParseId3v1(b, out);
    if (pos >= 0) file.Seek(pos);
    return ok;
}

bool WriteId3v1(CFile& file, const TagSet& tags) {
    uint8_t b[kId3Bytes];
    BuildId3v1(tags, b);
    // A position that cannot be read or restored would leave the caller writing in the wrong
    // place, so it fails like a short write.
    const int64_t here = file.Seek(0, CFile::FromCurrent);
    if (here < 0 || file.Seek(0, CFile::FromEnd) < 0) return false;
    const bool ok = file.Write(b, kId3Bytes) == kId3Bytes;
    return file.Seek(here) >= 0 && ok;
}

void ApplyTags(AudioFile& file, const TagSet& tags) {
    file.SetTitle(tags.title);
    file.SetArtist(tags.artist);
    file.SetAlbum(tags.album);
    file.SetComment(tags.comment);
    file.SetGenre(tags.genre);
    file.year = tags.year;
    file.track = tags.track;
    file.hasTags = 1;
}

std::string GenreFromText(const std::string& text) {
    size_t i = 0;
    const bool paren = !text.empty() && text[0] == '(';
    if (paren) i = 1;
    size_t digits = 0;
    int value = 0;
    while (i + digits < text.size() && digits < 4 && std::isdigit(static_cast<unsigned char>(text[i + digits]))) {
        value = value * 10 + (text[i + digits] - '0');
        ++digits;
    }
    if (digits == 0) return text;
    const size_t end = i + digits;
    const bool whole = paren ? (end < text.size() && text[end] == ')') : end == text.size();
    if (!whole) return text;
    if (paren && end + 1 < text.size()) return text.substr(end + 1); // "(17)Rock": the refinement
    return value < kGenreCount ? GenreName(value) : text;
}
