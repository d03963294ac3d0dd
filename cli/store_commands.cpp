// books, book ..., contact ..., contacts, export: the address-book store from
// the command line, through the same classes the desktop program uses.
#include "cli/cli.h"

#include "contacts/bookmanager.h"
#include "shell/errorcodes.h"
#include "shell/translations.h"
#include "store/contact.h"
#include "store/tbase.h"

namespace kirvane::cli {

namespace {

// The texts the address-books view shows for each outcome, on one line.
QString bookResultText(int result)
{
    auto oneLine = [](int entry) {
        return translation::lines(entry).join(QString()).simplified();
    };
    switch (result) {
    case BookManager::NameRefused:
        return oneLine(translation::BookNameCharacters);
    case BookManager::NameInUse:
        return oneLine(translation::BookNameInUse);
    case BookManager::Protected:
        return oneLine(translation::SubscribersUndeletable);
    case BookManager::LabelsUnwritten:
        return QStringLiteral("the label file cannot be written");
    default:
        return errorText(result);
    }
}

int bookResult(const BookManager &books, int result)
{
    if (result == BookManager::Ok)
        return 0;
    const QString why = books.lastError();
    return fail(bookResultText(result) + (why.isEmpty() ? QString() : QLatin1String(": ") + why));
}

QStringList parseLabels(const QString &text, bool *ok)
{
    QStringList labels = text.split(u',');
    *ok = labels.size() == 4;
    return labels;
}

int requireBook(Tbase &base, const QString &book)
{
    if (!BookManager(base).exists(book))
        return fail(QStringLiteral("no address book named \"%1\"").arg(book));
    return 0;
}

int bookCommand(Tbase &base, QStringList args)
{
    BookManager books(base);
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
        return bookResult(books, books.create(args[1], labels));
    }
    if (verb == QLatin1String("copy") && args.size() == 3)
        return bookResult(books, books.duplicate(args[1], args[2]));
    if (verb == QLatin1String("rename") && args.size() == 3)
        return bookResult(books, books.rename(args[1], args[2]));
    if (verb == QLatin1String("relabel") && args.size() == 3) {
        bool ok = false;
        const QStringList labels = parseLabels(args[2], &ok);
        if (!ok)
            return fail(QStringLiteral("relabel takes four labels separated by commas"));
        if (int rc = requireBook(base, args[1]))
            return rc;
        return bookResult(books, books.relabel(args[1], labels));
    }
    if (verb == QLatin1String("delete") && args.size() == 2)
        return bookResult(books, books.remove(args[1]));
    return fail(QStringLiteral("usage: book create|copy|rename|relabel|delete ..."));
}

int contactCommand(Tbase &base, QStringList args)
{
    const QString verb = args.value(0);
    const QString book = args.value(1);
    if (args.size() < 2)
        return fail(QStringLiteral("usage: contact add BOOK COLUMN=VALUE... | contact delete BOOK ID..."));
    if (int rc = requireBook(base, book))
        return rc;
    if (verb == QLatin1String("add")) {
        T_contact c = emptyContact();
        for (const QString &pair : args.mid(2)) {
            const int eq = pair.indexOf(u'=');
            const int column = eq > 0 ? contactColumnIndex(pair.left(eq)) : -1;
            if (column <= 0)
                return fail(QStringLiteral("not a column: %1 (use nom, prenom, ... champ19)").arg(pair.left(eq)));
            c[column].value = pair.mid(eq + 1);
        }
        out() << base.AddContact(c, book) << Qt::endl;
        return 0;
    }
    if (verb == QLatin1String("delete")) {
        const QStringList ids = args.mid(2);
        for (const QString &id : ids) {
            bool ok = false;
            id.toLongLong(&ok);
            if (!ok)
                return fail(QStringLiteral("not an id: %1").arg(id));
        }
        base.DeleteContactList(book, ids);
        return 0;
    }
    return fail(QStringLiteral("usage: contact add|delete BOOK ..."));
}

int contactsCommand(Tbase &base, const QStringList &args)
{
    if (args.size() != 1)
        return fail(QStringLiteral("usage: contacts BOOK"));
    if (int rc = requireBook(base, args[0]))
        return rc;
    (void)base.CountRows(QStringLiteral("an_") + args[0]); // raises with the reason a book cannot be read
    if (base.OpenBook(args[0]) != 0)
        return fail(QStringLiteral("cannot open the address book \"%1\"").arg(args[0]));
    BookQuery *q = base.Query1();
    const QStringList &cols = contactColumns();
    QTextStream &o = out();
    for (int row = 0; row < q->rowCount(); ++row) {
        o << u'{';
        for (int k = 0; k < kContactFields; ++k) {
            if (k)
                o << u',';
            o << u'"' << cols[k] << QLatin1String("\":");
            if (k == F_id)
                o << q->idAt(row);
            else
                o << jsonString(q->text(row, k));
        }
        o << QLatin1String("}\n");
    }
    o.flush();
    return 0;
}

} // namespace

int runStoreCommand(const QString &command, QStringList args)
{
    Tbase base;
    base.InitDatabaseFolder();
    try {
        if (command == QLatin1String("books")) {
            for (const QString &b : base.ListBooks())
                out() << b << u'\n';
            out().flush();
            return 0;
        }
        if (command == QLatin1String("book"))
            return bookCommand(base, args);
        if (command == QLatin1String("contact"))
            return contactCommand(base, args);
        if (command == QLatin1String("contacts"))
            return contactsCommand(base, args);
        if (command == QLatin1String("export")) {
            if (args.size() != 2)
                return fail(QStringLiteral("usage: export BOOK FILE"));
            if (int rc = requireBook(base, args[0]))
                return rc;
            base.ExportBook(args[0], args[1]);
            return 0;
        }
    } catch (const StoreError &e) {
        return fail(QString::fromStdString(e.what()));
    }
    return fail(QStringLiteral("unknown command \"%1\" (try --help)").arg(command));
}

} // namespace kirvane::cli
