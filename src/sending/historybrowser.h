#pragma once
// HistoryBrowser: the history of sent messages as the history view and the
// command line walk it: the records in the table's order with a current one,
// previous and next, the deletion of chosen records with their folders, and
// sending a record again by putting it back into the message document.
//
// One record is one run segment; an HTML-file record keeps its page and images
// in historique/<id>/. The columns that hold lists keep one line per entry,
// each ended by CR LF.

#include <QList>
#include <QString>
#include <QStringList>

class QTextDocument;

namespace kirvane::store {
class AddressBookStore;
}
namespace kirvane::texts {
class Asker;
}
namespace kirvane::message {
class MessageDocument;
}

namespace kirvane::sending {

// One record as shown.
struct HistoryEntry {
    qint64 id = 0;
    QString subject;
    QString date;
    QString body;
    int mode = 0; // 1 formatted text, 2 plain text, 3 HTML file
    QStringList books;
    QStringList attachments;
    QStringList images;
    QString pagePath; // where the page was imported from
    QStringList refused; // recipients the server refused in this segment: "email (code reply)"

    // historique/<id>/ and the page kept in it (HTML-file records), or the
    // formatted text as RTF (formatted-text records; the texte column holds
    // its words alone).
    [[nodiscard]] QString folder() const;
    [[nodiscard]] QString keptPage() const;
    [[nodiscard]] QString formattedText() const;
    // Reads the kept formatted text of a formatted-text record into document;
    // false (the document then empty) for a record without one, whose words
    // alone are in body.
    bool loadFormattedText(QTextDocument *document) const;
};

class HistoryBrowser {
public:
    explicit HistoryBrowser(store::AddressBookStore &store) : m_store(store) {}

    // Reads the table again; the current record stays the same row when it
    // still exists. False when the table cannot be read (or is damaged), with
    // the store's reason in *error.
    bool reload(QString *error = nullptr);
    // The same for a window: the failure is told through asker.
    bool reload(texts::Asker &asker);
    [[nodiscard]] int count() const;
    [[nodiscard]] int currentRow() const { return m_current; }
    void setCurrentRow(int row);
    // One record back or forward; false at either end.
    bool previous();
    bool next();

    [[nodiscard]] HistoryEntry entry(int row) const;
    [[nodiscard]] HistoryEntry current() const { return entry(m_current); }
    // The row of the record with id, or -1.
    [[nodiscard]] int rowOfId(qint64 id) const;

    // The record to show after the given rows are deleted: the one before the
    // first of them; else the one after it when there are two records or more;
    // else none (-1). The row is counted as it will be after the deletion.
    [[nodiscard]] static int rowAfterDeleting(const QList<int> &rows, int count);

    struct Deletion {
        QList<qint64> deleted;
        QStringList foldersLeft; // folders that could not be removed
        bool done = false;       // false: nothing chosen, or the user said No
    };
    // Deletes the records of rows, after the question (and the notice when no
    // row is chosen), with their folders; the current record becomes the one
    // rowAfterDeleting() chose. A table that cannot be written is told
    // through asker, and nothing is done.
    Deletion deleteRows(const QList<int> &rows, texts::Asker &asker);
    // Deletes the records with these ids without a question (the command
    // line). Throws store::StoreError when the table cannot be written.
    Deletion deleteIds(const QList<qint64> &ids);

    // Puts the record of row back into message to be sent again: subject,
    // body in its mode, attachments and destination books (the exclusion
    // books stay as they are). An HTML-file record is imported again from its
    // kept page and images. False when the record could not be put back.
    bool sendAgain(int row, message::MessageDocument &message, texts::Asker &asker) const;

private:
    store::AddressBookStore &m_store;
    int m_current = 0;
};

} // namespace kirvane::sending
