#pragma once

// Fixed-width texts of the readouts: a padded fixed-point number, a time in microseconds with
// one decimal and an engineering value with an SI prefix letter. The caller appends the unit.

#include <QString>

// value with the given decimals, spaces in front up to width characters.
QString padFixed(int width, int decimals, double value);
// The time of sample index at period microseconds per sample, in tenths rounded half away
// from zero and written with one decimal ("1234.5", "0.7"), spaces in front up to width.
QString formatTime(int width, int index, double period);
// value scaled by a power of 1000 to one to three integer digits, written with 6 or 7
// significant places (digits) and followed by its prefix letter from "pnum KMG" (a blank for
// none). "#######" for a magnitude of 1e12 or more (or not a number).
QString formatEng(int digits, double value);
