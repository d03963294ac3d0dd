// kirvane-cli message: write a saved message archive from files, show what an
// archive holds, and print the body a contact would receive.

#include "cli/cli.h"

#include "message/htmlbody.h"
#include "message/messagearchive.h"
#include "message/messagedocument.h"
#include "message/messagetexts.h"
#include "message/placeholders.h"
#include "message/preview.h"
#include "message/rtf.h"
#include "common/folders.h"
#include "store/addressbookstore.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextDocument>

using namespace kirvane::common;
using namespace kirvane::store;
using namespace kirvane::texts;

namespace kirvane::cli {

namespace {

using namespace kirvane::message;

constexpr const char *kMessageUsage =
    "usage: kirvane-cli message COMMAND ...\n"
    "  make FILE (--rtf F | --text F | --html F) [--subject S] [--book B]... [--exclude B]... [--attach F]...\n"
    "                                         write a saved message archive (.MNL, or .MNS when FILE says so)\n"
    "  show FILE                              the archive's content as one JSON object\n"
    "  render FILE [--book BOOK]              the body prepared for sending, personalised with\n"
    "                                         the first contact of BOOK in name order\n";

// Questions get No; notices go to standard error.
QJsonValue listValue(const QStringList &list) { return QJsonArray::fromStringList(list); }
QJsonValue listValue(const std::optional<QStringList> &list)
{
    return list ? listValue(*list) : QJsonValue(QJsonValue::Null);
}

// The files a command unpacked only to read them, removed when it ends.
struct UnpackedFiles {
    QStringList files;
    UnpackedFiles() = default;
    UnpackedFiles(const UnpackedFiles &) = delete;
    UnpackedFiles &operator=(const UnpackedFiles &) = delete;
    ~UnpackedFiles()
    {
        for (const QString &f : std::as_const(files))
            QFile::remove(f);
    }
};

// Reads FILE as an archive, its kind from its extension.
int readMessage(const QString &given, MessageDocument &doc, UnpackedFiles &unpacked)
{
    const QFileInfo info(given);
    const QString path = findNoCase(info.absolutePath() + u'/', info.fileName());
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("cannot read %1").arg(path));
    if (readArchive(path, doc, {}, &unpacked.files) != ArchiveReadStatus::Ok)
        return fail(messageTexts::corruptMessage());
    return 0;
}

int make(QStringList args)
{
    QString rtf, text, html, subject;
    const bool hasRtf = takeOption(args, QStringLiteral("rtf"), &rtf);
    const bool hasText = takeOption(args, QStringLiteral("text"), &text);
    const bool hasHtml = takeOption(args, QStringLiteral("html"), &html);
    const bool hasSubject = takeOption(args, QStringLiteral("subject"), &subject);
    const QStringList books = takeOptions(args, QStringLiteral("book"));
    const QStringList excluded = takeOptions(args, QStringLiteral("exclude"));
    const QStringList attached = takeOptions(args, QStringLiteral("attach"));
    if (args.size() != 1 || int(hasRtf) + int(hasText) + int(hasHtml) != 1)
        return fail(QStringLiteral("usage: message make FILE (--rtf F | --text F | --html F) [options]"));

    MessageDocument doc;
    doc.clear();
    CommandLineAsker ask;
    if (hasRtf) {
        QFile file(rtf);
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1").arg(rtf));
        const RtfReadStatus status = readRtfDocument(file.readAll(), doc.richText());
        if (status == RtfReadStatus::TooLarge)
            return fail(QStringLiteral("%1 holds more than a message may").arg(rtf));
        if (status != RtfReadStatus::Ok)
            return fail(QStringLiteral("%1 is not an RTF file").arg(rtf));
    } else if (hasText) {
        if (!doc.loadTextFile(text))
            return fail(QStringLiteral("cannot read %1").arg(text));
    } else if (!QFileInfo(html).isFile()) {
        return fail(QStringLiteral("cannot read %1").arg(html));
    } else if (!doc.importHtmlPage(html, ask)) {
        return 1; // the notice has been printed
    }
    if (hasSubject)
        doc.setSubject(subject);
    doc.addDestinationBooks(books);
    doc.addExclusionBooks(excluded);
    QStringList paths;
    for (const QString &a : attached)
        paths << QFileInfo(a).absoluteFilePath();
    doc.attachFiles(paths, ask);

    const QString target = QFileInfo(args.first()).absoluteFilePath();
    ArchiveKind kind = ArchiveKind::SavedMessage;
    QString base = target;
    if (target.endsWith(QLatin1String(".MNS"), Qt::CaseInsensitive))
        kind = ArchiveKind::InterruptedSend;
    if (kind == ArchiveKind::InterruptedSend || target.endsWith(QLatin1String(".MNL"), Qt::CaseInsensitive))
        base.chop(4);
    QString error;
    if (!writeArchive(doc, base, kind, QString(), QString(), &error))
        return fail(messageTexts::backupError() + QStringLiteral(": ") + error);
    return 0;
}

int show(const QStringList &args)
{
    if (args.size() != 1)
        return fail(QStringLiteral("usage: message show FILE"));
    MessageDocument doc;
    UnpackedFiles unpacked;
    if (int rc = readMessage(args.first(), doc, unpacked))
        return rc;
    QJsonObject o;
    o.insert(QStringLiteral("subject"), doc.subject());
    o.insert(QStringLiteral("mode"), int(doc.mode()));
    o.insert(QStringLiteral("resume_book"), doc.resumeBook());
    o.insert(QStringLiteral("resume_key"), doc.resumeKey());
    o.insert(QStringLiteral("destination_books"), listValue(doc.destinationBooks()));
    o.insert(QStringLiteral("attachments"), listValue(doc.attachments()));
    o.insert(QStringLiteral("exclusion_books"), listValue(doc.exclusionBooks()));
    o.insert(QStringLiteral("images"), listValue(doc.images()));
    o.insert(QStringLiteral("rewritten_tags"), listValue(doc.rewrittenTags()));
    o.insert(QStringLiteral("page_tags"), listValue(doc.pageTags()));
    o.insert(QStringLiteral("body"), doc.mode() == ComposeMode::RichHtml
                                         ? richTextLines(*doc.richText()).join(u'\n')
                                         : doc.plainText());
    writeRaw(QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
    return 0;
}

int render(QStringList args)
{
    QString book;
    const bool withBook = takeOption(args, QStringLiteral("book"), &book);
    if (args.size() != 1)
        return fail(QStringLiteral("usage: message render FILE [--book BOOK]"));
    MessageDocument doc;
    UnpackedFiles unpacked;
    if (int rc = readMessage(args.first(), doc, unpacked))
        return rc;
    QStringList lines = preparedBody(doc, BodyPurpose::Sending);
    if (withBook) {
        AddressBookStore store;
        store.initDataFolder();
        if (!store.files().bookExists(book))
            return fail(QStringLiteral("no address book named \"%1\"").arg(book));
        const std::optional<ContactRecord> contact = firstContactOf(store, book);
        if (!contact)
            return fail(QStringLiteral("cannot open the address book \"%1\"").arg(book));
        lines = personaliseLines(lines, *contact, bodyValueForm(doc.mode()));
    }
    for (const QString &line : std::as_const(lines))
        out() << line << '\n';
    out().flush();
    return 0;
}

} // namespace

int runMessageCommand(QStringList args)
{
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        out() << kMessageUsage;
        return args.isEmpty() ? 1 : 0;
    }
    const QString verb = args.takeFirst();
    if (verb == QLatin1String("make"))
        return make(args);
    if (verb == QLatin1String("show"))
        return show(args);
    if (verb == QLatin1String("render"))
        return render(args);
    return fail(QStringLiteral("unknown message command \"%1\"; see 'kirvane-cli message --help'").arg(verb));
}

} // namespace kirvane::cli
