#pragma once
// CCDDBPrefs: the CDDB settings the lookup hands to the server connection, edited in the
// "CDDB Settings" dialog and kept in "CDDBPrefs.dat" beside the library (781 bytes,
// little-endian, written field by field):
//
//   0 version (int32, 0; ignored on reading)   4 server        132 query script
//   260 user e-mail   388 proxy server   516 proxy user   644 proxy password (each byte negated)
//   772 port (int32)  776 proxy port (int32)  780 use proxy (byte)
//
// Text fields are 128 bytes, NUL-terminated inside the field. The password is not meant to be
// secret from its owner, only not readable at a glance: every byte b is stored as (256 − b) mod 256.
//
// Threading: main thread only.

#include <cstdint>
#include <string>
#include <vector>

struct CCDDBPrefs {
    static constexpr size_t kFileBytes = 781;
    static constexpr size_t kTextBytes = 128; // each text holds at most 127 bytes
    static constexpr const char* kFileName = "CDDBPrefs.dat";
    // A public CDDB server that still answers the CDDB protocol over HTTP.
    static constexpr const char* kDefaultServer = "gnudb.gnudb.org";
    static constexpr const char* kDefaultQueryScript = "/~cddb/cddb.cgi";
    // A placeholder that passes the e-mail check; servers want one in the greeting.
    static constexpr const char* kDefaultEmail = "sonquil@example.org";
    // Sent as the client's name and version in the greeting; not editable, not stored.
    static constexpr const char* kClientName = "program 1.0";

    std::string server = kDefaultServer;
    std::string queryScript = kDefaultQueryScript;
    std::string email = kDefaultEmail;
    std::string proxyServer;
    int32_t port = 80;
    int32_t proxyPort = 0;
    std::string proxyUser;
    std::string proxyPassword;
    bool useProxy = false;

    // Puts the defaults back.
    void Reset() { *this = CCDDBPrefs(); }

    // The file's 781 bytes.
    std::vector<uint8_t> ToBytes() const;
    // Takes the fields from a file's bytes; false (and nothing changed) when there are fewer
    // than 781. Texts are read up to their first NUL, at most 127 bytes.
    bool FromBytes(const uint8_t* data, size_t size);

    // Defaults, then path when it exists and holds a whole record (a missing or short file keeps
    // the defaults). False when the file was there but could not be used.
    bool Load(const std::string& path);
    // Writes the file; false when it cannot be created or written (the caller says nothing, as
    // the settings dialog's end of run does not).
    bool Save(const std::string& path) const;

    // Whether the proxy user and password go to the proxy: only with the proxy in use and both
    // of them given.
    bool SendsProxyCredentials() const { return useProxy && !proxyUser.empty() && !proxyPassword.empty(); }
};

// The dialog's e-mail check: not empty, an "@", no second "@" after it, and a "." somewhere
// after the "@".
bool IsValidCDDBEmail(const std::string& email);
