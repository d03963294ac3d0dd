#include "message/htmlimport.h"

#include "message/textlines.h"
#include "common/folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace kirvane::message {

using namespace kirvane::common;

namespace {

// Why an image beside the page cannot be embedded, or Ok. A link must stay in
// the page's folder: one leading elsewhere would put any file of the system
// into the message. Images travel under their file names, which a saved
// message compares without regard to case and beside its own parts.
HtmlImportStatus imageRefusal(const QString &imagePath, const QString &pageFolder, const QStringList &earlier)
{
    const QFileInfo image(imagePath);
    if (image.isSymLink()) {
        const QString target = image.canonicalFilePath();
        if (target.isEmpty() || QFileInfo(target).absolutePath() != QDir(pageFolder).canonicalPath())
            return HtmlImportStatus::ImageOutsideFolder;
    }
    const QString name = image.fileName();
    if (isPartLikeName(name))
        return HtmlImportStatus::ImageNameRefused;
    for (const QString &other : earlier) {
        const QString otherName = QFileInfo(other).fileName();
        if (otherName != name && otherName.compare(name, Qt::CaseInsensitive) == 0)
            return HtmlImportStatus::ImageNameRefused;
    }
    return HtmlImportStatus::Ok;
}

} // namespace

bool isPartLikeName(const QString &fileName)
{
    static const QRegularExpression part(QStringLiteral("^.*([1-7]\\.dat|\\.mnl|\\.mns)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    return part.match(fileName).hasMatch();
}

QStringList qualifyingImageTags(const QString &text)
{
    QStringList tags;
    qsizetype from = 0;
    while (true) {
        const qsizetype start = text.indexOf(QLatin1String("<IMG"), from, Qt::CaseInsensitive);
        if (start < 0)
            break;
        const qsizetype end = text.indexOf(u'>', start);
        if (end < 0)
            break;
        const QString tag = text.mid(start, end - start + 1);
        // SRC must be the first attribute, right after the tag name, with its
        // value in double quotes: after the first space is marked and the other
        // spaces dropped, the tag reads <IMG©SRC=" in capitals.
        QString probe = tag;
        const qsizetype space = probe.indexOf(u' ');
        if (space >= 0) {
            probe[space] = QChar(0xA9);
            probe.remove(u' ');
        }
        if (probe.toUpper().contains(QStringLiteral("<IMG\u00A9SRC=\"")))
            tags << tag;
        from = end + 1;
    }
    return tags;
}

QString pageTitle(const QString &text)
{
    const qsizetype open = text.indexOf(QLatin1String("<TITLE>"), 0, Qt::CaseInsensitive);
    const qsizetype close = text.indexOf(QLatin1String("</TITLE>"), 0, Qt::CaseInsensitive);
    if (open < 0 || close < open + 7)
        return QString();
    QString title = text.mid(open + 7, close - open - 7);
    title.replace(QLatin1String("\r\n"), QLatin1String(" "));
    title.replace(u'\n', u' ');
    return title;
}

QString tagSource(const QString &tag)
{
    const qsizetype q1 = tag.indexOf(u'"');
    const qsizetype q2 = q1 < 0 ? -1 : tag.indexOf(u'"', q1 + 1);
    return q2 < 0 ? QString() : tag.mid(q1 + 1, q2 - q1 - 1);
}

HtmlImportResult readHtmlPage(const QString &path)
{
    HtmlImportResult result;
    QStringList lines;
    if (!readLinesFile(path, &lines))
        return result;
    for (QString &line : lines)
        line.replace(QLatin1String("&amp;"), QLatin1String("&"));
    HtmlPage &page = result.page;
    page.lines = lines;
    const QString text = lines.join(QLatin1String("\r\n"));
    page.title = pageTitle(text);
    page.pageTags = qualifyingImageTags(text);

    const QString folder = QFileInfo(path).absolutePath() + u'/';
    for (const QString &tag : std::as_const(page.pageTags)) {
        const QString written = tagSource(tag);
        if (containsNoCase(written, QLatin1StringView("HTTP://"))) {
            page.rewrittenTags << QStringLiteral("NULL");
            continue;
        }
        QString source = written;
        const qsizetype scheme = source.indexOf(QLatin1String("file:"), 0, Qt::CaseInsensitive);
        if (scheme >= 0)
            source.remove(scheme, 5);
        const QString name = fileNameOf(source);
        // Only a file beside the page qualifies, whatever folder the tag names.
        const QString imagePath = name.isEmpty() ? QString() : findNoCase(folder, name);
        if (imagePath.isEmpty() || !QFileInfo(imagePath).isFile()) {
            result.status = HtmlImportStatus::MissingImage;
            result.missingImage = folder + name;
            return result;
        }
        if (const HtmlImportStatus refusal = imageRefusal(imagePath, folder, page.images);
            refusal != HtmlImportStatus::Ok) {
            result.status = refusal;
            result.missingImage = imagePath;
            return result;
        }
        // The source is replaced where it stands, between the first two quotes:
        // its first occurrence anywhere could lie inside the tag name itself
        // (a source "i" in <img src="i">).
        QString rewritten = tag;
        rewritten.replace(tag.indexOf(u'"') + 1, written.size(),
                          QStringLiteral("cid:") + QFileInfo(imagePath).fileName());
        page.rewrittenTags << rewritten;
        page.images << imagePath;
    }
    result.status = HtmlImportStatus::Ok;
    return result;
}

QString installHtmlPage(const HtmlPage &page)
{
    const QString temp = tempFolder();
    for (const QString &image : page.images) {
        const QString target = temp + QFileInfo(image).fileName();
        if (QFileInfo(image).absoluteFilePath() == QFileInfo(target).absoluteFilePath())
            continue; // already the copy in the temporary folder
        QFile::remove(target);
        QFile::copy(image, target); // a failed copy of a work file is ignored
    }
    const QString pagePath = temp + kImportedPageName;
    return writePageFile(pagePath, page.lines) ? pagePath : QString();
}

} // namespace kirvane::message
