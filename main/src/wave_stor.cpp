#include "wave_stor.h"

#include "errors.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QPaintDevice>
#include <QPainter>
#include <QRandomGenerator>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX // keep std::min and std::max usable
#endif
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#endif

QColor g_traceColours[MaxChannels] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255),
                                      QColor(160, 160, 0), QColor(0, 160, 160)};
QColor g_cursorColours[MaxChannels] = {QColor(255, 64, 64), QColor(64, 255, 64), QColor(64, 64, 255),
                                       QColor(255, 255, 64), QColor(64, 255, 255)};

namespace {

// No read or write of samples is longer than this, and none crosses a block.
constexpr int MaxPiece = 64000;

// Distance within which a cursor or zero line is picked.
constexpr int PickReach = 4;

bool isWindowedMode(int mode)
{
    return mode == pmSmooth || mode == pmEnvelope || mode == pmEnvelopeDiff || mode == pmPowerSmooth;
}

// What lies at the destination path; a link counts as something that is not replaced, since
// renaming over it would replace the link and leave the file it points to.
struct Destination
{
    enum Kind { Absent, RegularFile, Other } kind = Other;
#ifndef Q_OS_WIN
    struct stat st = {}; // of a regular file
#endif
};

Destination inspectDestination(const QString& path)
{
    Destination d;
#ifdef Q_OS_WIN
    const QFileInfo info(path);
    if (info.isSymLink() || info.isJunction())
        d.kind = Destination::Other;
    else if (!info.exists())
        d.kind = Destination::Absent;
    else
        d.kind = info.isFile() ? Destination::RegularFile : Destination::Other;
#else
    if (::lstat(QFile::encodeName(path).constData(), &d.st) != 0)
        d.kind = errno == ENOENT ? Destination::Absent : Destination::Other;
    else
        d.kind = S_ISREG(d.st.st_mode) ? Destination::RegularFile : Destination::Other;
#endif
    return d;
}

// The new file takes over what the replaced one had besides its content: its permissions,
// and its owner and group as far as this user may give them.
bool takeOver(QFile& file, const Destination& d)
{
#ifdef Q_OS_WIN
    Q_UNUSED(file);
    Q_UNUSED(d);
    return true;
#else
    const int fd = file.handle();
    // Failing both leaves this user's own owner and group, which is all a user may give.
    if (::fchown(fd, d.st.st_uid, d.st.st_gid) != 0)
        (void)!::fchown(fd, uid_t(-1), d.st.st_gid);
    return ::fchmod(fd, d.st.st_mode & 07777) == 0;
#endif
}

// Puts the folder's new entry on the disk, so that the rename survives a power cut.
void syncFolder(const QString& folder)
{
#ifdef Q_OS_WIN
    Q_UNUSED(folder); // the rename was made with MOVEFILE_WRITE_THROUGH
#else
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd); // nothing is undone when this fails: the new file is already in place
        ::close(fd);
    }
#endif
}

#ifdef Q_OS_WIN
// MoveFileExW with flags; false with the system's error left for GetLastError.
bool moveNative(const QString& from, const QString& to, DWORD flags)
{
    const QString source = QDir::toNativeSeparators(QFileInfo(from).absoluteFilePath());
    const QString target = QDir::toNativeSeparators(QFileInfo(to).absoluteFilePath());
    return MoveFileExW(reinterpret_cast<LPCWSTR>(source.utf16()), reinterpret_cast<LPCWSTR>(target.utf16()),
                       flags) != 0;
}
#endif

// Gives from the name to in one step, replacing a file that is there.
bool renameOver(const QString& from, const QString& to)
{
#ifdef Q_OS_WIN
    return moveNative(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
#else
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}

// Gives from the name to unless something is there already: 0, RawWriteNotReplaced when to
// exists, RawWriteRenameFailed otherwise. One step, so a file appearing meanwhile is never
// replaced.
int renameKeeping(const QString& from, const QString& to)
{
#ifdef Q_OS_WIN
    if (moveNative(from, to, MOVEFILE_WRITE_THROUGH))
        return RawWriteOk;
    const DWORD e = GetLastError();
    return e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS ? RawWriteNotReplaced : RawWriteRenameFailed;
#else
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return RawWriteOk;
    if (errno == EEXIST)
        return RawWriteNotReplaced;
    if (errno != EINVAL && errno != ENOSYS)
        return RawWriteRenameFailed;
#endif
    // A file system without the flag: a new hard link never replaces either.
    if (::link(source.constData(), target.constData()) != 0)
        return errno == EEXIST ? RawWriteNotReplaced : RawWriteRenameFailed;
    ::unlink(source.constData());
    return RawWriteOk;
#endif
}

// Names tried for one temporary file before giving up; each is taken only when nothing exists
// there yet, so a name already taken costs one more try.
constexpr int NameTries = 16;

// A fresh name beside the destination. It never ends in the destination's own extension, so a
// file left behind by a killed program is not offered as a record, and it is never the fixed
// name "<name>.tmp" older versions used.
QString temporaryName(const QString& folder, const QString& fileName, quint64 salt)
{
    const QString random = QString::number(salt & 0xFFFFFFFFFFFFull, 16).rightJustified(12, u'0');
    // Cut long names so that the extra 17 characters still fit the file system's limit.
    return folder + u'/' + fileName.left(80) + u'.' + random + QStringLiteral(".tmp");
}

// Tries fresh names until make(name, taken) succeeds; make sets taken when the name exists.
template <typename Make>
bool claimName(const QString& folder, const QString& fileName, const std::function<quint64()>& salt,
               QString& claimed, Make make)
{
    for (int i = 0; i < NameTries; ++i) {
        const QString name = temporaryName(folder, fileName, salt());
        bool taken = false;
        if (make(name, taken)) {
            claimed = name;
            return true;
        }
        if (!taken)
            return false;
    }
    return false;
}

// Opens a new temporary file in folder for writing into file: unnamed when allowed and
// possible (claimed stays empty), else under a fresh name, which goes into claimed.
bool createTemporary(const QString& folder, const QString& fileName, const TemporaryFileOptions& options,
                     const std::function<quint64()>& salt, QFile& file, QString& claimed)
{
#ifdef Q_OS_WIN
    Q_UNUSED(options);
    return claimName(folder, fileName, salt, claimed, [&file](const QString& name, bool& taken) {
        file.setFileName(name);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return true;
        const QFileInfo info(name);
        taken = info.exists() || info.isSymLink();
        return false;
    });
#else
    const auto adopt = [&file](int fd) {
        if (fd < 0)
            return false;
        if (file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
            return true;
        ::close(fd);
        return false;
    };
#ifdef O_TMPFILE
    // Naming it later needs /proc; without it the file is named from the start.
    if (options.unnamedFirst && ::access("/proc/self/fd", X_OK) == 0 &&
        adopt(::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666)))
        return true;
#endif
    return claimName(folder, fileName, salt, claimed, [&adopt](const QString& name, bool& taken) {
        // O_EXCL and O_NOFOLLOW: fails on anything already there, a link included.
        const int fd = ::open(QFile::encodeName(name).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        taken = fd < 0 && errno == EEXIST;
        if (fd < 0)
            return false;
        if (adopt(fd))
            return true;
        ::unlink(QFile::encodeName(name).constData());
        return false;
    });
#endif
}

// Gives the complete unnamed file a fresh name beside the destination; link never replaces.
bool nameTemporary(const QString& folder, const QString& fileName, const std::function<quint64()>& salt,
                   QFile& file, QString& claimed)
{
#ifdef Q_OS_WIN
    Q_UNUSED(folder);
    Q_UNUSED(fileName);
    Q_UNUSED(salt);
    Q_UNUSED(file);
    Q_UNUSED(claimed);
    return false; // files are always made with a name here
#else
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(file.handle());
    return claimName(folder, fileName, salt, claimed, [&self](const QString& name, bool& taken) {
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, QFile::encodeName(name).constData(),
                     AT_SYMLINK_FOLLOW) == 0)
            return true;
        taken = errno == EEXIST;
        return false;
    });
#endif
}

} // namespace

bool syncToDisk(QFile& file)
{
    if (!file.flush())
        return false;
#ifdef Q_OS_WIN
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    return h != INVALID_HANDLE_VALUE && FlushFileBuffers(h);
#else
    return ::fsync(file.handle()) == 0;
#endif
}

TWaveStor::TWaveStor(const QRect& plotRect)
    : rect(plotRect)
{
    std::memset(&header, 0, sizeof header);
    std::memset(channelSlots, 0, sizeof channelSlots);
}

TWaveStor::~TWaveStor()
{
    clearChannels();
}

void TWaveStor::clearChannels()
{
    for (int i = MaxChannels - 1; i >= 0; --i) {
        delete channelSlots[i].view;
        channelSlots[i].view = nullptr;
    }
}

bool TWaveStor::validChannel(int ch) const
{
    return ch >= 0 && ch < channelCount() && channelSlots[ch].view;
}

int TWaveStor::channelCount() const
{
    return std::min<int>(header.channels, MaxChannels);
}

int TWaveStor::length() const
{
    const quint32 samples = header.samples; // a packed field: no reference may bind to it
    return int(std::min<quint32>(samples, quint32(std::numeric_limits<int>::max())));
}

TWaveView* TWaveStor::channel(int ch) const
{
    return ch >= 0 && ch < MaxChannels ? channelSlots[ch].view : nullptr;
}

TChannelHeader* TWaveStor::channelHeader(int ch)
{
    return ch >= 0 && ch < MaxChannels ? &channelSlots[ch].header : nullptr;
}

const TChannelHeader* TWaveStor::channelHeader(int ch) const
{
    return ch >= 0 && ch < MaxChannels ? &channelSlots[ch].header : nullptr;
}

// ---- creation ----

bool TWaveStor::init(int channelCount, int length)
{
    clearChannels();
    std::memset(&header, 0, sizeof header);
    std::memset(channelSlots, 0, sizeof channelSlots);
    const int n = std::clamp(channelCount, 0, MaxChannels);
    const int len = std::max(length, 0);
    header.channels = quint16(n);
    header.createdLength = quint32(len);
    // The header describes the channels as they are made: never longer than a channel can be.
    header.samples = quint32(std::min(len, MaxSamples));
    header.reserved10 = 8;
    header.showSine = 0;
    header.clockKHz = 10000;
    header.divider = 2;
    header.vScale = 1000;
    header.verMinor = RawVersionMinor;
    header.verMajor = RawVersionMajor;

    for (int i = 0; i < n; ++i) {
        TWaveView* view = new (std::nothrow) TWaveView(len);
        if (!view) {
            REPORT_CRITICAL(0xA602);
            return false;
        }
        channelSlots[i].view = view;
        if (!view->allocate()) {
            REPORT_CRITICAL(0xA602);
            return false;
        }
        view->cursor = 0;
        view->grColor = g_traceColours[i];
        view->cursColor = g_cursorColours[i];
        view->baseColor = Qt::lightGray;
        view->cursorOn = true;
        view->baseOn = true;
        // Not visible until an acquisition fills it.
    }
    relayout();
    return true;
}

bool TWaveStor::readFile(const QString& path)
{
    const quint16 condition = readFileCondition(path);
    if (condition != 0) {
        REPORT_CRITICAL(condition);
        return false;
    }
    return true;
}

quint16 TWaveStor::readFileCondition(const QString& path)
{
    quint16 condition = 0;
    if (path.isEmpty()) {
        condition = 0xA502;
    } else if (!QFileInfo::exists(path)) {
        condition = 0xA702;
    } else if (QFileInfo(path).size() < RawMagicSize) {
        condition = 0xA402;
    } else {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            condition = 0xA602;
        else
            condition = readOpenFile(file);
        file.close();
    }
    return condition;
}

quint16 TWaveStor::readOpenFile(QFile& file)
{
    char magic[RawMagicSize];
    if (file.read(magic, RawMagicSize) != RawMagicSize)
        return 0xA702;
    if (std::memcmp(magic, RawMagic, RawMagicSize) != 0)
        return 0xAC02;
    clearChannels();
    std::memset(channelSlots, 0, sizeof channelSlots);
    if (file.read(reinterpret_cast<char*>(&header), sizeof header) != qint64(sizeof header))
        return 0xAF02;
    if (header.channels > MaxChannels)
        return 0xAC02;
    // Checked before anything is allocated: no channel can hold more.
    if (header.samples > quint32(MaxSamples))
        return 0xAD02;
    const int samples = int(header.samples);

    for (int i = 0; i < header.channels; ++i) {
        TChannelSlot& slot = channelSlots[i];
        if (file.read(reinterpret_cast<char*>(&slot.header), sizeof slot.header) !=
            qint64(sizeof slot.header))
            return 0xAD02;
        slot.view = new (std::nothrow) TWaveView(samples);
        if (!slot.view || !slot.view->allocate())
            return 0xAD02;
        TWaveView* view = slot.view;
        if (header.detector)
            view->setUnipolar();
        view->cursor = slot.header.cursorPos;
        for (int p = 0; p < samples;) {
            qint8* block = nullptr;
            int n = view->chunkAt(p, &block);
            if (n <= 0)
                return 0xAD02;
            n = std::min({n, MaxPiece, samples - p});
            if (file.read(reinterpret_cast<char*>(block), n) != n)
                return 0xAD02;
            p += n;
        }
        view->visible = true;
        view->cursorOn = true;
        view->baseOn = true;
        view->grColor = g_traceColours[i];
        view->cursColor = g_cursorColours[i];
        view->baseColor = Qt::gray;
        view->mode = header.procMode;
        view->setSmoothing(header.smoothHalf);
    }
    relayout();
    return 0;
}

int writeFileSafely(const QString& path, const std::function<bool(QIODevice&)>& body,
                    const TemporaryFileOptions& options)
{
    const QFileInfo info(path);
    const QString fileName = info.fileName();
    if (path.isEmpty() || fileName.isEmpty() || !body)
        return RawWriteFailed;
    const QString folder = info.absolutePath();
    const std::function<quint64()> salt =
        options.nameSalt ? options.nameSalt : [] { return QRandomGenerator::system()->generate64(); };

    // Nothing is written for a destination that is to be kept.
    if (!options.replaceExisting && inspectDestination(path).kind != Destination::Absent)
        return RawWriteNotReplaced;

    QFile file;
    QString claimed; // the temporary file's name once it has one; removed unless renamed
    auto cleanup = qScopeGuard([&] {
        file.close();
        if (!claimed.isEmpty())
            QFile::remove(claimed);
    });
    if (!createTemporary(folder, fileName, options, salt, file, claimed))
        return RawWriteFailed;
    if (!body(file))
        return RawWriteFailed;
    const Destination destination = inspectDestination(path);
    if (destination.kind == Destination::Other ||
        (!options.replaceExisting && destination.kind != Destination::Absent))
        return RawWriteNotReplaced;
    if (destination.kind == Destination::RegularFile && !takeOver(file, destination))
        return RawWriteFailed;
    // Named as late as possible: a program killed before this leaves no file behind.
    if (!syncToDisk(file) || (claimed.isEmpty() && !nameTemporary(folder, fileName, salt, file, claimed)))
        return RawWriteFailed;
    file.close();
    if (file.error() != QFileDevice::NoError)
        return RawWriteFailed;
    if (!options.replaceExisting) {
        if (const int kept = renameKeeping(claimed, path))
            return kept;
    } else if (!renameOver(claimed, path)) {
        return RawWriteRenameFailed;
    }
    claimed.clear();
    syncFolder(folder);
    return RawWriteOk;
}

int TWaveStor::writeFile(const QString& path, bool replaceExisting)
{
    const int n = channelCount();
    const int samples = length();
    // A record without samples is no recording: nothing is written.
    if (samples == 0 || header.channels > MaxChannels)
        return RawWriteFailed;
    // Every channel must hold exactly the samples the header announces.
    for (int i = 0; i < n; ++i) {
        if (!channelSlots[i].view || channelSlots[i].view->count != samples)
            return RawWriteFailed;
    }
    const auto body = [this, n, samples](QIODevice& out) {
        header.verMinor = RawVersionMinor;
        header.verMajor = RawVersionMajor;
        if (out.write(RawMagic, RawMagicSize) != RawMagicSize ||
            out.write(reinterpret_cast<const char*>(&header), sizeof header) != qint64(sizeof header))
            return false;
        for (int i = 0; i < n; ++i) {
            TChannelSlot& slot = channelSlots[i];
            slot.header.cursorPos = slot.view->cursor;
            if (out.write(reinterpret_cast<const char*>(&slot.header), sizeof slot.header) !=
                qint64(sizeof slot.header))
                return false;
            for (int p = 0; p < samples;) {
                const qint8* block = nullptr;
                int len = std::as_const(*slot.view).chunkAt(p, &block);
                if (len <= 0)
                    return false;
                len = std::min({len, MaxPiece, samples - p});
                if (out.write(reinterpret_cast<const char*>(block), len) != len)
                    return false;
                p += len;
            }
        }
        return true;
    };
    TemporaryFileOptions options;
    options.replaceExisting = replaceExisting;
    return writeFileSafely(path, body, options);
}

// ---- layout and scales ----

void TWaveStor::setPlotRect(const QRect& plotRect)
{
    rect = plotRect;
    recalcYScale();
    recalcXScale();
    for (int i = 0; i < MaxChannels; ++i) {
        if (TWaveView* view = channelSlots[i].view)
            view->setGeometry(rect, xScale, yScale);
    }
}

void TWaveStor::relayout()
{
    recalcYScale();
    recalcXScale();
    const int n = channelCount();
    const double height = double(rect.bottom()) - rect.top();
    for (int i = 0; i < n; ++i) {
        TWaveView* view = channelSlots[i].view;
        if (!view)
            continue;
        view->setGeometry(rect, xScale, yScale);
        view->setWindowStart(header.winStart, xScale);
        view->baseY = nearest((double(i) / n + 0.5 / n) * height);
    }
}

void TWaveStor::recalcXScale()
{
    const qint32 width = header.winWidth;
    if (width <= 1)
        xScale = 1.0;
    else
        xScale = (double(rect.right()) - 1 - rect.left()) / (double(width) - 1);
}

void TWaveStor::recalcYScale()
{
    const int n = channelCount();
    if (header.vScale == 0 || n == 0)
        yScale = 1.0;
    else
        yScale = std::fabs((double(rect.bottom()) - rect.top()) / (n * 256.0) * header.vScale / 1000.0);
}

void TWaveStor::applyWindow()
{
    for (int i = 0; i < MaxChannels; ++i) {
        if (TWaveView* view = channelSlots[i].view) {
            view->setWindowStart(header.winStart, xScale);
            view->setYScale(yScale);
        }
    }
}

qint64 samplingRateHz(int clockKHz, qint32 divider)
{
    if (divider <= 0)
        return 0;
    return qint64(std::llround(1000.0 * clockKHz / divider));
}

double TWaveStor::samplePeriodUs() const
{
    if (header.clockKHz == 0)
        return 0.0;
    return 1000.0 * header.divider / header.clockKHz;
}

// ---- processing settings ----

bool TWaveStor::setFilter(int mode, int halfWidth)
{
    const int h = std::clamp(halfWidth, 0, 255);
    const bool changed = mode != header.procMode || (isWindowedMode(mode) && h != header.smoothHalf);
    header.procMode = quint8(std::clamp(mode, 0, 255));
    header.smoothHalf = quint8(h);
    for (int i = 0; i < MaxChannels; ++i) {
        if (TWaveView* view = channelSlots[i].view) {
            view->mode = header.procMode;
            view->setSmoothing(h);
        }
    }
    return changed;
}

int TWaveStor::filter(int* mode) const
{
    if (mode)
        *mode = header.procMode;
    return header.smoothHalf;
}

bool TWaveStor::isModified() const
{
    for (const TChannelSlot& slot : channelSlots) {
        if (slot.view && slot.view->modified)
            return true;
    }
    return false;
}

// ---- forwarded channel operations ----

void TWaveStor::setTraceColour(int ch, const QColor& colour)
{
    if (ch < 0 || ch >= MaxChannels)
        return;
    if (TWaveView* view = channelSlots[ch].view)
        view->grColor = colour;
    g_traceColours[ch] = colour;
}

void TWaveStor::setCursorColour(int ch, const QColor& colour)
{
    if (ch < 0 || ch >= MaxChannels)
        return;
    if (TWaveView* view = channelSlots[ch].view)
        view->cursColor = colour;
    g_cursorColours[ch] = colour;
}

int TWaveStor::meanOver(int ch, int from, int to)
{
    TWaveView* view = channel(ch);
    return view ? view->mean(from, to) : from;
}

int TWaveStor::maxPositionIn(int ch, int from, int to)
{
    TWaveView* view = channel(ch);
    return view ? view->maxPosition(from, to) : from;
}

bool TWaveStor::zeroRange(int ch, int from, int to)
{
    TWaveView* view = channel(ch);
    if (!view)
        return false;
    view->zero(from, to);
    return true;
}

bool TWaveStor::cursorFromX(int ch, int x)
{
    if (!validChannel(ch))
        return false;
    channelSlots[ch].view->cursorFromX(x);
    return true;
}

bool TWaveStor::moveCursor(QPainter* painter, int ch, int sampleIndex)
{
    if (!validChannel(ch))
        return false;
    channelSlots[ch].view->moveCursor(painter, sampleIndex);
    return true;
}

bool TWaveStor::moveBaseline(int ch, int /*x*/, int y)
{
    if (!validChannel(ch))
        return false;
    channelSlots[ch].view->setBaseline(y);
    return true;
}

int TWaveStor::xToSample(int x) const
{
    const TWaveView* view = channelSlots[0].view;
    return view ? view->xToSample(x) : x;
}

int TWaveStor::sampleToX(int i) const
{
    const TWaveView* view = channelSlots[0].view;
    return view ? view->sampleToX(i) : i;
}

// The channel nearest by distance(view) within reach, the lower slot on a tie; picked(view) is
// told about every channel that became the best so far.
template <typename Distance, typename Picked>
static int pickNearest(const TWaveStor& record, Distance distance, Picked picked)
{
    int best = FarAway;
    int result = -1;
    for (int i = 0; i < MaxChannels; ++i) {
        const TWaveView* view = record.channelSlots[i].view;
        if (!view)
            break;
        const int d = distance(view);
        if (d < best) {
            best = d;
            result = i;
            picked(view);
        }
    }
    return best <= PickReach ? result : -1;
}

int TWaveStor::channelAtCursor(int x, int y) const
{
    return pickNearest(
        *this, [&](const TWaveView* v) { return v->cursorDistance(x, y); }, [](const TWaveView*) {});
}

int TWaveStor::channelAtBaseline(int x, int y)
{
    return pickNearest(
        *this, [&](const TWaveView* v) { return v->baselineDistance(x, y); },
        [&](const TWaveView* v) { dragBase = v->baseY; });
}

void TWaveStor::baselineRepaintSpan(int ch, QRect& span) const
{
    const TWaveView* view = channel(ch);
    if (!view)
        return;
    const int b = view->baseY;
    if (dragOld == b) {
        span.setCoords(0, 0, 0, 0);
        return;
    }
    const qint64 top = qint64(std::min(dragOld, b)) - 6 - nearest(127.0 * yScale);
    const qint64 bottom = qint64(std::max(dragOld, b)) + nearest(128.0 * yScale) + 6;
    span.setTop(int(std::max<qint64>(top, std::numeric_limits<int>::min())));
    span.setBottom(int(std::min<qint64>(bottom, std::numeric_limits<int>::max())));
}

void TWaveStor::commitBaseline()
{
    dragOld = dragBase;
}

// ---- drawing ----

void TWaveStor::draw(QPainter* painter)
{
    if (drawTraces(painter))
        drawMarks(painter);
}

bool TWaveStor::drawTraces(QPainter* painter, TraceShape* shapes)
{
    if (!painter || !painter->isActive())
        return false;
    painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    const int n = channelCount();
    for (int i = 0; i < n; ++i) {
        TWaveView* view = channelSlots[i].view;
        if (!view)
            return false; // an empty slot ends the whole picture
        if (shapes)
            view->drawThrough(painter, xScale > 2.0, shapes[i]);
        else
            view->draw(painter, xScale > 2.0);
    }
    if (header.showSine)
        drawSine(painter);
    return true;
}

void TWaveStor::drawMarks(QPainter* painter)
{
    if (!painter || !painter->isActive())
        return;
    const int n = channelCount();
    for (int i = 0; i < n; ++i) {
        if (!channelSlots[i].view)
            return; // as for the traces, an empty slot ends the whole picture
    }
    painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (int i = 0; i < n; ++i)
        channelSlots[i].view->drawBaseline(painter);
    for (int i = 0; i < n; ++i)
        channelSlots[i].view->drawCursor(painter);
}

void TWaveStor::drawSine(QPainter* painter)
{
    if (!painter || !painter->device() || header.winWidth == 0 || header.clockKHz == 0)
        return;
    const int x1 = rect.left();
    const int x2 = rect.right();
    const double w = double(x2) - x1;
    if (w <= 0.0)
        return;
    QPen pen = painter->pen();
    pen.setColor(g_printMode ? QColor(Qt::black) : QColor(Qt::white));
    pen.setStyle(Qt::SolidLine);
    pen.setCosmetic(true);
    painter->setPen(pen);
    painter->setCompositionMode(QPainter::CompositionMode_SourceOver);

    // Phase advance of a 50 Hz sine per sample, and per pixel column.
    const double omega = 2.0 * M_PI * 50.0 * header.divider / (1000.0 * header.clockKHz);
    const double step = header.winWidth / w * omega;
    const int h = int(std::clamp<qint64>(qint64(rect.bottom()) - rect.top(), -(1 << 24), 1 << 24));
    const double amplitude = 0.45 * h;
    const double phase0 = omega * header.winStart;
    const int middle = h / 2;
    std::vector<QLine> lines;
    lines.reserve(size_t(w) + 1);
    int prevY = middle - nearest(amplitude * std::sin(phase0));
    for (int c = x1 + 1; c <= x2; ++c) {
        const int y = middle - nearest(amplitude * std::sin(step * c + phase0));
        lines.emplace_back(c - 1, prevY, c, y);
        prevY = y;
    }
    if (!lines.empty())
        painter->drawLines(lines.data(), int(lines.size()));
}

void TWaveStor::drawCursors(QPainter* painter)
{
    for (TChannelSlot& slot : channelSlots) {
        if (slot.view)
            slot.view->drawCursor(painter);
    }
}

// ---- clipboard ----

QString TWaveStor::clipboardText() const
{
    const QLocale locale;
    const int n = channelCount();
    QString times = QStringLiteral("ZLT_TIMES:");
    QString amplitudes = QStringLiteral("\nZLT_AMP:");
    const int clock = header.clockKHz; // packed fields: copies
    const qint32 divider = header.divider;
    // A record without a clock has no time axis: its times read 0 rather than inf or nan.
    const double periodUs = clock == 0 ? 0.0 : 1000000.0 * divider / (1000.0 * clock);
    for (int i = 0; i < n; ++i) {
        const TWaveView* view = channelSlots[i].view;
        if (!view)
            return QString();
        times += QLatin1Char(' ') + locale.toString(periodUs * view->cursor, 'f', 0);
        // One unit is 5 V / 256 at gain code 0, halved for each step; codes beyond 12 leave
        // nothing of the 4096 and must not shift past the word.
        const int gainCode = channelSlots[i].header.gainCode;
        const int gainFactor = gainCode > 12 ? 0 : 4096 >> gainCode;
        const double microvolts = 5.0 * view->sample(view->cursor) / 1048576.0 * 1000000.0 * gainFactor;
        amplitudes += QLatin1Char(' ') + locale.toString(microvolts, 'f', 6);
    }
    return times + amplitudes;
}

void TWaveStor::copyToClipboard() const
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QString text = clipboardText();
    if (clipboard && !text.isEmpty())
        clipboard->setText(text, QClipboard::Clipboard);
}
