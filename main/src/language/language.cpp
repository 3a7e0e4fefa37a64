#include "language/language.h"

#include <QAction>
#include <QActionGroup>
#include <QLocale>
#include <QTranslator>

namespace language {

namespace {

const QString OptionName = QStringLiteral("--lang");

} // namespace

QString catalogueResource()
{
    return QStringLiteral(":/build/qm/en.qm");
}

int fromCode(const QString& code)
{
    if (code == QLatin1String("ru"))
        return Russian;
    if (code == QLatin1String("en"))
        return English;
    return -1;
}

QString code(int language)
{
    return language == English ? QStringLiteral("en") : QStringLiteral("ru");
}

Option option(const QStringList& arguments)
{
    Option o;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == OptionName) {
            o.given = true;
            // The next argument, unless it is another option (as the series options read theirs).
            const bool next = i + 1 < arguments.size() && !arguments[i + 1].startsWith(QLatin1String("--"));
            o.value = next ? arguments[++i] : QString();
        } else if (a.startsWith(OptionName + QLatin1Char('='))) {
            o.given = true;
            o.value = a.mid(OptionName.size() + 1);
        } else {
            continue;
        }
        const int l = fromCode(o.value);
        o.valid = l >= 0;
        o.language = o.valid ? l : Russian;
    }
    return o;
}

int startLanguage(const Option& option, int setting)
{
    return option.given && option.valid ? option.language : setting;
}

bool apply(int language, QTranslator& translator)
{
    if (language != English)
        return true;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    return translator.load(catalogueResource(), QString(), QString(), QString());
}

void setUpMenu(QAction* russian, QAction* english, int chosen, const std::function<void(int)>& choose)
{
    auto* group = new QActionGroup(russian->parent());
    group->setExclusive(true);
    for (QAction* a : {russian, english}) {
        a->setCheckable(true);
        group->addAction(a);
    }
    (chosen == English ? english : russian)->setChecked(true);
    QObject::connect(russian, &QAction::triggered, russian, [choose] { choose(Russian); });
    QObject::connect(english, &QAction::triggered, english, [choose] { choose(English); });
}

} // namespace language
