#include <Velkit/vlk_errors.h>
#include <Velkit/vlk_init.h>
#include <Velkit/vlk_misc.h>

#include <QDir>

#include <chrono>

namespace velkit {

QString sourceFileKey(const QString& path)
{
    const QChar sep = QDir::separator();
    QString p = path;
    p.replace(QLatin1Char('\\'), sep);
    p.replace(QLatin1Char('/'), sep);
    const QString doubled = QString(2, sep);
    while (p.contains(doubled))
        p.replace(doubled, QString(sep));
    int cut = p.size();
    for (int found = 0; found < 3; ++found) {
        cut = p.lastIndexOf(sep, cut - 1);
        if (cut < 0)
            return p;
        if (cut == 0 && found < 2)
            return p;
    }
    return p.mid(cut + 1);
}

void registerSourceFiles(const char* const* list, int count)
{
    QHash<QString, int>* table = sourceFileTable();
    if (!table || !list)
        return;
    for (int i = 1; i <= count; ++i) {
        if (list[i])
            table->insert(sourceFileKey(QString::fromUtf8(list[i])), i);
    }
}

int sourceFileIndex(const char* sourcePath)
{
    const QHash<QString, int>* table = sourceFileTable();
    if (!table || table->isEmpty() || !sourcePath)
        return 0;
    return table->value(sourceFileKey(QString::fromUtf8(sourcePath)), 0);
}

QString errorCodeToHex(ErrorCode code)
{
    QString s = QString::number(code, 16);
    if (s.size() == 1)
        s.prepend(QLatin1Char('0'));
    return s;
}

qint64 monotonicMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace velkit
