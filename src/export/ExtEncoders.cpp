#include "export/ExtEncoders.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/ByteIO.h"

const EncoderPreset kEncoderPresets[kEncoderPresetCount] = {
    {"none (edit by hand)", "", ""},
    {"FAAC arguments", "%s %d -b%k", "aac"},
    {"FLAC arguments", "%s", "flac"},
    {"LAME arguments", "%s %d -b %k", "mp3"},
    {"Monkey's Audio arguments", "%s %d -c2000", "ape"},
    {"MusePack arguments", "--standard %s %d", "mpc"},
    {"VorbisEnc arguments", "%s %d -b %k", "ogg"},
};

namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

size_t CountOf(const std::string& s, const char* what) {
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 2)) ++n;
    return n;
}

} // namespace

std::string ExtEncoderProfile::ProgramPath() const {
    if (folder.empty()) return program;
    return folder.back() == '/' ? folder + program : folder + "/" + program;
}

bool ExtEncoderProfile::UsesBitRate() const {
    return arguments.find("%k") != std::string::npos || arguments.find("%b") != std::string::npos;
}

const char* ProfileCheckText(ProfileCheck c) {
    switch (c) {
    case ProfileCheck::Ok: return "OK";
    case ProfileCheck::NoProgram: return "No program file chosen.";
    case ProfileCheck::ProgramUnreadable: return "The program file can't be opened.";
    case ProfileCheck::NoInput: return "The arguments must contain %s.";
    case ProfileCheck::TwoInputs: return "The arguments contain %s twice.";
    case ProfileCheck::TwoOutputs: return "The arguments contain %d twice.";
    case ProfileCheck::NoExtension: return "No file name extension.";
    case ProfileCheck::NoName: return "No name.";
    case ProfileCheck::TooLong: return "A field is too long for the profile record.";
    case ProfileCheck::ListFull: return "The list holds 64 profiles already.";
    }
    return "";
}

int ExtEncoderList::Find(const std::string& name) const {
    for (int i = 0; i < Count(); ++i)
        if (EqualNoCase(At(i).name, name)) return i;
    return -1;
}

ProfileCheck ExtEncoderList::Check(const ExtEncoderProfile& p) {
    if (p.program.empty()) return ProfileCheck::NoProgram;
    const int fd = ::open(p.ProgramPath().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ProfileCheck::ProgramUnreadable;
    ::close(fd);
    if (CountOf(p.arguments, "%s") == 0) return ProfileCheck::NoInput;
    if (CountOf(p.arguments, "%s") > 1) return ProfileCheck::TwoInputs;
    if (CountOf(p.arguments, "%d") > 1) return ProfileCheck::TwoOutputs;
    if (p.extension.empty()) return ProfileCheck::NoExtension;
    if (p.name.empty()) return ProfileCheck::NoName;
    if (p.folder.size() >= kEncFolderSize || p.program.size() >= kEncProgramSize ||
        p.arguments.size() >= kEncArgumentsSize || p.extension.size() >= kEncExtensionSize ||
        p.name.size() >= kEncNameSize)
        return ProfileCheck::TooLong;
    return ProfileCheck::Ok;
}

ProfileCheck ExtEncoderList::Add(const ExtEncoderProfile& p) {
    const ProfileCheck c = Check(p);
    if (c != ProfileCheck::Ok) return c;
    const int at = Find(p.name);
    if (at >= 0) {
        m_profiles[static_cast<size_t>(at)] = p;
        return c;
    }
    if (Count() >= kEncMaxProfiles) return ProfileCheck::ListFull;
    m_profiles.push_back(p);
    return c;
}

bool ExtEncoderList::Delete(int i) {
    if (i < 0 || i >= Count()) return false;
    m_profiles.erase(m_profiles.begin() + i);
    return true;
}

std::vector<uint8_t> ExtEncoderList::Serialize() const {
    ByteWriter w;
    w.I32(0);
    w.I32(Count());
    for (const ExtEncoderProfile& p : m_profiles) {
        w.Text(p.folder, kEncFolderSize);
        w.Text(p.program, kEncProgramSize);
        w.Text(p.arguments, kEncArgumentsSize);
        w.Text(p.extension, kEncExtensionSize);
        w.Text(p.name, kEncNameSize);
    }
    return w.Data();
}

bool ExtEncoderList::Parse(const uint8_t* data, size_t size, std::string& error) {
    m_profiles.clear();
    ByteReader r(data, size);
    r.I32(); // reserved
    const int32_t count = r.I32();
    if (!r.Ok()) {
        error = "Encoders.dat is too short.";
        return false;
    }
    if (count < 0) {
        error = "Encoders.dat holds a negative count.";
        return false;
    }
    // Bounded by the records really there and by the list's capacity.
    const size_t there = r.Left() / kEncRecordSize;
    const size_t take = std::min<size_t>({static_cast<size_t>(count), there, size_t{kEncMaxProfiles}});
    for (size_t i = 0; i < take; ++i) {
        ExtEncoderProfile p;
        p.folder = r.Text(kEncFolderSize);
        p.program = r.Text(kEncProgramSize);
        p.arguments = r.Text(kEncArgumentsSize);
        p.extension = r.Text(kEncExtensionSize);
        p.name = r.Text(kEncNameSize);
        m_profiles.push_back(std::move(p));
    }
    if (static_cast<size_t>(count) > there) {
        error = "Encoders.dat is cut short: " + std::to_string(there) + " of " + std::to_string(count) +
                " profiles are there.";
        return false;
    }
    if (static_cast<size_t>(count) > size_t{kEncMaxProfiles}) {
        error = "Encoders.dat holds more than 64 profiles; the first 64 are kept.";
        return false;
    }
    return true;
}

bool ExtEncoderList::Load(const std::string& path, std::string& error) {
    m_profiles.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        error = "Can't open " + path + ".";
        return false;
    }
    // The file is never larger than 64 records; read no more than that (plus one byte to
    // tell a longer file), whatever the file's size.
    const size_t cap = 8 + kEncRecordSize * kEncMaxProfiles + 1;
    std::vector<uint8_t> bytes(cap);
    size_t got = 0;
    while (got < cap) {
        const ssize_t n = ::read(fd, bytes.data() + got, cap - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    return Parse(bytes.data(), got, error);
}

bool ExtEncoderList::Save(const std::string& path, std::string& error) const {
    const std::vector<uint8_t> bytes = Serialize();
    const std::string tmp = path + ".new";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "Can't write " + path + ".";
        return false;
    }
    size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && std::rename(tmp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) {
        ::unlink(tmp.c_str());
        error = "Can't write " + path + " (disk full?).";
    }
    return ok;
}
