#include "raw_info.h"

#include "wave_stor.h"

#include <QStringList>

namespace dataexport {

QString recordSummary(const TWaveStor& record)
{
    const TWaveHeader& h = record.header;
    QStringList inputs;
    QStringList gains;
    for (int ch = 0; ch < record.channelCount(); ++ch) {
        const TChannelHeader* c = record.channelHeader(ch);
        const int gainCode = c->gainCode;
        inputs << QString::number(c->input);
        // Codes of real records are 0 ... 12; a damaged one is shown as the power it names.
        gains << (gainCode <= 62 ? QString::number(qint64(1) << gainCode)
                                 : QStringLiteral("2^%1").arg(gainCode));
    }
    QString text;
    auto line = [&text](const char* key, const QString& value) {
        text += QLatin1String(key) + QLatin1String(": ") + value + QLatin1Char('\n');
    };
    line("version", QStringLiteral("%1.%2").arg(h.verMajor).arg(h.verMinor, 2, 10, QLatin1Char('0')));
    line("channels", QString::number(h.channels));
    line("samples", QString::number(h.samples));
    line("rate", QString::number(samplingRateHz(h.clockKHz, h.divider)));
    line("inputs", inputs.join(QLatin1Char(' ')));
    line("gains", gains.join(QLatin1Char(' ')));
    line("detector", h.detector ? QStringLiteral("on") : QStringLiteral("off"));
    line("sync", h.extSync ? QStringLiteral("external") : QStringLiteral("internal"));
    line("mode", QString::number(h.procMode));
    return text;
}

QString readFailureText(quint16 condition, const TWaveHeader& header)
{
    const quint16 channels = header.channels;
    const quint32 samples = header.samples;
    switch (condition) {
    case 0xA502: return QStringLiteral("empty file name");
    case 0xA702: return QStringLiteral("no such file, or its first 8 bytes cannot be read");
    case 0xA402: return QStringLiteral("file too short (less than 8 bytes)");
    case 0xA602: return QStringLiteral("file cannot be opened for reading");
    case 0xAC02:
        // The header is read only after the magic matched.
        if (channels > MaxChannels)
            return QStringLiteral("%1 channels, at most %2").arg(channels).arg(MaxChannels);
        return QStringLiteral("wrong magic: not a raw record");
    case 0xAF02: return QStringLiteral("record header cut short");
    case 0xAD02:
        if (samples > quint32(MaxSamples))
            return QStringLiteral("%1 samples per channel, at most %2").arg(samples).arg(MaxSamples);
        return QStringLiteral("channel data cut short, or a channel cannot be made");
    default: return QStringLiteral("unreadable (condition 0x%1)").arg(condition, 0, 16);
    }
}

} // namespace dataexport
