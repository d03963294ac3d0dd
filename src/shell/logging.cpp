#include "shell/logging.h"

namespace kirvane::shell {

Q_LOGGING_CATEGORY(lcShell, "kirvane.shell")

} // namespace kirvane::shell
