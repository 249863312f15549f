#pragma once
// Whole files as bytes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The whole file as text; empty when it cannot be read.
std::string LoadText(const std::filesystem::path& p);
// Every byte of the file; empty when it cannot be read.
std::vector<uint8_t> LoadBytes(const std::filesystem::path& p);
// Writes the file anew with exactly these bytes; false when that failed.
bool SaveBytes(const std::filesystem::path& p, const std::vector<uint8_t>& bytes);
