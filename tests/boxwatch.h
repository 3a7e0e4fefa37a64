#pragma once

// Answers the modal message boxes that the code under test opens, and records what they showed.
// Including it starts a watchdog that fails the test on a modal left unanswered UnexpectedBoxMs.

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <functional>

constexpr int UnexpectedBoxMs = 3000;

struct SeenBox
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QPointer<QWidget> parent;
    QStringList buttonTexts; // without the '&' of the shortcut
    bool onGuiThread = false;
};

// Polls for the next visible modal message boxes and presses a button on each, after running
// before (when given) on what the box showed.
class BoxAnswerer : public QObject
{
public:
    explicit BoxAnswerer(QMessageBox::StandardButton press = QMessageBox::Ok, int count = 1,
                         std::function<void(const SeenBox&)> before = {})
    {
        connect(&m_timer, &QTimer::timeout, this, [this, press, count, before]() mutable {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || count <= 0)
                return;
            SeenBox s{box->windowTitle(),
                      box->text(),
                      box->icon(),
                      box->parentWidget(),
                      {},
                      box->thread() == QThread::currentThread() &&
                          QThread::currentThread() == qApp->thread()};
            for (QAbstractButton* b : box->buttons())
                s.buttonTexts << b->text().remove(QLatin1Char('&'));
            seen << s;
            if (before)
                before(s);
            if (--count == 0)
                m_timer.stop();
            QAbstractButton* b = box->button(press);
            b ? b->click() : box->done(press);
        });
        m_timer.start(5);
    }

    QList<SeenBox> seen;

private:
    QTimer m_timer;
};

// The watchdog; it leaves alone the acquisition's progress dialog, modal for a whole run.
static void startModalWatchdog()
{
    auto* timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, [] {
        static QPointer<QWidget> current;
        static QElapsedTimer shown;
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w->inherits("UnClosableDialog") || w != current) {
            current = w && !w->inherits("UnClosableDialog") ? w : nullptr;
            shown.start();
            return;
        }
        if (shown.elapsed() < UnexpectedBoxMs)
            return;
        current = nullptr;
        auto* box = qobject_cast<QMessageBox*>(w);
        QTest::qFail(qPrintable(QStringLiteral("unanswered %1: %2")
                                    .arg(QString::fromLatin1(w->metaObject()->className()),
                                         box ? box->text() : w->windowTitle())),
                     __FILE__, __LINE__);
        auto* d = qobject_cast<QDialog*>(w);
        d ? d->reject() : void(w->close());
    });
    timer->start(100);
}
Q_COREAPP_STARTUP_FUNCTION(startModalWatchdog)
