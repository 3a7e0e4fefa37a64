#pragma once

// Version of the program as the About dialog and the printer's creator show it.
constexpr int VersionMajor = 0;
constexpr int VersionMinor = 2;
constexpr int VersionBuild = 3;
constexpr const char* VersionMarker = " beta";
// Build date as the compiler writes it ("Mmm dd yyyy", a day below 10 padded with a blank).
constexpr const char* BuildDate = __DATE__;
