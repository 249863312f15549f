#pragma once
// Texts kept in fixed-size character fields: at most size − 1 bytes and a NUL. A text is
// cut at a UTF-8 character boundary, never inside a multi-byte character.

#include <cstddef>
#include <string>
#include <string_view>

// The longest prefix of text that fits in maxBytes bytes without splitting a character.
std::string CutUtf8(std::string_view text, size_t maxBytes);

// Copies text into field (size bytes), cut to size − 1 bytes, NUL-terminated, rest zeroed.
void SetFixedText(char* field, size_t size, std::string_view text);

// Reads a field up to its first NUL (or its whole size).
std::string GetFixedText(const char* field, size_t size);

template <size_t N> void SetFixedText(char (&field)[N], std::string_view text) { SetFixedText(field, N, text); }
template <size_t N> std::string GetFixedText(const char (&field)[N]) { return GetFixedText(field, N); }
