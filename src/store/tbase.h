#pragma once
// Tbase: the one owner of every statement on address books, the history table
// and the work tables, and of the current address book (the one the contacts
// view shows). Each table is one SQLite file: Annuaires/an_<name>.db for a book,
// made by copying the template vierge.db; historique/historique.db for the
// history. Inside every such file the table is called "t", so that copying,
// renaming or deleting the file is copying, renaming or deleting the table.
//
// Operations that the older program let "raise" throw StoreError; those that
// return 0/1 catch every error. Values always go into statements as bound
// parameters; LOWER and UPPER fold every letter, not only A-Z.

#include "store/contact.h"

#include <QAbstractTableModel>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

class QItemSelectionModel;

namespace kirvane {

class Database;

struct StoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The rows of one book in name order as a table model. Only the ids are read
// when the book is opened; the rows themselves are read a page at a time as a
// view asks for them, so a book of 100,000 contacts opens at once.
// Columns 0..18 are the record's columns (id..champ19), column 19 the display
// name "NomPrenom". It also carries the cursor of the older query object.
class BookQuery : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kDisplayNameColumn = 19;

    explicit BookQuery(QObject *parent = nullptr);
    ~BookQuery() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;

    [[nodiscard]] bool isOpen() const { return m_open; }
    // Text of column (0..18, or kDisplayNameColumn) of row; "" out of range.
    [[nodiscard]] QString text(int row, int column) const;
    [[nodiscard]] qint64 idAt(int row) const;
    // Row holding id, or -1.
    [[nodiscard]] int rowOfId(qint64 id) const;
    // Every id in display order.
    [[nodiscard]] const std::vector<qint64> &ids() const;

    // The cursor: a row number; rowCount() means "past the end".
    [[nodiscard]] int currentRow() const { return m_current; }
    void setCurrentRow(int row);
    void first() { setCurrentRow(0); }
    void next() { setCurrentRow(m_current + 1); }
    void prior() { setCurrentRow(m_current - 1); }
    void last() { setCurrentRow(rowCount() - 1); }
    [[nodiscard]] bool eof() const { return m_current >= rowCount(); }

private:
    friend class Tbase;
    void open(std::shared_ptr<Database> db, const QString &book, bool descending);
    void close();
    void fetchPage(int page) const;
    void loadIds() const;
    [[nodiscard]] QString orderBy() const;

    std::shared_ptr<Database> m_db;
    QString m_book;
    bool m_open = false;
    bool m_descending = false;
    int m_count = 0;
    int m_current = 0;
    // The ids in display order, read when a row far from the top is wanted
    // (the first rows come by offset, so the top of a book shows at once).
    mutable bool m_idsLoaded = false;
    mutable std::vector<qint64> m_ids;
    // A row as read: its nineteen values as UTF-8 one after the other, decoded
    // only when asked for (the grid shows one column of each row).
    struct Row {
        QByteArray bytes;
        std::array<int, 20> offsets{};
        [[nodiscard]] QString value(int k) const
        {
            return QString::fromUtf8(bytes.constData() + offsets[k], offsets[k + 1] - offsets[k]);
        }
    };
    mutable std::vector<std::unique_ptr<Row>> m_rows; // by row, null until read
};

// Rows of a statement read in full: the history, the black-list lookup, the
// merge table as the duplicate window shows it.
class TableQuery : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TableQuery(QObject *parent = nullptr);
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;

    [[nodiscard]] bool isOpen() const { return m_open; }
    [[nodiscard]] QString text(int row, int column) const;
    [[nodiscard]] QString text(int row, const QString &column) const; // any letter case
    [[nodiscard]] int columnIndex(const QString &column) const;
    [[nodiscard]] const QStringList &columns() const { return m_columns; }

    int currentRow() const { return m_current; }
    void setCurrentRow(int row) { m_current = std::clamp(row, 0, int(m_rows.size())); }
    bool eof() const { return m_current >= int(m_rows.size()); }

    void setRows(QStringList columns, std::vector<QStringList> rows);
    void close();

private:
    bool m_open = false;
    QStringList m_columns;
    std::vector<QStringList> m_rows;
    int m_current = 0;
};

// The cursor and selection helpers work on either query.
[[nodiscard]] QString FirstColumnText(const BookQuery &q);
[[nodiscard]] QString FirstColumnText(const TableQuery &q);
void LocateId(BookQuery &q, const QString &id);
void LocateId(TableQuery &q, const QString &id);
[[nodiscard]] QString MaxId(const BookQuery &q);
[[nodiscard]] QString MaxId(const TableQuery &q);
// Ids of the selected rows of the grid showing q, in selection order.
[[nodiscard]] QStringList SelectedIds(const BookQuery &q, const QItemSelectionModel *grid);
[[nodiscard]] QString IdBeforeSelection(BookQuery &q, const QItemSelectionModel *grid);
[[nodiscard]] QString IdAfterSelection(BookQuery &q, const QItemSelectionModel *grid);

// Answers the two questions a copy or move asks for a contact already present
// in the target book; true goes on with the copy.
struct CopyQuestions {
    std::function<bool(const QString &nom, const QString &prenom)> sameName;
    std::function<bool(const QString &email)> sameEmail;
};

// One condition on a book's column for SelectIds; several are joined by AND.
// The values are bound as parameters, never pasted into the statement.
struct Condition {
    enum Op {
        Equal,            // column = value, exactly
        EqualIgnoringCase, // LOWER(column) = LOWER(value), folding every letter
        In,               // column IN (values); no value matches nothing
        NotIn,            // column NOT IN (values); no value matches every row
    };
    QString column; // id, nom ... champ19, in any letter case
    Op op = Equal;
    QStringList values; // Equal and EqualIgnoringCase use the first
};

// Progress of the long work-table operations (the duplicate window shows it).
struct WorkProgress {
    std::function<void(int value, int maximum)> bar; // value -1: keep the maximum, add one
    std::function<void(int step)> step;
    std::function<void()> processEvents;
};

class Tbase : public QObject {
    Q_OBJECT
public:
    explicit Tbase(QObject *parent = nullptr);
    ~Tbase() override;

    // Makes a data folder usable: Annuaires/ with the template vierge.db and
    // vierge.ini, historique/historique.db, titre.ini; keeps what exists.
    // Returns false with a message when something cannot be made.
    static bool EnsureDataFolder(const QString &folder, QString *error = nullptr);

    void InitDatabaseFolder();
    [[nodiscard]] QString databaseFolder() const { return m_databaseFolder; }

    // Path of a file of the database folder, found without regard to case.
    [[nodiscard]] QString bookFile(const QString &fileName) const;
    // an_<name>.db of a book (found without regard to case).
    [[nodiscard]] QString bookPath(const QString &book) const;
    [[nodiscard]] QString labelPath(const QString &book) const;

    [[nodiscard]] QStringList ListBooks() const;
    int OpenBook(const QString &name);
    int OpenBookDescending(const QString &name);
    // Forgets the current book (its file is about to be renamed or deleted).
    void CloseCurrentBook();
    [[nodiscard]] QString currentBook() const { return m_currentBook; }
    [[nodiscard]] const T_contact &currentLabels() const { return m_currentLabels; }
    [[nodiscard]] BookQuery *Query1() const { return m_query1; }
    // The record at Query1's cursor, with the current labels.
    [[nodiscard]] T_contact ReadCurrentContact() const;
    // Number of rows of a table of the database folder ("an_" + book, "listenoire" ...).
    [[nodiscard]] int CountRows(const QString &table);

    int SaveContact(const T_contact &contact, const QString &book = QString());
    // Inserts a new contact (its id is ignored) and returns the id the table gave it.
    qint64 AddContact(const T_contact &contact, const QString &book);
    // Saves many records in one transaction; returns the number saved.
    int SaveContacts(const std::vector<T_contact> &contacts, const QString &book);
    void ReadContact(const QString &id, const QString &book, T_contact &contact);
    [[nodiscard]] int ContactExists(const QString &book, const QString &nom, const QString &prenom);
    [[nodiscard]] int NameExists(const QString &book, const QString &nom);
    [[nodiscard]] int EmailExists(const QString &book, const QString &email);
    // Ids of the book's contacts meeting every condition, in id order; none
    // for an empty list. An id compares as a number ("007" finds 7). Throws
    // StoreError for a column that is not one of the record's.
    [[nodiscard]] QStringList SelectIds(const QString &book, const QList<Condition> &conditions);
    void DeleteContacts(const QString &book, const QString &idList);
    void DeleteContactList(const QString &book, const QStringList &ids);
    void DeleteByEmail(const QString &book, const QString &email);
    void CopyContacts(const QString &target, const QItemSelectionModel *grid, const CopyQuestions &ask);
    void MoveContacts(const QString &target, const QItemSelectionModel *grid, const CopyQuestions &ask);

    int OpenHistory();
    [[nodiscard]] TableQuery *QueryHisto() const { return m_queryHisto; }
    void AddHistory(const QString &subject, const QString &body, const QString &pagePath,
                    const QString &kind, const QString &images, const QString &attachments,
                    const QString &books);
    void DeleteHistory(const QStringList &ids);

    void ResetBlackList();
    void BuildBlackList(const QStringList &books);
    [[nodiscard]] int IsBlackListed(const QString &email);
    void FillWorkTable(const QStringList &books, const QString &table, const WorkProgress &progress = {});
    void PruneToDuplicates(const QString &table, const QStringList &criteria, const WorkProgress &progress = {});
    void DeleteOtherOccurrences(const QString &table, const QStringList &columns, const QString &keptBook,
                                const QString &keptId, const QStringList &values);
    void DeleteRowsById(const QString &table, const QString &idList);
    // The merge table's rows (id, nom_annuaire, columns...) as the duplicate window shows them.
    [[nodiscard]] TableQuery *Query_doublon() const { return m_queryDoublon; }

    // Writes the book as the semicolon-separated export file. Throws StoreError.
    void ExportBook(const QString &book, const QString &path);
    [[nodiscard]] static QString CsvField(const QString &value);

    // Address-book import: per entry, lines of name "=" value.
    struct WabReader {
        std::function<int()> count;
        std::function<QStringList(int entry)> properties;
    };
    void BuildWabTable(bool preview, int previewRows, const WabReader &reader, const WorkProgress &progress = {});

    // Opens a table file of the database folder (e.g. "an_clients", "tmp_base").
    [[nodiscard]] std::shared_ptr<Database> openTable(const QString &table, bool create = false) const;

Q_SIGNALS:
    void currentBookChanged(const QString &book);

private:
    int openBook(const QString &name, bool descending);
    void copyOrMove(const QString &target, const QItemSelectionModel *grid, const CopyQuestions &ask, bool move);
    void copyTemplateTo(const QString &table);

    QString m_databaseFolder;
    QString m_currentBook;
    T_contact m_currentLabels;
    BookQuery *m_query1 = nullptr;
    TableQuery *m_queryHisto = nullptr;
    TableQuery *m_queryDoublon = nullptr;
    std::shared_ptr<Database> m_blackList; // kept open for the lookups of a run
};

} // namespace kirvane
