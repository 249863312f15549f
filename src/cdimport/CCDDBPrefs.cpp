#include "cdimport/CCDDBPrefs.h"

#include <cstdio>
#include <memory>

#include "common/ByteIO.h"
#include "common/FixedText.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f != nullptr) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

uint8_t Negate(uint8_t b) { return static_cast<uint8_t>((256 - b) % 256); }

} // namespace

std::vector<uint8_t> CCDDBPrefs::ToBytes() const {
    ByteWriter w;
    w.I32(0); // version
    w.Text(server, kTextBytes);
    w.Text(queryScript, kTextBytes);
    w.Text(email, kTextBytes);
    w.Text(proxyServer, kTextBytes);
    w.Text(proxyUser, kTextBytes);
    // The password field as any text field, then every one of its bytes negated.
    const size_t passwordAt = w.Size();
    w.Text(proxyPassword, kTextBytes);
    for (size_t i = passwordAt; i < passwordAt + kTextBytes; ++i) w.Data()[i] = Negate(w.Data()[i]);
    w.I32(port);
    w.I32(proxyPort);
    w.U8(useProxy ? 1 : 0);
    return w.Data();
}

bool CCDDBPrefs::FromBytes(const uint8_t* data, size_t size) {
    if (data == nullptr || size < kFileBytes) return false;
    ByteReader r(data, kFileBytes);
    CCDDBPrefs p;
    // A field that a damaged file fills to its end still holds 127 bytes at most, as it would
    // when written, so that what is read is always what can be saved again.
    auto text = [&r] { return CutUtf8(r.Text(kTextBytes), kTextBytes - 1); };
    r.Skip(4); // the version says nothing the reader needs
    p.server = text();
    p.queryScript = text();
    p.email = text();
    p.proxyServer = text();
    p.proxyUser = text();
    uint8_t password[kTextBytes];
    r.Bytes(password, kTextBytes);
    for (uint8_t& b : password) b = Negate(b);
    // The password is bytes, not text: it is cut where its field ends, whatever they are.
    p.proxyPassword = ByteReader(password, kTextBytes).Text(kTextBytes).substr(0, kTextBytes - 1);
    p.port = r.I32();
    p.proxyPort = r.I32();
    p.useProxy = r.U8() != 0;
    if (!r.Ok()) return false;
    *this = p;
    return true;
}

bool CCDDBPrefs::Load(const std::string& path) {
    Reset();
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f) return true; // no file: the defaults
    uint8_t bytes[kFileBytes];
    const size_t got = std::fread(bytes, 1, kFileBytes, f.get());
    return FromBytes(bytes, got);
}

bool CCDDBPrefs::Save(const std::string& path) const {
    const std::vector<uint8_t> bytes = ToBytes();
    FilePtr f(std::fopen(path.c_str(), "wb"));
    if (!f) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
    return std::fclose(f.release()) == 0 && written;
}

bool IsValidCDDBEmail(const std::string& email) {
    if (email.empty()) return false;
    const size_t at = email.find('@');
    if (at == std::string::npos) return false;
    if (email.find('@', at + 1) != std::string::npos) return false;
    return email.find('.', at + 1) != std::string::npos;
}
