#include "cli/cli.h"

namespace kirvane::cli {

int runMailCommand(QStringList args)
{
    return fail(QStringLiteral("the mail commands are not built yet"));
}

} // namespace kirvane::cli
