#pragma once
// The bytes of a game as pgsolve takes them: from a file or standard input,
// plain or compressed with gzip or bzip2 (told by the magic bytes, not the
// name), decompressed while reading.
#include <cstddef>
#include <memory>
#include <string>

struct GameText {
  std::unique_ptr<char[]> text;  // length bytes and a zero byte after them
  std::size_t length = 0;
};

// Reads the whole input named by path ("-" is standard input). Throws a
// one-line std::string message (without the "pgsolve: " prefix) when the input
// cannot be read or its compressed stream is truncated or corrupt.
GameText read_game_text(const std::string& path);

// The compressed formats, told by a stream's first bytes (up to three).
enum class Compression { none, gzip, bzip2 };
Compression compression_of(const unsigned char* head, std::size_t length);
// The same for the file at path; none when it cannot be opened.
Compression file_compression(const std::string& path);

// Which compressed formats this build reads ("gzip, bzip2", or fewer).
std::string supported_compression();
