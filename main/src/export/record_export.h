#pragma once

// A record for other programs: CSV text (the time and one column per channel) and 8-bit PCM WAV
// (one track per channel). Plain logic without widgets; every file is written in one pass, in
// pieces, through writeFileSafely.

#include <QString>
#include <QtGlobal>

#include <functional>

class QIODevice;
class TWaveStor;

namespace dataexport {

enum class Format { Csv, Wav };

// What a CSV column holds for each sample.
enum class ValueMode {
    Raw,       // the stored sample, -128 ... 127
    Volts,     // the stored sample in volts, converted as the amplitude readout converts it
    Processed, // the value of the channel's processing mode, walked from the first exported sample
};

// Results of the exporters besides those of writeFileSafely (0, RawWriteFailed for a record
// without samples or a failed write, RawWriteNotReplaced, RawWriteRenameFailed).
enum ExportResult : int {
    ExportCancelled = -30, // the progress callback asked to stop; nothing was written
    ExportNoRate = -31,    // WAV: the record carries no usable sampling rate
};

// Called after every piece with the samples per channel done and the total; false stops.
using Progress = std::function<bool(qint64 done, qint64 total)>;

struct Request
{
    ValueMode mode = ValueMode::Volts; // CSV only: a WAV always holds the stored samples
    int start = 0;                     // first sample exported
    int count = -1;                    // samples exported; negative: up to the end of the record
    Progress progress = {};
    bool replace = true; // false: an existing file stays and the result is RawWriteNotReplaced
};

// The file name suffix of a format, with its dot: ".csv", ".wav".
QString suffix(Format format);

// Exports record to path as format asks; 0 or a result above. The processed values walk the
// channels' processing state, hence the record is not const.
int exportRecord(Format format, const QString& path, TWaveStor& record, const Request& request);

// The same into an open device (no temporary file): 0, RawWriteFailed, ExportCancelled or
// ExportNoRate.
int writeCsv(QIODevice& out, TWaveStor& record, const Request& request);
int writeWav(QIODevice& out, TWaveStor& record, const Request& request);

// The WAV sampling rate of a record in Hz; 0 when it has none (divider or clock 0, a negative
// divider, or a rate that rounds to 0).
quint32 wavSampleRate(const TWaveStor& record);

// Titles of the CSV time column and of a channel's column ("Вход 9"), in the language of the
// installed catalogue.
QString timeColumnTitle();
QString inputColumnTitle(int input);

} // namespace dataexport
