#pragma once

// rawtool: one subcommand per task over raw record files. A subcommand is a row of the table in
// main.cpp (name, synopsis, options with their help) and a function that gets the parsed
// arguments; the dispatcher parses, prints the help and turns usage errors into exit status 2.

#include <QHash>
#include <QSet>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <vector>

class TWaveStor;
namespace ae {
struct HitSettings;
}

namespace rawtool {

enum ExitStatus {
    ExitOk = 0,     // every file was handled
    ExitFailed = 1, // one or more files failed; the others were handled
    ExitUsage = 2,  // the command line is wrong; nothing was done
};

struct Option
{
    QString name;  // "--force", "-o"
    QString value; // what its value is called ("DIR"); empty for a switch
    QString help;
};

struct Arguments
{
    QStringList files;
    QSet<QString> switches;         // names of the switches given
    QHash<QString, QString> values; // option name -> value (the last one given)
    QHash<QString, QStringList> all; // option name -> every value given, in order
};

struct Streams
{
    QTextStream& out;
    QTextStream& err;
};

struct Subcommand
{
    QString name;
    QString synopsis; // what follows "rawtool NAME" in the usage line
    QString summary;  // one or more lines of help
    std::vector<Option> options;
    int (*run)(const Arguments& arguments, Streams& streams);
};

// record_commands.cpp
// Reads each file of the command line and hands every readable one to use; a file that cannot
// be read is named with its reason on the error stream. ExitOk when every file was read.
int forEachRecord(const Arguments& arguments, Streams& streams,
                  const std::function<void(const QString& file, const TWaveStor& record)>& use);
int runInfo(const Arguments& arguments, Streams& streams);
int runCsv(const Arguments& arguments, Streams& streams);
int runWav(const Arguments& arguments, Streams& streams);

// hit_command.cpp
// The hit settings of --threshold, --pdt, --hdt, --hlt over the defaults: ExitOk, or ExitUsage
// after the reason.
int readHitSettings(const Arguments& arguments, Streams& streams, ae::HitSettings& settings);
int runHits(const Arguments& arguments, Streams& streams);

// locate_command.cpp
int runLocate(const Arguments& arguments, Streams& streams);

} // namespace rawtool
