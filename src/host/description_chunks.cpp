#include "host/description_chunks.h"

#include <algorithm>
#include <cstring>

#include "host/number_scan.h"

namespace {

// Small enough to stay in the cache while it is parsed; a description longer
// than this grows the buffer.
const std::size_t chunk_bytes = std::size_t(1) << 19;

}  // namespace

DescriptionChunks::DescriptionChunks(const std::string& path, uint64_t begin, uint64_t end)
    : in_(path, std::ios::binary),
      offset_(begin),
      end_(end),
      // A stretch shorter than a chunk needs no more: clearing 512 KiB cost
      // a small game's load more than its parse.
      buffer_(static_cast<std::size_t>(std::min<uint64_t>(chunk_bytes, end > begin ? end - begin : 0)) + 1) {
  if (in_) in_.seekg(static_cast<std::streamoff>(begin));
}

// Tops the buffer up from the file; false when the file ends early or fails.
bool DescriptionChunks::fill() {
  const std::size_t room = buffer_.size() - 1 - held_;
  const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(room, end_ - offset_));
  if (want == 0) return true;
  in_.read(buffer_.data() + held_, static_cast<std::streamsize>(want));
  if (static_cast<std::size_t>(in_.gcount()) != want) return false;
  // A zero byte ends the text for the full reader; the rest is its business.
  if (std::memchr(buffer_.data() + held_, 0, want) != nullptr) return false;
  held_ += want;
  offset_ += want;
  buffer_[held_] = '\0';
  return true;
}

bool DescriptionChunks::next(const char*& data, std::size_t& size) {
  clean_ = false;
  if (!in_) return false;
  // Drop what the last chunk handed out; its unfinished tail moves to the front.
  held_ -= consumed_;
  std::memmove(buffer_.data(), buffer_.data() + consumed_, held_);
  buffer_[held_] = '\0';
  consumed_ = 0;
  for (;;) {
    if (!fill()) return false;
    const char* begin = buffer_.data();
    std::size_t last = held_;
    while (last > 0 && begin[last - 1] != ';') --last;
    if (last > 0) {
      buffer_[held_] = '\0';
      data = begin;
      size = last;
      consumed_ = last;
      return true;
    }
    if (offset_ == end_) {
      // No ';' left: the stretch is clean only if nothing but white space remains.
      const char* p = skip_blank_bytes(begin);
      clean_ = p == begin + held_;
      return false;
    }
    // One description longer than the buffer.
    buffer_.resize(2 * buffer_.size());
  }
}

std::vector<uint64_t> description_bounds(const std::string& path, uint64_t size, unsigned int pieces) {
  std::vector<uint64_t> bounds{0};
  std::ifstream in(path, std::ios::binary);
  std::vector<char> window(static_cast<std::size_t>(std::min<uint64_t>(size, 1 << 16)) + 1);
  for (unsigned int k = 1; k < pieces && in; ++k) {
    uint64_t at = std::max(bounds.back(), size / pieces * k);
    in.seekg(static_cast<std::streamoff>(at));
    // The first ';' at or after the guess.
    while (at < size) {
      in.read(window.data(), static_cast<std::streamsize>(window.size()));
      const std::size_t got = static_cast<std::size_t>(in.gcount());
      if (got == 0) break;
      const void* semicolon = std::memchr(window.data(), ';', got);
      if (semicolon != nullptr) {
        at += static_cast<const char*>(semicolon) - window.data() + 1;
        break;
      }
      at += got;
    }
    in.clear();
    if (at >= size) break;
    bounds.push_back(at);
  }
  bounds.push_back(size);
  return bounds;
}
