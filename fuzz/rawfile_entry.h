#pragma once

#include <cstddef>
#include <cstdint>

// Reads one input as a raw file and then runs every later operation of a record on what was
// read (layout, processing walks, picking, drawing on screen and in print mode). Shared by the
// libFuzzer target and by the test that replays the corpus in the normal build.
int fuzzRawFileInput(const std::uint8_t* data, std::size_t size);
