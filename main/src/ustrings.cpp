#include "ustrings.h"

StringsKit& StringsKit::instance()
{
    static StringsKit kit;
    return kit;
}

void StringsKit::fill()
{
    verticalScale = tr("Масштаб по вертикали");
    horizontalStretch = tr("Растяжка по горизонтали");
    stop = tr("STOP");
    smoothingParameter = tr("Параметр сглаживания");
    buffer = tr("Буфер");
    saveTimesToBuffer = tr("Сохранить времена в буфере");
    centreCursors = tr("Установить курсоры по центру экрана");
    selectionModeSwitch = tr("Переключатель режима выделения");

    m_meanNeedsSelection = tr("Необходимо выделить участок\nдля расчета среднего значения");
    m_closeSpectrumFirst = tr("Вначале закройте окно со спектром!");
    m_readFailed = tr("Ошибка чтения файла %1");
    m_writeFailed = tr("Ошибка записи файла %1");
    m_loadFailed = tr("Ошибка загрузки!");
    m_wrongNumber = tr("Неправильное число!");
    m_badSelection = tr("Необходимо правильно выделить область.");
    m_maxNeedsSelection = tr("Необходимо выделить участок для поиска максимума.");
    m_zeroNeedsSelection = tr("Необходимо выделить участок для обнуления.");
    m_tooNarrowForFFT = tr("Ширина отображаемого участка недостаточна для Фурье-преобразования!\n"
                           "Необходимо увеличить масштаб.");
    m_noSamplingRate = tr("Частота дискретизации записи не задана:\nфайл WAV не записан.");
    m_locationNoPeriod = tr("Частота дискретизации записи неизвестна: времена прихода не определены,\n"
                            "локация источников невозможна.");
    m_locationMissingChannel = tr("В записи нет канала %1, для которого задан датчик.");
    m_locationCoincident = tr("Датчики каналов %1 и %2 стоят в одной точке.");
    m_locationMixed = tr("Задайте для всех отмеченных датчиков либо только X (линейная локация),\n"
                         "либо X и Y (плоскостная локация).");
    m_locationTooFew = tr("Отметьте не меньше двух датчиков (для плоскостной локации — не меньше трёх).");
    m_locationVelocity = tr("Скорость волны должна быть больше 0.");
    m_locationPosition = tr("Неправильная координата датчика канала %1: %2");
    m_seriesWindowBusy = tr("Окно %1 занято серией записей.\nКоманда будет доступна после окончания серии.");
    m_seriesUnitBusy = tr("Идёт серия записей: блок оцифровки занят.\n"
                          "Команда будет доступна после окончания серии.");
    m_seriesLoadFailed = tr("Ошибка загрузки!\nНеудачных попыток подряд: %1. Серия остановлена, "
                            "записей сохранено: %2.");
    m_seriesWriteFailed = tr("Ошибка записи файла %1 (%2).\nСерия остановлена.");
    m_seriesNoFolder = tr("Не указана папка серии.\nСерия не запущена.");
    m_seriesFolderMissing = tr("Папка %1 не найдена.\nСерия не запущена.");
    m_seriesBadValue = tr("Неверное значение %1: \"%2\".\nСерия не запущена.");
    m_seriesBadPrefix = tr("Недопустимое начало имён файлов \"%1\".\nНельзя: пустое, точка или пробел "
                           "в начале, символы / \\ : * ? \" < > | и запятая.");
    m_seriesNoFreeName = tr("Все номера записей %1 заняты.\nСерия остановлена.");
    m_seriesNoValue = tr("Не задано значение %1.\nСерия не запущена.");
    m_badLanguage = tr("Неизвестный язык интерфейса \"%1\" в параметре --lang.\n"
                       "Допустимы ru и en; язык взят из настроек.");
    m_info = QStringLiteral("%1");
    m_languageNextStart = tr("Язык интерфейса сменится при следующем запуске программы.");
    m_askInverseFFT = tr("Выполнить обратное преобразование?");
    m_askCloseChanged = tr("Данные в окне %1 изменены!\nЗакрыть окно?");
    m_askWindowFunction = tr("Была использована оконная функция.\nДанные будут искажены.\n"
                             "Выполнить преобразование?");
    m_askRetryIniSave = tr("Ошибка сохранения ini-файла.\nПовторить?");
    m_askStopSeries = tr("Идёт серия записей в папку %1.\nОстановить серию?");
}

QString StringsKit::warnText(int number) const
{
    switch (number) {
    case WarnMeanNeedsSelection: return m_meanNeedsSelection;
    case WarnCloseSpectrumFirst: return m_closeSpectrumFirst;
    case WarnReadFailed: return m_readFailed;
    case WarnWriteFailed: return m_writeFailed;
    case WarnLoadFailed: return m_loadFailed;
    case WarnWrongNumber: return m_wrongNumber;
    case WarnBadSelection: return m_badSelection;
    case WarnMaxNeedsSelection: return m_maxNeedsSelection;
    case WarnZeroNeedsSelection: return m_zeroNeedsSelection;
    case WarnTooNarrowForFFT: return m_tooNarrowForFFT;
    case WarnNoSamplingRate: return m_noSamplingRate;
    case WarnLocationNoPeriod: return m_locationNoPeriod;
    case WarnLocationMissingChannel: return m_locationMissingChannel;
    case WarnLocationCoincident: return m_locationCoincident;
    case WarnLocationMixed: return m_locationMixed;
    case WarnLocationTooFew: return m_locationTooFew;
    case WarnLocationVelocity: return m_locationVelocity;
    case WarnLocationPosition: return m_locationPosition;
    case WarnSeriesWindowBusy: return m_seriesWindowBusy;
    case WarnSeriesUnitBusy: return m_seriesUnitBusy;
    case WarnSeriesLoadFailed: return m_seriesLoadFailed;
    case WarnSeriesWriteFailed: return m_seriesWriteFailed;
    case WarnSeriesNoFolder: return m_seriesNoFolder;
    case WarnSeriesFolderMissing: return m_seriesFolderMissing;
    case WarnSeriesBadValue: return m_seriesBadValue;
    case WarnSeriesBadPrefix: return m_seriesBadPrefix;
    case WarnSeriesNoFreeName: return m_seriesNoFreeName;
    case WarnSeriesNoValue: return m_seriesNoValue;
    case WarnBadLanguage: return m_badLanguage;
    default: return QString::number(number);
    }
}

QString StringsKit::infoText(int number) const
{
    switch (number) {
    case InfoText: return m_info;
    case InfoLanguageNextStart: return m_languageNextStart;
    default: return QString::number(number);
    }
}

QString StringsKit::questionText(int number) const
{
    switch (number) {
    case AskInverseFFT: return m_askInverseFFT;
    case AskCloseChanged: return m_askCloseChanged;
    case AskWindowFunction: return m_askWindowFunction;
    case AskRetryIniSave: return m_askRetryIniSave;
    case AskStopSeries: return m_askStopSeries;
    default: return QString::number(number);
    }
}
