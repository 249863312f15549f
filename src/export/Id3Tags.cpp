#include "export/Id3Tags.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "audiofile/CFile.h"
#include "common/FixedText.h"

namespace {

const char* const kGenres[kId3GenreCount] = {
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

void PutText(uint8_t* field, size_t size, const std::string& text) {
    const std::string cut = CutUtf8(text, size);
    std::memset(field, 0, size);
    std::memcpy(field, cut.data(), cut.size());
}

// UTF-8 to code points; a byte that does not start a valid sequence stands for itself
// (Latin-1), so no input is lost or rejected.
std::vector<uint32_t> CodePoints(const std::string& s) {
    std::vector<uint32_t> out;
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int more = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        uint32_t cp = more == 1 ? (c & 0x1F) : more == 2 ? (c & 0x0F) : more == 3 ? (c & 0x07) : c;
        bool ok = more >= 0 && i + static_cast<size_t>(more) < s.size() + (more == 0 ? 1 : 0);
        for (int k = 1; ok && k <= more; ++k) {
            const unsigned char d = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
            if ((d >> 6) != 2) ok = false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if (!ok || more < 0) {
            out.push_back(c);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<size_t>(more) + 1;
    }
    return out;
}

// Frame body of a text: encoding byte, then Latin-1 or UTF-16 (BOM, little-endian).
void PutEncodedText(std::vector<uint8_t>& body, const std::vector<uint32_t>& cps, bool utf16,
                    bool terminate) {
    if (!utf16) {
        for (uint32_t cp : cps)
            body.push_back(static_cast<uint8_t>(cp));
        if (terminate) body.push_back(0);
        return;
    }
    body.push_back(0xFF);
    body.push_back(0xFE);
    auto unit = [&](uint32_t u) {
        body.push_back(static_cast<uint8_t>(u & 0xFF));
        body.push_back(static_cast<uint8_t>(u >> 8));
    };
    for (uint32_t cp : cps) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(0xD800 + (cp >> 10));
            unit(0xDC00 + (cp & 0x3FF));
        } else {
            unit(cp);
        }
    }
    if (terminate) unit(0);
}

void AddFrame(std::vector<uint8_t>& tag, const char* id, const std::vector<uint8_t>& body) {
    tag.insert(tag.end(), id, id + 4);
    const uint32_t n = static_cast<uint32_t>(body.size());
    for (int s = 24; s >= 0; s -= 8)
        tag.push_back(static_cast<uint8_t>(n >> s));
    tag.push_back(0);
    tag.push_back(0);
    tag.insert(tag.end(), body.begin(), body.end());
}

void AddTextFrame(std::vector<uint8_t>& tag, const char* id, const std::string& text) {
    if (text.empty()) return;
    const std::vector<uint32_t> cps = CodePoints(text);
    const bool utf16 = std::any_of(cps.begin(), cps.end(), [](uint32_t c) { return c > 0xFF; });
    std::vector<uint8_t> body{static_cast<uint8_t>(utf16 ? 1 : 0)};
    PutEncodedText(body, cps, utf16, false);
    AddFrame(tag, id, body);
}

} // namespace

const char* Id3Genre(int index) {
    return index >= 0 && index < kId3GenreCount ? kGenres[index] : "";
}

int Id3GenreIndex(const std::string& name) {
    int found = 255;
    for (int i = 0; i < kId3GenreCount; ++i)
        if (EqualNoCase(name, kGenres[i])) found = i;
    return found;
}

std::vector<std::string> Id3GenresSorted() {
    std::vector<std::string> out(kGenres, kGenres + kId3GenreCount);
    std::sort(out.begin(), out.end());
    return out;
}

void MakeId3v1Tag(const SongTags& tags, uint8_t out[kId3v1Bytes]) {
    std::memset(out, 0, kId3v1Bytes);
    std::memcpy(out, "TAG", 3);
    PutText(out + 3, 30, tags.title);
    PutText(out + 33, 30, tags.artist);
    PutText(out + 63, 30, tags.album);
    // Four digits of the year's value; years outside 0..9999 keep their last four digits.
    int32_t y = tags.year < 0 ? 0 : tags.year % 10000;
    out[93] = static_cast<uint8_t>('0' + y / 1000);
    out[94] = static_cast<uint8_t>('0' + y / 100 % 10);
    out[95] = static_cast<uint8_t>('0' + y / 10 % 10);
    out[96] = static_cast<uint8_t>('0' + y % 10);
    PutText(out + 97, 30, tags.comment);
    if (tags.track >= 1 && tags.track <= 99) {
        out[125] = 0;
        out[126] = static_cast<uint8_t>(tags.track);
    }
    out[127] = static_cast<uint8_t>(Id3GenreIndex(tags.genre));
}

bool AppendId3v1Tag(CFile& file, const SongTags& tags) {
    uint8_t tag[kId3v1Bytes];
    MakeId3v1Tag(tags, tag);
    const int64_t here = file.Seek(0, CFile::FromCurrent);
    if (here < 0 || file.Seek(0, CFile::FromEnd) < 0) return false;
    const bool ok = file.Write(tag, kId3v1Bytes) == kId3v1Bytes;
    return file.Seek(here) >= 0 && ok;
}

std::vector<uint8_t> MakeId3v2Tag(const SongTags& tags) {
    std::vector<uint8_t> frames;
    AddTextFrame(frames, "TIT2", tags.title);
    AddTextFrame(frames, "TPE1", tags.artist);
    AddTextFrame(frames, "TALB", tags.album);
    if (tags.year > 0 && tags.year <= 9999) {
        char y[8];
        std::snprintf(y, sizeof y, "%04d", static_cast<int>(tags.year));
        AddTextFrame(frames, "TYER", y);
    }
    AddTextFrame(frames, "TCON", tags.genre);
    if (tags.track > 0) AddTextFrame(frames, "TRCK", std::to_string(tags.track));
    if (!tags.comment.empty()) {
        const std::vector<uint32_t> cps = CodePoints(tags.comment);
        const bool utf16 = std::any_of(cps.begin(), cps.end(), [](uint32_t c) { return c > 0xFF; });
        std::vector<uint8_t> body{static_cast<uint8_t>(utf16 ? 1 : 0), 'e', 'n', 'g'};
        PutEncodedText(body, {}, utf16, true); // empty description
        PutEncodedText(body, cps, utf16, false);
        AddFrame(frames, "COMM", body);
    }
    if (frames.empty()) return {};
    std::vector<uint8_t> tag{'I', 'D', '3', 3, 0, 0};
    const uint32_t n = static_cast<uint32_t>(frames.size());
    // The tag size is synchsafe: seven bits per byte.
    for (int s = 21; s >= 0; s -= 7)
        tag.push_back(static_cast<uint8_t>((n >> s) & 0x7F));
    tag.insert(tag.end(), frames.begin(), frames.end());
    return tag;
}
