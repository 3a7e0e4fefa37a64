#pragma once

#include <QObject>
#include <QString>

// The program's catalogue of interface texts and numbered messages. Filled once at start-up
// after the program's translator is installed.
class StringsKit : public QObject
{
    Q_OBJECT
public:
    enum Warning {
        WarnMeanNeedsSelection = 0x1501,
        WarnCloseSpectrumFirst = 0x1502,
        WarnReadFailed = 0x1504,
        WarnWriteFailed = 0x1505,
        WarnLoadFailed = 0x1507,
        WarnWrongNumber = 0x1509,
        WarnBadSelection = 0x150A,
        WarnMaxNeedsSelection = 0x150C,
        WarnZeroNeedsSelection = 0x150D,
        WarnTooNarrowForFFT = 0x1510,
        WarnNoSamplingRate = 0x1511,
        WarnLocationNoPeriod = 0x1520,
        WarnLocationMissingChannel = 0x1521,
        WarnLocationCoincident = 0x1522,
        WarnLocationMixed = 0x1523,
        WarnLocationTooFew = 0x1524,
        WarnLocationVelocity = 0x1525,
        WarnLocationPosition = 0x1526,
        // Series of records.
        WarnSeriesWindowBusy = 0x1530,
        WarnSeriesUnitBusy = 0x1531,
        WarnSeriesLoadFailed = 0x1532,
        WarnSeriesWriteFailed = 0x1533,
        WarnSeriesNoFolder = 0x1534,
        WarnSeriesFolderMissing = 0x1535,
        WarnSeriesBadValue = 0x1536,
        WarnSeriesBadPrefix = 0x1537,
        WarnSeriesNoFreeName = 0x1538,
        WarnSeriesNoValue = 0x1539,
        WarnBadLanguage = 0x1550,
    };
    enum Information {
        InfoText = 0x1401,
        InfoLanguageNextStart = 0x1450,
    };
    enum Question {
        AskInverseFFT = 0x1702,
        AskCloseChanged = 0x1705,
        AskWindowFunction = 0x1707,
        AskRetryIniSave = 0x1709,
        AskStopSeries = 0x1730,
    };

    static StringsKit& instance();
    void fill();

    QString warnText(int number) const;
    QString infoText(int number) const;
    QString questionText(int number) const;

    // Interface texts of the main window.
    QString verticalScale;
    QString horizontalStretch;
    QString stop;
    QString smoothingParameter;
    QString buffer;
    QString saveTimesToBuffer;
    QString centreCursors;
    QString selectionModeSwitch;

private:
    StringsKit() = default;

    QString m_meanNeedsSelection;
    QString m_closeSpectrumFirst;
    QString m_readFailed;
    QString m_writeFailed;
    QString m_loadFailed;
    QString m_wrongNumber;
    QString m_badSelection;
    QString m_maxNeedsSelection;
    QString m_zeroNeedsSelection;
    QString m_tooNarrowForFFT;
    QString m_noSamplingRate;
    QString m_locationNoPeriod;
    QString m_locationMissingChannel;
    QString m_locationCoincident;
    QString m_locationMixed;
    QString m_locationTooFew;
    QString m_locationVelocity;
    QString m_locationPosition;
    QString m_seriesWindowBusy;
    QString m_seriesUnitBusy;
    QString m_seriesLoadFailed;
    QString m_seriesWriteFailed;
    QString m_seriesNoFolder;
    QString m_seriesFolderMissing;
    QString m_seriesBadValue;
    QString m_seriesBadPrefix;
    QString m_seriesNoFreeName;
    QString m_seriesNoValue;
    QString m_badLanguage;
    QString m_info;
    QString m_languageNextStart;
    QString m_askInverseFFT;
    QString m_askCloseChanged;
    QString m_askWindowFunction;
    QString m_askRetryIniSave;
    QString m_askStopSeries;
};
