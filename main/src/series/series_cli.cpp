#include "series/series_cli.h"

#include "series/series_run.h"

#include <QCoreApplication>

namespace series {

namespace {

const QString SeriesOption = QStringLiteral("--series");
const QString CountOption = QStringLiteral("--count");
const QString PauseOption = QStringLiteral("--pause");
const QString PrefixOption = QStringLiteral("--prefix");
const QString LanguageOption = QStringLiteral("--lang"); // read by the start-up (language/)

bool takesValue(const QString& option)
{
    return option == SeriesOption || option == CountOption || option == PauseOption ||
           option == PrefixOption || option == LanguageOption;
}

std::optional<int> numberWithin(const QString& text, int low, int high)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < low || v > high)
        return std::nullopt;
    return v;
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    CommandLine c;
    bool seriesOptions = false;
    auto bad = [&c](const QString& option, const QString& value) {
        if (c.error == CommandLine::NoError) {
            c.error = CommandLine::BadValue;
            c.badOption = option;
            c.badValue = value;
        }
    };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a.isEmpty())
            continue;
        if (!a.startsWith(QLatin1Char('-'))) {
            c.files << a;
            continue;
        }
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            c.help = true;
            continue;
        }
        const qsizetype eq = a.indexOf(QLatin1Char('='));
        const QString option = eq < 0 ? a : a.left(eq);
        if (!takesValue(option))
            continue; // options of the toolkit and unknown ones are ignored
        std::optional<QString> value;
        if (eq >= 0)
            value = a.mid(eq + 1);
        else if (i + 1 < arguments.size() && !arguments[i + 1].startsWith(QLatin1String("--")))
            value = arguments[++i];

        if (option == LanguageOption)
            continue;
        if (option == SeriesOption) {
            c.series = true;
            if (value && !value->isEmpty())
                c.folder = *value;
            continue;
        }
        seriesOptions = true;
        if (!value) {
            bad(option, QString());
        } else if (option == CountOption) {
            c.count = numberWithin(*value, 0, MaxCount);
            if (!c.count)
                bad(option, *value);
        } else if (option == PauseOption) {
            c.pause = numberWithin(*value, 0, MaxPauseS);
            if (!c.pause)
                bad(option, *value);
        } else {
            c.prefix = *value;
            if (!validPrefix(*value))
                bad(option, *value);
        }
    }
    // Nothing to start without the folder: that is said first.
    if ((c.series || seriesOptions) && c.folder.isEmpty())
        c.error = CommandLine::NoFolder;
    return c;
}

QString helpText()
{
    return QCoreApplication::translate(
               "tavrel",
               "Использование: tavrel [ФАЙЛ.raw ...] [--series ПАПКА [--count N] [--pause S] [--prefix P]]\n"
               "                      [--lang ru|en]\n"
               "\n"
               "Ввод и обработка сигналов акустических датчиков (блок ZORIV-K4).\n"
               "\n"
               "  ФАЙЛ.raw         открыть записи, каждую в своём окне\n"
               "  --series ПАПКА   сразу после запуска начать серию записей в ПАПКУ\n"
               "                   (файлы PREFIX_NNNNN.raw и журнал series.csv)\n"
               "  --count N        число записей серии, 0 - до остановки (%1 и меньше)\n"
               "  --pause S        пауза между записями в секундах, 0 ... %2\n"
               "  --prefix P       начало имён файлов (по умолчанию rec)\n"
               "  --lang ru|en     язык интерфейса этого запуска: русский или английский\n"
               "                   (без него - выбранный в меню, adc.ini, группа UI)\n"
               "  -h, --help       показать эту справку и выйти\n"
               "\n"
               "Не заданные значения серии и поиск импульсов АЭ берутся из adc.ini (группа SERIES).\n")
        .arg(MaxCount)
        .arg(MaxPauseS);
}

} // namespace series
