#include "cli/cli.h"
namespace kirvane::cli {
int runStoreCommand(const QString &command, QStringList) { return fail(QStringLiteral("unknown command ") + command); }
}
