#pragma once

// Answers the modal message boxes that the code under test opens, and records what they showed.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QThread>
#include <QTimer>

struct SeenBox
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QPointer<QWidget> parent;
    QStringList buttonTexts; // without the '&' of the shortcut
    bool onGuiThread = false;
};

// Polls for the next visible modal message box and presses a button on it.
class BoxAnswerer : public QObject
{
public:
    explicit BoxAnswerer(QMessageBox::StandardButton press = QMessageBox::Ok, int count = 1)
        : m_press(press)
        , m_remaining(count)
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
};

inline int visibleMessageBoxes()
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(w) && w->isVisible())
            ++n;
    return n;
}
