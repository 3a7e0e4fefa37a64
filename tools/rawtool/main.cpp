// rawtool: the program's raw record files on the command line, no display needed.
//
//   rawtool info FILE…
//   rawtool csv FILE… [--volts|--raw|--processed] [-o DIR] [--force] [--lang ru|en]
//   rawtool wav FILE… [-o DIR] [--force]
//   rawtool hits FILE… [--threshold V] [--pdt US] [--hdt US] [--hlt US] [--summary]
//   rawtool locate FILE… --sensor CH:X[,Y] … --velocity M_PER_S [hit options] [--pick aic|threshold]
//                  [--aic-window US] [--event-window US]

#include "rawtool.h"

#include <QCoreApplication>

#include <cstdio>

namespace rawtool {
namespace {

const Option OutputDir{
    QStringLiteral("-o"), QStringLiteral("DIR"),
    QStringLiteral("write the outputs into DIR (it must exist); default: beside each input")};
const Option Force{QStringLiteral("--force"), QString(),
                   QStringLiteral("replace outputs that exist already; without it such a file fails "
                                  "and the others go on")};
// The hit search's settings, shared by the commands that find hits.
const Option Threshold{QStringLiteral("--threshold"), QStringLiteral("V"),
                       QStringLiteral("hit threshold in volts at the input, above 0 (default 0.1)")};
const Option Pdt{QStringLiteral("--pdt"), QStringLiteral("US"),
                 QStringLiteral("peak definition time in microseconds (default 200)")};
const Option Hdt{QStringLiteral("--hdt"), QStringLiteral("US"),
                 QStringLiteral("hit definition time in microseconds (default 800)")};
const Option Hlt{QStringLiteral("--hlt"), QStringLiteral("US"),
                 QStringLiteral("hit lockout time in microseconds (default 1000)")};

// One row per subcommand; a new subcommand is a new row and its function.
const std::vector<Subcommand>& subcommands()
{
    static const std::vector<Subcommand> table = {
        {QStringLiteral("info"),
         QStringLiteral("FILE…"),
         QStringLiteral("Prints the header of each file, one block of \"key: value\" lines per file:\n"
                        "file, version, channels, samples, rate (sampling rate in Hz, 0 when the\n"
                        "header has none), inputs, gains, detector, sync, mode."),
         {},
         runInfo},
        {QStringLiteral("csv"),
         QStringLiteral("FILE… [--volts|--raw|--processed] [-o DIR] [--force] [--lang ru|en]"),
         QStringLiteral("Writes each file as NAME.csv: UTF-8 with a byte order mark, comma-separated,\n"
                        "dot decimals, a title row, then one row per sample: the time in microseconds\n"
                        "from the first sample (empty when the header has no sampling rate) and one\n"
                        "column per channel, titled by its input (\"Вход 9\", or \"Input 9\" with\n"
                        "--lang en)."),
         {{QStringLiteral("--volts"), QString(),
           QStringLiteral("values in volts, as the program's amplitude readout converts them (default)")},
          {QStringLiteral("--raw"), QString(), QStringLiteral("the stored converter codes, -128 … 127")},
          {QStringLiteral("--processed"), QString(),
           QStringLiteral("the values of the processing mode saved in the file")},
          OutputDir,
          Force,
          {QStringLiteral("--lang"), QStringLiteral("LANG"),
           QStringLiteral("language of the titles: ru (default) or en, as the program's")}},
         runCsv},
        {QStringLiteral("wav"),
         QStringLiteral("FILE… [-o DIR] [--force]"),
         QStringLiteral("Writes each file as NAME.wav: 8-bit PCM, one track per channel, the stored\n"
                        "codes + 128, at the record's sampling rate (a file whose header has no rate\n"
                        "fails)."),
         {OutputDir, Force},
         runWav},
        {QStringLiteral("hits"),
         QStringLiteral("FILE… [--threshold V] [--pdt US] [--hdt US] [--hlt US] [--summary]"),
         QStringLiteral("Finds the acoustic-emission hits of every channel of each file, as the program's\n"
                        "hit search does, and prints them as one CSV on standard output: a title row,\n"
                        "then one row per hit (file, channel, arrival, peak in V and dB, rise, duration,\n"
                        "counts, counts to peak, energy, average frequency, RA, peak frequency, frequency\n"
                        "centroid, absolute time when the file is listed in a series.csv beside it)."),
         {Threshold,
          Pdt,
          Hdt,
          Hlt,
          {QStringLiteral("--summary"), QString(),
           QStringLiteral("instead of the hits, one row per file and channel: file, channel,\n"
                          "                     hits, energy_v2s, peak_db_max, b_value")}},
         runHits},
        {QStringLiteral("locate"),
         QStringLiteral(
             "FILE… --sensor CH:X[,Y] … --velocity M_PER_S [--threshold V] [--pdt US]\n"
             "      [--hdt US] [--hlt US] [--pick aic|threshold] [--aic-window US] [--event-window US]"),
         QStringLiteral("Locates the sources of the acoustic-emission hits of each file, as the program's\n"
                        "location does: arrivals picked, hits of several sensors grouped into events,\n"
                        "each event placed on the line between two sensors (positions with X only) or on\n"
                        "the plane (X and Y). One CSV on standard output:\n"
                        "file,event,time_us,x_m,y_m,residual_m,channels (y_m empty for a line)."),
         {{QStringLiteral("--sensor"), QStringLiteral("CH:X[,Y]"),
           QStringLiteral("a sensor on channel CH (1 … 5) at X[,Y] metres; at least two,\n"
                          "                     all with one coordinate (a line) or all with two (a plane)")},
          {QStringLiteral("--velocity"), QStringLiteral("M_PER_S"),
           QStringLiteral("wave velocity in m/s, above 0 (required)")},
          Threshold,
          Pdt,
          Hdt,
          Hlt,
          {QStringLiteral("--pick"), QStringLiteral("aic|threshold"),
           QStringLiteral("arrival: the onset by the Akaike criterion (default) or the\n"
                          "                     first crossing of the threshold")},
          {QStringLiteral("--aic-window"), QStringLiteral("US"),
           QStringLiteral("microseconds before the first crossing searched for the onset\n"
                          "                     (default 200)")},
          {QStringLiteral("--event-window"), QStringLiteral("US"),
           QStringLiteral("microseconds after an event's first hit within which the other\n"
                          "                     channels' hits join it (default: the largest sensor\n"
                          "                     distance / velocity x 1.2)")}},
         runLocate},
    };
    return table;
}

const Option Help{QStringLiteral("-h, --help"), QString(), QStringLiteral("print this help and stop")};

void printSubcommand(QTextStream& out, const Subcommand& c)
{
    out << "  " << c.name << ' ' << c.synopsis << '\n';
    for (const QString& line : c.summary.split(QLatin1Char('\n')))
        out << "      " << line << '\n';
    for (const Option& o : c.options) {
        const QString name = o.value.isEmpty() ? o.name : o.name + QLatin1Char(' ') + o.value;
        // A long name has its help on the next line, in the column of the others.
        if (name.size() > 14)
            out << "      " << name << '\n' << QString(21, QLatin1Char(' ')) << o.help << '\n';
        else
            out << "      " << name.leftJustified(14) << ' ' << o.help << '\n';
    }
}

void printHelp(QTextStream& out, const Subcommand* only)
{
    out << "Usage: rawtool COMMAND FILE… [OPTIONS]\n"
           "Reads the program's raw record files and converts them for other tools.\n"
           "Each output is NAME plus the format's suffix, where NAME is the input's name\n"
           "without its last suffix; it is written through a temporary file renamed into place.\n\n"
           "Commands:\n";
    for (const Subcommand& c : subcommands())
        if (!only || only == &c)
            printSubcommand(out, c);
    out << "\nOptions of every command:\n  " << Help.name.leftJustified(14) << ' ' << Help.help << '\n'
        << "  --             what follows is a file, even when it starts with '-'\n"
        << "\nExit status: 0 when every file was handled; 1 when one or more failed (each\n"
           "reason on standard error, the other files handled all the same); 2 for a wrong\n"
           "command line.\n";
}

const Subcommand* findSubcommand(const QString& name)
{
    for (const Subcommand& c : subcommands())
        if (c.name == name)
            return &c;
    return nullptr;
}

const Option* findOption(const Subcommand& c, const QString& name)
{
    for (const Option& o : c.options)
        if (o.name == name)
            return &o;
    return nullptr;
}

int usageError(Streams& s, const QString& text)
{
    s.err << "rawtool: " << text << "\nTry 'rawtool --help'.\n";
    return ExitUsage;
}

bool isHelp(const QString& a)
{
    return a == QLatin1String("-h") || a == QLatin1String("--help");
}

int dispatch(const QStringList& args, Streams& s)
{
    if (args.isEmpty())
        return usageError(s, QStringLiteral("no command given"));
    if (isHelp(args[0]) || args[0] == QLatin1String("help")) {
        printHelp(s.out, nullptr);
        return ExitOk;
    }
    const Subcommand* command = findSubcommand(args[0]);
    if (!command)
        return usageError(s, QStringLiteral("unknown command '%1'").arg(args[0]));

    Arguments parsed;
    bool filesOnly = false;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (filesOnly || !a.startsWith(QLatin1Char('-')) || a == QLatin1String("-")) {
            parsed.files << a;
        } else if (a == QLatin1String("--")) {
            filesOnly = true;
        } else if (isHelp(a)) {
            printHelp(s.out, command);
            return ExitOk;
        } else {
            // "--name=value" and "-oVALUE" carry their value; otherwise it is the next argument.
            QString name = a;
            QString value;
            bool joined = false;
            if (const int eq = a.indexOf(QLatin1Char('=')); a.startsWith(QLatin1String("--")) && eq > 0) {
                name = a.left(eq);
                value = a.mid(eq + 1);
                joined = true;
            } else if (!a.startsWith(QLatin1String("--")) && a.size() > 2) {
                name = a.left(2);
                value = a.mid(2);
                joined = true;
            }
            const Option* o = findOption(*command, name);
            if (!o)
                return usageError(s, QStringLiteral("%1 has no option %2").arg(command->name, a));
            if (o->value.isEmpty()) {
                if (joined)
                    return usageError(s, QStringLiteral("%1 takes no value").arg(name));
                parsed.switches.insert(name);
                continue;
            }
            if (!joined) {
                if (++i >= args.size())
                    return usageError(s, QStringLiteral("%1 needs %2").arg(name, o->value));
                value = args[i];
            }
            parsed.values.insert(name, value);
            parsed.all[name] << value;
        }
    }
    if (parsed.files.isEmpty())
        return usageError(s, QStringLiteral("%1: no files given").arg(command->name));
    return command->run(parsed, s);
}

} // namespace
} // namespace rawtool

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    rawtool::Streams streams{out, err};
    const int status = rawtool::dispatch(app.arguments().mid(1), streams);
    out.flush();
    err.flush();
    return status;
}
