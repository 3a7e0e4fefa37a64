#pragma once

// What a raw file says about itself, in words for a terminal: the header of a record and the
// reason a file could not be read.

#include <QString>
#include <QtGlobal>

class TWaveStor;
struct TWaveHeader;

namespace dataexport {

// The header of a read record, one "key: value" line each (version, channels, samples, rate in
// Hz as a plain integer, inputs, gains, detector, sync, mode), every line ending in a line feed.
QString recordSummary(const TWaveStor& record);

// The reader's failed check (TWaveStor::readFileCondition) in words; header is what the reader
// had read when it stopped, which tells apart the checks that share a condition.
QString readFailureText(quint16 condition, const TWaveHeader& header);

} // namespace dataexport
