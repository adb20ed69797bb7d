#pragma once
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

// A stretch of a PGSolver file read in chunks that each end just after a ';',
// so that a chunk holds whole node descriptions (in a file the reader
// accepts, every ';' closes the header or a description). Only a small
// buffer is held at a time, however large the file.
class DescriptionChunks {
 public:
  // The bytes [begin, end) of the file.
  DescriptionChunks(const std::string& path, uint64_t begin, uint64_t end);

  // The next chunk: size bytes from data, the last one a ';', followed by a
  // zero byte. False at the end of the stretch or when something is amiss
  // (see clean()).
  bool next(const char*& data, std::size_t& size);
  // After next() returned false: true when the stretch was read whole, held
  // no zero byte, and nothing but white space followed its last ';'.
  bool clean() const { return clean_; }

 private:
  bool fill();

  std::ifstream in_;
  uint64_t offset_;
  uint64_t end_;
  std::vector<char> buffer_;
  std::size_t held_ = 0;     // bytes in the buffer
  std::size_t consumed_ = 0;  // bytes handed out by the last next()
  bool clean_ = false;
};

// Cuts the file of `size` bytes into at most `pieces` stretches that begin
// and end at description boundaries: every bound but 0 and size lies just
// after a ';'. Returns the bounds, first 0 and last size.
std::vector<uint64_t> description_bounds(const std::string& path, uint64_t size, unsigned int pieces);
