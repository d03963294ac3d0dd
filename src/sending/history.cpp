#include "sending/history.h"

#include "message/htmlbody.h"
#include "message/messagedocument.h"
#include "message/rtf.h"
#include "sending/historybrowser.h"
#include "message/textlines.h"
#include "sending/sendingrun.h"
#include "store/database.h"
#include "store/historytable.h"
#include "common/folders.h"
#include "store/addressbookstore.h"

#include <QDateTime>
#include <QFile>

namespace kirvane::sending {

using namespace kirvane::common;
using namespace kirvane::store;
using namespace kirvane::texts;

namespace {

// Every line, the last one included, ends with CR LF.
QString column(const QStringList &lines)
{
    QString out;
    for (const QString &l : lines)
        out += l + QLatin1String("\r\n");
    return out;
}

QString field(QString text)
{
    text.replace(u'\t', u' ');
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

} // namespace

qint64 writeHistoryRecord(store::AddressBookStore &store, const message::MessageDocument &message, QString *error)
{
    using message::ComposeMode;
    QString body;
    QString images;
    switch (message.mode()) {
    case ComposeMode::RichHtml:
        body = column(message::richTextLines(*message.richText()));
        break;
    case ComposeMode::PlainText:
        body = column(message::splitLines(message.plainText()));
        break;
    case ComposeMode::HtmlFile:
        body = column(message::splitLines(message.plainText()));
        images = message.images() ? column(*message.images()) : QStringLiteral("c:\\");
        break;
    }
    qint64 id = 0;
    try {
        id = store.history().add({message.subject(), body, message.pageFile(), QString::number(int(message.mode())),
                                  images, column(message.attachments()), column(message.destinationBooks())});
    } catch (const store::StoreError &e) {
        // A history row is a record of the run, never a reason to fail it;
        // the run says that it is missing.
        if (error)
            *error = QString::fromStdString(e.what());
        return 0;
    }
    if (message.mode() == ComposeMode::RichHtml && id > 0) {
        // The column keeps the words; the formatting (and the links) go
        // beside it, so that the record shows and is sent again as written.
        HistoryEntry e;
        e.id = id;
        // A folder left by a record of the same id that was deleted outside
        // the program; never followed out of the history's folder.
        if (!removeFolderTree(e.folder(), dataFolder()))
            return id;
        makeFolder(e.folder());
        QFile f(e.formattedText());
        if (f.open(QIODevice::WriteOnly))
            f.write(message::writeRtf(*message.richText()));
    }
    if (message.mode() == ComposeMode::HtmlFile && id > 0) {
        const QString folder = historyFolder() + QString::number(id) + u'/';
        // A folder already there (left by a record whose folder could not be
        // removed) must not lend its files to this one.
        if (!removeFolderTree(folder, dataFolder()))
            return id; // a folder that cannot be emptied keeps no page of this record
        makeFolder(folder);
        // A page or image that has gone is skipped.
        QFile::remove(folder + QStringLiteral("temp_html.html"));
        QFile::copy(message.pageFile(), folder + QStringLiteral("temp_html.html"));
        if (message.images()) {
            for (const QString &path : *message.images()) {
                const QString target = folder + message::fileNameOf(path);
                QFile::remove(target);
                QFile::copy(path, target);
            }
        }
    }
    return id;
}

QString refusedFilePath()
{
    return historyFolder() + QStringLiteral("refused.tsv");
}

QStringList refusedOfRecord(qint64 id)
{
    QStringList out;
    QFile f(refusedFilePath());
    if (id <= 0 || !f.open(QIODevice::ReadOnly))
        return out;
    const QString key = QString::number(id);
    f.readLine(); // the heading
    while (!f.atEnd()) {
        const QStringList fields = QString::fromUtf8(f.readLine()).chopped(1).split(u'\t');
        if (fields.size() >= 10 && fields[1] == key)
            out << QStringLiteral("%1 (%2)").arg(fields[7], (fields[8] + u' ' + fields[9]).trimmed());
    }
    return out;
}

void keepRefused(const QList<RefusedRecipient> &refused, const QString &historyId, const QString &savedName)
{
    if (refused.isEmpty())
        return;
    QFile f(refusedFilePath());
    const bool fresh = !f.exists();
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    QByteArray out;
    if (fresh)
        out += "date\thistory_id\tinterrupted_send\tbook\tcontact_id\tnom\tprenom\temail\tcode\treply\n";
    const QString date = QDateTime::currentDateTime().toString(Qt::ISODate);
    for (const RefusedRecipient &r : refused) {
        const QStringList fields{date, historyId, savedName, r.book, r.id, r.nom, r.prenom, r.address, r.code, r.text};
        QStringList cleaned;
        for (const QString &x : fields)
            cleaned << field(x);
        out += cleaned.join(u'\t').toUtf8() + '\n';
    }
    f.write(out);
}

} // namespace kirvane::sending
