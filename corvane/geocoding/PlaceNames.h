// Names for places found in the offline index: country names from Qt's
// locale data (the index carries only the code), and the folding of a
// typed name into the index's search key.
#pragma once

#include <QLocale>
#include <QString>

// The English name of an ISO 3166-1 alpha-2 code; empty for a code Qt does not know.
QString EnglishCountryName(const QString& code);
// The name in `locale`'s language where Qt knows one (it knows the names of
// the countries where that language is spoken), else the English name.
QString LocalCountryName(const QString& code, const QLocale& locale = QLocale());

// A typed name as the index's search keys are made: canonical
// decomposition, combining marks removed, lower case, and the letters that
// do not decompose spelled out (ł ø æ œ ß đ ı þ as l o ae oe ss d i th).
std::string PlaceSearchKey(const QString& name);
