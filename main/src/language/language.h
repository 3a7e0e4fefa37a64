#pragma once

// The interface language: Russian (the texts as written in the program) or English (the
// catalogue ":/build/qm/en.qm"), chosen for a start by the option --lang or the setting
// UI/Language (README.md).

#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QTranslator;

namespace language {

enum Language { Russian = 0, English = 1 };

// The resource the English catalogue is built into.
QString catalogueResource();

// "ru" / "en"; -1 for any other text.
int fromCode(const QString& code);
QString code(int language);

// The option --lang of a command line (arguments[0] is the program): "--lang en" or
// "--lang=en"; a next argument beginning with "--" is no value. The last one given counts. (The
// command line's parser, series/series_cli, knows it too, so that its value is no file.)
struct Option
{
    bool given = false;
    bool valid = false; // given with "ru" or "en"
    int language = Russian;
    QString value; // as given (empty when the value is missing)
};
Option option(const QStringList& arguments);
// The language of a run: a valid option's, else the setting's.
int startLanguage(const Option& option, int setting);

// Makes language the one of this run's texts: loads its catalogue into translator (nothing for
// Russian) and, for English, makes the United States English locale the default one for
// numbers. Russian leaves the locale as the system gives it. False when the English catalogue
// could not be loaded.
bool apply(int language, QTranslator& translator);

// The menu choice: russian and english checkable and exclusive, the chosen one checked;
// choose gets the language picked.
void setUpMenu(QAction* russian, QAction* english, int chosen, const std::function<void(int)>& choose);

} // namespace language
