#pragma once
// The work table tmp_base that an address-book import fills: one column per
// property name met (DISPLAY_NAME first), one row per entry, so that the
// column mapping can treat an address book like any other table.

#include <QString>
#include <QStringList>

#include <functional>

namespace kirvane::store {
class BookFiles;
struct WorkProgress;
}

namespace kirvane::import {

// Address-book entries as the reader gives them: per entry, lines of name "=" value.
struct AddressBookEntries {
    std::function<int()> count;
    std::function<QStringList(int entry)> properties;
};

// Remakes tmp_base from the entries (only the first previewRows when preview
// is set). Throws store::StoreError.
void buildAddressBookTable(const store::BookFiles &files, bool preview, int previewRows,
                           const AddressBookEntries &entries, const store::WorkProgress &progress);

} // namespace kirvane::import
