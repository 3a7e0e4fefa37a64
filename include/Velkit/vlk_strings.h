#pragma once

#include <QObject>
#include <QString>

namespace velkit {

// The library's own texts, filled again whenever the library installs its translators.
class VlkStringsKit : public QObject
{
    Q_OBJECT
public:
    enum Number {
        FileNotDeleted = 0xA502,
        DirectoryNotCreated = 0xA504,
        DirectoryNotDeleted = 0xA505,
        RenameFailed = 0xA506,
        FileNotCopied = 0xA507,
    };

    static VlkStringsKit& instance();

    void fill();
    // Text of a library message number; any other number gives the number in decimal.
    QString text(int number) const;

    QString internalError;
    QString fatalError;
    QString fileNotDeleted;
    QString directoryNotCreated;
    QString directoryNotDeleted;
    QString renameFailed;
    QString fileNotCopied;

private:
    VlkStringsKit();
};

// Library message numbers lie in 0xA500 ... 0xA600 inclusive.
inline bool isLibraryMessage(int number)
{
    return number >= 0xA500 && number <= 0xA600;
}

} // namespace velkit
