<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>AboutDialog</name>
    <message>
        <source>О программе</source>
        <translation>About</translation>
    </message>
    <message>
        <source>&amp;Ok</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>Программа ввода
и обработки
информации от
акустических
датчиков</source>
        <translation>Input and
processing of
signals from
acoustic
sensors</translation>
    </message>
    <message>
        <source>ver. %1 %2</source>
        <translation>ver. %1 %2</translation>
    </message>
    <message>
        <source>© Zoriv, 2012</source>
        <translation>© Zoriv, 2012</translation>
    </message>
    <message>
        <source>Для Linux и Windows</source>
        <translation>For Linux and Windows</translation>
    </message>
</context>
<context>
    <name>AnalysisWindow</name>
    <message>
        <source>Анализ АЭ</source>
        <translation>AE analysis</translation>
    </message>
    <message>
        <source>Каналы:</source>
        <translation>Channels:</translation>
    </message>
    <message>
        <source>Сводка по отмеченным каналам: число импульсов, суммарная энергия, наибольшая амплитуда, b-value</source>
        <translation>Summary of the ticked channels: number of hits, total energy, largest amplitude, b-value</translation>
    </message>
    <message>
        <source>&amp;Копировать</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>Сводку в буфер обмена</source>
        <translation>Copy the summary to the clipboard</translation>
    </message>
    <message>
        <source>&amp;Экспорт CSV…</source>
        <translation>&amp;Export CSV…</translation>
    </message>
    <message>
        <source>Сводку в файл CSV</source>
        <translation>Save the summary as a CSV file</translation>
    </message>
    <message>
        <source>График, который сохраняют кнопки PNG и SVG</source>
        <translation>The plot that the PNG and SVG buttons save</translation>
    </message>
    <message>
        <source>&amp;PNG…</source>
        <translation>&amp;PNG…</translation>
    </message>
    <message>
        <source>Сохранить выбранный график в PNG</source>
        <translation>Save the chosen plot as PNG</translation>
    </message>
    <message>
        <source>&amp;SVG…</source>
        <translation>&amp;SVG…</translation>
    </message>
    <message>
        <source>Сохранить выбранный график в SVG</source>
        <translation>Save the chosen plot as SVG</translation>
    </message>
    <message>
        <source>&amp;Закрыть</source>
        <translation>C&amp;lose</translation>
    </message>
</context>
<context>
    <name>ExportDialog</name>
    <message>
        <source>Экспорт</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>Значения</source>
        <translation>Values</translation>
    </message>
    <message>
        <source>&amp;Вольты</source>
        <translation>&amp;Volts</translation>
    </message>
    <message>
        <source>&amp;Отсчёты АЦП</source>
        <translation>&amp;ADC codes</translation>
    </message>
    <message>
        <source>&amp;После обработки</source>
        <translation>&amp;Processed</translation>
    </message>
    <message>
        <source>Участок</source>
        <translation>Range</translation>
    </message>
    <message>
        <source>Вся &amp;запись</source>
        <translation>&amp;Whole record</translation>
    </message>
    <message>
        <source>Выделенный &amp;участок</source>
        <translation>&amp;Selection</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>FFTDlg</name>
    <message>
        <source>Фурье преобразование</source>
        <translation>Fourier transform</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Канал</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>2</source>
        <translation>2</translation>
    </message>
    <message>
        <source>3</source>
        <translation>3</translation>
    </message>
    <message>
        <source>4</source>
        <translation>4</translation>
    </message>
    <message>
        <source>Объём выборки</source>
        <translation>Sample size</translation>
    </message>
    <message>
        <source>128</source>
        <translation>128</translation>
    </message>
    <message>
        <source>256</source>
        <translation>256</translation>
    </message>
    <message>
        <source>512</source>
        <translation>512</translation>
    </message>
    <message>
        <source>F=0</source>
        <translation>F=0</translation>
    </message>
    <message>
        <source>T=0</source>
        <translation>T=0</translation>
    </message>
</context>
<context>
    <name>HitSetDialog</name>
    <message>
        <source>Поиск импульсов АЭ</source>
        <translation>AE hit search</translation>
    </message>
    <message>
        <source>&amp;Порог:</source>
        <translation>&amp;Threshold:</translation>
    </message>
    <message>
        <source>Порог по напряжению на входе (по модулю)</source>
        <translation>Threshold on the input voltage (absolute value)</translation>
    </message>
    <message>
        <source> В</source>
        <translation> V</translation>
    </message>
    <message>
        <source>= 100.0 дБ отн. 1 мкВ</source>
        <translation>= 100.0 dB re 1 µV</translation>
    </message>
    <message>
        <source>&amp;PDT, время определения пика:</source>
        <translation>&amp;PDT, peak definition time:</translation>
    </message>
    <message>
        <source> мкс</source>
        <translation> µs</translation>
    </message>
    <message>
        <source>&amp;HDT, время определения импульса:</source>
        <translation>&amp;HDT, hit definition time:</translation>
    </message>
    <message>
        <source>H&amp;LT, время блокировки:</source>
        <translation>H&amp;LT, hit lockout time:</translation>
    </message>
</context>
<context>
    <name>HitTable</name>
    <message>
        <source>Импульсы АЭ</source>
        <translation>AE hits</translation>
    </message>
    <message>
        <source>Двойной щелчок: курсор канала на приход импульса</source>
        <translation>Double-click: the channel cursor goes to the hit arrival</translation>
    </message>
    <message>
        <source>&amp;Копировать</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>Выделенные строки в буфер обмена (Ctrl+C)</source>
        <translation>Copy the selected rows to the clipboard (Ctrl+C)</translation>
    </message>
    <message>
        <source>&amp;Экспорт CSV…</source>
        <translation>&amp;Export CSV…</translation>
    </message>
    <message>
        <source>&amp;Закрыть</source>
        <translation>C&amp;lose</translation>
    </message>
    <message>
        <source>&amp;Графики…</source>
        <translation>&amp;Plots…</translation>
    </message>
    <message>
        <source>Графики анализа АЭ по найденным импульсам</source>
        <translation>AE analysis plots of the hits found</translation>
    </message>
</context>
<context>
    <name>InfoDialog</name>
    <message>
        <source>Информация</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>Версия:</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source>Количество графиков: </source>
        <translation>Channels: </translation>
    </message>
    <message>
        <source>Размер в сэмплах: </source>
        <translation>Size in samples: </translation>
    </message>
    <message>
        <source>Частота оцифровки: </source>
        <translation>Sampling rate: </translation>
    </message>
    <message>
        <source>Входной мультиплексор: </source>
        <translation>Input multiplexer: </translation>
    </message>
    <message>
        <source>Тип синхронизации: </source>
        <translation>Synchronization: </translation>
    </message>
    <message>
        <source>Детектор: </source>
        <translation>Detector: </translation>
    </message>
    <message>
        <source>Усиление: </source>
        <translation>Gain: </translation>
    </message>
    <message>
        <source>&amp;Ok</source>
        <translation>&amp;OK</translation>
    </message>
</context>
<context>
    <name>LoadProgress</name>
    <message>
        <source>Загрузка</source>
        <translation>Loading</translation>
    </message>
    <message>
        <source>%p%</source>
        <translation>%p%</translation>
    </message>
    <message>
        <source>Прекратить</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>STOP</source>
        <translation>STOP</translation>
    </message>
</context>
<context>
    <name>LocationDialog</name>
    <message>
        <source>Локация источников АЭ</source>
        <translation>AE source location</translation>
    </message>
    <message>
        <source>Датчики</source>
        <translation>Sensors</translation>
    </message>
    <message>
        <source>Координаты в метрах. Y пусто у всех отмеченных — линейная локация, X и Y — плоскостная.</source>
        <translation>Coordinates in metres. Y empty for all sensors ticked: linear location; X and Y: planar.</translation>
    </message>
    <message>
        <source>X, м</source>
        <translation>X, m</translation>
    </message>
    <message>
        <source>Y, м</source>
        <translation>Y, m</translation>
    </message>
    <message>
        <source>Канал &amp;1</source>
        <translation>Channel &amp;1</translation>
    </message>
    <message>
        <source>Координата X датчика канала 1, м</source>
        <translation>X of the sensor of channel 1, m</translation>
    </message>
    <message>
        <source>Координата Y датчика канала 1, м (пусто — линейная локация)</source>
        <translation>Y of the sensor of channel 1, m (empty: linear location)</translation>
    </message>
    <message>
        <source>Канал &amp;2</source>
        <translation>Channel &amp;2</translation>
    </message>
    <message>
        <source>Координата X датчика канала 2, м</source>
        <translation>X of the sensor of channel 2, m</translation>
    </message>
    <message>
        <source>Координата Y датчика канала 2, м (пусто — линейная локация)</source>
        <translation>Y of the sensor of channel 2, m (empty: linear location)</translation>
    </message>
    <message>
        <source>Канал &amp;3</source>
        <translation>Channel &amp;3</translation>
    </message>
    <message>
        <source>Координата X датчика канала 3, м</source>
        <translation>X of the sensor of channel 3, m</translation>
    </message>
    <message>
        <source>Координата Y датчика канала 3, м (пусто — линейная локация)</source>
        <translation>Y of the sensor of channel 3, m (empty: linear location)</translation>
    </message>
    <message>
        <source>Канал &amp;4</source>
        <translation>Channel &amp;4</translation>
    </message>
    <message>
        <source>Координата X датчика канала 4, м</source>
        <translation>X of the sensor of channel 4, m</translation>
    </message>
    <message>
        <source>Координата Y датчика канала 4, м (пусто — линейная локация)</source>
        <translation>Y of the sensor of channel 4, m (empty: linear location)</translation>
    </message>
    <message>
        <source>Канал &amp;5</source>
        <translation>Channel &amp;5</translation>
    </message>
    <message>
        <source>Координата X датчика канала 5, м</source>
        <translation>X of the sensor of channel 5, m</translation>
    </message>
    <message>
        <source>Координата Y датчика канала 5, м (пусто — линейная локация)</source>
        <translation>Y of the sensor of channel 5, m (empty: linear location)</translation>
    </message>
    <message>
        <source>Волна и события</source>
        <translation>Wave and events</translation>
    </message>
    <message>
        <source>С&amp;корость волны:</source>
        <translation>Wave &amp;velocity:</translation>
    </message>
    <message>
        <source> м/с</source>
        <translation> m/s</translation>
    </message>
    <message>
        <source>&amp;Момент прихода:</source>
        <translation>A&amp;rrival time:</translation>
    </message>
    <message>
        <source>AIC — начало по форме сигнала</source>
        <translation>AIC: onset from the waveform</translation>
    </message>
    <message>
        <source>Порог — первое пересечение</source>
        <translation>Threshold: first crossing</translation>
    </message>
    <message>
        <source>Окно &amp;AIC:</source>
        <translation>A&amp;IC window:</translation>
    </message>
    <message>
        <source>Сколько сигнала до первого пересечения порога просматривается в поисках начала</source>
        <translation>How much of the signal before the first threshold crossing is searched for the onset</translation>
    </message>
    <message>
        <source> мкс</source>
        <translation> µs</translation>
    </message>
    <message>
        <source>Окно &amp;события:</source>
        <translation>&amp;Event window:</translation>
    </message>
    <message>
        <source>Импульсы других каналов, пришедшие в это окно после первого, относятся к одному событию</source>
        <translation>Hits of other channels arriving within this window after the first belong to one event</translation>
    </message>
    <message>
        <source>авто</source>
        <translation>auto</translation>
    </message>
    <message>
        <source>Поиск импульсов</source>
        <translation>Hit search</translation>
    </message>
    <message>
        <source>&amp;Порог:</source>
        <translation>&amp;Threshold:</translation>
    </message>
    <message>
        <source>Порог по напряжению на входе (по модулю)</source>
        <translation>Threshold on the input voltage (absolute value)</translation>
    </message>
    <message>
        <source> В</source>
        <translation> V</translation>
    </message>
    <message>
        <source>&amp;PDT, время определения пика:</source>
        <translation>&amp;PDT, peak definition time:</translation>
    </message>
    <message>
        <source>&amp;HDT, время определения импульса:</source>
        <translation>&amp;HDT, hit definition time:</translation>
    </message>
    <message>
        <source>H&amp;LT, время блокировки:</source>
        <translation>H&amp;LT, hit lockout time:</translation>
    </message>
</context>
<context>
    <name>LocationWindow</name>
    <message>
        <source>Локация АЭ</source>
        <translation>AE location</translation>
    </message>
    <message>
        <source>Выбранное событие: курсоры каналов окна на моменты прихода</source>
        <translation>The event selected: the window&apos;s channel cursors go to its arrival times</translation>
    </message>
    <message>
        <source>Экспорт &amp;карты…</source>
        <translation>Export &amp;map…</translation>
    </message>
    <message>
        <source>Карта как рисунок PNG или SVG</source>
        <translation>The map as a PNG or SVG picture</translation>
    </message>
    <message>
        <source>&amp;Экспорт CSV…</source>
        <translation>&amp;Export CSV…</translation>
    </message>
    <message>
        <source>&amp;Закрыть</source>
        <translation>&amp;Close</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Программа ввода и обработки информации для ZORIV-K4</source>
        <translation>Data input and processing for ZORIV-K4</translation>
    </message>
    <message>
        <source>T1=000000.0uS</source>
        <translation>T1=000000.0uS</translation>
    </message>
    <message>
        <source>T2=000000.0uS</source>
        <translation>T2=000000.0uS</translation>
    </message>
    <message>
        <source>T3=000000.0uS</source>
        <translation>T3=000000.0uS</translation>
    </message>
    <message>
        <source>T4=000000.0uS</source>
        <translation>T4=000000.0uS</translation>
    </message>
    <message>
        <source>Y1=+0.00mV</source>
        <translation>Y1=+0.00mV</translation>
    </message>
    <message>
        <source>Y2=+0.00mV</source>
        <translation>Y2=+0.00mV</translation>
    </message>
    <message>
        <source>Y3=+0.00mV</source>
        <translation>Y3=+0.00mV</translation>
    </message>
    <message>
        <source>Y4=+0.00mV</source>
        <translation>Y4=+0.00mV</translation>
    </message>
    <message>
        <source>&amp;Файлы</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>&amp;Настройки</source>
        <translation>&amp;Settings</translation>
    </message>
    <message>
        <source>&amp;Размерность по Y</source>
        <translation>Y &amp;units</translation>
    </message>
    <message>
        <source>&amp;Язык интерфейса</source>
        <translation>Interface &amp;language</translation>
    </message>
    <message>
        <source>&amp;Масштаб</source>
        <translation>&amp;Zoom</translation>
    </message>
    <message>
        <source>&amp;Цвета</source>
        <translation>&amp;Colors</translation>
    </message>
    <message>
        <source>Ф&amp;ильтры</source>
        <translation>F&amp;ilters</translation>
    </message>
    <message>
        <source>&amp;Обработка</source>
        <translation>&amp;Processing</translation>
    </message>
    <message>
        <source>О&amp;кно</source>
        <translation>&amp;Window</translation>
    </message>
    <message>
        <source>&amp;Справка</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>Панель инструментов</source>
        <translation>Toolbar</translation>
    </message>
    <message>
        <source>&amp;Новый</source>
        <translation>&amp;New</translation>
    </message>
    <message>
        <source>Ctrl+N</source>
        <translation>Ctrl+N</translation>
    </message>
    <message>
        <source>&amp;Чтение</source>
        <translation>&amp;Open</translation>
    </message>
    <message>
        <source>Ctrl+R</source>
        <translation>Ctrl+R</translation>
    </message>
    <message>
        <source>&amp;Запись</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>Ctrl+W</source>
        <translation>Ctrl+W</translation>
    </message>
    <message>
        <source>&amp;Экспорт в CSV…</source>
        <translation>&amp;Export to CSV…</translation>
    </message>
    <message>
        <source>Экспорт в &amp;WAV…</source>
        <translation>Export to &amp;WAV…</translation>
    </message>
    <message>
        <source>&amp;Информация</source>
        <translation>&amp;Information</translation>
    </message>
    <message>
        <source>Ctrl+I</source>
        <translation>Ctrl+I</translation>
    </message>
    <message>
        <source>&amp;Печать</source>
        <translation>&amp;Print</translation>
    </message>
    <message>
        <source>Вы&amp;ход</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>Alt+X</source>
        <translation>Alt+X</translation>
    </message>
    <message>
        <source>&amp;Запуск оцифровки</source>
        <translation>&amp;Run acquisition</translation>
    </message>
    <message>
        <source>Оцифровка сигналов</source>
        <translation>Acquire the signals</translation>
    </message>
    <message>
        <source>F9</source>
        <translation>F9</translation>
    </message>
    <message>
        <source>&amp;Оцифровка</source>
        <translation>&amp;Acquisition parameters</translation>
    </message>
    <message>
        <source>Установка параметров оцифровки</source>
        <translation>Acquisition parameters</translation>
    </message>
    <message>
        <source>Ctrl+A</source>
        <translation>Ctrl+A</translation>
    </message>
    <message>
        <source>&amp;Синус</source>
        <translation>S&amp;ine</translation>
    </message>
    <message>
        <source>Ctrl+U</source>
        <translation>Ctrl+U</translation>
    </message>
    <message>
        <source>COM &amp;порт</source>
        <translation>&amp;COM port</translation>
    </message>
    <message>
        <source>Ctrl+P</source>
        <translation>Ctrl+P</translation>
    </message>
    <message>
        <source>Со&amp;хранить</source>
        <translation>Sa&amp;ve settings</translation>
    </message>
    <message>
        <source>Ctrl+S</source>
        <translation>Ctrl+S</translation>
    </message>
    <message>
        <source>&amp;Вольты</source>
        <translation>&amp;Volts</translation>
    </message>
    <message>
        <source>&amp;Кулоны</source>
        <translation>&amp;Coulombs</translation>
    </message>
    <message>
        <source>&amp;Увеличить</source>
        <translation>Zoom &amp;in</translation>
    </message>
    <message>
        <source>+</source>
        <translation>+</translation>
    </message>
    <message>
        <source>У&amp;меньшить</source>
        <translation>Zoom &amp;out</translation>
    </message>
    <message>
        <source>-</source>
        <translation>-</translation>
    </message>
    <message>
        <source>По &amp;выделению</source>
        <translation>Zoom to &amp;selection</translation>
    </message>
    <message>
        <source>Space</source>
        <translation>Space</translation>
    </message>
    <message>
        <source>График &amp;1</source>
        <translation>Trace &amp;1</translation>
    </message>
    <message>
        <source>График &amp;2</source>
        <translation>Trace &amp;2</translation>
    </message>
    <message>
        <source>График &amp;3</source>
        <translation>Trace &amp;3</translation>
    </message>
    <message>
        <source>График &amp;4</source>
        <translation>Trace &amp;4</translation>
    </message>
    <message>
        <source>Курсор &amp;1</source>
        <translation>Cursor &amp;1</translation>
    </message>
    <message>
        <source>Курсор &amp;2</source>
        <translation>Cursor &amp;2</translation>
    </message>
    <message>
        <source>Курсор &amp;3</source>
        <translation>Cursor &amp;3</translation>
    </message>
    <message>
        <source>Курсор &amp;4</source>
        <translation>Cursor &amp;4</translation>
    </message>
    <message>
        <source>Текст &amp;1</source>
        <translation>Text &amp;1</translation>
    </message>
    <message>
        <source>Текст &amp;2</source>
        <translation>Text &amp;2</translation>
    </message>
    <message>
        <source>Текст &amp;3</source>
        <translation>Text &amp;3</translation>
    </message>
    <message>
        <source>Текст &amp;4</source>
        <translation>Text &amp;4</translation>
    </message>
    <message>
        <source>Фон &amp;1</source>
        <translation>Background &amp;1</translation>
    </message>
    <message>
        <source>Фон &amp;2</source>
        <translation>Background &amp;2</translation>
    </message>
    <message>
        <source>Фон &amp;3</source>
        <translation>Background &amp;3</translation>
    </message>
    <message>
        <source>Фон &amp;4</source>
        <translation>Background &amp;4</translation>
    </message>
    <message>
        <source>&amp;Квадрат</source>
        <translation>&amp;Square</translation>
    </message>
    <message>
        <source>Ctrl+K</source>
        <translation>Ctrl+K</translation>
    </message>
    <message>
        <source>&amp;Детектирование</source>
        <translation>&amp;Detection</translation>
    </message>
    <message>
        <source>Ctrl+D</source>
        <translation>Ctrl+D</translation>
    </message>
    <message>
        <source>&amp;Сглаживание</source>
        <translation>S&amp;moothing</translation>
    </message>
    <message>
        <source>Ctrl+F</source>
        <translation>Ctrl+F</translation>
    </message>
    <message>
        <source>&amp;Производная</source>
        <translation>De&amp;rivative</translation>
    </message>
    <message>
        <source>Ctrl+Shift+P</source>
        <translation>Ctrl+Shift+P</translation>
    </message>
    <message>
        <source>Ctrl+Z</source>
        <translation>Ctrl+Z</translation>
    </message>
    <message>
        <source>Просмотр &amp;БПФ</source>
        <translation>FFT pre&amp;view</translation>
    </message>
    <message>
        <source>Ctrl+Shift+F</source>
        <translation>Ctrl+Shift+F</translation>
    </message>
    <message>
        <source>&amp;Прямое БПФ</source>
        <translation>&amp;Forward FFT</translation>
    </message>
    <message>
        <source>&amp;Обратное БПФ</source>
        <translation>&amp;Inverse FFT</translation>
    </message>
    <message>
        <source>&amp;Настройка БПФ</source>
        <translation>FFT &amp;settings</translation>
    </message>
    <message>
        <source>Поиск &amp;максимума</source>
        <translation>Find the &amp;maximum</translation>
    </message>
    <message>
        <source>&amp;Расчёт среднего зн.</source>
        <translation>Me&amp;an value</translation>
    </message>
    <message>
        <source>Поиск импульсов &amp;АЭ…</source>
        <translation>Find AE &amp;hits…</translation>
    </message>
    <message>
        <source>&amp;Каскад</source>
        <translation>&amp;Cascade</translation>
    </message>
    <message>
        <source>Shift+F5</source>
        <translation>Shift+F5</translation>
    </message>
    <message>
        <source>&amp;Мозаика</source>
        <translation>&amp;Tile</translation>
    </message>
    <message>
        <source>Shift+F4</source>
        <translation>Shift+F4</translation>
    </message>
    <message>
        <source>&amp;Следующее</source>
        <translation>&amp;Next</translation>
    </message>
    <message>
        <source>Ctrl+F6</source>
        <translation>Ctrl+F6</translation>
    </message>
    <message>
        <source>&amp;Предыдущее</source>
        <translation>&amp;Previous</translation>
    </message>
    <message>
        <source>Ctrl+F7</source>
        <translation>Ctrl+F7</translation>
    </message>
    <message>
        <source>&amp;Закрыть</source>
        <translation>Cl&amp;ose</translation>
    </message>
    <message>
        <source>Ctrl+F4</source>
        <translation>Ctrl+F4</translation>
    </message>
    <message>
        <source>М&amp;инимизировать</source>
        <translation>&amp;Minimize</translation>
    </message>
    <message>
        <source>Минимизировать &amp;всё</source>
        <translation>Minimize &amp;all</translation>
    </message>
    <message>
        <source>&amp;О программе</source>
        <translation>&amp;About</translation>
    </message>
    <message>
        <source>С&amp;ерия записей…</source>
        <translation>Record s&amp;eries…</translation>
    </message>
    <message>
        <source>Запись за записью с сохранением в папку и журналом series.csv</source>
        <translation>Record after record, saved into a folder with the log series.csv</translation>
    </message>
    <message>
        <source>С&amp;топ</source>
        <translation>S&amp;top series</translation>
    </message>
    <message>
        <source>Остановить серию записей (Esc)</source>
        <translation>Stop the record series (Esc)</translation>
    </message>
    <message>
        <source>Esc</source>
        <translation>Esc</translation>
    </message>
    <message>
        <source>&amp;Открыть серию…</source>
        <translation>Open se&amp;ries…</translation>
    </message>
    <message>
        <source>Таблица записей папки серии</source>
        <translation>Table of the records in a series folder</translation>
    </message>
    <message>
        <source>&amp;Локация источников АЭ…</source>
        <translation>AE source &amp;location…</translation>
    </message>
    <message>
        <source>Обн&amp;уление</source>
        <translation>&amp;Zeroing</translation>
    </message>
</context>
<context>
    <name>MainWnd</name>
    <message>
        <source>Открыть серию</source>
        <translation>Open series</translation>
    </message>
    <message>
        <source>Серия — %1</source>
        <translation>Series — %1</translation>
    </message>
</context>
<context>
    <name>PrintDialog</name>
    <message>
        <source>Печать</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>&amp;Ok</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <source>&amp;Setup</source>
        <translation>&amp;Setup</translation>
    </message>
    <message>
        <source>&amp;Export</source>
        <translation>&amp;Export</translation>
    </message>
    <message>
        <source>&amp;Печать в файл</source>
        <translation>Print to &amp;file</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Экспорт в CSV</source>
        <translation>Export to CSV</translation>
    </message>
    <message>
        <source>Экспорт в WAV</source>
        <translation>Export to WAV</translation>
    </message>
    <message>
        <source>Экспорт: %1</source>
        <translation>Exporting: %1</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source> Гц</source>
        <translation> Hz</translation>
    </message>
    <message>
        <source>внешняя</source>
        <translation>external</translation>
    </message>
    <message>
        <source>внутренняя</source>
        <translation>internal</translation>
    </message>
    <message>
        <source>вкл </source>
        <translation>on </translation>
    </message>
    <message>
        <source>вык </source>
        <translation>off </translation>
    </message>
    <message>
        <source>Идет преобразование...</source>
        <translation>Transforming...</translation>
    </message>
</context>
<context>
    <name>SelSigDialog</name>
    <message>
        <source>Обнуление</source>
        <translation>Zeroing</translation>
    </message>
    <message>
        <source>Выберите каналы:</source>
        <translation>Choose the channels:</translation>
    </message>
    <message>
        <source>Канал 1</source>
        <translation>Channel 1</translation>
    </message>
    <message>
        <source>Канал 2</source>
        <translation>Channel 2</translation>
    </message>
    <message>
        <source>Канал 3</source>
        <translation>Channel 3</translation>
    </message>
    <message>
        <source>Канал 4</source>
        <translation>Channel 4</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>All</source>
        <translation>All</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>SeriesDialog</name>
    <message>
        <source>Серия записей</source>
        <translation>Record series</translation>
    </message>
    <message>
        <source>&amp;Папка:</source>
        <translation>&amp;Folder:</translation>
    </message>
    <message>
        <source>Папка, в которую сохраняются записи и журнал series.csv</source>
        <translation>The folder the records and the log series.csv are saved in</translation>
    </message>
    <message>
        <source>&amp;Обзор…</source>
        <translation>&amp;Browse…</translation>
    </message>
    <message>
        <source>&amp;Начало имён файлов:</source>
        <translation>File name &amp;prefix:</translation>
    </message>
    <message>
        <source>→ rec_00001.raw</source>
        <translation>→ rec_00001.raw</translation>
    </message>
    <message>
        <source>&amp;Число записей:</source>
        <translation>&amp;Number of records:</translation>
    </message>
    <message>
        <source>0: записывать до остановки (Стоп, Esc)</source>
        <translation>0: record until stopped (Stop series, Esc)</translation>
    </message>
    <message>
        <source>до остановки</source>
        <translation>until stopped</translation>
    </message>
    <message>
        <source>П&amp;ауза между записями:</source>
        <translation>P&amp;ause between records:</translation>
    </message>
    <message>
        <source> с</source>
        <translation> s</translation>
    </message>
    <message>
        <source>&amp;Искать импульсы АЭ</source>
        <translation>Find AE &amp;hits</translation>
    </message>
    <message>
        <source>Поиск импульсов в каждой записи с параметрами команды «Поиск импульсов АЭ…»; число найденных — в журнале</source>
        <translation>Find the hits of each record with the settings of the command &quot;Find AE hits…&quot;; the number found goes into the log</translation>
    </message>
</context>
<context>
    <name>SeriesTable</name>
    <message>
        <source>Записи серии</source>
        <translation>Series records</translation>
    </message>
    <message>
        <source>Двойной щелчок или Enter: открыть запись</source>
        <translation>Double-click or Enter: open the record</translation>
    </message>
    <message>
        <source>&amp;Обновить</source>
        <translation>&amp;Refresh</translation>
    </message>
    <message>
        <source>Прочитать журнал и папку заново (F5)</source>
        <translation>Read the log and the folder again (F5)</translation>
    </message>
    <message>
        <source>&amp;Закрыть</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>&amp;Графики…</source>
        <translation>&amp;Plots…</translation>
    </message>
    <message>
        <source>Графики анализа АЭ по всем импульсам серии; во время серии дополняются новыми записями</source>
        <translation>AE analysis plots of every hit of the series; during a series they take in each new record</translation>
    </message>
</context>
<context>
    <name>SetRecordDialog</name>
    <message>
        <source>Установка параметров оцифровки</source>
        <translation>Acquisition parameters</translation>
    </message>
    <message>
        <source>Входной мультиплексор</source>
        <translation>Input multiplexer</translation>
    </message>
    <message>
        <source>1-4</source>
        <translation>1-4</translation>
    </message>
    <message>
        <source>5-8</source>
        <translation>5-8</translation>
    </message>
    <message>
        <source>9-12</source>
        <translation>9-12</translation>
    </message>
    <message>
        <source>13-16</source>
        <translation>13-16</translation>
    </message>
    <message>
        <source>17-20</source>
        <translation>17-20</translation>
    </message>
    <message>
        <source>21-24</source>
        <translation>21-24</translation>
    </message>
    <message>
        <source>25-28</source>
        <translation>25-28</translation>
    </message>
    <message>
        <source>29-32</source>
        <translation>29-32</translation>
    </message>
    <message>
        <source>Синхронизация</source>
        <translation>Synchronization</translation>
    </message>
    <message>
        <source>внутренняя</source>
        <translation>internal</translation>
    </message>
    <message>
        <source>внешняя</source>
        <translation>external</translation>
    </message>
    <message>
        <source>Усиление:</source>
        <translation>Gain:</translation>
    </message>
    <message>
        <source>Для всех</source>
        <translation>For all</translation>
    </message>
    <message>
        <source>Вход 1</source>
        <translation>Input 1</translation>
    </message>
    <message>
        <source>Вход 2</source>
        <translation>Input 2</translation>
    </message>
    <message>
        <source>Вход 3</source>
        <translation>Input 3</translation>
    </message>
    <message>
        <source>Вход 4</source>
        <translation>Input 4</translation>
    </message>
    <message>
        <source>Детектор:                  </source>
        <translation>Detector:</translation>
    </message>
    <message>
        <source>Частота:</source>
        <translation>Frequency:</translation>
    </message>
    <message>
        <source>Кол. выборок:</source>
        <translation>Samples:</translation>
    </message>
</context>
<context>
    <name>SetupRS</name>
    <message>
        <source>Настройка COM-порта</source>
        <translation>COM port settings</translation>
    </message>
    <message>
        <source>Номер последовательного
порта</source>
        <translation>Serial port</translation>
    </message>
    <message>
        <source>Скорость</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>19200</source>
        <translation>19200</translation>
    </message>
    <message>
        <source>38400</source>
        <translation>38400</translation>
    </message>
    <message>
        <source>57600</source>
        <translation>57600</translation>
    </message>
    <message>
        <source>115200</source>
        <translation>115200</translation>
    </message>
</context>
<context>
    <name>StringsKit</name>
    <message>
        <source>Масштаб по вертикали</source>
        <translation>Vertical scale</translation>
    </message>
    <message>
        <source>Растяжка по горизонтали</source>
        <translation>Horizontal stretch</translation>
    </message>
    <message>
        <source>STOP</source>
        <translation>STOP</translation>
    </message>
    <message>
        <source>Параметр сглаживания</source>
        <translation>Smoothing parameter</translation>
    </message>
    <message>
        <source>Буфер</source>
        <translation>Clipboard</translation>
    </message>
    <message>
        <source>Сохранить времена в буфере</source>
        <translation>Copy the cursor times to the clipboard</translation>
    </message>
    <message>
        <source>Установить курсоры по центру экрана</source>
        <translation>Put the cursors in the middle of the screen</translation>
    </message>
    <message>
        <source>Переключатель режима выделения</source>
        <translation>Selection mode switch</translation>
    </message>
    <message>
        <source>Необходимо выделить участок
для расчета среднего значения</source>
        <translation>Select a stretch
to compute the mean value.</translation>
    </message>
    <message>
        <source>Вначале закройте окно со спектром!</source>
        <translation>Close the spectrum window first!</translation>
    </message>
    <message>
        <source>Ошибка чтения файла %1</source>
        <translation>Error reading file %1</translation>
    </message>
    <message>
        <source>Ошибка записи файла %1</source>
        <translation>Error writing file %1</translation>
    </message>
    <message>
        <source>Ошибка загрузки!</source>
        <translation>Loading error!</translation>
    </message>
    <message>
        <source>Неправильное число!</source>
        <translation>Invalid number!</translation>
    </message>
    <message>
        <source>Необходимо правильно выделить область.</source>
        <translation>Select the area correctly.</translation>
    </message>
    <message>
        <source>Необходимо выделить участок для поиска максимума.</source>
        <translation>Select a stretch to find the maximum in.</translation>
    </message>
    <message>
        <source>Необходимо выделить участок для обнуления.</source>
        <translation>Select a stretch to zero.</translation>
    </message>
    <message>
        <source>Ширина отображаемого участка недостаточна для Фурье-преобразования!
Необходимо увеличить масштаб.</source>
        <translation>The stretch shown is too narrow for the Fourier transform!
Zoom in.</translation>
    </message>
    <message>
        <source>Частота дискретизации записи не задана:
файл WAV не записан.</source>
        <translation>The record has no sampling rate:
the WAV file was not written.</translation>
    </message>
    <message>
        <source>Неизвестный язык интерфейса &quot;%1&quot; в параметре --lang.
Допустимы ru и en; язык взят из настроек.</source>
        <translation>Unknown interface language &quot;%1&quot; in the option --lang.
Use ru or en; the language of the settings is used.</translation>
    </message>
    <message>
        <source>Язык интерфейса сменится при следующем запуске программы.</source>
        <translation>The interface language will change the next time the program starts.</translation>
    </message>
    <message>
        <source>Выполнить обратное преобразование?</source>
        <translation>Perform the inverse transform?</translation>
    </message>
    <message>
        <source>Данные в окне %1 изменены!
Закрыть окно?</source>
        <translation>The data in window %1 have changed!
Close the window?</translation>
    </message>
    <message>
        <source>Была использована оконная функция.
Данные будут искажены.
Выполнить преобразование?</source>
        <translation>A window function was used.
The data will be distorted.
Perform the transform?</translation>
    </message>
    <message>
        <source>Ошибка сохранения ini-файла.
Повторить?</source>
        <translation>Error saving the ini file.
Try again?</translation>
    </message>
    <message>
        <source>Окно %1 занято серией записей.
Команда будет доступна после окончания серии.</source>
        <translation>Window %1 is busy with a record series.
The command will be available when the series ends.</translation>
    </message>
    <message>
        <source>Идёт серия записей: блок оцифровки занят.
Команда будет доступна после окончания серии.</source>
        <translation>A record series is running: the acquisition unit is busy.
The command will be available when the series ends.</translation>
    </message>
    <message>
        <source>Ошибка загрузки!
Неудачных попыток подряд: %1. Серия остановлена, записей сохранено: %2.</source>
        <translation>Loading error!
Failed attempts in a row: %1. The series has stopped, records saved: %2.</translation>
    </message>
    <message>
        <source>Ошибка записи файла %1 (%2).
Серия остановлена.</source>
        <translation>Error writing file %1 (%2).
The series has stopped.</translation>
    </message>
    <message>
        <source>Не указана папка серии.
Серия не запущена.</source>
        <translation>No series folder given.
The series was not started.</translation>
    </message>
    <message>
        <source>Папка %1 не найдена.
Серия не запущена.</source>
        <translation>Folder %1 not found.
The series was not started.</translation>
    </message>
    <message>
        <source>Неверное значение %1: &quot;%2&quot;.
Серия не запущена.</source>
        <translation>Invalid value of %1: &quot;%2&quot;.
The series was not started.</translation>
    </message>
    <message>
        <source>Недопустимое начало имён файлов &quot;%1&quot;.
Нельзя: пустое, точка или пробел в начале, символы / \ : * ? &quot; &lt; &gt; | и запятая.</source>
        <translation>Invalid file name prefix &quot;%1&quot;.
Not allowed: empty, a dot or a space first, the characters / \ : * ? &quot; &lt; &gt; | and the comma.</translation>
    </message>
    <message>
        <source>Все номера записей %1 заняты.
Серия остановлена.</source>
        <translation>All record numbers of %1 are taken.
The series has stopped.</translation>
    </message>
    <message>
        <source>Не задано значение %1.
Серия не запущена.</source>
        <translation>No value given for %1.
The series was not started.</translation>
    </message>
    <message>
        <source>Идёт серия записей в папку %1.
Остановить серию?</source>
        <translation>A record series into folder %1 is running.
Stop the series?</translation>
    </message>
    <message>
        <source>Частота дискретизации записи неизвестна: времена прихода не определены,
локация источников невозможна.</source>
        <translation>The sampling rate of the record is unknown: the arrival times are undefined,
sources cannot be located.</translation>
    </message>
    <message>
        <source>В записи нет канала %1, для которого задан датчик.</source>
        <translation>The record has no channel %1, for which a sensor is set.</translation>
    </message>
    <message>
        <source>Датчики каналов %1 и %2 стоят в одной точке.</source>
        <translation>The sensors of channels %1 and %2 are at the same point.</translation>
    </message>
    <message>
        <source>Задайте для всех отмеченных датчиков либо только X (линейная локация),
либо X и Y (плоскостная локация).</source>
        <translation>Give all sensors ticked either X only (linear location)
or X and Y (planar location).</translation>
    </message>
    <message>
        <source>Отметьте не меньше двух датчиков (для плоскостной локации — не меньше трёх).</source>
        <translation>Tick at least two sensors (at least three for planar location).</translation>
    </message>
    <message>
        <source>Скорость волны должна быть больше 0.</source>
        <translation>The wave velocity must be above 0.</translation>
    </message>
    <message>
        <source>Неправильная координата датчика канала %1: %2</source>
        <translation>Invalid sensor coordinate of channel %1: %2</translation>
    </message>
    <message>
        <source>файл %1 не удаётся записать</source>
        <translation>file %1 cannot be written</translation>
    </message>
    <message>
        <source>принтер не установлен</source>
        <translation>no printer is installed</translation>
    </message>
    <message>
        <source>принтер %1 не удаётся запустить</source>
        <translation>printer %1 cannot be started</translation>
    </message>
    <message>
        <source>Печать не выполнена:
%1.</source>
        <translation>Printing failed:
%1.</translation>
    </message>
</context>
<context>
    <name>TAnalysisWindow</name>
    <message>
        <source>К%1</source>
        <translation>Ch%1</translation>
    </message>
    <message>
        <source>Время (местное)</source>
        <translation>Time (local)</translation>
    </message>
    <message>
        <source>Накопление импульсов и энергии</source>
        <translation>Cumulative hits and energy</translation>
    </message>
    <message>
        <source>Распределение амплитуд</source>
        <translation>Amplitude distribution</translation>
    </message>
    <message>
        <source>Длительность и амплитуда</source>
        <translation>Duration and amplitude</translation>
    </message>
    <message>
        <source>Средняя частота и RA</source>
        <translation>Average frequency and RA</translation>
    </message>
    <message>
        <source>Число импульсов (сплошные линии, левая ось) и их суммарная энергия (штриховые, правая ось) с начала</source>
        <translation>Number of hits (solid lines, left axis) and their total energy (dashed, right axis) since the start</translation>
    </message>
    <message>
        <source>Импульсы на 1 дБ амплитуды (линии), N(≥A) (точки) и прямая, по наклону которой найдено b-value (штриховая)</source>
        <translation>Hits per 1 dB of amplitude (lines), N(≥A) (points) and the line whose slope gives the b-value (dashed)</translation>
    </message>
    <message>
        <source>Точка на импульс: длинные слабые импульсы обычно шум</source>
        <translation>A point per hit: long, weak hits are usually noise</translation>
    </message>
    <message>
        <source>Точка на импульс: отрыв (высокая частота, малое RA) или сдвиг</source>
        <translation>A point per hit: tensile (high frequency, low RA) or shear</translation>
    </message>
    <message>
        <source>Канал</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>Импульсы</source>
        <translation>Hits</translation>
    </message>
    <message>
        <source>Энергия, В²·с</source>
        <translation>Energy, V²·s</translation>
    </message>
    <message>
        <source>Макс., дБ</source>
        <translation>Max., dB</translation>
    </message>
    <message>
        <source>b-value</source>
        <translation>b-value</translation>
    </message>
    <message>
        <source>Анализ АЭ — %1</source>
        <translation>AE analysis — %1</translation>
    </message>
    <message>
        <source>Канал &amp;%1</source>
        <translation>Channel &amp;%1</translation>
    </message>
    <message>
        <source>Время, мс</source>
        <translation>Time, ms</translation>
    </message>
    <message>
        <source>Импульсы (сплошные)</source>
        <translation>Hits (solid)</translation>
    </message>
    <message>
        <source>Энергия, В²·с (штрихи)</source>
        <translation>Energy, V²·s (dashed)</translation>
    </message>
    <message>
        <source>Времена импульсов неизвестны:
нет частоты дискретизации или времени начала записи</source>
        <translation>The hits&apos; times are unknown:
no sampling rate or no start time of the record</translation>
    </message>
    <message>
        <source>Амплитуда, дБ (отн. 1 мкВ)</source>
        <translation>Amplitude, dB (re 1 µV)</translation>
    </message>
    <message>
        <source>Импульсы: на 1 дБ, N(≥A)</source>
        <translation>Hits: per 1 dB, N(≥A)</translation>
    </message>
    <message>
        <source>К%1: b = %2</source>
        <translation>Ch%1: b = %2</translation>
    </message>
    <message>
        <source>К%1: b —</source>
        <translation>Ch%1: b —</translation>
    </message>
    <message>
        <source>Длительность, мкс</source>
        <translation>Duration, µs</translation>
    </message>
    <message>
        <source>RA, мс/В</source>
        <translation>RA, ms/V</translation>
    </message>
    <message>
        <source>Ср. частота, кГц</source>
        <translation>Avg. frequency, kHz</translation>
    </message>
    <message>
        <source>Длительности неизвестны:
нет частоты дискретизации или все импульсы из одного отсчёта</source>
        <translation>Durations unknown:
no sampling rate, or every hit is one sample</translation>
    </message>
    <message>
        <source>Частоты и RA неизвестны:
нет частоты дискретизации или все импульсы из одного отсчёта</source>
        <translation>Frequencies and RA unknown:
no sampling rate, or every hit is one sample</translation>
    </message>
    <message>
        <source>Экспорт сводки АЭ</source>
        <translation>Export the AE summary</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <source>Сохранить график</source>
        <translation>Save the plot</translation>
    </message>
    <message>
        <source>SVG (*.svg)</source>
        <translation>SVG (*.svg)</translation>
    </message>
    <message>
        <source>PNG (*.png)</source>
        <translation>PNG (*.png)</translation>
    </message>
    <message>
        <source>канал %1</source>
        <translation>channel %1</translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>Время: %1</source>
        <translation>Time: %1</translation>
    </message>
    <message>
        <source>Приход: %1 мкс</source>
        <translation>Arrival: %1 µs</translation>
    </message>
    <message>
        <source>Приход: отсчёт %1</source>
        <translation>Arrival: sample %1</translation>
    </message>
    <message>
        <source>Амплитуда: %1 дБ</source>
        <translation>Amplitude: %1 dB</translation>
    </message>
    <message>
        <source>Длительность: %1 мкс</source>
        <translation>Duration: %1 µs</translation>
    </message>
    <message>
        <source>Энергия: %1 В²·с</source>
        <translation>Energy: %1 V²·s</translation>
    </message>
    <message>
        <source>Средняя частота: %1 кГц</source>
        <translation>Average frequency: %1 kHz</translation>
    </message>
    <message>
        <source>RA: %1 мс/В</source>
        <translation>RA: %1 ms/V</translation>
    </message>
    <message>
        <source>Двойной щелчок: показать импульс в записи</source>
        <translation>Double-click: show the hit in its record</translation>
    </message>
    <message>
        <source>записей не сохранено (строки журнала с ошибкой): %1</source>
        <translation>records not saved (failed log lines): %1</translation>
    </message>
    <message>
        <source>файлов нет или они не читаются: %1</source>
        <translation>files missing or unreadable: %1</translation>
    </message>
    <message>
        <source>нечитаемых строк журнала: %1</source>
        <translation>unreadable log lines: %1</translation>
    </message>
    <message>
        <source>записей без времени начала (их импульсов нет на графиках по времени): %1</source>
        <translation>records without a start time (their hits are not on the time plots): %1</translation>
    </message>
    <message>
        <source>Пропущено: %1.</source>
        <translation>Left out: %1.</translation>
    </message>
    <message>
        <source>Журнала series.csv нет: время записи — время изменения её файла.</source>
        <translation>No series.csv: a record&apos;s time is the time its file was last changed.</translation>
    </message>
</context>
<context>
    <name>THitSetDlg</name>
    <message>
        <source>= %1 дБ отн. 1 мкВ</source>
        <translation>= %1 dB re 1 µV</translation>
    </message>
</context>
<context>
    <name>THitTable</name>
    <message>
        <source>%1 отсч.</source>
        <translation>%1 samples</translation>
    </message>
    <message>
        <source>Канал</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>Приход, мкс</source>
        <translation>Arrival, µs</translation>
    </message>
    <message>
        <source>Амплитуда, В</source>
        <translation>Amplitude, V</translation>
    </message>
    <message>
        <source>Амплитуда, дБ</source>
        <translation>Amplitude, dB</translation>
    </message>
    <message>
        <source>Нарастание, мкс</source>
        <translation>Rise time, µs</translation>
    </message>
    <message>
        <source>Длительность, мкс</source>
        <translation>Duration, µs</translation>
    </message>
    <message>
        <source>Выбросы</source>
        <translation>Counts</translation>
    </message>
    <message>
        <source>Выбросы до пика</source>
        <translation>Counts to peak</translation>
    </message>
    <message>
        <source>Энергия, В²·с</source>
        <translation>Energy, V²·s</translation>
    </message>
    <message>
        <source>Ср. частота, кГц</source>
        <translation>Avg. frequency, kHz</translation>
    </message>
    <message>
        <source>Поиск импульсов АЭ…</source>
        <translation>Finding AE hits…</translation>
    </message>
    <message>
        <source>Стоп</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Импульсы АЭ — %1</source>
        <translation>AE hits — %1</translation>
    </message>
    <message>
        <source>Найдено импульсов: %1. Порог %2 В (%3 дБ отн. 1 мкВ), PDT %4 мкс, HDT %5 мкс, HLT %6 мкс.</source>
        <translation>Hits found: %1. Threshold %2 V (%3 dB re 1 µV), PDT %4 µs, HDT %5 µs, HLT %6 µs.</translation>
    </message>
    <message>
        <source>Поиск остановлен: показаны импульсы, найденные до остановки. </source>
        <translation>Search stopped: the hits found before the stop are shown. </translation>
    </message>
    <message>
        <source> Частота дискретизации записи неизвестна: времена даны в отсчётах, окна PDT, HDT и HLT отсчитаны по отсчёту на микросекунду.</source>
        <translation> The sampling rate of the record is unknown: times are in samples, and PDT, HDT and HLT were counted as one sample per microsecond.</translation>
    </message>
    <message>
        <source>Экспорт импульсов АЭ</source>
        <translation>Export AE hits</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <source>RA, мс/В</source>
        <translation>RA, ms/V</translation>
    </message>
    <message>
        <source>Пиковая частота, кГц</source>
        <translation>Peak frequency, kHz</translation>
    </message>
    <message>
        <source>Центроид, кГц</source>
        <translation>Centroid, kHz</translation>
    </message>
    <message>
        <source>Время UTC</source>
        <translation>Time UTC</translation>
    </message>
</context>
<context>
    <name>TLocationDlg</name>
    <message>
        <source>Этого канала нет в записи</source>
        <translation>The record has no such channel</translation>
    </message>
    <message>
        <source>(пусто)</source>
        <translation>(empty)</translation>
    </message>
    <message>
        <source>= %1 дБ отн. 1 мкВ</source>
        <translation>= %1 dB re 1 µV</translation>
    </message>
    <message>
        <source>(по датчикам: %1 мкс)</source>
        <translation>(from the sensors: %1 µs)</translation>
    </message>
</context>
<context>
    <name>TLocationWindow</name>
    <message>
        <source>№</source>
        <translation>#</translation>
    </message>
    <message>
        <source>Время, мкс</source>
        <translation>Time, µs</translation>
    </message>
    <message>
        <source>X, м</source>
        <translation>X, m</translation>
    </message>
    <message>
        <source>Y, м</source>
        <translation>Y, m</translation>
    </message>
    <message>
        <source>Невязка, м</source>
        <translation>Residual, m</translation>
    </message>
    <message>
        <source>Каналы</source>
        <translation>Channels</translation>
    </message>
    <message>
        <source>Амплитуда, дБ</source>
        <translation>Amplitude, dB</translation>
    </message>
    <message>
        <source>Локация АЭ — %1</source>
        <translation>AE location — %1</translation>
    </message>
    <message>
        <source>AIC (окно %1 мкс)</source>
        <translation>AIC (window %1 µs)</translation>
    </message>
    <message>
        <source>по порогу</source>
        <translation>by threshold</translation>
    </message>
    <message>
        <source>Событий: %1 (импульсов в них %2 из %3 на каналах датчиков; групп без локации: %4). %5 локация, датчиков %6, скорость %7 м/с, приход %8, окно события %9 мкс, порог %10 В.</source>
        <translation>Events: %1 (hits in them %2 of %3 on the sensor channels; groups not located: %4). %5 location, %6 sensors, velocity %7 m/s, arrival %8, event window %9 µs, threshold %10 V.</translation>
    </message>
    <message>
        <source>Плоскостная</source>
        <translation>Planar</translation>
    </message>
    <message>
        <source>Линейная</source>
        <translation>Linear</translation>
    </message>
    <message>
        <source>Датчики</source>
        <translation>Sensors</translation>
    </message>
    <message>
        <source>%1–%2 дБ</source>
        <translation>%1–%2 dB</translation>
    </message>
    <message>
        <source>Выбранное</source>
        <translation>Selected</translation>
    </message>
    <message>
        <source>Событий на %1 м</source>
        <translation>Events per %1 m</translation>
    </message>
    <message>
        <source>Событий</source>
        <translation>Events</translation>
    </message>
    <message>
        <source>Экспорт событий АЭ</source>
        <translation>Export AE events</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <source>Рисунок PNG (*.png)</source>
        <translation>PNG picture (*.png)</translation>
    </message>
    <message>
        <source>Рисунок SVG (*.svg)</source>
        <translation>SVG picture (*.svg)</translation>
    </message>
    <message>
        <source>Экспорт карты</source>
        <translation>Export the map</translation>
    </message>
</context>
<context>
    <name>TPrnDlg</name>
    <message>
        <source>Файлы svg (*.svg)</source>
        <translation>SVG files (*.svg)</translation>
    </message>
</context>
<context>
    <name>TSeriesDlg</name>
    <message>
        <source>Пуск</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Папка серии</source>
        <translation>Series folder</translation>
    </message>
    <message>
        <source>→ недопустимое имя</source>
        <translation>→ invalid name</translation>
    </message>
</context>
<context>
    <name>TSeriesTable</name>
    <message>
        <source>(время файла)</source>
        <translation>(file time)</translation>
    </message>
    <message>
        <source>Файл</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Начало</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Импульсы АЭ</source>
        <translation>AE hits</translation>
    </message>
    <message>
        <source>Состояние</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Записи серии — %1</source>
        <translation>Series records — %1</translation>
    </message>
    <message>
        <source>Журнал %1: записей сохранено %2, не сохранено %3.</source>
        <translation>Log %1: records saved %2, not saved %3.</translation>
    </message>
    <message>
        <source>Журнала %1 нет: начало записи — время изменения файла.</source>
        <translation>No log %1: the start of a record is the time the file was changed.</translation>
    </message>
    <message>
        <source> Импульсов АЭ: %1.</source>
        <translation> AE hits: %1.</translation>
    </message>
    <message>
        <source> Нечитаемых строк журнала: %1.</source>
        <translation> Unreadable log lines: %1.</translation>
    </message>
    <message>
        <source> Записей в папке нет.</source>
        <translation> No records in the folder.</translation>
    </message>
    <message>
        <source>Чтение записей серии…</source>
        <translation>Reading the records of the series…</translation>
    </message>
    <message>
        <source>Стоп</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source> Чтение остановлено: не прочитано записей %1 (они будут прочитаны при обновлении).</source>
        <translation> Reading stopped: %1 records not read (they are read at the next refresh).</translation>
    </message>
</context>
<context>
    <name>TSetRecord</name>
    <message>
        <source>Вход </source>
        <translation>Input </translation>
    </message>
</context>
<context>
    <name>TWForm</name>
    <message>
        <source>Положение временного окна</source>
        <translation>Position of the time window</translation>
    </message>
    <message>
        <source>Установка курсоров</source>
        <translation>Setting the cursors</translation>
    </message>
    <message>
        <source>Преобразование</source>
        <translation>Transform</translation>
    </message>
    <message>
        <source>Среднее значение:</source>
        <translation>Mean value:</translation>
    </message>
    <message>
        <source>
Канал </source>
        <translation>
Channel </translation>
    </message>
</context>
<context>
    <name>WinFunc</name>
    <message>
        <source>Настройка БПФ</source>
        <translation>FFT settings</translation>
    </message>
    <message>
        <source>Оконная функция</source>
        <translation>Window function</translation>
    </message>
    <message>
        <source>None</source>
        <translation>None</translation>
    </message>
    <message>
        <source>Parzen</source>
        <translation>Parzen</translation>
    </message>
    <message>
        <source>Hanning</source>
        <translation>Hanning</translation>
    </message>
    <message>
        <source>Hamming</source>
        <translation>Hamming</translation>
    </message>
    <message>
        <source>ExactBlackman</source>
        <translation>ExactBlackman</translation>
    </message>
    <message>
        <source>Welch</source>
        <translation>Welch</translation>
    </message>
    <message>
        <source>Лог. масштаб по оси Y</source>
        <translation>Log. scale of the Y axis</translation>
    </message>
</context>
<context>
    <name>ae::ChartView</name>
    <message>
        <source>Колесо мыши — масштаб, левая кнопка — сдвиг, правая — всё сразу</source>
        <translation>Mouse wheel: zoom; left button: pan; right button: show all</translation>
    </message>
</context>
<context>
    <name>dataexport</name>
    <message>
        <source>Время (мкс)</source>
        <translation>Time (µs)</translation>
    </message>
    <message>
        <source>Вход %1</source>
        <translation>Input %1</translation>
    </message>
</context>
<context>
    <name>series</name>
    <message>
        <source> из %1</source>
        <translation> of %1</translation>
    </message>
    <message>
        <source>Серия завершена</source>
        <translation>Series completed</translation>
    </message>
    <message>
        <source>Серия остановлена</source>
        <translation>Series stopped</translation>
    </message>
    <message>
        <source>Серия прервана</source>
        <translation>Series aborted</translation>
    </message>
    <message>
        <source>: сохранено %1</source>
        <translation>: %1 saved</translation>
    </message>
    <message>
        <source>Серия: запись %1</source>
        <translation>Series: record %1</translation>
    </message>
    <message>
        <source>Серия: ждёт закрытия диалога, сохранено %1</source>
        <translation>Series: waiting for a dialog to close, %1 saved</translation>
    </message>
    <message>
        <source>Серия: пауза, сохранено %1</source>
        <translation>Series: pause, %1 saved</translation>
    </message>
    <message>
        <source> (неудачных попыток: %1)</source>
        <translation> (failed attempts: %1)</translation>
    </message>
    <message>
        <source> · импульсов АЭ: %1</source>
        <translation> · AE hits: %1</translation>
    </message>
</context>
<context>
    <name>tavrel</name>
    <message>
        <source>Использование: tavrel [ФАЙЛ.raw ...] [--series ПАПКА [--count N] [--pause S] [--prefix P]]
                      [--lang ru|en]

Ввод и обработка сигналов акустических датчиков (блок ZORIV-K4).

  ФАЙЛ.raw         открыть записи, каждую в своём окне
  --series ПАПКА   сразу после запуска начать серию записей в ПАПКУ
                   (файлы PREFIX_NNNNN.raw и журнал series.csv)
  --count N        число записей серии, 0 - до остановки (%1 и меньше)
  --pause S        пауза между записями в секундах, 0 ... %2
  --prefix P       начало имён файлов (по умолчанию rec)
  --lang ru|en     язык интерфейса этого запуска: русский или английский
                   (без него - выбранный в меню, adc.ini, группа UI)
  -h, --help       показать эту справку и выйти

Не заданные значения серии и поиск импульсов АЭ берутся из adc.ini (группа SERIES).
</source>
        <translation>Usage: tavrel [FILE.raw ...] [--series FOLDER [--count N] [--pause S] [--prefix P]]
              [--lang ru|en]

Input and processing of signals from acoustic sensors (ZORIV-K4 unit).

  FILE.raw         open the records, each in its own window
  --series FOLDER  start a record series into FOLDER right after the start
                   (files PREFIX_NNNNN.raw and the log series.csv)
  --count N        records of the series, 0 - until stopped (%1 at most)
  --pause S        pause between records in seconds, 0 ... %2
  --prefix P       beginning of the file names (default rec)
  --lang ru|en     interface language of this run: Russian or English
                   (without it - the one chosen in the menu, adc.ini, group UI)
  -h, --help       print this help and exit

Series values not given, and the AE hit search, come from adc.ini (group SERIES).
</translation>
    </message>
</context>
</TS>
