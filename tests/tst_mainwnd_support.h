#pragma once

// Shared by the main-window, waveform-window and dialog tests: a set-up main window, records
// written with the record code, and a driver for modal dialogs.

#include "boxwatch.h"
#include "fmain.h"
#include "init.h"
#include "umisc.h"
#include "ustrings.h"
#include "wave_form.h"
#include "wave_stor.h"

#include <Velkit/vlk_init.h>
#include <Velkit/vlk_messager.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QRegularExpression>
#include <QTest>
#include <QTemporaryDir>
#include <QTimer>
#include <QtMath>

#include <functional>

namespace support {

// The library with the program's catalogue, once per test program.
inline void startLibrary()
{
    if (!velkit::libraryMessager()) {
        // An empty directory beside the "executable": no settings file is read.
        static QTemporaryDir appDir;
        g_appDir = appDir.path();
        velkit::vlkInit(umisc::programHooks());
        StringsKit::instance().fill();
        initProgramResources();
    }
}

// A set-up main window, registered as the program's one main window and shown.
inline MainWnd* makeMainWindow()
{
    startLibrary();
    auto* w = new MainWnd(nullptr);
    g_mainWnd = w;
    if (!w->setupWindow()) {
        delete w;
        g_mainWnd = nullptr;
        return nullptr;
    }
    w->resize(1000, 700);
    w->show();
    velkit::MainContext ctx;
    ctx.window = w;
    velkit::vlkSetMainWindow(ctx);
    return w;
}

// Samples of a recording of acoustic bursts: decaying oscillations on a little noise, a
// different burst per channel, all inside the 8-bit range.
inline qint8 burstSample(int ch, int i)
{
    const int onset = 1500 + 900 * ch;
    double v = 3.0 * std::sin(i * 0.37 + ch) + 2.0 * std::sin(i * 1.91);
    if (i >= onset) {
        const double t = i - onset;
        v += (100.0 - 15.0 * ch) * std::exp(-t / (1800.0 + 400.0 * ch)) * std::sin(t * (0.045 + 0.012 * ch));
    }
    return qint8(qBound(-127, int(std::lround(v)), 127));
}

// Writes a record of channels x length samples with the record code; the whole record in view.
// Returns the writer's result.
inline int writeRecordFile(const QString& path, int channels, int length,
                           const std::function<qint8(int, int)>& sample = burstSample)
{
    TWaveStor r(QRect(0, 0, 400, 300));
    if (!r.init(channels, length))
        return 1000;
    for (int ch = 0; ch < r.channelCount(); ++ch) {
        TWaveView* v = r.channel(ch);
        int i = 0;
        while (i < length) {
            qint8* block = nullptr;
            const int n = v->chunkAt(i, &block);
            if (n <= 0)
                return 1001;
            for (int k = 0; k < n && i + k < length; ++k)
                block[k] = sample(ch, i + k);
            i += n;
        }
        v->visible = true;
        r.channelHeader(ch)->gainCode = quint16(ch);
        r.channelHeader(ch)->input = quint8(ch + 1);
    }
    r.header.winStart = 0;
    r.header.winWidth = length;
    r.header.clockKHz = 12000;
    r.header.divider = 12;
    return r.writeFile(path);
}

// Runs action on the next visible modal widget of type T once it shows (polling the event loop).
template <class T>
class ModalDriver : public QObject
{
public:
    explicit ModalDriver(std::function<void(T*)> action)
        : m_action(std::move(action))
    {
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* w = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!w || !w->isVisible())
                return;
            m_timer.stop();
            ++handled;
            m_action(w);
            // A dialog the action failed to close would block the test for good.
            if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible())
                d->reject();
        });
        m_timer.start();
    }
    int handled = 0;

private:
    QTimer m_timer;
    std::function<void(T*)> m_action;
};

// Accepts a file dialog with path typed into its name field, as a user would.
inline bool acceptFileDialog(QFileDialog* d, const QString& path)
{
    auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!edit)
        return false;
    edit->setText(path);
    QMetaObject::invokeMethod(d, "accept", Qt::DirectConnection);
    return !d->isVisible();
}

// Condition codes (low 16 bits) of the critical errors among the boxes seen.
inline QList<int> criticalConditions(const QList<SeenBox>& seen)
{
    QList<int> codes;
    static const QRegularExpression hex(QStringLiteral("0x([0-9a-f]+)"));
    for (const SeenBox& b : seen) {
        if (b.icon != QMessageBox::Critical)
            continue;
        const QRegularExpressionMatch m = hex.match(b.text);
        if (m.hasMatch())
            codes << int(m.captured(1).toULongLong(nullptr, 16) & 0xFFFF);
    }
    return codes;
}

// Lets queued messages show and be answered.
inline void settle(int ms = 150)
{
    QTest::qWait(ms);
}

} // namespace support
