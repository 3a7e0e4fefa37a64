#pragma once

#include <QString>

namespace velkit {

// Creates a directory, accepting one that exists. A path that exists but is not a directory
// fails with errno EEXIST. Failures other than "exists" are reported as critical errors with
// condition 0xA407.
bool makeDirectory(const QString& path);

// Appends text (UTF-8) to a file. Reports 0xA408 when the file cannot be opened, 0xA409 when
// fewer bytes are written than the text holds, 0xA40A when it cannot be closed.
bool appendToLog(const QString& text, const QString& path);

} // namespace velkit
