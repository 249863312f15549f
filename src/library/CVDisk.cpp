#include "library/CVDisk.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "common/Clock.h"
#include "common/TimeFormat.h"
#include "common/UiPort.h"

namespace fs = std::filesystem;

namespace {
const char* const kCaption = "Sonquil";
// A "Serial" file holds a handful of digits; more than this is not a serial we wrote.
constexpr size_t kSerialReadLimit = 256;
// Names are tried second by second; a folder with this many taken in a row is not usable.
constexpr int kNameTries = 1000000;

bool IsDir(const fs::path& p) {
    std::error_code ec;
    return fs::is_directory(p, ec);
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Optional sign and decimal digits from text[pos]; false without a digit or when the value
// does not fit 32 bits.
bool ParseSignedDigits(std::string_view text, size_t pos, int32_t& value) {
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    int64_t v = 0;
    size_t digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        v = v * 10 + (text[pos] - '0');
        if (v > 2147483648LL) return false;
        ++pos;
        ++digits;
    }
    if (digits == 0) return false;
    if (negative) v = -v;
    if (v > 2147483647LL) return false;
    value = static_cast<int32_t>(v);
    return true;
}

std::string StripTrailingSlash(std::string path) {
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}
} // namespace

CVDisk& CVDisk::Table() {
    static CVDisk table;
    return table;
}

const CVDisk::Entry& CVDisk::At(int i) const {
    static const Entry empty{};
    if (i < 0 || i >= m_count) return empty;
    return m_entries[i];
}

bool CVDisk::Add(int32_t serial, const std::string& location) {
    if (m_count >= kMaxEntries) return false;
    // A location cut to fit would name another folder.
    if (location.size() > static_cast<size_t>(kLocationSize - 1)) return false;
    m_entries[m_count].serial = serial;
    m_entries[m_count].location = location;
    ++m_count;
    return true;
}

void CVDisk::Clear() {
    for (Entry& e : m_entries) e = Entry{};
    m_count = 0;
}

int32_t CVDisk::CurrentSerial() const { return m_count > 0 ? m_entries[0].serial : 0; }

bool CVDisk::FolderOf(int32_t serial, std::string& folder) const {
    for (int i = 0; i < m_count; ++i)
        if (m_entries[i].serial == serial) {
            folder = m_entries[i].location + "/VDisk";
            return true;
        }
    folder.clear();
    return false;
}

bool CVDisk::ReadSerialFile(const std::string& path, std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char buf[kSerialReadLimit];
    size_t n = std::fread(buf, 1, sizeof buf, f);
    std::fclose(f);
    text.assign(buf, n);
    return true;
}

bool CVDisk::ParseSerialNumber(std::string_view text, int32_t& serial) {
    size_t pos = 0;
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    return ParseSignedDigits(text, pos, serial);
}

bool CVDisk::ParseSerialWord(std::string_view text, int32_t& serial) {
    size_t pos = 0;
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    if (pos >= text.size()) return false; // no word at all
    size_t end = pos;
    while (end < text.size() && !IsSpace(text[end])) ++end;
    std::string_view word = text.substr(pos, end - pos);
    // A word without a leading number converts to 0; one too large for 32 bits is not ours.
    int32_t v = 0;
    if (!ParseSignedDigits(word, 0, v)) {
        size_t p = (!word.empty() && (word[0] == '+' || word[0] == '-')) ? 1 : 0;
        if (p < word.size() && word[p] >= '0' && word[p] <= '9') return false; // overflow
        v = 0;
    }
    serial = v;
    return true;
}

bool CVDisk::Check(const std::string& location, int32_t serial) {
    fs::path base(location);
    if (location.empty() || !IsDir(base) || !IsDir(base / "VDisk") || !IsDir(base / "VDisk" / "System")) return false;
    std::string text;
    if (!ReadSerialFile((base / "VDisk" / "System" / "Serial").string(), text)) return false;
    int32_t found = 0;
    return ParseSerialNumber(text, found) && found == serial;
}

bool CVDisk::Create(UiPort& ui) {
    ui.Notice("Please select a file folder for the application to\nstore audio files.\n\nThe application will "
              "create a new folder named\nVDisk at the location you'll select.\n\nNever modify VDisk contents "
              "with other tools.",
              kCaption);
    for (;;) {
        std::string chosen;
        if (!ui.ChooseFolder("", "", chosen) || chosen.empty()) return false;
        chosen = StripTrailingSlash(chosen);

        // A VDisk that is already there (a library whose database was lost, or one moved to a
        // new machine) is taken as it is: its files are the person's takes, and the Found scan
        // brings them back. Making a new one beside it would fail, and asking for another
        // place would leave them out.
        if (AdoptExisting(chosen)) return true;

        std::error_code ec;
        fs::path base(chosen);
        fs::path vdisk = base / "VDisk";
        fs::path system = vdisk / "System";
        fs::path serialPath = system / "Serial";
        bool ok = IsDir(base) && chosen.size() <= static_cast<size_t>(kLocationSize - 1) && m_count < kMaxEntries &&
                  fs::create_directory(vdisk, ec) && !ec;
        bool madeVDisk = ok;
        ok = ok && fs::create_directory(system, ec) && !ec;

        int32_t serial = 0;
        if (ok) {
            std::mt19937 rng(static_cast<std::mt19937::result_type>(Clock::NowSeconds()));
            serial = static_cast<int32_t>(rng() % 1000000u);
            std::FILE* f = std::fopen(serialPath.c_str(), "wb");
            if (!f) {
                ok = false;
            } else {
                std::string text = StrFormat("%ld", static_cast<long>(serial));
                bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
                bool closed = std::fclose(f) == 0;
                ok = written && closed;
            }
        }
        if (!ok) {
            // Leave nothing half made behind, so the same place can be chosen again.
            if (madeVDisk) fs::remove_all(vdisk, ec);
            ui.Notice("Can't create VDisk at selected location.", kCaption);
            continue;
        }
        fs::permissions(serialPath, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove, ec);
        Add(serial, chosen);
        return true;
    }
}

bool CVDisk::AdoptExisting(std::string path) {
    path = StripTrailingSlash(path);
    fs::path system = fs::path(path) / "VDisk" / "System";
    // The VDisk folder itself may be the one chosen.
    if (!IsDir(system) && path.size() > 6 && path.compare(path.size() - 6, 6, "/VDisk") == 0) {
        path.resize(path.size() - 6);
        system = fs::path(path) / "VDisk" / "System";
    }
    std::string text;
    int32_t serial = 0;
    return IsDir(system) && path.size() <= static_cast<size_t>(kLocationSize - 1) &&
           ReadSerialFile((system / "Serial").string(), text) && ParseSerialWord(text, serial) && Add(serial, path);
}

bool CVDisk::Locate(UiPort& ui) {
    for (;;) {
        std::string chosen;
        if (!ui.ChooseFolder("", "", chosen) || chosen.empty()) return false;
        if (AdoptExisting(chosen)) return true;
        ui.Notice("Can't find VDisk.", "");
    }
}

bool CVDisk::CheckOnLoad(UiPort& ui) {
    if (m_count <= 0) {
        ui.Notice("No VDisk info available, database corrupted.", kCaption);
        return false;
    }
    if (Check(m_entries[0].location, m_entries[0].serial)) return true;
    ui.Notice(StrFormat("VDisk not found.\nPath was:%s\nPlease enter the new path if the VDisk was moved.",
                        m_entries[0].location.c_str()),
              kCaption);
    Clear();
    return Locate(ui);
}

std::string CVDisk::NameForTime(int64_t secondsSinceEpoch) {
    LocalDateTime t = Clock::FromSeconds(static_cast<std::time_t>(secondsSinceEpoch));
    return StrFormat("%02d%02d%02d%02d%02d%02d", t.year % 100, t.month, t.day, t.hour, t.minute, t.second);
}

bool CVDisk::NewFileName(const std::string& folder, std::string& name) {
    int64_t t = static_cast<int64_t>(Clock::NowSeconds());
    for (int i = 0; i < kNameTries; ++i, ++t) {
        std::string candidate = NameForTime(t);
        std::error_code ec;
        fs::file_status st = fs::symlink_status(fs::path(folder) / candidate, ec);
        if (st.type() == fs::file_type::not_found) {
            name = candidate;
            return true;
        }
    }
    return false;
}
