#pragma once
// A value as it goes into a line of a log (the sending run's, log.txt) or of
// a command's output: text from outside (a contact's values, a received
// message's sender and subject, a server's reply) must never start a line of
// its own there, or it could pass for a line the program wrote.

#include <QString>

namespace kirvane::common {

enum class TabInLine {
    Keep,   // a tab stays (a log line shown as it is)
    Escape, // a tab becomes \t too (output whose fields a tab separates)
};

// text with every line break and control character written as a visible
// escape: CR as \r, LF as \n, tab as \t (when asked), any other as \xHH or,
// for U+2028 and U+2029, \uHHHH. Everything else stays as it is.
[[nodiscard]] QString logSafe(QStringView text, TabInLine tab = TabInLine::Keep);

} // namespace kirvane::common
