#pragma once

// The program's command line: files to open, --help, and the unattended start of a series
//   tavrel --series DIR [--count N] [--pause S] [--prefix P]
// Values follow their option as the next argument or after '=' (--count=5). --lang and its value
// are the start-up's (language/); other arguments beginning with '-' are ignored, as they always
// were.

#include <QString>
#include <QStringList>

#include <optional>

namespace series {

struct CommandLine
{
    QStringList files; // arguments that are no option and no option's value
    bool help = false; // --help or -h
    bool series = false;
    QString folder;
    std::optional<int> count;
    std::optional<int> pause;
    std::optional<QString> prefix;

    enum Error { NoError, NoFolder, BadValue };
    Error error = NoError;
    QString badOption; // with BadValue: the option and the value given
    QString badValue;
};

// Reads arguments (the program's name first). A series option without --series, or --series
// without a folder, is NoFolder; a count below 0 or above MaxCount, a pause outside
// 0 ... MaxPauseS, an invalid prefix, or an option without its value is BadValue. Whether the
// folder exists is the caller's to check, when the series starts.
CommandLine parseCommandLine(const QStringList& arguments);

// What --help prints: the usage and the options.
QString helpText();

} // namespace series
