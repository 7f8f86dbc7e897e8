#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

// Reads the start of a text as one hexadecimal number the way the C library's
// "%x" does: leading blanks skipped, an optional "0x" or "0X" prefix, then the
// hexadecimal digits up to the first other character. None when no digit is
// there, or when the number does not fit 32 bits (the C conversion would give
// no defined value then either). A sign is not accepted.
std::optional<uint32_t> ScanHex(std::string_view text);

// A text that is one hexadecimal number and nothing else (blanks around it
// allowed), of at most `maxDigits` digits after an optional "0x". For options of
// the command line, where a stray character is a typing error.
std::optional<uint32_t> ParseWholeHex(std::string_view text, int maxDigits = 8);
