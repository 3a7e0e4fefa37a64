#pragma once

#include "vlk_common_def.h"

#include <QMessageBox>
#include <QObject>
#include <QString>

namespace velkit {

// The message service: callers name a message by its catalogue number and pass up to two
// parameters; the text is looked up, filled, shortened and shown in a box on the GUI thread.
class MessagerDaemon : public QObject
{
    Q_OBJECT
public:
    explicit MessagerDaemon(QObject* parent = nullptr);

    // Connects the signals to the slots: critical queued, the others automatic and unique.
    virtual bool init();

    void showInfo(int infoCode, const QString& param1 = QString(), const QString& param2 = QString(),
                  bool allowEmptyP1 = false, bool allowEmptyP2 = false);
    void showWarn(int warnCode, const QString& param1 = QString(), const QString& param2 = QString(),
                  bool allowEmptyP1 = false, bool allowEmptyP2 = false);
    void showQuestion(int questionCode, const QString& param1, const QString& param2,
                      QMessageBox::StandardButton* selectedBut, bool allowEmptyP1, bool allowEmptyP2,
                      QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton);

    int openInfoBoxes() const { return m_openInfo; }
    int openWarnBoxes() const { return m_openWarn; }
    int openCriticalBoxes() const { return m_openCritical; }
    int openQuestionBoxes() const { return m_openQuestion; }
    // All open boxes, fatal ones included.
    int openBoxes() const;

    // The text a message shows: parameters filled, leftover placeholders shown as two double
    // quotes, long lines shortened to maxLineLength (no shortening when it is 0).
    static QString composeText(const QString& templ, const QString& param1, const QString& param2,
                               bool allowEmptyP1, bool allowEmptyP2, int maxLineLength);
    // Replaces every occurrence of the lowest-numbered placeholder %1 ... %99 by value.
    static QString argLowest(const QString& text, const QString& value);
    // Cuts a quoted name at the end of an over-long line; the first empty line ends the text.
    static QString shortenLines(const QString& text, int maxLineLength);

signals:
    void sig_ShowCritical(quint64 errCode);
    void sig_ShowInfo(int infoCode, QString param1, QString param2, bool allowEmptyP1, bool allowEmptyP2);
    void sig_ShowWarn(int warnCode, QString param1, QString param2, bool allowEmptyP1, bool allowEmptyP2);
    void sig_ShowQuestion(int questionCode, QString param1, QString param2,
                          QMessageBox::StandardButton* selectedBut, bool allowEmptyP1, bool allowEmptyP2,
                          QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton);

public slots:
    void slot_ShowCritical(quint64 errCode);
    void slot_ShowInfo(int infoCode, QString param1, QString param2, bool allowEmptyP1, bool allowEmptyP2);
    void slot_ShowWarn(int warnCode, QString param1, QString param2, bool allowEmptyP1, bool allowEmptyP2);
    void slot_ShowQuestion(int questionCode, QString param1, QString param2,
                           QMessageBox::StandardButton* selectedBut, bool allowEmptyP1, bool allowEmptyP2,
                           QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton);

private:
    enum Kind { Info, Warn };
    void showPlain(Kind kind, int code, const QString& p1, const QString& p2, bool a1, bool a2);
    bool onGuiThread() const;

    int m_openInfo = 0;
    int m_openWarn = 0;
    int m_openCritical = 0;
    int m_openQuestion = 0;
};

// Highest number of boxes that may already be open when a further one is shown.
constexpr int MaxOpenBoxesBefore = 5;

} // namespace velkit
