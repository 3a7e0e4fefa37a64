// The subcommands over whole records: info, csv and wav.

#include "rawtool.h"

#include "export/raw_info.h"
#include "export/record_export.h"
#include "language/language.h"
#include "wave_stor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTranslator>

namespace rawtool {

namespace {

// Reads path into record; the reason in words when it cannot be read.
QString readRecord(const QString& path, TWaveStor& record)
{
    const quint16 condition = record.readFileCondition(path);
    return condition == 0 ? QString() : dataexport::readFailureText(condition, record.header);
}

void fail(Streams& s, const QString& file, const QString& reason)
{
    s.err << "rawtool: " << file << ": " << reason << '\n';
}

using dataexport::Format;
using dataexport::ValueMode;

QString writeFailureText(int result, const QString& output, bool force)
{
    switch (result) {
    case RawWriteNotReplaced:
        return force || !QFileInfo::exists(output)
                   ? QStringLiteral("%1 is not a regular file; it is left as it is").arg(output)
                   : QStringLiteral("%1 exists; --force replaces it").arg(output);
    case RawWriteRenameFailed:
        return QStringLiteral("the complete temporary file cannot be renamed to %1").arg(output);
    case dataexport::ExportCancelled: return QStringLiteral("stopped");
    default: return QStringLiteral("%1 cannot be written").arg(output);
    }
}

// Converts every file; a failed file is told on standard error and the others go on.
int convertFiles(Format format, ValueMode mode, const Arguments& a, Streams& s)
{
    const QString dir = a.values.value(QStringLiteral("-o"));
    if (a.values.contains(QStringLiteral("-o")) && !QFileInfo(dir).isDir()) {
        s.err << "rawtool: -o " << dir << ": no such folder\n";
        return ExitUsage;
    }
    const bool force = a.switches.contains(QStringLiteral("--force"));
    QSet<QString> written; // outputs of this run: a second input of the same name must not replace one
    int failed = 0;
    for (const QString& file : a.files) {
        const QFileInfo input(file);
        const QString name = input.completeBaseName() + dataexport::suffix(format);
        const QString output = dir.isEmpty() ? input.dir().filePath(name) : QDir(dir).filePath(name);
        const QString outputKey = QFileInfo(output).absoluteFilePath();

        TWaveStor record;
        QString reason = readRecord(file, record);
        if (reason.isEmpty() && (record.channelCount() == 0 || record.length() == 0))
            reason = QStringLiteral("the record holds no samples");
        if (reason.isEmpty() && format == Format::Wav && dataexport::wavSampleRate(record) == 0) {
            const int clock = record.header.clockKHz;
            const qint32 divider = record.header.divider;
            reason = QStringLiteral("no sampling rate in the header (clock %1 kHz, divider %2)")
                         .arg(clock)
                         .arg(divider);
        }
        if (reason.isEmpty() && outputKey == input.absoluteFilePath())
            reason = QStringLiteral("the output would replace the input");
        if (reason.isEmpty() && written.contains(outputKey))
            reason = QStringLiteral("%1 was written for another file of this run").arg(output);
        if (reason.isEmpty()) {
            dataexport::Request request;
            request.mode = mode;
            request.replace = force;
            const int result = dataexport::exportRecord(format, output, record, request);
            if (result != 0)
                reason = writeFailureText(result, output, force);
        }
        if (!reason.isEmpty()) {
            fail(s, file, reason);
            ++failed;
            continue;
        }
        written.insert(outputKey);
        s.out << file << " -> " << output << '\n';
    }
    return failed == 0 ? ExitOk : ExitFailed;
}

} // namespace

int forEachRecord(const Arguments& a, Streams& s,
                  const std::function<void(const QString& file, const TWaveStor& record)>& use)
{
    int failed = 0;
    for (const QString& file : a.files) {
        TWaveStor record;
        const QString reason = readRecord(file, record);
        if (reason.isEmpty()) {
            use(file, record);
        } else {
            fail(s, file, reason);
            ++failed;
        }
    }
    return failed == 0 ? ExitOk : ExitFailed;
}

int runInfo(const Arguments& a, Streams& s)
{
    bool first = true;
    return forEachRecord(a, s, [&](const QString& file, const TWaveStor& record) {
        if (!first)
            s.out << '\n';
        first = false;
        s.out << "file: " << file << '\n' << dataexport::recordSummary(record);
    });
}

int runCsv(const Arguments& a, Streams& s)
{
    const bool raw = a.switches.contains(QStringLiteral("--raw"));
    const bool processed = a.switches.contains(QStringLiteral("--processed"));
    const bool volts = a.switches.contains(QStringLiteral("--volts"));
    if (int(raw) + int(processed) + int(volts) > 1) {
        s.err << "rawtool: csv: choose one of --volts, --raw, --processed\n";
        return ExitUsage;
    }
    const ValueMode mode = raw ? ValueMode::Raw : processed ? ValueMode::Processed : ValueMode::Volts;
    // The column titles come from the program's catalogue: Russian as written, English with
    // --lang en. The messages of the tool stay English either way.
    const QString lang = a.values.value(QStringLiteral("--lang"), QStringLiteral("ru"));
    const int titles = language::fromCode(lang);
    if (titles < 0) {
        s.err << "rawtool: csv: --lang takes ru or en, not '" << lang << "'\n";
        return ExitUsage;
    }
    QTranslator catalogue;
    if (!language::apply(titles, catalogue)) {
        s.err << "rawtool: csv: the English catalogue is missing from this build\n";
        return ExitFailed;
    }
    QCoreApplication::installTranslator(&catalogue);
    const int status = convertFiles(Format::Csv, mode, a, s);
    QCoreApplication::removeTranslator(&catalogue);
    return status;
}

int runWav(const Arguments& a, Streams& s)
{
    return convertFiles(Format::Wav, ValueMode::Raw, a, s);
}

} // namespace rawtool
