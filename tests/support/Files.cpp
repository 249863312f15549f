#include "support/Files.h"

#include <fstream>
#include <iterator>

std::vector<uint8_t> LoadBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool SaveBytes(const std::filesystem::path& p, const std::vector<uint8_t>& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

std::string LoadText(const std::filesystem::path& p) {
    const std::vector<uint8_t> bytes = LoadBytes(p);
    return std::string(bytes.begin(), bytes.end());
}
