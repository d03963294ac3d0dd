#pragma once
// A data folder of the test's own, made the program's data folder, with the
// address-book template and the history table in it and a store opened on it:
// what the tests of the store, the commands and the windows start from.
//
//     TestDataFolder data;                    // or TestDataFolder data("data"): a subfolder
//     BookManager(data.store()).create(...);
//
// The folder goes when the object does; make a new one in init() for a clean
// folder per test function.

#include "common/folders.h"
#include "store/addressbookstore.h"
#include "store/bookfiles.h"

#include <QTemporaryDir>
#include <QtGlobal>

namespace kirvane::test {

class TestDataFolder {
public:
    explicit TestDataFolder(const QString &subfolder = {})
        : m_path(subfolder.isEmpty() ? m_dir.path() : m_dir.filePath(subfolder))
    {
        common::setDataFolder(m_path);
        QString error;
        // Nothing a test does after this means anything without the folder.
        if (!m_dir.isValid() || !store::BookFiles::ensureDataFolder(common::dataFolder(), &error))
            qFatal("the test's data folder %s cannot be made: %s", qPrintable(m_path), qPrintable(error));
        m_store.initDataFolder();
    }
    TestDataFolder(const TestDataFolder &) = delete;
    TestDataFolder &operator=(const TestDataFolder &) = delete;

    // The data folder, without a trailing separator.
    QString path() const { return m_path; }
    QString filePath(const QString &name) const { return m_path + u'/' + name; }
    // The temporary folder itself: the data folder's parent when a subfolder
    // was asked for, a place for the test's other files.
    QString root() const { return m_dir.path(); }
    store::AddressBookStore &store() { return m_store; }

private:
    QTemporaryDir m_dir;
    QString m_path;
    store::AddressBookStore m_store;
};

} // namespace kirvane::test
