#include "record_export.h"

#include "convert.h"
#include "wave_stor.h"

#include <QCoreApplication>
#include <QIODevice>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <limits>
#include <vector>

namespace dataexport {

namespace {

// Samples per channel handled between two progress calls.
constexpr int Piece = 4096;
// Bytes of text or sound collected before they go to the device.
constexpr size_t BufferSize = 64 * 1024;
// Room one CSV row or one WAV frame may need at most.
constexpr size_t RowRoom = 512;

struct Span
{
    int start = 0;
    int count = 0;
};

// The requested samples cut to the record.
Span spanOf(const TWaveStor& record, const Request& request)
{
    const int length = record.length();
    const int start = std::clamp(request.start, 0, length);
    const int rest = length - start;
    return {start, request.count < 0 ? rest : std::min(request.count, rest)};
}

// The channels to export; none when the record has no samples or a channel does not hold the
// samples the header announces (as the raw writer requires).
std::vector<TWaveView*> channelsOf(const TWaveStor& record)
{
    const int n = record.channelCount();
    const int length = record.length();
    if (n == 0 || length == 0)
        return {};
    std::vector<TWaveView*> views;
    for (int ch = 0; ch < n; ++ch) {
        TWaveView* v = record.channel(ch);
        if (!v || v->count != length)
            return {};
        views.push_back(v);
    }
    return views;
}

// n stored samples from start, block by block.
void copyStored(const TWaveView& view, int start, int n, qint8* out)
{
    for (int done = 0; done < n;) {
        const qint8* block = nullptr;
        const int k = std::min(view.chunkAt(start + done, &block), n - done);
        if (k <= 0) { // cannot happen for a checked channel; keeps the rest defined
            std::fill(out + done, out + n, qint8(0));
            return;
        }
        std::memcpy(out + done, block, size_t(k));
        done += k;
    }
}

// Collects bytes and hands them to the device in pieces, so that no file is ever held whole.
class PieceWriter
{
public:
    explicit PieceWriter(QIODevice& out)
        : m_out(out)
        , m_buffer(BufferSize)
    {}
    // Where the next row goes; at least RowRoom bytes are free there.
    char* room()
    {
        if (m_used > m_buffer.size() - RowRoom)
            flush();
        return m_buffer.data() + m_used;
    }
    void advance(const char* end) { m_used = size_t(end - m_buffer.data()); }
    void put(const char* bytes, size_t n)
    {
        std::memcpy(room(), bytes, n);
        m_used += n;
    }
    bool flush()
    {
        if (m_used > 0 && m_ok)
            m_ok = m_out.write(m_buffer.data(), qint64(m_used)) == qint64(m_used);
        m_used = 0;
        return m_ok;
    }
    bool ok() const { return m_ok; }

private:
    QIODevice& m_out;
    std::vector<char> m_buffer;
    size_t m_used = 0;
    bool m_ok = true;
};

// The text of every sample value of a column, made once: a row then costs copies only.
struct Cell
{
    char text[31];
    quint8 size;
};
using Cells = std::array<Cell, 256>; // index: sample + 128

Cells integerCells()
{
    Cells cells;
    for (int s = -128; s < 128; ++s) {
        Cell& c = cells[size_t(s + 128)];
        c.size = quint8(std::to_chars(c.text, c.text + sizeof c.text, s).ptr - c.text);
    }
    return cells;
}

Cells voltCells(bool unipolar, int gainCode)
{
    Cells cells;
    for (int s = -128; s < 128; ++s) {
        Cell& c = cells[size_t(s + 128)];
        // + 0.0 turns a negative zero (a gain code without volts) into "0".
        const double volts = sampleVolts(s, unipolar, gainCode) + 0.0;
        // Shortest text that reads back as the same double, without exponent or locale.
        auto r = std::to_chars(c.text, c.text + sizeof c.text, volts, std::chars_format::fixed);
        if (r.ec != std::errc())
            r = std::to_chars(c.text, c.text + sizeof c.text, volts);
        c.size = quint8(r.ptr - c.text);
    }
    return cells;
}

// n / d for d > 0 with at most six decimals, rounded half up, trailing zeros dropped.
char* putQuotient(char* p, quint64 n, quint64 d)
{
    quint64 whole = n / d;
    quint64 fraction = ((n % d) * 2000000 + d) / (2 * d);
    if (fraction == 1000000) {
        ++whole;
        fraction = 0;
    }
    p = std::to_chars(p, p + 24, whole).ptr;
    if (fraction == 0)
        return p;
    char digits[6];
    for (int k = 5; k >= 0; --k, fraction /= 10)
        digits[k] = char('0' + fraction % 10);
    int used = 6;
    while (digits[used - 1] == '0')
        --used;
    *p++ = '.';
    std::memcpy(p, digits, size_t(used));
    return p + used;
}

void putLittle(char*& p, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i, value >>= 8)
        *p++ = char(value & 0xFF);
}

// Runs the pieces of a span: fill(first, n, done) does one; stops on a failed write or when
// the progress callback says so.
template <class Fill>
int walkPieces(const Span& span, const Request& request, PieceWriter& writer, Fill fill)
{
    for (int done = 0; done < span.count;) {
        const int n = std::min(Piece, span.count - done);
        fill(span.start + done, n, done);
        done += n;
        if (!writer.ok())
            return RawWriteFailed;
        if (request.progress && !request.progress(done, span.count))
            return ExportCancelled;
    }
    return writer.flush() ? 0 : RawWriteFailed;
}

} // namespace

QString suffix(Format format)
{
    return format == Format::Csv ? QStringLiteral(".csv") : QStringLiteral(".wav");
}

// The titles follow the catalogue installed in the application: Russian as written, English
// when the program (or rawtool --lang en) loaded the English one.
QString timeColumnTitle()
{
    return QCoreApplication::translate("dataexport", "Время (мкс)");
}

QString inputColumnTitle(int input)
{
    return QCoreApplication::translate("dataexport", "Вход %1").arg(input);
}

quint32 wavSampleRate(const TWaveStor& record)
{
    const qint64 rate = samplingRateHz(record.header.clockKHz, record.header.divider);
    return rate > 0 && rate <= qint64(std::numeric_limits<quint32>::max()) ? quint32(rate) : 0;
}

int writeCsv(QIODevice& out, TWaveStor& record, const Request& request)
{
    const std::vector<TWaveView*> views = channelsOf(record);
    const Span span = spanOf(record, request);
    if (views.empty() || span.count == 0)
        return RawWriteFailed;
    const size_t n = views.size();

    // Time of sample i = i * 1000 * divider / clockKHz microseconds, from the record's first
    // sample; a record without a usable rate leaves the column empty.
    const quint64 clock = record.header.clockKHz;
    const qint32 divider = record.header.divider;
    const bool timed = clock > 0 && divider > 0;
    const quint64 step = timed ? quint64(divider) * 1000 : 0;

    PieceWriter writer(out);
    // The byte order mark lets spreadsheets take the Cyrillic titles as UTF-8.
    QByteArray title = QByteArrayLiteral("\xEF\xBB\xBF") + timeColumnTitle().toUtf8();
    std::vector<Cells> cells;
    const Cells integers = integerCells();
    for (size_t ch = 0; ch < n; ++ch) {
        const TChannelHeader* h = record.channelHeader(int(ch));
        title += ',' + inputColumnTitle(h->input).toUtf8();
        const int gainCode = h->gainCode;
        cells.push_back(request.mode == ValueMode::Volts ? voltCells(views[ch]->unipolar, gainCode)
                                                         : integers);
    }
    title += '\n';
    writer.put(title.constData(), size_t(title.size()));

    std::vector<std::vector<qint8>> values(n, std::vector<qint8>(Piece));
    return walkPieces(span, request, writer, [&](int first, int count, int done) {
        for (size_t ch = 0; ch < n; ++ch) {
            if (request.mode == ValueMode::Processed)
                views[ch]->processedRun(first, count, values[ch].data(), done > 0);
            else
                copyStored(*views[ch], first, count, values[ch].data());
        }
        for (int k = 0; k < count; ++k) {
            char* p = writer.room();
            if (timed)
                p = putQuotient(p, quint64(first + k) * step, clock);
            for (size_t ch = 0; ch < n; ++ch) {
                const Cell& c = cells[ch][size_t(values[ch][size_t(k)] + 128)];
                *p++ = ',';
                std::memcpy(p, c.text, c.size);
                p += c.size;
            }
            *p++ = '\n';
            writer.advance(p);
        }
    });
}

int writeWav(QIODevice& out, TWaveStor& record, const Request& request)
{
    const std::vector<TWaveView*> views = channelsOf(record);
    const Span span = spanOf(record, request);
    if (views.empty() || span.count == 0)
        return RawWriteFailed;
    const quint32 rate = wavSampleRate(record);
    if (rate == 0)
        return ExportNoRate;
    const quint32 channels = quint32(views.size());
    const quint32 dataSize = channels * quint32(span.count);
    const quint32 pad = dataSize & 1; // chunks keep an even length

    PieceWriter writer(out);
    char header[44];
    char* p = header;
    auto tag = [&p](const char* fourCC) {
        std::memcpy(p, fourCC, 4);
        p += 4;
    };
    tag("RIFF");
    putLittle(p, 36 + dataSize + pad, 4);
    tag("WAVE");
    tag("fmt ");
    putLittle(p, 16, 4);
    putLittle(p, 1, 2); // PCM
    putLittle(p, channels, 2);
    putLittle(p, rate, 4);
    putLittle(p, rate * channels, 4); // bytes per second, one byte per sample
    putLittle(p, channels, 2);        // bytes per frame
    putLittle(p, 8, 2);               // bits per sample
    tag("data");
    putLittle(p, dataSize, 4);
    writer.put(header, sizeof header);

    std::vector<std::vector<qint8>> values(channels, std::vector<qint8>(Piece));
    const int result = walkPieces(span, request, writer, [&](int first, int count, int) {
        for (size_t ch = 0; ch < channels; ++ch)
            copyStored(*views[ch], first, count, values[ch].data());
        for (int k = 0; k < count; ++k) {
            char* q = writer.room();
            // 8-bit PCM is unsigned: the stored code + 128.
            for (size_t ch = 0; ch < channels; ++ch)
                *q++ = char(quint8(values[ch][size_t(k)] + 128));
            writer.advance(q);
        }
    });
    if (result != 0 || pad == 0)
        return result;
    return out.write("\0", 1) == 1 ? 0 : RawWriteFailed;
}

int exportRecord(Format format, const QString& path, TWaveStor& record, const Request& request)
{
    // What needs no file is checked first, so that nothing is made for it.
    if (channelsOf(record).empty() || spanOf(record, request).count == 0)
        return RawWriteFailed;
    if (format == Format::Wav && wavSampleRate(record) == 0)
        return ExportNoRate;
    int body = 0;
    TemporaryFileOptions options;
    options.replaceExisting = request.replace;
    const int written = writeFileSafely(
        path,
        [&](QIODevice& out) {
            body = format == Format::Csv ? writeCsv(out, record, request) : writeWav(out, record, request);
            return body == 0;
        },
        options);
    return body != 0 ? body : written;
}

} // namespace dataexport
