#include "umisc.h"

#include "ustrings.h"

#include <Velkit/vlk_messager.h>

#include <QDir>
#include <QEvent>
#include <QGuiApplication>
#include <QHash>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace umisc {

void criticalHook() {}

QString messageCaption()
{
    return QStringLiteral("TAVREL");
}

QString infoText(int number)
{
    return StringsKit::instance().infoText(number);
}

QString warnText(int number)
{
    return StringsKit::instance().warnText(number);
}

QString questionText(int number)
{
    return StringsKit::instance().questionText(number);
}

QString crashLogDirectory()
{
#if defined(_WIN32)
    return QStringLiteral("c:\\temp\\tavrel\\");
#else
    // A fixed Windows drive means nothing here: the system's temporary directory instead.
    return QDir::tempPath() + QStringLiteral("/tavrel/");
#endif
}

velkit::LibraryHooks programHooks()
{
    velkit::LibraryHooks h;
    h.criticalHook = criticalHook;
    h.title = messageCaption;
    h.infoText = infoText;
    h.warnText = warnText;
    h.questionText = questionText;
    h.crashLogDirectory = crashLogDirectory;
    h.maxLineLength = MaxMessageLine;
    return h;
}

void showWarning(int number, const QString& p1, const QString& p2, bool allowEmptyP1, bool allowEmptyP2)
{
    if (velkit::MessagerDaemon* m = velkit::libraryMessager())
        m->showWarn(number, p1, p2, allowEmptyP1, allowEmptyP2);
}

void showInformation(int number, const QString& p1, const QString& p2, bool allowEmptyP1, bool allowEmptyP2)
{
    if (velkit::MessagerDaemon* m = velkit::libraryMessager())
        m->showInfo(number, p1, p2, allowEmptyP1, allowEmptyP2);
}

QMessageBox::StandardButton askQuestion(int number, const QString& p1, const QString& p2, bool allowEmptyP1,
                                        bool allowEmptyP2, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton)
{
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    if (velkit::MessagerDaemon* m = velkit::libraryMessager())
        m->showQuestion(number, p1, p2, &answer, allowEmptyP1, allowEmptyP2, buttons, defaultButton);
    return answer;
}

QString directoryOf(const QString& path)
{
    const QString p = QDir::fromNativeSeparators(path);
    const int cut = p.lastIndexOf(QLatin1Char('/'));
    return cut < 0 ? QString() : QDir::toNativeSeparators(p.left(cut));
}

namespace {
QString* g_folderStore = nullptr;
} // namespace

QString fileDialogFolder()
{
    return g_folderStore ? *g_folderStore : QString();
}

void rememberFileDialogFolder(const QString& filePath)
{
    if (g_folderStore)
        *g_folderStore = directoryOf(filePath);
}

void setFileDialogFolderStore(QString* store)
{
    g_folderStore = store;
}

void releaseFileDialogFolderStore(const QString* store)
{
    if (g_folderStore == store)
        g_folderStore = nullptr;
}

namespace {

QHash<QString, QRect>& toolWindowPlaces()
{
    static QHash<QString, QRect> places;
    return places;
}

// The screen the window belongs to: its parent's, else the primary one.
QRect availableArea(const QWidget* w)
{
    const QWidget* top = w->parentWidget() ? w->parentWidget()->window() : w;
    QScreen* screen = top->screen() ? top->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

// Keeps the place of its window: sets it as the window is first shown (before it reaches the
// screen), remembers it whenever the visible window is moved or resized.
class ToolWindowPlacer : public QObject
{
public:
    ToolWindowPlacer(QWidget* window, const QString& kind) : QObject(window), m_kind(kind)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        QWidget* w = qobject_cast<QWidget*>(watched);
        if (!w || watched != parent())
            return false;
        switch (event->type()) {
        case QEvent::Show:
            if (!m_placed) {
                m_placed = true;
                place(w);
            }
            break;
        case QEvent::Move:
        case QEvent::Resize:
            // The frame's place (what move() takes) and the window's own size.
            if (m_placed && w->isVisible())
                toolWindowPlaces().insert(m_kind, QRect(w->pos(), w->size()));
            break;
        default: break;
        }
        return false;
    }

private:
    void place(QWidget* w)
    {
        const QRect area = availableArea(w);
        QRect r = toolWindowPlaces().value(m_kind);
        if (!r.isValid()) {
            // Beside the plot: at most half the screen wide, so that the plot's left half, where
            // its top-left corner is, stays free; from the top of the screen's right half.
            const QSize hint = w->sizeHint().expandedTo(w->minimumSizeHint());
            const int width = std::min(std::max(hint.width(), area.width() / 3), area.width() / 2);
            const int height = std::min(std::max(hint.height(), area.height() / 2), area.height() * 4 / 5);
            r = QRect(area.right() + 1 - width, area.top() + area.height() / 10, width, height);
        }
        // Inside the screen with its frame (as far as it is known yet), whatever was remembered.
        const QSize frame = (w->frameGeometry().size() - w->size()).expandedTo(QSize(0, 0));
        r.setSize(r.size().boundedTo(area.size() - frame));
        r.moveLeft(std::clamp(r.left(), area.left(), area.right() + 1 - r.width() - frame.width()));
        r.moveTop(std::clamp(r.top(), area.top(), area.bottom() + 1 - r.height() - frame.height()));
        w->resize(r.size());
        w->move(r.topLeft());
    }

    QString m_kind;
    bool m_placed = false;
};

} // namespace

void placeToolWindow(QWidget* window, const QString& kind)
{
    if (window)
        new ToolWindowPlacer(window, kind);
}

void forgetToolWindowPlaces()
{
    toolWindowPlaces().clear();
}

} // namespace umisc
