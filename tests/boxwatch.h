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
        : m_press(press)
        , m_remaining(count)
        , m_before(std::move(before))
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, &BoxAnswerer::poll);
        m_timer.start();
    }

    QList<SeenBox> seen;

private:
    void poll()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || m_remaining <= 0)
            return;
        SeenBox s;
        s.title = box->windowTitle();
        s.text = box->text();
        s.icon = box->icon();
        s.parent = box->parentWidget();
        for (QAbstractButton* b : box->buttons())
            s.buttonTexts << b->text().remove(QLatin1Char('&'));
        s.onGuiThread = box->thread() == QThread::currentThread() &&
                        QThread::currentThread() == QCoreApplication::instance()->thread();
        seen << s;
        if (m_before)
            m_before(s);
        --m_remaining;
        if (m_remaining == 0)
            m_timer.stop();
        if (QAbstractButton* b = box->button(m_press))
            b->click();
        else
            box->done(m_press);
    }

    QTimer m_timer;
    QMessageBox::StandardButton m_press;
    int m_remaining;
    std::function<void(const SeenBox&)> m_before;
};

// The watchdog; it leaves alone the acquisition's progress dialog, modal for a whole run.
static void startModalWatchdog()
{
    auto* timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, [] {
        static QPointer<QWidget> current;
        static QElapsedTimer shown;
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w->inherits("UnClosableDialog")) {
            current = nullptr;
            return;
        }
        if (w != current) {
            current = w;
            shown.start();
            return;
        }
        if (shown.elapsed() < UnexpectedBoxMs)
            return;
        current = nullptr;
        auto* box = qobject_cast<QMessageBox*>(w);
        const QString what =
            QStringLiteral("unanswered %1: %2")
                .arg(QString::fromLatin1(w->metaObject()->className()), box ? box->text() : w->windowTitle());
        QTest::qFail(qPrintable(what), __FILE__, __LINE__);
        if (auto* d = qobject_cast<QDialog*>(w))
            d->reject();
        else
            w->close();
    });
    timer->start(100);
}
Q_COREAPP_STARTUP_FUNCTION(startModalWatchdog)
