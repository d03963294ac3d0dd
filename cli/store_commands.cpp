// books, book ..., contact ..., contacts, export: the address-book store from
// the command line, through the same classes the desktop program uses.
#include "cli/cli.h"

#include "contacts/bookmanager.h"
#include "texts/errorcodes.h"
#include "texts/texttable.h"
#include "store/contactrecord.h"
#include "store/addressbookstore.h"
#include "import/csvexport.h"
#include "common/textcodec.h"

using namespace kirvane::contacts;
using namespace kirvane::store;
using namespace kirvane::texts;

namespace kirvane::cli {

namespace {

// The texts the address-books view shows for each outcome, on one line,
// with the system's reason after them.
int bookResult(const BookResult &result)
{
    if (result.ok())
        return 0;
    auto oneLine = [](int entry) { return texts::lines(entry).join(QString()).simplified(); };
    QString text;
    switch (result.refusal) {
    case BookResult::Refusal::BadName: text = oneLine(texts::BookNameCharacters); break;
    case BookResult::Refusal::NameInUse: text = oneLine(texts::BookNameInUse); break;
    case BookResult::Refusal::Protected: text = oneLine(texts::SubscribersUndeletable); break;
    case BookResult::Refusal::None:
        text = result.errorCode ? errorText(result.errorCode) : QStringLiteral("the label file cannot be written");
        break;
    }
    return fail(text + (result.reason.isEmpty() ? QString() : QLatin1String(": ") + result.reason));
}

QStringList parseLabels(const QString &text, bool *ok)
{
    QStringList labels = text.split(u',');
    *ok = labels.size() == 4;
    return labels;
}

int requireBook(AddressBookStore &store, const QString &book)
{
    BookFiles::checkBookName(book); // the reason, rather than "no address book"
    if (!BookManager(store).exists(book))
        return fail(QStringLiteral("no address book named \"%1\"").arg(book));
    return 0;
}

int bookCommand(AddressBookStore &store, QStringList args)
{
    BookManager books(store);
    const QString verb = args.value(0);
    if (verb == QLatin1String("create")) {
        QString labelText;
        QStringList labels = {QStringLiteral("Champ 1"), QStringLiteral("Champ 2"), QStringLiteral("Champ 3"),
                              QStringLiteral("Champ 4")};
        if (takeOption(args, QStringLiteral("labels"), &labelText)) {
            bool ok = false;
            labels = parseLabels(labelText, &ok);
            if (!ok)
                return fail(QStringLiteral("--labels takes four labels separated by commas"));
        }
        if (args.size() != 2)
            return fail(QStringLiteral("usage: book create NAME [--labels L1,L2,L3,L4]"));
        return bookResult(books.create(args[1], labels));
    }
    if (verb == QLatin1String("copy") && args.size() == 3)
        return bookResult(books.duplicate(args[1], args[2]));
    if (verb == QLatin1String("rename") && args.size() == 3)
        return bookResult(books.rename(args[1], args[2]));
    if (verb == QLatin1String("relabel") && args.size() == 3) {
        bool ok = false;
        const QStringList labels = parseLabels(args[2], &ok);
        if (!ok)
            return fail(QStringLiteral("relabel takes four labels separated by commas"));
        if (int rc = requireBook(store, args[1]))
            return rc;
        return bookResult(books.relabel(args[1], labels));
    }
    if (verb == QLatin1String("delete") && args.size() == 2)
        return bookResult(books.remove(args[1]));
    return fail(QStringLiteral("usage: book create|copy|rename|relabel|delete ..."));
}

int contactCommand(AddressBookStore &store, QStringList args)
{
    const QString verb = args.value(0);
    const QString book = args.value(1);
    if (args.size() < 2)
        return fail(QStringLiteral("usage: contact add BOOK COLUMN=VALUE... | contact delete BOOK ID..."));
    if (verb == QLatin1String("copy") || verb == QLatin1String("move"))
        return runContactEditCommand(store, args);
    if (int rc = requireBook(store, book))
        return rc;
    if (verb == QLatin1String("add")) {
        ContactRecord c = emptyContact();
        QString error;
        if (!setColumns(c, args.mid(2), &error))
            return fail(error);
        out() << store.contacts().addContact(c, book) << Qt::endl;
        return 0;
    }
    if (verb == QLatin1String("delete")) {
        QList<qint64> ids;
        for (const QString &id : args.mid(2)) {
            bool ok = false;
            ids << id.toLongLong(&ok);
            if (!ok)
                return fail(QStringLiteral("not an id: %1").arg(id));
        }
        store.contacts().deleteContacts(book, ids);
        return 0;
    }
    return runContactEditCommand(store, args);
}

int contactsCommand(AddressBookStore &store, const QStringList &args)
{
    if (args.size() != 1)
        return fail(QStringLiteral("usage: contacts BOOK"));
    if (int rc = requireBook(store, args[0]))
        return rc;
    // One ordered scan, written as UTF-8 as it is read.
    BookScan scan = store.contacts().scan(args[0]);
    const QStringList &cols = contactColumns();
    QByteArray line;
    while (scan.next()) {
        if (line.size() > (1 << 16)) {
            writeRaw(line);
            line.clear();
        }
        line += '{';
        for (int k = 0; k < kContactFields; ++k) {
            if (k)
                line += ',';
            line += '"';
            line += cols[k].toLatin1();
            line += "\":";
            if (k == F_id)
                line += QByteArray::number(scan.id());
            else
                appendJsonString(line, scan.utf8(k));
        }
        line += "}\n";
    }
    writeRaw(line);
    return 0;
}

} // namespace

int runStoreCommand(const QString &command, QStringList args)
{
    AddressBookStore store;
    store.initDataFolder();
    try {
        if (command == QLatin1String("books")) {
            for (const QString &b : store.listBooks())
                out() << b << u'\n';
            out().flush();
            // No name given here could reach these: say they are there.
            for (const QByteArray &file : store.files().unreachableBookFiles())
                err() << "kirvane-cli: " << common::fromWindows1252(file)
                      << ": this address-book file cannot be opened, its name is not valid UTF-8; rename it"
                      << Qt::endl;
            return 0;
        }
        if (command == QLatin1String("book"))
            return bookCommand(store, args);
        if (command == QLatin1String("contact"))
            return contactCommand(store, args);
        if (command == QLatin1String("contacts"))
            return contactsCommand(store, args);
        if (command == QLatin1String("export")) {
            if (args.size() != 2)
                return fail(QStringLiteral("usage: export BOOK FILE"));
            if (int rc = requireBook(store, args[0]))
                return rc;
            if (const QString note = import::exportNote(import::exportBook(store.files(), args[0], args[1])); !note.isEmpty())
                out() << note << Qt::endl;
            return 0;
        }
    } catch (const StoreError &e) {
        return fail(QString::fromStdString(e.what()));
    }
    return fail(QStringLiteral("unknown command \"%1\" (try --help)").arg(command));
}

} // namespace kirvane::cli
