#include "PlaceNames.h"

#include <QHash>

namespace {

// Kept in step with the converter of the index (data/places).
const QHash<QChar, QString>& SpelledLetters()
{
    static const QHash<QChar, QString> letters{
        {QChar(0x0142), QStringLiteral("l")},  {QChar(0x00F8), QStringLiteral("o")},
        {QChar(0x00E6), QStringLiteral("ae")}, {QChar(0x0153), QStringLiteral("oe")},
        {QChar(0x00DF), QStringLiteral("ss")}, {QChar(0x0111), QStringLiteral("d")},
        {QChar(0x0131), QStringLiteral("i")},  {QChar(0x00FE), QStringLiteral("th")}};
    return letters;
}

QLocale::Territory TerritoryOf(const QString& code)
{
    if (code.size() != 2) return QLocale::AnyTerritory;
    return QLocale::codeToTerritory(code.toUpper());
}

}  // namespace

QString EnglishCountryName(const QString& code)
{
    const QLocale::Territory territory = TerritoryOf(code);
    return territory == QLocale::AnyTerritory ? QString() : QLocale::territoryToString(territory);
}

QString LocalCountryName(const QString& code, const QLocale& locale)
{
    const QLocale::Territory territory = TerritoryOf(code);
    if (territory == QLocale::AnyTerritory) return {};
    // Qt has a locale for the language in that country only where the
    // language is spoken there; otherwise it would fall back to another
    // country's locale, whose own name is not the one asked for.
    const QLocale local(locale.language(), territory);
    if (local.language() == locale.language() && local.territory() == territory && locale.language() != QLocale::C) {
        const QString name = local.nativeTerritoryName();
        if (!name.isEmpty()) return name;
    }
    return QLocale::territoryToString(territory);
}

std::string PlaceSearchKey(const QString& name)
{
    const QString decomposed = name.normalized(QString::NormalizationForm_D);
    QString key;
    key.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        const QChar::Category category = c.category();
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
            category == QChar::Mark_Enclosing)
            continue;
        key += c;
    }
    key = key.toLower();
    QString spelled;
    spelled.reserve(key.size());
    for (const QChar c : key) {
        const auto letter = SpelledLetters().constFind(c);
        if (letter != SpelledLetters().constEnd())
            spelled += letter.value();
        else
            spelled += c;
    }
    return spelled.toStdString();
}
