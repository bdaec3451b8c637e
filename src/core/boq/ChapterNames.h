// The fixed names of the seven chapters of the bill, shown beside their codes ("100 总则").
// Only for display: statements, node texts and report captions keep the code.
#pragma once

#include <QString>

namespace tenvora {

// "100" -> "总则"; empty for codes outside 100..700.
QString BoqChapterName(const QString& code);
// The code followed by its name ("100 总则"), or the code alone.
QString BoqChapterLabel(const QString& code);

} // namespace tenvora
