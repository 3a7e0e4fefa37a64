<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>velkit::VlkStringsKit</name>
    <message>
        <source>Обнаружена внутренняя ошибка,
обратитесь в службу поддержки.
Код ошибки - 0x%1</source>
        <translation>An internal error was detected,
please contact support.
Error code - 0x%1</translation>
    </message>
    <message>
        <source>Обнаружена внутренняя фатальная ошибка,
дальнейшая работа невозможна.
Обратитесь в службу поддержки.
Код ошибки - 0x%1</source>
        <translation>An internal fatal error was detected,
the program cannot continue.
Please contact support.
Error code - 0x%1</translation>
    </message>
    <message>
        <source>Произошла ошибка.
Файл &quot;%1&quot;
не удалён.
Код ошибки - 0x%2</source>
        <translation>An error occurred.
File &quot;%1&quot;
was not deleted.
Error code - 0x%2</translation>
    </message>
    <message>
        <source>Произошла ошибка.
Каталог &quot;%1&quot;
не создан.
Код ошибки - 0x%2</source>
        <translation>An error occurred.
Directory &quot;%1&quot;
was not created.
Error code - 0x%2</translation>
    </message>
    <message>
        <source>Произошла ошибка.
Каталог &quot;%1&quot;
не удалён.
Код ошибки - 0x%2</source>
        <translation>An error occurred.
Directory &quot;%1&quot;
was not deleted.
Error code - 0x%2</translation>
    </message>
    <message>
        <source>Произошла ошибка.
Переименование не выполнено.
Код ошибки - 0x%1</source>
        <translation>An error occurred.
Renaming failed.
Error code - 0x%1</translation>
    </message>
    <message>
        <source>Произошла ошибка.
Файл &quot;%1&quot;
не скопирован.
Код ошибки - 0x%2</source>
        <translation>An error occurred.
File &quot;%1&quot;
was not copied.
Error code - 0x%2</translation>
    </message>
</context>
</TS>
