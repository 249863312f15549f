#include "cdimport/CDDBLookup.h"

#include <cddb/cddb.h>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "cdimport/CCDDBPrefs.h"
#include "cdimport/CCDRip.h"
#include "cdimport/CDDBRecord.h"
#include "common/FixedText.h"
#include "common/UiPort.h"

namespace {

constexpr size_t kMaxMatches = 5;
// The room the record had in the module's text buffer; a longer answer is cut there.
constexpr size_t kRecordBytes = 32000;
constexpr int kTimeoutSeconds = 10;
constexpr size_t kMaxIniBytes = 1 << 20;

void QuietCddbLog(cddb_log_level_t, const char*) {}

struct ConnDeleter {
    void operator()(cddb_conn_t* c) const { cddb_destroy(c); }
};
struct DiscDeleter {
    void operator()(cddb_disc_t* d) const { cddb_disc_destroy(d); }
};

std::string Base64(const std::string& in) {
    static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        const uint32_t v = (static_cast<uint8_t>(in[i]) << 16) | (static_cast<uint8_t>(in[i + 1]) << 8) |
                           static_cast<uint8_t>(in[i + 2]);
        out += {k[v >> 18], k[(v >> 12) & 63], k[(v >> 6) & 63], k[v & 63]};
    }
    if (i + 1 == in.size()) {
        const uint32_t v = static_cast<uint8_t>(in[i]) << 16;
        out += {k[v >> 18], k[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == in.size()) {
        const uint32_t v = (static_cast<uint8_t>(in[i]) << 16) | (static_cast<uint8_t>(in[i + 1]) << 8);
        out += {k[v >> 18], k[(v >> 12) & 63], k[(v >> 6) & 63], '='};
    }
    return out;
}

// The client's name and version from the one text the settings keep ("program 1.0").
void ClientParts(std::string& name, std::string& version) {
    const std::string client = CCDDBPrefs::kClientName;
    const size_t space = client.find(' ');
    name = client.substr(0, space);
    version = space == std::string::npos ? "1.0" : client.substr(space + 1);
}

// Letters, digits and a few marks pass; everything else of a query value is %-escaped.
std::string UrlEscape(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == '@') out += static_cast<char>(c);
        else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

// One HTTP GET of a CDDB command, through the proxy when the settings say so. The answer is
// read until the server closes, at most limit bytes. False when nothing could be connected.
bool HttpGet(const CCDDBPrefs& prefs, const std::string& command, std::string& answer, size_t limit) {
    answer.clear();
    std::string user, host, name, version;
    CDDBHelloParts(prefs.email, user, host);
    ClientParts(name, version);
    const std::string hostPort = prefs.server + ":" + std::to_string(prefs.port);
    const std::string path = prefs.queryScript + "?cmd=" + command + "&hello=" + UrlEscape(user) + "+" +
                             UrlEscape(host) + "+" + UrlEscape(name) + "+" + UrlEscape(version) + "&proto=6";
    std::string request = "GET " + (prefs.useProxy ? "http://" + hostPort + path : path) + " HTTP/1.0\r\n";
    request += "Host: " + hostPort + "\r\n";
    request += "User-Agent: " + name + "/" + version + "\r\n";
    if (prefs.SendsProxyCredentials())
        request += "Proxy-Authorization: Basic " + Base64(prefs.proxyUser + ":" + prefs.proxyPassword) + "\r\n";
    request += "\r\n";

    const std::string& connectHost = prefs.useProxy ? prefs.proxyServer : prefs.server;
    const int connectPort = prefs.useProxy ? prefs.proxyPort : prefs.port;
    if (connectHost.empty() || connectPort <= 0 || connectPort > 65535) return false;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(connectHost.c_str(), std::to_string(connectPort).c_str(), &hints, &found) != 0) return false;
    int fd = -1;
    for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (fd < 0) continue;
        timeval tv{kTimeoutSeconds, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        if (connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    if (fd < 0) return false;
    size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            close(fd);
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    char buf[4096];
    for (;;) {
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        answer.append(buf, static_cast<size_t>(std::min<size_t>(static_cast<size_t>(n), limit - answer.size())));
        if (answer.size() >= limit) break;
    }
    close(fd);
    return true;
}

// The record of a match from the server; false when it cannot be had.
bool FetchRecord(const CCDDBPrefs& prefs, const CDDBMatch& match, std::string& record) {
    std::string answer, body;
    int status = 0;
    // Room for the HTTP headers on top of the record itself.
    if (!HttpGet(prefs, "cddb+read+" + UrlEscape(match.category) + "+" + UrlEscape(match.discId), answer,
                 kRecordBytes + 4096))
        return false;
    if (!HttpAnswerBody(answer, body, status) || !CDDBReadAnswerRecord(body, record)) return false;
    if (record.size() > kRecordBytes) record.resize(kRecordBytes);
    return true;
}

// The disc's matches on the server through libcddb. False when the server could not be asked.
bool QueryServer(const CCDDBPrefs& prefs, const std::vector<CDTocEntry>& toc, std::vector<CDDBMatch>& matches) {
    cddb_log_set_handler(QuietCddbLog);
    std::unique_ptr<cddb_conn_t, ConnDeleter> conn(cddb_new());
    std::unique_ptr<cddb_disc_t, DiscDeleter> disc(cddb_disc_new());
    if (!conn || !disc) return false;
    cddb_cache_disable(conn.get());
    cddb_http_enable(conn.get());
    cddb_set_server_name(conn.get(), prefs.server.c_str());
    cddb_set_server_port(conn.get(), prefs.port);
    cddb_set_http_path_query(conn.get(), prefs.queryScript.c_str());
    cddb_set_email_address(conn.get(), prefs.email.c_str());
    std::string name, version;
    ClientParts(name, version);
    cddb_set_client(conn.get(), name.c_str(), version.c_str());
    cddb_set_timeout(conn.get(), kTimeoutSeconds);
    if (prefs.useProxy) {
        cddb_http_proxy_enable(conn.get());
        cddb_set_http_proxy_server_name(conn.get(), prefs.proxyServer.c_str());
        cddb_set_http_proxy_server_port(conn.get(), prefs.proxyPort);
        // Credentials only when both are given: an empty password means none is wanted.
        if (prefs.SendsProxyCredentials())
            cddb_set_http_proxy_credentials(conn.get(), prefs.proxyUser.c_str(), prefs.proxyPassword.c_str());
    } else {
        cddb_http_proxy_disable(conn.get());
    }
    for (size_t t = 0; t + 1 < toc.size(); ++t) {
        cddb_track_t* track = cddb_track_new();
        cddb_track_set_frame_offset(track, toc[t].start + 150);
        cddb_disc_add_track(disc.get(), track);
    }
    cddb_disc_set_length(disc.get(), static_cast<unsigned>((toc.back().start + 150) / 75));
    const int count = cddb_query(conn.get(), disc.get());
    if (count < 0) return false;
    for (int m = 0; m < count && matches.size() < kMaxMatches; ++m) {
        if (m > 0 && !cddb_query_next(conn.get(), disc.get())) break;
        CDDBMatch match;
        const char* category = cddb_disc_get_category_str(disc.get());
        const char* artist = cddb_disc_get_artist(disc.get());
        const char* title = cddb_disc_get_title(disc.get());
        char id[16];
        std::snprintf(id, sizeof id, "%08x", cddb_disc_get_discid(disc.get()));
        match.category = category != nullptr ? category : "";
        match.discId = id;
        match.artist = CutUtf8(artist != nullptr ? artist : "", 80);
        match.title = CutUtf8(title != nullptr ? title : "", 80);
        matches.push_back(match);
    }
    return true;
}

// The entries "cdplayer.ini" in folder keeps for the disc.
std::vector<CDPlayerIniEntry> IniEntries(const std::string& folder, uint32_t discId) {
    std::ifstream in(std::filesystem::path(folder) / "cdplayer.ini", std::ios::binary);
    if (!in) return {};
    std::string text(kMaxIniBytes, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return ParseCDPlayerIni(text, discId);
}

} // namespace

void CDDBHelloParts(const std::string& email, std::string& user, std::string& host) {
    const size_t at = email.find('@');
    user = at == std::string::npos ? email : email.substr(0, at);
    host = at == std::string::npos ? "localhost" : email.substr(at + 1);
    if (user.empty()) user = "user";
    if (host.empty()) host = "localhost";
}

bool RunCDDBLookup(CCDRip& rip, const CCDDBPrefs& prefs, UiPort& ui, const std::string& iniFolder) {
    if (rip.DriveCount() == 0 || rip.ReadTOC() == 0) return false;
    CDDiscInfo& info = rip.DiscInfo();
    const uint32_t discId = CCDRip::DiscIdOf(rip.Toc());

    std::vector<CDDBMatch> matches;
    std::vector<CDPlayerIniEntry> iniEntries;
    bool found = false;
    bool asked = QueryServer(prefs, rip.Toc(), matches);
    if (!asked) {
        // No server: the CD player's own title file, when it knows the disc.
        iniEntries = IniEntries(iniFolder, discId);
        for (const CDPlayerIniEntry& e : iniEntries) matches.push_back(CDPlayerIniMatch(e, discId));
        asked = !iniEntries.empty();
        if (!asked) ui.Notice("Can't connect to remote server.");
    }
    if (asked) {
        int chosen = -1;
        const int count = static_cast<int>(matches.size());
        for (int m = 0; m < count && chosen < 0; ++m) {
            CDDBMatch& match = matches[static_cast<size_t>(m)];
            match.title = AlbumTitleOfMatch(match);
            char question[512];
            if (match.category != kCDPlayerIniCategory)
                std::snprintf(question, sizeof question,
                              "%d matches found, select this entry?\n\nArtist: %s\nAlbum: %s\nGenre: %s", count,
                              match.artist.c_str(), match.title.c_str(), match.category.c_str());
            else
                std::snprintf(question, sizeof question,
                              "Can't access online CDDB server,\nuse entry %d of %d from cdplayer.ini?", m + 1, count);
            if (ui.Question(question)) chosen = m;
        }
        if (chosen < 0) {
            ui.Notice("No matches.");
        } else {
            const CDDBMatch& match = matches[static_cast<size_t>(chosen)];
            std::string record;
            const bool fetched = match.category == kCDPlayerIniCategory
                                     ? (record = CDPlayerIniRecord(iniEntries[static_cast<size_t>(chosen)]), true)
                                     : FetchRecord(prefs, match, record);
            if (!fetched) {
                ui.Notice("Can't collect disk info from server.");
            } else {
                // The lookup's titles replace whatever named the disc before (CD-TEXT included).
                info.ClearTitles();
                info.genre.clear();
                info.artist = CutUtf8(match.artist, CDDiscInfo::kTitleBytes - 1);
                info.album = CutUtf8(match.title, CDDiscInfo::kTitleBytes - 1);
                found = ParseCDDBRecord(record, info);
            }
        }
    }
    if (!found) {
        // Forgetting the id too lets the next table read name the disc from its CD-TEXT again.
        info.ClearTitles();
        info.discId = 0;
        return false;
    }
    info.discId = discId;
    info.source = CDDiscInfo::Source::Lookup;
    return true;
}
