#pragma once
// Colours of any 32-bit size onto the 16-bit colours of the device arrays.
#include <cstdint>
#include <vector>

// The most colours the device arrays hold after compression (0 .. 32767).
const uint32_t max_compressed_colours = 32768;

// Maps every colour to a small one with the same parity and the same order:
// the distinct colours in increasing order are cut into runs of equal parity,
// and a run becomes one colour, the next run the next number (the first run
// keeps its parity). Who wins a node, and by which strategy, does not change.
// Throws a one-line std::string when the result needs more than
// max_compressed_colours colours.
std::vector<uint32_t> compress_colours(const std::vector<uint32_t>& colours);
