#pragma once
// The shell's log (start-up, the main window, the single-copy guard) in the
// category "kirvane.shell": its warnings show by default, its debug lines with
// QT_LOGGING_RULES="kirvane.shell.debug=true".

#include <QLoggingCategory>

namespace kirvane::shell {

Q_DECLARE_LOGGING_CATEGORY(lcShell)

} // namespace kirvane::shell
