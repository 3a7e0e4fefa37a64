#pragma once

// Fixed-width texts of the readouts: a padded fixed-point number, a time in microseconds and an
// engineering value with its prefix letter. The caller appends the unit.

#include <QString>

// The value with decimals decimals, blanks in front up to width characters.
QString padFixed(int width, int decimals, double value);

// The time of sample index at period microseconds per sample, in tenths rounded half away from
// zero and shown with one decimal ("1234.5", "0.7", "-0.7"), blanks in front up to width. A time
// that is not a number shows as "?".
QString formatTime(int width, int index, double period);

// An engineering value: digits 6 or 7 characters of number (3 or 4 significant decimals) and a
// letter of "pnum KMG" (a blank for none). A magnitude of 1e12 or more, infinity included, shows
// as "#######"; one below 1e-12 as zero; a value that is not a number as "?" in the number's
// place. Other digit counts give the letter alone.
QString formatEng(int digits, double value);
