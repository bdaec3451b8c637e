// Natural order of item numbers such as "101-2" and "101-10".
#pragma once

#include <QStringView>

namespace tenvora {

// Splits at "-"; numeric parts compare as numbers, others as text; a number with fewer
// parts comes first (101-1 before 101-1-a). Returns <0, 0 or >0; 0 only for equal texts.
int CompareItemNumbers(QStringView a, QStringView b);

} // namespace tenvora
