#pragma once
// The message library's log in the category "kirvane.message" (the HTML
// area's start-up among it): its warnings show by default, its debug lines
// with QT_LOGGING_RULES="kirvane.message.debug=true".

#include <QLoggingCategory>

namespace kirvane::message {

Q_DECLARE_LOGGING_CATEGORY(lcMessage)

} // namespace kirvane::message
