#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

// Entry points of the fuzz targets, shared by the libFuzzer mains and by the test that replays
// the corpus in the normal build. Each returns whether the reader accepted the input.

// Reads one input as a raw file and then runs every later operation of a record on what was
// read (layout, processing walks, picking, drawing on screen and in print mode).
bool fuzzRawFileInput(const std::uint8_t* data, std::size_t size);

// Opens one input as the program opens a raw file (a waveform window with its sliders) and
// draws the window's plot as opened, scrolled to the end and zoomed in there as far as it
// goes, and stretched out to the whole record. Needs a QApplication.
bool fuzzWaveWindowInput(const std::uint8_t* data, std::size_t size);

// Writes the input to this process's one input file; its path, empty when it cannot be written.
QString writeFuzzInput(const std::uint8_t* data, std::size_t size);
