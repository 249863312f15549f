#include "cdimport/CDDBRecord.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "common/FixedText.h"

namespace {

constexpr size_t kLineChars = 80;
constexpr size_t kMaxIniEntries = 5;

bool StartsWith(const std::string& s, const char* head) { return s.compare(0, std::strlen(head), head) == 0; }

bool StartsWithNoCase(const std::string& s, const char* head) {
    const size_t n = std::strlen(head);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(static_cast<unsigned char>(head[i])))
            return false;
    return true;
}

// A whole number as the old C library reads one: leading blanks, an optional sign, then digits,
// stopping at anything else (0 without digits). Bounded so that no text overflows it.
long LeadingNumber(const char* p) {
    while (*p == ' ' || *p == '\t') ++p;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    long v = 0;
    for (int digits = 0; std::isdigit(static_cast<unsigned char>(*p)) && digits < 9; ++p, ++digits)
        v = v * 10 + (*p - '0');
    return negative ? -v : v;
}

// The text after the line's "=", when there is something after it.
bool ValueAfterEquals(const std::string& line, std::string& value) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos || eq + 1 >= line.size()) return false;
    value = line.substr(eq + 1);
    return true;
}

std::string Trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

} // namespace

std::string AlbumTitleOfMatch(const CDDBMatch& match) {
    const std::string& t = match.title;
    if (match.artist.empty() || t.size() <= match.artist.size() || t.compare(0, match.artist.size(), match.artist) != 0)
        return t;
    std::string rest = t.substr(match.artist.size());
    // What stays of "artist / album" is " / album": the separator is not part of the album.
    size_t cut = 0;
    while (cut < rest.size() && rest[cut] == ' ') ++cut;
    if (cut < rest.size() && rest[cut] == '/') {
        ++cut;
        while (cut < rest.size() && rest[cut] == ' ') ++cut;
        return rest.substr(cut);
    }
    return t; // the artist was only the start of a longer word
}

bool ParseCDDBRecord(const std::string& text, CDDiscInfo& info) {
    bool found = false;
    int k = 0;       // the title the next new TTITLE line fills
    long lastN = -1; // the number of the previous TTITLE line
    size_t pos = 0;
    while (pos < text.size()) {
        // One line of at most 80 characters; a longer one goes on as the next line.
        size_t end = pos;
        while (end < text.size() && end - pos < kLineChars && text[end] != '\n') ++end;
        std::string line = text.substr(pos, end - pos);
        if (end < text.size() && text[end] == '\n') {
            ++end;
            if (!line.empty() && line.back() == '\r') line.pop_back();
        }
        pos = end;
        if (!line.empty() && line[0] == '.') break;

        std::string value;
        if (StartsWith(line, "TTITLE")) {
            const long n = LeadingNumber(line.c_str() + 6);
            if (n < 0 || n > 98 || n == lastN) continue; // continuation lines repeat the number
            lastN = n;
            if (k < CDDiscInfo::kMaxTitles && ValueAfterEquals(line, value)) {
                info.titles[static_cast<size_t>(k)] = CutUtf8(value, CDDiscInfo::kTitleBytes - 1);
                found = true;
            }
            ++k;
        } else if (StartsWith(line, "DYEAR")) {
            if (ValueAfterEquals(line, value)) info.year = static_cast<int32_t>(LeadingNumber(value.c_str()));
        } else if (StartsWith(line, "DGENRE")) {
            if (ValueAfterEquals(line, value)) info.genre = CutUtf8(value, CDDiscInfo::kGenreBytes - 1);
        }
    }
    return found;
}

bool HttpAnswerBody(const std::string& answer, std::string& body, int& status) {
    status = 0;
    body.clear();
    if (!StartsWith(answer, "HTTP/")) return false;
    const size_t space = answer.find(' ');
    const size_t lineEnd = answer.find('\n');
    if (space == std::string::npos || lineEnd == std::string::npos || space > lineEnd) return false;
    status = static_cast<int>(LeadingNumber(answer.c_str() + space + 1));
    // The headers end at the first empty line (CR LF or LF).
    size_t at = lineEnd + 1;
    for (;;) {
        const size_t next = answer.find('\n', at);
        if (next == std::string::npos) return false;
        const bool empty = next == at || (next == at + 1 && answer[at] == '\r');
        at = next + 1;
        if (empty) break;
    }
    if (status != 200) return false;
    body = answer.substr(at);
    return true;
}

bool CDDBReadAnswerRecord(const std::string& body, std::string& record) {
    record.clear();
    if (!StartsWith(body, "210")) return false;
    const size_t lineEnd = body.find('\n');
    if (lineEnd == std::string::npos) return false;
    record = body.substr(lineEnd + 1);
    return true;
}

std::vector<CDPlayerIniEntry> ParseCDPlayerIni(const std::string& text, uint32_t discId) {
    std::vector<CDPlayerIniEntry> entries;
    bool inEntry = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            inEntry = false;
            const size_t close = line.find(']');
            if (close == std::string::npos) continue;
            std::string name = Trim(line.substr(1, close - 1));
            if (StartsWithNoCase(name, "0x")) name = name.substr(2);
            if (name.empty() || name.size() > 8) continue;
            uint32_t id = 0;
            bool hex = true;
            for (char c : name) {
                if (!std::isxdigit(static_cast<unsigned char>(c))) {
                    hex = false;
                    break;
                }
                id = id * 16 + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(c))
                                                         ? c - '0'
                                                         : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
            }
            if (!hex || id != discId || entries.size() >= kMaxIniEntries) continue;
            entries.emplace_back();
            inEntry = true;
            continue;
        }
        if (!inEntry) continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = Trim(line.substr(eq + 1));
        CDPlayerIniEntry& e = entries.back();
        if (StartsWithNoCase(key, "artist") && key.size() == 6) e.artist = CutUtf8(value, 80);
        else if (StartsWithNoCase(key, "title") && key.size() == 5) e.title = CutUtf8(value, 80);
        else if (!key.empty() && key.size() <= 2 && key.find_first_not_of("0123456789") == std::string::npos) {
            const size_t n = static_cast<size_t>(std::stoi(key));
            if (n >= CDDiscInfo::kMaxTitles) continue;
            if (e.tracks.size() <= n) e.tracks.resize(n + 1);
            e.tracks[n] = CutUtf8(value, CDDiscInfo::kTitleBytes - 1);
        }
    }
    return entries;
}

std::string CDPlayerIniRecord(const CDPlayerIniEntry& entry) {
    std::string record = "DTITLE=" + entry.artist + " / " + entry.title + "\n";
    for (size_t n = 0; n < entry.tracks.size(); ++n) {
        // A newline inside a title would start a line of its own.
        std::string t = entry.tracks[n];
        for (char& c : t)
            if (c == '\n' || c == '\r') c = ' ';
        record += "TTITLE" + std::to_string(n) + "=" + t + "\n";
    }
    return record + ".\n";
}

CDDBMatch CDPlayerIniMatch(const CDPlayerIniEntry& entry, uint32_t discId) {
    char id[16];
    std::snprintf(id, sizeof id, "%08x", discId);
    return CDDBMatch{kCDPlayerIniCategory, id, entry.artist, entry.title};
}
