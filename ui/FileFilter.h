#pragma once
// File dialog filters are written as "Description|patterns" pairs joined by
// "|"; Qt's file dialogs take one "Description (pattern pattern)" per entry.
#include <QString>
#include <QStringList>
#include <string_view>

// "Animations (*.zn, *.ani)|*.zn;*.ani|Zintras (*.zn)|*.zn" gives
// {"Animations (*.zn *.ani)", "Zintras (*.zn)"}.
QStringList NameFilters(std::string_view pairs);

// The suffix a Qt dialog adds to a name typed without one: "*.zn;*.ani" gives "zn".
QString DefaultSuffix(std::string_view defaultExtension);
