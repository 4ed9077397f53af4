#pragma once
// How the values of a decimal, numeric or money result column read in the list: with the
// decimals the column declares (12.5 in a column of scale 2 reads 12,50 for a Polish user)
// and the user's decimal separator.
#include <string>

namespace vandrel {
class TKMQuery;
class TMField;
}  // namespace vandrel

namespace vandrel::app {

// The decimals that result column Column of the open query declares; -1 for a column that
// declares none (integers, floats, texts, dates), whose values read as the field gives them.
int DeclaredScale(TKMQuery& Query, int Column);
// The field's current value with exactly Scale decimals (at most 12); empty for null.
std::string ScaledText(const TMField& Field, int Scale);

}  // namespace vandrel::app
