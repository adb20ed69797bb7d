#pragma once
#include <cstdint>

// Scanning helpers shared by both PGSolver readers, so that they read the
// same bytes the same way.

// The white space the grammar skips between tokens. Carriage returns count, so
// files with CRLF line ends read like any other.
inline bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

inline const char* skip_blank_bytes(const char* p) {
  while (is_blank(*p)) ++p;
  return p;
}

// Reads a decimal number the way strtoul does where unsigned long has 32 bits:
// leading C white space, an optional sign, then digits. A value above
// 4294967295 saturates to it (whatever the sign); a minus sign negates modulo
// 2^32. Returns false, consuming nothing, when no digit follows.
inline bool read_number(const char* text, const char** end, uint32_t* value) {
  const char* p = text;
  // Digits first is by far the common case: no sign, no overflow before the
  // tenth digit.
  if (static_cast<unsigned char>(*p - '0') < 10) {
    uint64_t v = static_cast<uint64_t>(*p - '0');
    ++p;
    int digits = 1;
    while (digits < 10 && static_cast<unsigned char>(*p - '0') < 10) {
      v = v * 10 + static_cast<uint64_t>(*p - '0');
      ++p;
      ++digits;
    }
    if (static_cast<unsigned char>(*p - '0') < 10) {
      // Eleven digits or more: saturated, unless all but the last ten are
      // leading zeros (then v is the value so far and may still grow).
      bool overflow = v > 0xFFFFFFFFu;
      for (; static_cast<unsigned char>(*p - '0') < 10; ++p) {
        if (!overflow) {
          v = v * 10 + static_cast<uint64_t>(*p - '0');
          overflow = v > 0xFFFFFFFFu;
        }
      }
      if (overflow) v = 0xFFFFFFFFu;
    } else if (v > 0xFFFFFFFFu) {
      v = 0xFFFFFFFFu;
    }
    *end = p;
    *value = static_cast<uint32_t>(v);
    return true;
  }
  while (is_blank(*p) || *p == '\v' || *p == '\f') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  if (static_cast<unsigned char>(*p - '0') >= 10) return false;
  uint64_t magnitude = 0;
  bool overflow = false;
  for (; static_cast<unsigned char>(*p - '0') < 10; ++p) {
    if (!overflow) {
      magnitude = magnitude * 10 + static_cast<uint64_t>(*p - '0');
      overflow = magnitude > 0xFFFFFFFFu;
    }
  }
  *end = p;
  if (overflow) {
    *value = 0xFFFFFFFFu;
  } else {
    const uint32_t low = static_cast<uint32_t>(magnitude);
    *value = negative ? 0u - low : low;
  }
  return true;
}
