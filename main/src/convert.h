#pragma once

// Fixed-width texts of the readouts: a padded fixed-point number, a time in microseconds and an
// engineering value with its prefix letter. The caller appends the unit.

#include <QString>

// The value with decimals decimals, blanks in front up to width characters; one that rounds to
// zero has no sign.
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

// Volts of one unit at gain code g, without the 2.5 V reference: (4096 >> g) / 2^20; 0 for the
// codes that shift every bit out (a gain code read from a file may be anything).
double gainFactor(int gainCode);

// The input voltage of a (processed) sample p of a channel at gain code g, as the readouts show
// it: a unipolar (detector) channel reads from the bottom of its scale (p + 128), any other from
// its zero line (2p), against the 2.5 V reference. One bipolar unit is 5 V / 256 at gain code 0.
double sampleVolts(int p, bool unipolar, int gainCode);
