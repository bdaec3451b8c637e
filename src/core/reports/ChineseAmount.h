// Amounts in Chinese capital figures (人民币大写), written as on bank documents.
#pragma once

#include <QString>

namespace tenvora {

// A whole-yuan amount in capital figures closed by "元整": 5812345 gives
// "伍佰捌拾壹万贰仟叁佰肆拾伍元整", 10 "壹拾元整", 1000001 "壹佰万零壹元整", 0 "零元整",
// -2500 "负贰仟伍佰元整". Zeros inside a group of four, or before a group that does not fill
// its four places, are written as one "零"; zeros at the end of a group are not written.
QString ChineseCapitalAmount(qint64 yuan);

} // namespace tenvora
