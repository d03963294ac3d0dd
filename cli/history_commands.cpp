// history, history show|delete|resend: the history of sent messages from the
// command line, through the history view's own class.
#include "cli/cli.h"

#include "message/messagearchive.h"
#include "message/messagedocument.h"
#include "sending/historybrowser.h"
#include "store/addressbookstore.h"
#include "store/database.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace kirvane::cli {

namespace {

using sending::HistoryBrowser;
using sending::HistoryEntry;

QJsonObject entryObject(const HistoryEntry &e, bool withBody)
{
    QJsonObject o{{QStringLiteral("id"), e.id},
                  {QStringLiteral("subject"), e.subject},
                  {QStringLiteral("date"), e.date},
                  {QStringLiteral("mode"), e.mode},
                  {QStringLiteral("books"), QJsonArray::fromStringList(e.books)},
                  {QStringLiteral("attachments"), QJsonArray::fromStringList(e.attachments)},
                  {QStringLiteral("refused"), QJsonArray::fromStringList(e.refused)}};
    if (withBody) {
        o.insert(QStringLiteral("images"), QJsonArray::fromStringList(e.images));
        o.insert(QStringLiteral("page"), e.pagePath);
        o.insert(QStringLiteral("body"), e.body);
    }
    return o;
}

void printObject(const QJsonObject &o)
{
    writeRaw(QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
}

bool parseId(const QString &text, qint64 *id)
{
    bool ok = false;
    *id = text.toLongLong(&ok);
    return ok && *id > 0;
}

} // namespace

int runHistoryCommand(QStringList args)
{
    store::AddressBookStore store;
    store.initDataFolder();
    HistoryBrowser history(store);
    try {
        if (QString why; !history.reload(&why))
            return fail(QStringLiteral("cannot read the history: ") + why);
        const QString verb = args.value(0);
        if (args.isEmpty()) {
            for (int r = 0; r < history.count(); ++r)
                printObject(entryObject(history.entry(r), false));
            return 0;
        }
        QList<qint64> ids;
        for (const QString &a : args.mid(1)) {
            qint64 id = 0;
            if (!parseId(a, &id))
                break;
            ids << id;
        }
        if (verb == QLatin1String("show") && args.size() == 2 && ids.size() == 1) {
            const int row = history.rowOfId(ids.first());
            if (row < 0)
                return fail(QStringLiteral("no history record %1").arg(ids.first()));
            printObject(entryObject(history.entry(row), true));
            return 0;
        }
        if (verb == QLatin1String("delete") && args.size() > 1 && ids.size() == args.size() - 1) {
            for (qint64 id : ids)
                if (history.rowOfId(id) < 0)
                    return fail(QStringLiteral("no history record %1").arg(id));
            const HistoryBrowser::Deletion d = history.deleteIds(ids);
            if (!d.foldersLeft.isEmpty())
                return fail(QStringLiteral("the records are deleted, but these folders could not be removed: %1")
                                .arg(d.foldersLeft.join(QStringLiteral(", "))));
            return 0;
        }
        if (verb == QLatin1String("resend") && args.size() == 3 && !ids.isEmpty()) {
            const int row = history.rowOfId(ids.first());
            if (row < 0)
                return fail(QStringLiteral("no history record %1").arg(ids.first()));
            const QString target = QFileInfo(args[2]).absoluteFilePath();
            if (QFileInfo::exists(target))
                return fail(QStringLiteral("%1 exists already").arg(target));
            CommandLineAsker asker;
            message::MessageDocument doc;
            if (!history.sendAgain(row, doc, asker))
                return fail(QStringLiteral("history record %1 could not be put back").arg(ids.first()));
            if (!message::saveMessage(doc, target, asker))
                return fail(QStringLiteral("cannot write %1").arg(target));
            return 0;
        }
    } catch (const store::StoreError &e) {
        return fail(QString::fromStdString(e.what()));
    }
    return fail(QStringLiteral("usage: history | history show ID | history delete ID... | history resend ID FILE.MNL"));
}

} // namespace kirvane::cli
