#include "cli/cli.h"

namespace kirvane::cli {

int runMessageCommand(QStringList args)
{
    return fail(QStringLiteral("the message commands are not built yet"));
}

} // namespace kirvane::cli
