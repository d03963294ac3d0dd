#pragma once
// Names of MAPI properties by property identifier (the upper 16 bits of a
// tag), without the PR_ prefix. Where several names share an identifier the
// first of the MAPI tag list wins (BUSINESS_TELEPHONE_NUMBER before
// OFFICE_TELEPHONE_NUMBER, MOBILE_TELEPHONE_NUMBER before
// CELLULAR_TELEPHONE_NUMBER).

#include <QString>

namespace kirvane::import {

// The name, or "[" + the identifier in hexadecimal + "]" for one not listed.
[[nodiscard]] QString mapiPropertyName(quint16 id);

} // namespace kirvane::import
