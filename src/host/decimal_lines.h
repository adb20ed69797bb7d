#pragma once
#include <cstdint>
#include <cstring>
#include <ostream>

// Writes long lists of numbers to a stream through a fixed buffer, each
// number formatted by hand: printing a million identifiers one stream
// insertion (or one std::to_string) at a time costs more than solving small
// games.
class DecimalLines {
 public:
  explicit DecimalLines(std::ostream& out) : out_(out) {}
  DecimalLines(const DecimalLines&) = delete;
  DecimalLines& operator=(const DecimalLines&) = delete;
  ~DecimalLines() { flush(); }

  // value, then the separator (a short text).
  void put(uint32_t value, const char* separator, std::size_t separator_size) {
    if (used_ + 10 + separator_size > sizeof(buffer_)) flush();
    char digits[10];
    int k = 10;
    do {
      digits[--k] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    std::memcpy(buffer_ + used_, digits + k, static_cast<std::size_t>(10 - k));
    used_ += static_cast<std::size_t>(10 - k);
    std::memcpy(buffer_ + used_, separator, separator_size);
    used_ += separator_size;
  }
  void flush() {
    if (used_ != 0) out_.write(buffer_, static_cast<std::streamsize>(used_));
    used_ = 0;
  }

 private:
  std::ostream& out_;
  std::size_t used_ = 0;
  char buffer_[1 << 16];
};
