#include "pgsolve/game_input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#ifdef PG_HAVE_ZLIB
#include <zlib.h>
#endif
#ifdef PG_HAVE_BZIP2
#include <bzlib.h>
#endif

namespace {

const std::size_t chunk_size = 1 << 20;

// A growing byte buffer that ends as the reader's zero-terminated text.
class TextBuffer {
 public:
  // Room for at least `more` bytes after the content; returns where they go.
  char* reserve(std::size_t more) {
    if (length_ + more + 1 > capacity_) {
      std::size_t capacity = capacity_ == 0 ? chunk_size : capacity_;
      while (length_ + more + 1 > capacity) capacity *= 2;
      std::unique_ptr<char[]> grown(new char[capacity]);
      if (length_ > 0) std::memcpy(grown.get(), data_.get(), length_);
      data_ = std::move(grown);
      capacity_ = capacity;
    }
    return data_.get() + length_;
  }
  void grow(std::size_t count) { length_ += count; }
  std::size_t free_space() const { return capacity_ - length_ - 1; }
  GameText finish() {
    reserve(0);
    data_[length_] = '\0';
    GameText result;
    result.text = std::move(data_);
    result.length = length_;
    capacity_ = length_ = 0;
    return result;
  }

 private:
  std::unique_ptr<char[]> data_;
  std::size_t capacity_ = 0;
  std::size_t length_ = 0;
};

// The input file, closed on every way out.
class Input {
 public:
  explicit Input(const std::string& path) : path_(path) {
    if (path == "-") {
      file_ = stdin;
      name_ = "standard input";
    } else {
      file_ = std::fopen(path.c_str(), "rb");
      if (file_ == nullptr) throw "cannot open " + path + ": " + std::strerror(errno);
      name_ = path;
    }
  }
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
  ~Input() {
    if (file_ != nullptr && file_ != stdin) std::fclose(file_);
  }
  // Up to size bytes; 0 at the end. A read error (a directory, say) throws.
  std::size_t read(void* into, std::size_t size) {
    const std::size_t got = std::fread(into, 1, size, file_);
    if (got == 0 && std::ferror(file_)) throw "cannot read " + name_ + ": " + std::strerror(errno);
    return got;
  }
  const std::string& name() const { return name_; }

 private:
  std::string path_;
  std::string name_;
  std::FILE* file_ = nullptr;
};

void read_plain(Input& in, const unsigned char* head, std::size_t head_length, TextBuffer& out) {
  std::memcpy(out.reserve(head_length), head, head_length);
  out.grow(head_length);
  for (;;) {
    char* at = out.reserve(chunk_size);
    const std::size_t got = in.read(at, out.free_space());
    if (got == 0) return;
    out.grow(got);
  }
}

#ifdef PG_HAVE_ZLIB
struct Inflater {
  z_stream stream{};
  bool open = false;
  ~Inflater() {
    if (open) inflateEnd(&stream);
  }
};

// Concatenated gzip members read as one stream, as gzip -d does.
void read_gzip(Input& in, const unsigned char* head, std::size_t head_length, TextBuffer& out) {
  Inflater z;
  if (inflateInit2(&z.stream, 15 + 16) != Z_OK) throw std::string("cannot start gzip decompression");
  z.open = true;
  std::vector<unsigned char> input(chunk_size);
  std::memcpy(input.data(), head, head_length);
  z.stream.next_in = input.data();
  z.stream.avail_in = static_cast<uInt>(head_length);
  bool in_member = true;
  bool output_full = false;  // more may come out without more input
  for (;;) {
    if (z.stream.avail_in == 0 && !output_full) {
      const std::size_t got = in.read(input.data(), input.size());
      if (got == 0) break;
      z.stream.next_in = input.data();
      z.stream.avail_in = static_cast<uInt>(got);
    }
    in_member = true;
    z.stream.next_out = reinterpret_cast<Bytef*>(out.reserve(chunk_size));
    z.stream.avail_out = static_cast<uInt>(chunk_size);
    const int status = inflate(&z.stream, Z_NO_FLUSH);
    out.grow(chunk_size - z.stream.avail_out);
    output_full = z.stream.avail_out == 0;
    if (status == Z_STREAM_END) {
      in_member = false;
      output_full = false;
      if (inflateReset(&z.stream) != Z_OK) throw std::string("cannot restart gzip decompression");
    } else if (status != Z_OK && status != Z_BUF_ERROR) {
      throw in.name() + ": corrupt gzip data" + (z.stream.msg ? std::string(" (") + z.stream.msg + ")" : "");
    }
  }
  if (in_member) throw in.name() + ": truncated gzip data";
}
#endif

#ifdef PG_HAVE_BZIP2
struct Bunzipper {
  bz_stream stream{};
  bool open = false;
  ~Bunzipper() {
    if (open) BZ2_bzDecompressEnd(&stream);
  }
};

// Concatenated bzip2 streams read as one, as bzip2 -d does.
void read_bzip2(Input& in, const unsigned char* head, std::size_t head_length, TextBuffer& out) {
  Bunzipper b;
  if (BZ2_bzDecompressInit(&b.stream, 0, 0) != BZ_OK) throw std::string("cannot start bzip2 decompression");
  b.open = true;
  std::vector<char> input(chunk_size);
  std::memcpy(input.data(), head, head_length);
  char* next = input.data();
  std::size_t available = head_length;
  bool in_stream = true;
  bool output_full = false;  // more may come out without more input
  for (;;) {
    if (available == 0 && !output_full) {
      available = in.read(input.data(), input.size());
      if (available == 0) break;
      next = input.data();
    }
    in_stream = true;
    b.stream.next_in = next;
    b.stream.avail_in = static_cast<unsigned int>(available);
    b.stream.next_out = out.reserve(chunk_size);
    b.stream.avail_out = static_cast<unsigned int>(chunk_size);
    const int status = BZ2_bzDecompress(&b.stream);
    out.grow(chunk_size - b.stream.avail_out);
    output_full = b.stream.avail_out == 0;
    next = b.stream.next_in;
    available = b.stream.avail_in;
    if (status == BZ_STREAM_END) {
      in_stream = false;
      output_full = false;
      BZ2_bzDecompressEnd(&b.stream);
      b.open = false;
      b.stream = bz_stream{};
      if (BZ2_bzDecompressInit(&b.stream, 0, 0) != BZ_OK) throw std::string("cannot restart bzip2 decompression");
      b.open = true;
    } else if (status != BZ_OK) {
      throw in.name() + ": corrupt bzip2 data";
    }
  }
  if (in_stream) throw in.name() + ": truncated bzip2 data";
}
#endif

}  // namespace

Compression compression_of(const unsigned char* head, std::size_t length) {
  if (length >= 2 && head[0] == 0x1f && head[1] == 0x8b) return Compression::gzip;
  if (length == 3 && head[0] == 'B' && head[1] == 'Z' && head[2] == 'h') return Compression::bzip2;
  return Compression::none;
}

Compression file_compression(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return Compression::none;
  unsigned char head[3] = {0, 0, 0};
  const std::size_t got = std::fread(head, 1, sizeof head, f);
  std::fclose(f);
  return compression_of(head, got);
}

GameText read_game_text(const std::string& path) {
  Input in(path);
  unsigned char head[3] = {0, 0, 0};
  std::size_t head_length = 0;
  while (head_length < sizeof head) {
    const std::size_t got = in.read(head + head_length, sizeof head - head_length);
    if (got == 0) break;
    head_length += got;
  }
  TextBuffer out;
  const Compression compression = compression_of(head, head_length);
  if (compression == Compression::gzip) {
#ifdef PG_HAVE_ZLIB
    read_gzip(in, head, head_length, out);
#else
    throw in.name() + ": gzip input, but this pgsolve was built without zlib";
#endif
  } else if (compression == Compression::bzip2) {
#ifdef PG_HAVE_BZIP2
    read_bzip2(in, head, head_length, out);
#else
    throw in.name() + ": bzip2 input, but this pgsolve was built without libbz2";
#endif
  } else {
    read_plain(in, head, head_length, out);
  }
  return out.finish();
}

std::string supported_compression() {
  std::string list;
#ifdef PG_HAVE_ZLIB
  list += "gzip";
#endif
#ifdef PG_HAVE_BZIP2
  list += list.empty() ? "bzip2" : ", bzip2";
#endif
  return list.empty() ? "none" : list;
}
