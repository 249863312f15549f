#include "export/Id3Tags.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

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
void PutEncodedText(std::vector<uint8_t>& body, const std::vector<uint32_t>& cps, bool utf16, bool terminate) {
    if (!utf16) {
        for (uint32_t cp : cps) body.push_back(static_cast<uint8_t>(cp));
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
    for (int s = 24; s >= 0; s -= 8) tag.push_back(static_cast<uint8_t>(n >> s));
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

std::vector<uint8_t> MakeId3v2Tag(const TagSet& tags) {
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
    for (int s = 21; s >= 0; s -= 7) tag.push_back(static_cast<uint8_t>((n >> s) & 0x7F));
    tag.insert(tag.end(), frames.begin(), frames.end());
    return tag;
}
