#include "export/ExportSettings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "export/ExtEncoders.h"

FormatBoxes BoxesFor(const ExportFormatEntry& e, const ExtEncoderList* encoders) {
    FormatBoxes b;
    if (e.encoderIndex >= 0) {
        if (encoders && encoders->UsesBitRate(e.encoderIndex)) b.bitRates = Mp3BitRates();
        return b;
    }
    switch (e.writerCode) {
    case kFormatWav:
    case kFormatSun:
        b.depths = {"16bit", "24bit (3-byte packed)", "32bit (integer)", "32bit (float -1.0:+1.0)"};
        b.channelBox = true;
        break;
    case kFormatAiff:
        b.depths = {"16bit", "24bit (3-byte packed)", "32bit (integer)"};
        b.channelBox = true;
        break;
    case kFormatRaw:
        b.depths = {"16bit LSB-Intel",          "24bit LSB-Intel(3-byte packed)",
                    "32bit LSB-Intel(integer)", "32bit LSB-Intel(float -1.0:+1.0)",
                    "16bit MSB-Moto",           "24bit MSB-Moto(3-byte packed)",
                    "32bit MSB-Moto(integer)",  "32bit MSB-Moto(float -1.0:+1.0)"};
        b.channelBox = true;
        break;
    case kFormatFlac:
        b.depths = {"16bit", "24bit"};
        b.channelBox = true;
        break;
    case kFormatMp3:
        b.channelBox = true;
        b.bitRates = Mp3BitRates();
        break;
    case kFormatVorbis:
    case kFormatAac: b.bitRates = Mp3BitRates(); break;
    case kFormatWma: b.bitRates = WmaBitRates(); break;
    default: break;
    }
    return b;
}

bool DepthSetting(int32_t writerCode, int32_t index, int32_t& bits, int32_t& encoding) {
    bits = 16;
    encoding = 0;
    if (index < 0) return true;
    int32_t count = 0;
    switch (writerCode) {
    case kFormatWav:
    case kFormatSun: count = 4; break;
    case kFormatAiff: count = 3; break;
    case kFormatRaw: count = 8; break;
    case kFormatFlac: count = 2; break;
    default: count = 0; break;
    }
    if (index >= count) return false;
    static const int32_t kBits[4] = {16, 24, 32, 32};
    bits = kBits[index % 4];
    if (writerCode == kFormatRaw) {
        const bool big = index >= 4;
        const bool isFloat = index % 4 == 3;
        encoding = isFloat ? (big ? 21 : 20) : (big ? 17 : 16);
    } else {
        encoding = index == 3 ? 1 : 0;
    }
    return true;
}

std::string SafeFileName(const std::string& name) {
    std::string out = name;
    for (char& c : out) {
        switch (c) {
        case '<':
        case '>':
        case ':':
        case '\\':
        case '"':
        case '/':
        case '|':
        case '*':
        case '?': c = '_'; break;
        default: break;
        }
    }
    return out;
}

std::string ItemName(bool baseNameIndex, const std::string& base, int32_t startIndex, int32_t i,
                     const std::string& regionName) {
    if (baseNameIndex) return base + std::to_string(startIndex + i);
    return regionName;
}

ItemFiles ItemFileNames(const ExportFormatEntry& e, const std::string& name) {
    ItemFiles f;
    if (e.encoderIndex >= 0) {
        f.encoded = SafeFileName(name + e.extension);
        f.rendered = SafeFileName(name + ".wav");
    } else {
        f.rendered = SafeFileName(name + e.extension);
    }
    return f;
}

bool PrepareOutputFolder(const std::string& folder, const std::string& subfolder, std::string& output,
                         std::string& message) {
    if (folder.empty()) {
        message = "No export path selected.";
        return false;
    }
    if (subfolder.empty()) {
        output = folder;
        return true;
    }
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || ::access(folder.c_str(), X_OK | W_OK) != 0) {
        message = "Can't access selected export path.";
        return false;
    }
    const std::string path = (folder.back() == '/' ? folder : folder + "/") + SafeFileName(subfolder);
    if (::mkdir(path.c_str(), 0755) != 0) {
        if (errno != EEXIST || ::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            message = "Can't create selected subfolder.";
            return false;
        }
    }
    output = path;
    return true;
}

bool DeriveExportSettings(const ExportChoice& c, const ExtEncoderList* encoders, ExportSettings& out,
                          std::string& error) {
    ExportSettings s;
    const FormatBoxes boxes = BoxesFor(c.format, encoders);
    s.formatCaption = c.format.caption;
    s.extension = c.format.extension;
    s.encoderIndex = c.format.encoderIndex;
    if (c.format.encoderIndex >= 0) {
        if (!encoders || c.format.encoderIndex >= encoders->Count()) {
            error = "no external encoder " + c.format.caption;
            return false;
        }
        // The encoder gets a 16-bit stereo WAV file, whatever the boxes said.
        s.writerCode = kFormatWav;
    } else {
        s.writerCode = c.format.writerCode;
        if (!DepthSetting(s.writerCode, boxes.depths.empty() ? -1 : c.depthIndex, s.bits, s.sampleEncoding)) {
            error = "the depth entry " + std::to_string(c.depthIndex) + " is not offered for " + c.format.caption;
            return false;
        }
        s.channels = boxes.channelBox && c.mono ? 1 : 2;
    }
    s.kbps = boxes.bitRateStart;
    if (!boxes.bitRates.empty()) {
        bool offered = false;
        for (int32_t r : boxes.bitRates) offered = offered || r == c.kbps;
        if (!offered) {
            error = std::to_string(c.kbps) + " kbit/s is not offered for " + c.format.caption;
            return false;
        }
        s.kbps = c.kbps;
    }
    s.bps = s.kbps * 1000;
    out = s;
    return true;
}

std::string ExportFormatText(const ExportSettings& s) {
    if (s.encoderIndex >= 0) return s.formatCaption;
    std::string t = s.formatCaption;
    switch (s.writerCode) {
    case kFormatMp3:
    case kFormatVorbis:
    case kFormatAac:
    case kFormatWma: t += " " + std::to_string(s.kbps) + " kbit/s"; break;
    default:
        t += " " + std::to_string(s.bits) + "-bit";
        if (s.sampleEncoding == 1 || s.sampleEncoding == 20 || s.sampleEncoding == 21) t += " float";
        if (s.sampleEncoding == 17 || s.sampleEncoding == 21) t += " big-endian";
        break;
    }
    if (s.channels == 1) t += " mono";
    return t;
}
