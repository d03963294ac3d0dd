#include "cli/cli.h"

namespace kirvane::cli {

int runMailSendCommand(QStringList args) { return fail(QStringLiteral("mail send is not built yet")); }
int runMailFetchCommand(QStringList args) { return fail(QStringLiteral("mail fetch is not built yet")); }

} // namespace kirvane::cli
