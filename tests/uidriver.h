#pragma once

// Driving the program's windows from a test: the library and a main window set up as at start,
// modal dialogs answered as a user would, record files written by the record code.

#include "fmain.h"
#include "init.h"
#include "umisc.h"
#include "ustrings.h"
#include "wave_stor.h"

#include <Velkit/vlk_init.h>
#include <Velkit/vlk_messager.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

// Runs action on the next visible modal widget of type T once it shows (polling the event loop).
template <class T>
class ModalDriver : public QObject
{
public:
    explicit ModalDriver(std::function<void(T*)> action)
    {
        connect(&m_timer, &QTimer::timeout, this, [this, action] {
            auto* w = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!w || !w->isVisible())
                return;
            m_timer.stop();
            ++handled;
            action(w);
            // A dialog the action failed to close would block the test for good.
            if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible())
                d->reject();
        });
        m_timer.start(10);
    }
    int handled = 0;

private:
    QTimer m_timer;
};

// Answers the modal dialogs in order, clicking as a user would: at a message box its button
// ("yes", "no", "cancel", "ok"); at the channel dialog "all" or "first" (channel 1) and OK; at
// another dialog the push button of that object name, else the button box's OK ("OK") or Cancel. Progress
// windows are left alone. Records each box's text and each dialog's title.
class Answers : public QObject
{
public:
    explicit Answers(QStringList steps)
    {
        connect(&timer, &QTimer::timeout, this, [this, steps]() mutable {
            QWidget* w = QApplication::activeModalWidget();
            if (!w || !w->isVisible() || w->inherits("UnClosableDialog") || steps.isEmpty())
                return;
            const QString step = steps.takeFirst();
            auto click = [w](const QString& name) {
                QAbstractButton* b = w->findChild<QPushButton*>(name);
                if (auto* box = w->findChild<QDialogButtonBox*>(); !b && box)
                    b = box->button(name == "OK" ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel);
                if (b)
                    QTest::mouseClick(b, Qt::LeftButton);
            };
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                seen << box->text();
                static const QHash<QString, QMessageBox::StandardButton> buttons = {
                    {"yes", QMessageBox::Yes}, {"no", QMessageBox::No}, {"cancel", QMessageBox::Cancel}};
                const QMessageBox::StandardButton b = buttons.value(step, QMessageBox::Ok);
                box->button(b) ? box->button(b)->click() : box->done(b);
                return;
            }
            seen << w->windowTitle();
            if (step == "all" || step == "first") {
                w->findChild<QCheckBox*>(QStringLiteral("selBox1"))->setChecked(step == "first");
                if (step == "all")
                    click(QStringLiteral("allOn"));
                click(QStringLiteral("okBtn"));
            } else {
                click(step);
            }
        });
        timer.start(5);
    }
    QStringList seen;

private:
    QTimer timer;
};

// Accepts a file dialog with path typed into its name field, as a user would.
inline void acceptFileDialog(QFileDialog* d, const QString& path)
{
    if (auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        edit->setText(path);
    QMetaObject::invokeMethod(d, "accept", Qt::DirectConnection);
}

// The support library and the catalogue, once per test program, with no settings file.
inline void startLibrary()
{
    if (velkit::libraryMessager())
        return;
    static QTemporaryDir appDir;
    g_appDir = appDir.path();
    velkit::vlkInit(umisc::programHooks());
    StringsKit::instance().fill();
    initProgramResources();
    QApplication::setQuitOnLastWindowClosed(false);
}

// A main window of the given size as start-up makes it; null when its set-up failed.
inline MainWnd* makeMainWindow(const QSize& size)
{
    auto* w = new MainWnd(nullptr);
    g_mainWnd = w;
    if (!w->setupWindow()) {
        delete w;
        return nullptr;
    }
    w->resize(size);
    w->show();
    velkit::MainContext ctx;
    ctx.window = w;
    velkit::vlkSetMainWindow(ctx);
    return w;
}

// Writes a record of channels x length samples, sample(ch, i) each, the whole record in view,
// every channel shown, then changed by adjust when given; false when it could not be written.
inline bool writeRecord(const QString& path, int channels, int length,
                        const std::function<qint8(int, int)>& sample,
                        const std::function<void(TWaveStor&)>& adjust = {})
{
    TWaveStor r(QRect(0, 0, 400, 300));
    if (!r.init(channels, length))
        return false;
    for (int ch = 0; ch < channels; ++ch) {
        for (int i = 0; i < length; ++i)
            r.channel(ch)->setSample(i, sample(ch, i));
        r.channel(ch)->visible = true;
    }
    r.header.winStart = 0;
    r.header.winWidth = length;
    if (adjust)
        adjust(r);
    return r.writeFile(path) == 0;
}
