// contact show|update|copy|move and titles: the contacts view's commands from
// the command line, through the same classes the window uses.
#include "cli/cli.h"

#include "contacts/bookmanager.h"
#include "contacts/titlelist.h"
#include "store/addressbookstore.h"
#include "store/contactrecord.h"
#include "store/contacttable.h"

using namespace kirvane::contacts;
using namespace kirvane::store;

namespace kirvane::cli {

namespace {

bool parseIds(const QStringList &words, QList<qint64> *ids, QString *bad)
{
    for (const QString &w : words) {
        bool ok = false;
        const qint64 id = w.toLongLong(&ok);
        if (!ok) {
            *bad = w;
            return false;
        }
        *ids << id;
    }
    return true;
}

QByteArray contactJson(const ContactRecord &c)
{
    const QStringList &cols = contactColumns();
    QByteArray line = "{";
    for (int k = 0; k < kContactFields; ++k) {
        if (k)
            line += ',';
        line += '"' + cols[k].toLatin1() + "\":";
        if (k == F_id)
            line += c[k].value.toLatin1();
        else
            appendJsonString(line, c[k].value.toUtf8());
    }
    return line + "}\n";
}

int transfer(AddressBookStore &store, QStringList args, bool move)
{
    QString duplicates = QStringLiteral("skip");
    takeOption(args, QStringLiteral("duplicates"), &duplicates);
    if (duplicates != QLatin1String("skip") && duplicates != QLatin1String("keep"))
        return fail(QStringLiteral("--duplicates takes skip or keep"));
    if (args.size() < 4)
        return fail(QStringLiteral("usage: contact copy|move BOOK DEST ID... [--duplicates skip|keep]"));
    const QString book = args[1], dest = args[2];
    for (const QString &b : {book, dest})
        if (!BookManager(store).exists(b))
            return fail(QStringLiteral("no address book named \"%1\"").arg(b));
    QList<qint64> ids;
    QString bad;
    if (!parseIds(args.mid(3), &ids, &bad))
        return fail(QStringLiteral("not an id: %1").arg(bad));
    const bool keep = duplicates == QLatin1String("keep");
    const ConflictDecision decide = [keep](TransferConflict, const ContactRecord &) { return keep; };
    const QList<qint64> taken = move ? store.contacts().moveContacts(book, ids, dest, decide)
                                     : store.contacts().copyContacts(book, ids, dest, decide);
    for (qint64 id : ids)
        out() << (taken.contains(id) ? (move ? "moved " : "copied ") : "skipped ") << id << u'\n';
    out().flush();
    return 0;
}

} // namespace

bool setColumns(ContactRecord &contact, const QStringList &pairs, QString *error)
{
    for (const QString &pair : pairs) {
        const int eq = int(pair.indexOf(u'='));
        const int column = eq > 0 ? contactColumnIndex(pair.left(eq)) : -1;
        if (column <= 0) {
            *error = QStringLiteral("not a column: %1 (use nom, prenom, ... champ19)").arg(eq > 0 ? pair.left(eq) : pair);
            return false;
        }
        contact[column].value = pair.mid(eq + 1);
    }
    return true;
}

int runContactEditCommand(AddressBookStore &store, const QStringList &args)
{
    const QString verb = args.value(0);
    if (verb == QLatin1String("copy") || verb == QLatin1String("move"))
        return transfer(store, args, verb == QLatin1String("move"));
    if ((verb == QLatin1String("show") && args.size() == 3) || (verb == QLatin1String("update") && args.size() >= 3)) {
        const QString book = args[1];
        bool ok = false;
        const qint64 id = args[2].toLongLong(&ok);
        if (!ok)
            return fail(QStringLiteral("not an id: %1").arg(args[2]));
        ContactRecord c = emptyContact();
        store.contacts().readContact(id, book, c);
        if (verb == QLatin1String("show")) {
            writeRaw(contactJson(c));
            return 0;
        }
        // As Modify saves it: no duplicate question.
        QString error;
        if (!setColumns(c, args.mid(3), &error))
            return fail(error);
        c[F_id].value = QString::number(id);
        if (!store.contacts().saveContact(c, book))
            return fail(QStringLiteral("the contact could not be saved"));
        return 0;
    }
    return fail(QStringLiteral("usage: contact add|show|update|copy|move|delete BOOK ..."));
}

int runTitlesCommand(QStringList args)
{
    const TitleList file;
    if (args.isEmpty()) {
        for (const QString &t : file.load())
            out() << t << u'\n';
        out().flush();
        return 0;
    }
    if (args.first() != QLatin1String("set"))
        return fail(QStringLiteral("usage: titles | titles set TITLE..."));
    QStringList titles;
    for (const QString &t : args.mid(1))
        TitleList::add(titles, t);
    if (!file.save(titles))
        return fail(QStringLiteral("cannot write %1").arg(file.path()));
    return 0;
}

} // namespace kirvane::cli
