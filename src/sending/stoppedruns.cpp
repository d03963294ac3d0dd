#include "sending/stoppedruns.h"

#include "common/folders.h"
#include "message/messagearchive.h"
#include "message/messagedocument.h"
#include "sending/runposition.h"
#include "store/bookfiles.h"
#include "store/contacttable.h"
#include "store/database.h"

#include <QDir>
#include <QFileInfo>

namespace kirvane::sending {

namespace {

// Contacts of book (0 when there is no such book). Throws store::StoreError.
int bookSize(const store::BookFiles &files, const QString &book)
{
    if (!files.bookExists(book))
        return 0;
    return store::ContactTable(files).scan(book).count();
}

// Contacts of the resume book already answered: by the ids kept beside the
// archive, else by the place of the key in the name order. Throws
// store::StoreError.
int doneInBook(const store::BookFiles &files, const RunPosition &p, int size)
{
    if (p.tracked)
        return std::min(int(p.answered.size()), size);
    if (p.key.isEmpty() || !files.bookExists(p.book))
        return 0;
    store::BookScan scan = store::ContactTable(files).scan(p.book);
    bool isNumber = false;
    const qint64 id = p.key.toLongLong(&isNumber);
    // "END" and a key not in the book pass the whole book over.
    const int before = isNumber ? scan.seek(id) : -1;
    return before < 0 ? scan.count() : before;
}

} // namespace

QList<StoppedRun> listStoppedRuns(const store::BookFiles *files)
{
    QList<StoppedRun> runs;
    const QString ext = message::archiveExtension(message::ArchiveKind::InterruptedSend);
    const QDir dir(common::stoppedFolder());
    for (const QString &file : dir.entryList(QDir::Files, QDir::Name)) {
        if (!file.endsWith(ext, Qt::CaseInsensitive) || isPauseSnapshot(file))
            continue;
        StoppedRun r;
        r.name = file.chopped(ext.size());
        r.path = dir.filePath(file);
        r.stopped = QFileInfo(r.path).lastModified();
        message::MessageDocument doc;
        if (message::readArchive(r.path, doc) != message::ArchiveReadStatus::Ok) {
            runs << r;
            continue;
        }
        r.readable = true;
        r.subject = doc.subject();
        r.books = doc.destinationBooks();
        const RunPosition p = readStoppedPosition(doc, r.path.chopped(ext.size()));
        r.book = p.book;
        r.key = p.key;
        // An empty resume book is a run that had not begun: all of it remains.
        const qsizetype at = p.book.isEmpty() ? 0 : r.books.indexOf(p.book);
        for (qsizetype i = std::max<qsizetype>(at, 0); files && at >= 0 && i < r.books.size(); ++i) {
            try {
                const int size = bookSize(*files, r.books[i]);
                if (i == at && !p.book.isEmpty()) {
                    r.bookSize = size;
                    r.doneInBook = doneInBook(*files, p, size);
                    r.remaining += size - r.doneInBook;
                } else {
                    r.remaining += size;
                }
            } catch (const store::StoreError &e) {
                r.uncountedBook = r.books[i];
                r.uncountedReason = QString::fromStdString(e.what());
                r.bookSize = r.doneInBook = r.remaining = 0;
                break;
            }
        }
        runs << r;
    }
    return runs;
}

} // namespace kirvane::sending
