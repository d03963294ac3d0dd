#pragma once
// The user's stopped runs as "Manage sendings" and `kirvane-cli runs` show
// them: each .MNS of the stopped runs' folder (the pause snapshot left out)
// with its subject, the day it was stopped, the book and the place in it
// where it goes on, and how many contacts remain to send.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace kirvane::store {
class BookFiles;
}

namespace kirvane::sending {

struct StoppedRun {
    QString name;      // file name without extension
    QString path;      // the archive
    bool readable = false;
    QString subject;
    QDateTime stopped; // when the archive was written
    QString book;      // where it goes on
    QString key;       // the resume key stored
    int doneInBook = 0;  // contacts of that book already answered
    int bookSize = 0;    // contacts of that book now
    int remaining = 0;   // contacts still to send, in that book and the following ones
    QStringList books;   // destination books
    // A book that could not be counted, and the store's reason: the counts
    // are then unknown (left 0) and the list says why instead.
    QString uncountedBook;
    QString uncountedReason;
};

// Every stopped run, in name order. Reads the archives and counts the books
// (not without files: the counts then stay 0).
[[nodiscard]] QList<StoppedRun> listStoppedRuns(const store::BookFiles *files);

} // namespace kirvane::sending
