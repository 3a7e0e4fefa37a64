#pragma once

// A signal record: up to five channels with the record header and the channel headers that a
// raw file holds, the plot rectangle and the scales shared by all channels.

#include "wave_view.h"

#include <QColor>
#include <QRect>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <functional>

class QFile;
class QIODevice;
class QPainter;

constexpr int MaxChannels = 5;

// The raw file starts with these 8 bytes, no terminator.
constexpr char RawMagic[8] = {'Z', 'O', 'R', 'I', 'V', 'R', 'A', 'W'};
constexpr int RawMagicSize = 8;
constexpr quint8 RawVersionMinor = 20;
constexpr quint8 RawVersionMajor = 1;

// The headers are copied between memory and file byte for byte; the file is little-endian.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "the raw file headers are stored as in memory");

#pragma pack(push, 1)
// Record header, 256 bytes.
struct TWaveHeader
{
    quint16 channels;       // 0 ... 5
    quint32 createdLength;  // length given when the record was made; not read
    quint32 samples;        // samples per channel, at most MaxSamples
    quint8 reserved10;      // 8 in records made by the program; not read
    quint8 showSine;        // nonzero: the 50 Hz sine overlay is drawn
    quint16 clockKHz;       // base clock in kHz
    qint32 divider;         // clock divider; sampling frequency = 1000 * clockKHz / divider Hz
    quint8 reserved18;      // 0 after an acquisition; not read
    quint8 extSync;         // 0 internal synchronisation, otherwise external
    quint8 procMode;        // processing mode 0 ... 6
    quint8 smoothHalf;      // smoothing half-width (channels clamp it to 126)
    quint16 vScale;         // vertical zoom in thousandths, 0 means 1.0
    qint32 winStart;        // first sample shown
    qint32 winWidth;        // samples shown across the plot
    quint8 reserved32[8];   // zero
    quint8 verMinor;        // 20
    quint8 verMajor;        // 1
    quint8 detector;        // nonzero: every channel is unipolar
    quint8 reserved43[213]; // zero
};

// Channel header, 16 bytes.
struct TChannelHeader
{
    quint16 gainCode;    // gain 2^gainCode
    quint8 reserved2;    // 0 after an acquisition
    quint8 input;        // input number of the unit, 1 ... 32
    qint32 cursorPos;    // the channel's cursor, saved with the file
    quint8 reserved8[8]; // zero
};
#pragma pack(pop)

static_assert(sizeof(TWaveHeader) == 256, "record header is 256 bytes");
static_assert(offsetof(TWaveHeader, channels) == 0);
static_assert(offsetof(TWaveHeader, createdLength) == 2);
static_assert(offsetof(TWaveHeader, samples) == 6);
static_assert(offsetof(TWaveHeader, reserved10) == 10);
static_assert(offsetof(TWaveHeader, showSine) == 11);
static_assert(offsetof(TWaveHeader, clockKHz) == 12);
static_assert(offsetof(TWaveHeader, divider) == 14);
static_assert(offsetof(TWaveHeader, reserved18) == 18);
static_assert(offsetof(TWaveHeader, extSync) == 19);
static_assert(offsetof(TWaveHeader, procMode) == 20);
static_assert(offsetof(TWaveHeader, smoothHalf) == 21);
static_assert(offsetof(TWaveHeader, vScale) == 22);
static_assert(offsetof(TWaveHeader, winStart) == 24);
static_assert(offsetof(TWaveHeader, winWidth) == 28);
static_assert(offsetof(TWaveHeader, reserved32) == 32);
static_assert(offsetof(TWaveHeader, verMinor) == 40);
static_assert(offsetof(TWaveHeader, verMajor) == 41);
static_assert(offsetof(TWaveHeader, detector) == 42);
static_assert(offsetof(TWaveHeader, reserved43) == 43);
static_assert(sizeof(TChannelHeader) == 16, "channel header is 16 bytes");
static_assert(offsetof(TChannelHeader, gainCode) == 0);
static_assert(offsetof(TChannelHeader, reserved2) == 2);
static_assert(offsetof(TChannelHeader, input) == 3);
static_assert(offsetof(TChannelHeader, cursorPos) == 4);
static_assert(offsetof(TChannelHeader, reserved8) == 8);

// Offsets in a raw file: magic, record header, then per channel its header and its samples.
constexpr qint64 RawHeaderOffset = RawMagicSize;
constexpr qint64 RawFirstChannelOffset = RawMagicSize + qint64(sizeof(TWaveHeader)); // 264
constexpr qint64 rawFileSize(int channels, qint64 samples)
{
    return RawFirstChannelOffset + channels * (qint64(sizeof(TChannelHeader)) + samples);
}

// Results of writeFile and writeFileSafely besides 0.
enum RawWriteResult : int {
    RawWriteOk = 0,
    RawWriteFailed = -1,        // the temporary file cannot be created or written
    RawWriteNotReplaced = -16,  // the destination exists and may not be replaced
    RawWriteRenameFailed = -17, // the temporary file cannot be given the destination name
};

// How writeFileSafely makes its temporary file. The defaults are the program's; tests choose
// the names tried, so that they meet names planted beforehand.
struct TemporaryFileOptions
{
    // The random part of each name tried; a name that is taken is never opened, the next one
    // is tried (a few times at most). Empty: the system's random source.
    std::function<quint64()> nameSalt;
    // Where the system offers it, the file is made without a name and named only once complete,
    // so that a writer killed half way leaves nothing behind.
    bool unnamedFirst = true;
    // False: anything already at the destination stays, and the write gives RawWriteNotReplaced;
    // the final step then never replaces, even a file that appears while the body writes.
    bool replaceExisting = true;
};

// Writes a file through a temporary one: body writes the whole content into a new file beside
// path, created so that no existing path is ever opened or followed (a link planted at any name
// is left alone); the file is put on the disk and then renamed over path in one step, and the
// folder is synced. An existing regular file at path is thus either replaced whole, keeping its
// permissions (and owner and group where allowed), or left as it was; anything else at path (a
// directory, a link, a device) is not replaced. Whatever fails, the temporary file is removed.
// 0; RawWriteFailed when path is empty, the temporary file cannot be made or written, or body
// returns false; RawWriteNotReplaced; RawWriteRenameFailed.
// Puts the bytes written to an open file on the disk (flush and fsync / FlushFileBuffers).
bool syncToDisk(QFile& file);

int writeFileSafely(const QString& path, const std::function<bool(QIODevice&)>& body,
                    const TemporaryFileOptions& options = {});

// Sampling rate of a record's clock and divider: 1000 * clockKHz / divider Hz rounded half away
// from zero; 0 when the divider is 0 or negative (such a record carries no usable rate).
qint64 samplingRateHz(int clockKHz, qint32 divider);

// Trace and cursor colours of channel slots 0 ... 4, taken by new and loaded channels; the
// settings file saves and restores them.
extern QColor g_traceColours[MaxChannels];
extern QColor g_cursorColours[MaxChannels];

class TWaveStor
{
public:
    // One channel slot: the channel (owned, may be null) and its header.
    struct TChannelSlot
    {
        TWaveView* view;
        TChannelHeader header;
    };

    explicit TWaveStor(const QRect& plotRect = QRect());
    ~TWaveStor(); // deletes the channels from the last slot to the first
    TWaveStor(const TWaveStor&) = delete;
    TWaveStor& operator=(const TWaveStor&) = delete;

    // ---- creation and files ----
    // An empty record of channelCount (cut to 0 ... 5) channels of length samples (cut to
    // 0 ... MaxSamples). Reports 0xA602 and returns false when a channel cannot be made.
    bool init(int channelCount, int length);
    // Fills the record from a raw file; reports a critical error and returns false on failure
    // (channels made before it stay). Conditions: 0xA502 empty path, 0xA702 missing file or
    // unreadable magic, 0xA402 shorter than 8 bytes, 0xA602 cannot be opened, 0xAC02 wrong magic
    // or more than 5 channels, 0xAF02 header short, 0xAD02 channel header or samples short, a
    // channel cannot be made, or more than MaxSamples samples.
    bool readFile(const QString& path);
    // The same without a report, for callers that tell the user themselves: 0, or the condition
    // of the failed check (the record is left as readFile leaves it).
    quint16 readFileCondition(const QString& path);
    // 0, or RawWriteFailed / RawWriteNotReplaced / RawWriteRenameFailed, written through
    // writeFileSafely. A record without samples, or whose channels do not hold the samples the
    // header announces, is not written: RawWriteFailed. With replaceExisting false nothing at path
    // is replaced (RawWriteNotReplaced), even a file that appears while the record is written.
    int writeFile(const QString& path, bool replaceExisting = true);

    // ---- layout and scales ----
    void setPlotRect(const QRect& plotRect);
    // Recomputes both scales and spreads the channels' zero lines evenly over the plot height.
    void relayout();
    void recalcXScale();
    void recalcYScale();
    // Hands winStart, xScale and yScale to every channel.
    void applyWindow();
    // 1000 * divider / clockKHz; 0 when clockKHz is 0.
    double samplePeriodUs() const;

    // ---- processing settings ----
    // Stores mode and half-width (cut to 0 ... 255) in the header, gives them to every channel
    // and returns whether the display must be redrawn.
    bool setFilter(int mode, int halfWidth);
    // The stored half-width; the mode through mode when given.
    int filter(int* mode) const;
    bool isModified() const;

    // ---- channel access ----
    // Header channel count cut to 0 ... MaxChannels.
    int channelCount() const;
    // Samples per channel as the header states them.
    int length() const;
    // Channel of slot ch, null when ch is outside 0 ... 4 or the slot is empty.
    TWaveView* channel(int ch) const;
    // Header of slot ch, null when ch is outside 0 ... 4.
    TChannelHeader* channelHeader(int ch);
    const TChannelHeader* channelHeader(int ch) const;

    // ---- channel operations forwarded by slot index ----
    // Set the channel's colour when the slot holds one, and always entry ch of the table
    // (ch within 0 ... 4).
    void setTraceColour(int ch, const QColor& colour);
    void setCursorColour(int ch, const QColor& colour);
    // from when the slot is empty.
    int meanOver(int ch, int from, int to);
    int maxPositionIn(int ch, int from, int to);
    bool zeroRange(int ch, int from, int to);
    // False when ch is negative, not below channels or the slot is empty.
    bool cursorFromX(int ch, int x);
    bool moveCursor(QPainter* painter, int ch, int sampleIndex);
    bool moveBaseline(int ch, int x, int y);
    // Channel 0's mapping; the argument itself without a channel 0.
    int xToSample(int x) const;
    int sampleToX(int i) const;
    // The nearest cursor (zero line) within 4 pixels, -1 when none; ties go to the lower channel.
    int channelAtCursor(int x, int y) const;
    int channelAtBaseline(int x, int y); // also remembers the picked zero line in dragBase
    // Rows to repaint after a zero-line drag step; all four coordinates 0 when nothing moved.
    void baselineRepaintSpan(int ch, QRect& span) const;
    void commitBaseline();

    // ---- drawing ----
    // The whole record: traces, the sine when it is on, zero lines, cursors.
    void draw(QPainter* painter);
    // The first part of draw: the traces (through shapes[0 ... 4] when given, see
    // TWaveView::drawThrough) and the sine; false when an empty slot ends the picture.
    bool drawTraces(QPainter* painter, TraceShape* shapes = nullptr);
    // The second part: zero lines, then cursors.
    void drawMarks(QPainter* painter);
    void drawSine(QPainter* painter);
    void drawCursors(QPainter* painter);

    // ---- clipboard ----
    // Two lines: "ZLT_TIMES:" with each channel's cursor time in microseconds, "ZLT_AMP:" with
    // the stored sample under each cursor in microvolts; numbers in the default locale's
    // notation. Empty when a slot below the channel count holds no channel.
    QString clipboardText() const;
    // Puts clipboardText() on the clipboard; nothing when it is empty or there is no clipboard.
    void copyToClipboard() const;

    // ---- fields (in this order) ----
    QRect rect;          // plot area in device pixels, corners (x1, y1) - (x2, y2)
    qint32 dragOld = 0;  // zero-line row of the dragged channel before the current step
    qint32 dragBase = 0; // zero-line row of the channel picked by channelAtBaseline
    TWaveHeader header;
    TChannelSlot channelSlots[MaxChannels];
    double xScale = 1.0; // pixels per sample, shared by all channels
    double yScale = 1.0; // pixels per sample unit, shared by all channels

private:
    void clearChannels();
    // Reads an opened raw file into the record; 0 or the condition of the failed check.
    quint16 readOpenFile(QFile& file);
    bool validChannel(int ch) const;
};
