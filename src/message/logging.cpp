#include "message/logging.h"

namespace kirvane::message {

Q_LOGGING_CATEGORY(lcMessage, "kirvane.message")

} // namespace kirvane::message
