#include <Velkit/vlk_strings.h>

namespace velkit {

VlkStringsKit::VlkStringsKit()
{
    fill();
}

VlkStringsKit& VlkStringsKit::instance()
{
    static VlkStringsKit kit;
    return kit;
}

void VlkStringsKit::fill()
{
    internalError = tr("Обнаружена внутренняя ошибка,\nобратитесь в службу поддержки.\nКод ошибки - 0x%1");
    fatalError = tr("Обнаружена внутренняя фатальная ошибка,\nдальнейшая работа невозможна.\n"
                    "Обратитесь в службу поддержки.\nКод ошибки - 0x%1");
    fileNotDeleted = tr("Произошла ошибка.\nФайл \"%1\"\nне удалён.\nКод ошибки - 0x%2");
    directoryNotCreated = tr("Произошла ошибка.\nКаталог \"%1\"\nне создан.\nКод ошибки - 0x%2");
    directoryNotDeleted = tr("Произошла ошибка.\nКаталог \"%1\"\nне удалён.\nКод ошибки - 0x%2");
    renameFailed = tr("Произошла ошибка.\nПереименование не выполнено.\nКод ошибки - 0x%1");
    fileNotCopied = tr("Произошла ошибка.\nФайл \"%1\"\nне скопирован.\nКод ошибки - 0x%2");
}

QString VlkStringsKit::text(int number) const
{
    switch (number) {
    case FileNotDeleted: return fileNotDeleted;
    case DirectoryNotCreated: return directoryNotCreated;
    case DirectoryNotDeleted: return directoryNotDeleted;
    case RenameFailed: return renameFailed;
    case FileNotCopied: return fileNotCopied;
    default: return QString::number(number);
    }
}

} // namespace velkit
