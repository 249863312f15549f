// Seeds for the CD import's readers: server answers and records, cue sheets for the 30-frame
// "f.bin" of the cue target, settings files as the program writes them, and cdplayer.ini files.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
bool Save(const fs::path& dir, const std::string& name, const std::string& bytes) {
    fs::create_directories(dir);
    std::ofstream f(dir / name, std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

std::string Prefs(const std::string& server, const std::string& password, bool proxy) {
    std::string b(781, '\0');
    b.replace(4, server.size(), server);
    b.replace(132, 15, "/~cddb/cddb.cgi");
    b.replace(260, 19, "sonquil@example.org");
    b.replace(388, 9, "proxy.lan");
    b.replace(516, 3, "joe");
    for (size_t i = 0; i < password.size(); ++i)
        b[644 + i] = static_cast<char>((256 - static_cast<unsigned char>(password[i])) % 256);
    b[772] = 80;
    b[776] = static_cast<char>(3128 & 0xff);
    b[777] = static_cast<char>(3128 >> 8);
    b[780] = proxy ? 1 : 0;
    return b;
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS-ROOT\n", argv[0]);
        return 2;
    }
    const fs::path root(argv[1]);
    bool ok = true;
    const std::string record = "# xmcd\r\nDTITLE=Band / Album\r\nDYEAR=1999\r\nDGENRE=Rock\r\nTTITLE0=\r\n"
                               "TTITLE1=Two\r\nTTITLE2=Three\r\nTTITLE3=Four\r\nTTITLE3= more\r\nEXTD=\r\n.\r\n";
    ok = Save(root / "fuzz_cddb_answer", "read.txt",
              "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n210 rock 1f00e203 CD database entry follows\r\n" +
                  record) &&
         ok;
    ok = Save(root / "fuzz_cddb_answer", "record.txt", record) && ok;
    ok = Save(root / "fuzz_cddb_answer", "long.txt", "TTITLE0=" + std::string(150, 'x') + "TTITLE1=y\n.\n") && ok;
    ok = Save(root / "fuzz_cddb_answer", "error.txt", "HTTP/1.1 404 Not Found\r\n\r\n") && ok;

    ok = Save(root / "fuzz_cue_sheet", "audio.cue",
              "FILE \"f.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
              "    INDEX 00 00:00:10\n    INDEX 01 00:00:12\n") &&
         ok;
    ok = Save(root / "fuzz_cue_sheet", "data.cue",
              "PERFORMER \"Band\"\nTITLE \"Album\"\nFILE \"f.bin\" BINARY\n  TRACK 01 AUDIO\n    TITLE \"One\"\n"
              "    INDEX 01 00:00:00\n  TRACK 02 MODE1/2352\n    INDEX 01 00:00:20\n") &&
         ok;
    ok = Save(root / "fuzz_cue_sheet", "pregap.cue",
              "REM comment\nCATALOG 0000000000000\nFILE \"f.bin\" BINARY\n  TRACK 01 AUDIO\n    FLAGS DCP\n"
              "    PREGAP 00:00:02\n    INDEX 01 00:00:00\n    POSTGAP 00:00:01\n") &&
         ok;

    ok = Save(root / "fuzz_cddb_prefs", "defaults.dat", Prefs("gnudb.gnudb.org", "", false)) && ok;
    ok = Save(root / "fuzz_cddb_prefs", "proxy.dat",
              Prefs("cddb.example.net",
                    "s\x01"
                    "cret",
                    true)) &&
         ok;

    ok = Save(root / "fuzz_cdplayer_ini", "two.ini",
              "[19002904]\nEntryType=1\nartist=Band\ntitle=Album\nnumtracks=3\n0=One\n2=Three\n"
              "[0x19002904]\r\nartist=Other\r\ntitle=Again\r\n1=Two\r\n[Other]\nartist=x\n") &&
         ok;
    ok = Save(root / "fuzz_cdplayer_ini", "plain.ini", "[1]\n99=Last\n100=Beyond\n0=First\n") && ok;
    return ok ? 0 : 1;
}
