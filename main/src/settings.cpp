#include "settings.h"

#include "fmain.h"
#include "init.h"
#include "k4demo.h"
#include "language/language.h"
#include "ui_MainWindow.h"
#include "umisc.h"
#include "ustrings.h"
#include "wave_stor.h"

#include <Velkit/vlk_init.h>

#include <QApplication>
#include <QDir>
#include <QSettings>

#include <algorithm>
#include <cmath>
#include <functional>

int g_winFun = 0;
ae::HitSettings g_hitSettings;
series::Settings g_seriesSettings;
bool g_logScale = false;
ae::LocationSetup g_locationSetup = defaultLocationSetup();

ae::LocationSetup defaultLocationSetup()
{
    ae::LocationSetup s;
    for (int ch = 0; ch < 4; ++ch)
        s.channels[ch] = {true, k4SensorX(ch), k4SensorY(ch)};
    s.velocityMps = K4PlateVelocity;
    return s;
}

int packColour(const QColor& colour)
{
    return colour.red() + colour.green() * 256 + colour.blue() * 65536;
}

QColor unpackColour(int packed)
{
    return QColor(packed & 0xFF, (packed >> 8) & 0xFF, (packed >> 16) & 0xFF);
}

namespace {

int readInt(QSettings& ini, const QString& key, int fallback)
{
    // Text that is not a number reads as 0, as the settings class converts it.
    return ini.value(key, fallback).toInt();
}

quint8 clampByte(int v)
{
    return quint8(std::clamp(v, 0, 255));
}

// An integer key of the hit group: its value when within low ... high, else fallback.
double readBounded(QSettings& ini, const QString& key, int low, int high, double fallback)
{
    bool ok = false;
    const int v = ini.value(key).toInt(&ok);
    return ok && v >= low && v <= high ? double(v) : fallback;
}

// v rounded to a whole number within low ... high (low when it is not a number).
int wholeWithin(double v, int low, int high)
{
    return std::isnan(v) ? low : int(std::clamp(std::round(v), double(low), double(high)));
}

// A number within -limit ... limit (0 ... limit when positive), else fallback.
double readNumber(QSettings& ini, const QString& key, double limit, bool positive, double fallback)
{
    bool ok = false;
    const double v = ini.value(key).toString().toDouble(&ok);
    return ok && std::isfinite(v) && std::fabs(v) <= limit && (!positive || v > 0.0) ? v : fallback;
}

QString numberText(double v)
{
    return QString::number(v, 'g', 12);
}

void readLocation(QSettings& ini, ae::LocationSetup& s)
{
    const ae::LocationSetup d = defaultLocationSetup();
    ini.beginGroup(QStringLiteral("AE_LOCATION"));
    s.velocityMps = readNumber(ini, QStringLiteral("Velocity"), MaxLocationVelocity, true, d.velocityMps);
    const QString pick = ini.value(QStringLiteral("Pick")).toString();
    s.pick = pick == QLatin1String("threshold") ? ae::PickMethod::Threshold
             : pick == QLatin1String("aic")     ? ae::PickMethod::Aic
                                                : d.pick;
    s.aicWindowUs = readBounded(ini, QStringLiteral("AicWindow"), 1, MaxAicWindowUs, d.aicWindowUs);
    s.eventWindowUs = readBounded(ini, QStringLiteral("EventWindow"), 0, MaxEventWindowUs, d.eventWindowUs);
    for (int ch = 0; ch < ae::LocationSetup::Channels; ++ch) {
        const QString n = QString::number(ch + 1);
        ae::LocationSetup::Channel& c = s.channels[ch];
        const ae::LocationSetup::Channel& dc = d.channels[ch];
        bool ok = false;
        const int used = ini.value(QStringLiteral("Sensor") + n).toInt(&ok);
        c.used = ok && (used == 0 || used == 1) ? used == 1 : dc.used;
        c.x = readNumber(ini, QStringLiteral("X") + n, MaxSensorCoordinate, false, dc.x);
        // An empty Y is a sensor of linear location.
        const QVariant y = ini.value(QStringLiteral("Y") + n);
        c.y = y.isValid() && y.toString().trimmed().isEmpty()
                  ? std::nan("")
                  : readNumber(ini, QStringLiteral("Y") + n, MaxSensorCoordinate, false, dc.y);
    }
    ini.endGroup();
}

void writeLocation(QSettings& ini, const ae::LocationSetup& s)
{
    ini.beginGroup(QStringLiteral("AE_LOCATION"));
    ini.setValue(QStringLiteral("Velocity"), numberText(s.velocityMps));
    ini.setValue(QStringLiteral("Pick"),
                 s.pick == ae::PickMethod::Threshold ? QStringLiteral("threshold") : QStringLiteral("aic"));
    ini.setValue(QStringLiteral("AicWindow"), wholeWithin(s.aicWindowUs, 1, MaxAicWindowUs));
    ini.setValue(QStringLiteral("EventWindow"), wholeWithin(s.eventWindowUs, 0, MaxEventWindowUs));
    for (int ch = 0; ch < ae::LocationSetup::Channels; ++ch) {
        const QString n = QString::number(ch + 1);
        const ae::LocationSetup::Channel& c = s.channels[ch];
        ini.setValue(QStringLiteral("Sensor") + n, c.used ? 1 : 0);
        ini.setValue(QStringLiteral("X") + n, numberText(c.x));
        ini.setValue(QStringLiteral("Y") + n, std::isnan(c.y) ? QString() : numberText(c.y));
    }
    ini.endGroup();
}

} // namespace

void readSettings(const QString& path, ProgramSettings& s)
{
    QSettings ini(path, QSettings::IniFormat);

    ini.beginGroup(QStringLiteral("WAVE_ADC"));
    s.unitVolts = readInt(ini, QStringLiteral("YAxis"), 0) != 0;
    s.forAll = readInt(ini, QStringLiteral("ForAll"), 0) != 0;
    s.acquisition.halfLength = quint16((readInt(ini, QStringLiteral("NumItems"), 100000) / 2) & 0xFFFF);
    s.acquisition.waitCount = quint16(std::clamp(readInt(ini, QStringLiteral("WaitA"), 24), 0, 65535));
    s.acquisition.sync = clampByte(readInt(ini, QStringLiteral("Sync"), 0));
    s.acquisition.detector = clampByte(readInt(ini, QStringLiteral("Detector"), 1));
    s.acquisition.mux = clampByte(readInt(ini, QStringLiteral("Mux"), 0));
    for (int i = 0; i < 4; ++i)
        s.acquisition.gain[i] = clampByte(readInt(ini, QStringLiteral("Gain%1").arg(i), 0));
    ini.endGroup();

    ini.beginGroup(QStringLiteral("COLOR"));
    for (int i = 0; i < 4; ++i) {
        s.traceColours[i] =
            unpackColour(readInt(ini, QStringLiteral("GrColor%1").arg(i), packColour(s.traceColours[i])));
        s.cursorColours[i] =
            unpackColour(readInt(ini, QStringLiteral("CursColor%1").arg(i), packColour(s.cursorColours[i])));
        s.textColours[i] =
            unpackColour(readInt(ini, QStringLiteral("TextColor%1").arg(i), packColour(s.textColours[i])));
        s.backColours[i] =
            unpackColour(readInt(ini, QStringLiteral("BackColor%1").arg(i), packColour(s.backColours[i])));
    }
    ini.endGroup();

    ini.beginGroup(QStringLiteral("COM"));
    s.portName = ini.value(QStringLiteral("ComName")).toString();
    if (s.portName.isEmpty())
        s.portName =
            QStringLiteral("COM") + QString::number(std::max(1, readInt(ini, QStringLiteral("Port"), 0)));
    s.rate = readInt(ini, QStringLiteral("Baud"), 0);
    if (s.rate < 1200 || s.rate > 115200)
        s.rate = 115200;
    ini.endGroup();

    ini.beginGroup(QStringLiteral("FFT"));
    s.winFun = readInt(ini, QStringLiteral("WinFun"), 0);
    if (s.winFun < 0 || s.winFun > 5)
        s.winFun = 0;
    ini.endGroup();

    ini.beginGroup(QStringLiteral("OTHERS"));
    s.lastDir = ini.value(QStringLiteral("OldDir")).toString();
    ini.endGroup();

    const ae::HitSettings defaults;
    ini.beginGroup(QStringLiteral("AE_HITS"));
    s.hits.thresholdV =
        readBounded(ini, QStringLiteral("ThresholdUV"), 1, MaxHitThresholdUV, defaults.thresholdV * 1e6) /
        1e6;
    s.hits.pdtUs = readBounded(ini, QStringLiteral("PDT"), 0, MaxHitTimeUs, defaults.pdtUs);
    s.hits.hdtUs = readBounded(ini, QStringLiteral("HDT"), 0, MaxHitTimeUs, defaults.hdtUs);
    s.hits.hltUs = readBounded(ini, QStringLiteral("HLT"), 0, MaxHitTimeUs, defaults.hltUs);
    ini.endGroup();

    readLocation(ini, s.location);
    const series::Settings seriesDefaults;
    ini.beginGroup(QStringLiteral("SERIES"));
    s.series.folder = ini.value(QStringLiteral("Folder")).toString();
    const QString prefix = ini.value(QStringLiteral("Prefix"), seriesDefaults.prefix).toString();
    s.series.prefix = series::validPrefix(prefix) ? prefix : seriesDefaults.prefix;
    s.series.count =
        int(readBounded(ini, QStringLiteral("Count"), 0, series::MaxCount, seriesDefaults.count));
    s.series.pauseS =
        int(readBounded(ini, QStringLiteral("Pause"), 0, series::MaxPauseS, seriesDefaults.pauseS));
    s.series.findHits =
        readBounded(ini, QStringLiteral("FindHits"), 0, 1, seriesDefaults.findHits ? 1 : 0) != 0;
    ini.endGroup();
}

bool writeSettings(const QString& path, const ProgramSettings& s)
{
    QSettings ini(path, QSettings::IniFormat);

    ini.beginGroup(QStringLiteral("WAVE_ADC"));
    ini.setValue(QStringLiteral("YAxis"), s.unitVolts ? 1 : 0);
    ini.setValue(QStringLiteral("ForAll"), s.forAll ? 1 : 0);
    ini.setValue(QStringLiteral("NumItems"), 2 * int(s.acquisition.halfLength));
    ini.setValue(QStringLiteral("WaitA"), int(s.acquisition.waitCount));
    ini.setValue(QStringLiteral("Sync"), int(s.acquisition.sync));
    ini.setValue(QStringLiteral("Detector"), int(s.acquisition.detector));
    ini.setValue(QStringLiteral("Mux"), int(s.acquisition.mux));
    for (int i = 0; i < 4; ++i)
        ini.setValue(QStringLiteral("Gain%1").arg(i), int(s.acquisition.gain[i]));
    ini.endGroup();

    ini.beginGroup(QStringLiteral("COLOR"));
    for (int i = 0; i < 4; ++i) {
        ini.setValue(QStringLiteral("GrColor%1").arg(i), packColour(s.traceColours[i]));
        ini.setValue(QStringLiteral("CursColor%1").arg(i), packColour(s.cursorColours[i]));
        ini.setValue(QStringLiteral("TextColor%1").arg(i), packColour(s.textColours[i]));
        ini.setValue(QStringLiteral("BackColor%1").arg(i), packColour(s.backColours[i]));
    }
    ini.endGroup();

    ini.beginGroup(QStringLiteral("COM"));
    ini.setValue(QStringLiteral("ComName"), s.portName);
    ini.setValue(QStringLiteral("Baud"), s.rate);
    ini.endGroup();

    ini.beginGroup(QStringLiteral("FFT"));
    ini.setValue(QStringLiteral("WinFun"), s.winFun);
    ini.endGroup();

    ini.beginGroup(QStringLiteral("OTHERS"));
    ini.setValue(QStringLiteral("OldDir"), QDir::toNativeSeparators(s.lastDir));
    ini.endGroup();

    ini.beginGroup(QStringLiteral("AE_HITS"));
    ini.setValue(QStringLiteral("ThresholdUV"), wholeWithin(s.hits.thresholdV * 1e6, 1, MaxHitThresholdUV));
    ini.setValue(QStringLiteral("PDT"), wholeWithin(s.hits.pdtUs, 0, MaxHitTimeUs));
    ini.setValue(QStringLiteral("HDT"), wholeWithin(s.hits.hdtUs, 0, MaxHitTimeUs));
    ini.setValue(QStringLiteral("HLT"), wholeWithin(s.hits.hltUs, 0, MaxHitTimeUs));
    ini.endGroup();

    writeLocation(ini, s.location);
    ini.beginGroup(QStringLiteral("SERIES"));
    ini.setValue(QStringLiteral("Folder"), QDir::toNativeSeparators(s.series.folder));
    ini.setValue(QStringLiteral("Prefix"), s.series.prefix);
    ini.setValue(QStringLiteral("Count"), s.series.count);
    ini.setValue(QStringLiteral("Pause"), s.series.pauseS);
    ini.setValue(QStringLiteral("FindHits"), s.series.findHits ? 1 : 0);
    ini.endGroup();

    ini.sync();
    return ini.status() == QSettings::NoError;
}

int readLanguageSetting(const QString& path)
{
    QSettings ini(path, QSettings::IniFormat);
    return ini.value(QStringLiteral("UI/Language")).toString() == QLatin1String("en") ? 1 : 0;
}

bool writeLanguageSetting(const QString& path, int language)
{
    QSettings ini(path, QSettings::IniFormat);
    ini.setValue(QStringLiteral("UI/Language"), language == 1 ? QStringLiteral("en") : QStringLiteral("ru"));
    ini.sync();
    return ini.status() == QSettings::NoError;
}

// ---- the main window's side ----

namespace {

// Runs write under the wait cursor until it succeeds or the user answers the question 0x1709
// with No; whether it succeeded.
bool writeAskingAgain(const std::function<bool()>& write)
{
    for (;;) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const bool ok = write();
        QApplication::restoreOverrideCursor();
        if (ok)
            return true;
        if (umisc::askQuestion(StringsKit::AskRetryIniSave, QString(), QString(), true, true,
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) != QMessageBox::Yes)
            return false;
    }
}

} // namespace

void MainWnd::loadSettings()
{
    if (!velkit::libraryMessager())
        return;
    settingsDir = QDir::toNativeSeparators(g_appDir) + QDir::separator();

    ProgramSettings s;
    for (int i = 0; i < 4; ++i) {
        s.traceColours[i] = g_traceColours[i];
        s.cursorColours[i] = g_cursorColours[i];
        s.textColours[i] = g_readoutTextColours[i];
        s.backColours[i] = g_readoutBackColours[i];
    }
    readSettings(settingsDir + QStringLiteral("adc.ini"), s);

    setUnit(s.unitVolts);
    forAll = s.forAll;
    g_acquisitionParameters = s.acquisition;
    for (int i = 0; i < 4; ++i) {
        g_traceColours[i] = s.traceColours[i];
        g_cursorColours[i] = s.cursorColours[i];
        g_readoutTextColours[i] = s.textColours[i];
        g_readoutBackColours[i] = s.backColours[i];
        setReadoutTextColour(s.textColours[i], i);
        setReadoutBackColour(s.backColours[i], i);
    }
    g_link.portName = s.portName;
    g_link.rate = s.rate;
    g_winFun = s.winFun;
    lastDir = s.lastDir;
    g_hitSettings = s.hits;
    g_locationSetup = s.location;
    g_seriesSettings = s.series;
    chosenLanguage = readLanguageSetting(settingsDir + QStringLiteral("adc.ini"));
    showLanguageChoice();
}

void MainWnd::saveSettings()
{
    if (!velkit::libraryMessager())
        return;
    ProgramSettings s;
    s.unitVolts = unitVolts();
    s.forAll = forAll;
    s.acquisition = g_acquisitionParameters;
    for (int i = 0; i < 4; ++i) {
        s.traceColours[i] = g_traceColours[i];
        s.cursorColours[i] = g_cursorColours[i];
        s.textColours[i] = g_readoutTextColours[i];
        s.backColours[i] = g_readoutBackColours[i];
    }
    s.portName = g_link.portName;
    s.rate = g_link.rate;
    s.winFun = g_winFun;
    s.lastDir = lastDir;
    s.hits = g_hitSettings;
    s.location = g_locationSetup;
    s.series = g_seriesSettings;

    writeAskingAgain([&] { return writeSettings(settingsDir + QStringLiteral("adc.ini"), s); });
}

void MainWnd::chooseLanguage(int language)
{
    if (language == chosenLanguage)
        return;
    if (writeAskingAgain(
            [&] { return writeLanguageSetting(settingsDir + QStringLiteral("adc.ini"), language); }))
        chosenLanguage = language;
    showLanguageChoice(); // a choice that could not be stored is taken back
    if (chosenLanguage == language && language != g_language)
        umisc::showInformation(StringsKit::InfoLanguageNextStart);
}

void MainWnd::showLanguageChoice()
{
    if (ui)
        (chosenLanguage == language::English ? ui->aLangEn : ui->aLangRu)->setChecked(true);
}
