// Seeds for the reader of "Encoders.dat": an empty list, one profile and two profiles, laid out
// as the program writes them (reserved word, count, then 1,096-byte records).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
void PutI32(std::vector<char>& out, int32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
}

void PutText(std::vector<char>& out, const std::string& text, size_t field) {
    std::string t = text.substr(0, field - 1);
    out.insert(out.end(), t.begin(), t.end());
    out.insert(out.end(), field - t.size(), '\0');
}

std::vector<char> List(const std::vector<std::vector<std::string>>& profiles) {
    std::vector<char> out;
    PutI32(out, 0);
    PutI32(out, static_cast<int32_t>(profiles.size()));
    const size_t sizes[] = {512, 256, 64, 8, 256};
    for (const auto& p : profiles)
        for (size_t i = 0; i < 5; ++i) PutText(out, p[i], sizes[i]);
    return out;
}

bool Save(const fs::path& path, const std::vector<char>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS-ROOT\n", argv[0]);
        return 2;
    }
    const fs::path dir = fs::path(argv[1]) / "fuzz_encoders";
    fs::create_directories(dir);
    bool ok = Save(dir / "empty.dat", List({}));
    ok = Save(dir / "one.dat", List({{"/usr/bin", "flac", "-5 \"%s\" -o \"%d\"", "flac", "FLAC -5"}})) && ok;
    ok = Save(dir / "two.dat", List({{"/usr/bin", "lame", "-b %k \"%s\" \"%d\"", "mp3", "LAME CBR"},
                                     {"/opt/enc", "enc", "%s %d", "ogg", "Other"}})) &&
         ok;
    return ok ? 0 : 1;
}
