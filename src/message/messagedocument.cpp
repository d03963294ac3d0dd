#include "message/messagedocument.h"

#include "message/htmlbody.h"
#include "message/htmlimport.h"
#include "message/messagetexts.h"
#include "message/textlines.h"
#include "common/folders.h"

#include <QFileInfo>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace kirvane::message {

using namespace kirvane::common;
using namespace kirvane::texts;

namespace {

void removeRows(QStringList &list, QList<int> rows)
{
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int row : std::as_const(rows))
        if (row >= 0 && row < list.size())
            list.removeAt(row);
}

void appendMissing(QStringList &list, const QStringList &names)
{
    for (const QString &name : names)
        if (!list.contains(name))
            list << name;
}

} // namespace

QString defaultFontFamily() { return QStringLiteral("Arial"); }

QTextCharFormat defaultCharFormat()
{
    QTextCharFormat f;
    f.setFontWeight(QFont::Normal);
    f.setFontItalic(false);
    f.setFontUnderline(false);
    f.setFontFamilies({defaultFontFamily()});
    f.setFontPointSize(kDefaultPointSize);
    f.setForeground(QColor(Qt::black));
    return f;
}

MessageDocument::MessageDocument(QObject *parent) : QObject(parent), m_rich(new QTextDocument(this))
{
    resetRichText();
}

MessageDocument::~MessageDocument() = default;

void MessageDocument::resetRichText()
{
    m_rich->clear();
    m_rich->setDefaultFont(QFont(defaultFontFamily(), kDefaultPointSize));
    QTextCursor(m_rich).setBlockCharFormat(defaultCharFormat());
}

void MessageDocument::setSubject(const QString &subject)
{
    if (subject == m_subject)
        return;
    m_subject = subject;
    Q_EMIT subjectChanged(m_subject);
}

void MessageDocument::setPlainText(const QString &text)
{
    if (text == m_plain)
        return;
    m_plain = text;
    Q_EMIT plainTextChanged();
}

void MessageDocument::setMode(ComposeMode mode)
{
    m_mode = mode;
    m_sourceShown = false; // the HTML-file layout starts on the browser area
    Q_EMIT modeChanged(m_mode);
}

void MessageDocument::setResumePosition(const QString &book, const QString &key)
{
    m_resumeBook = book;
    m_resumeKey = key;
}

ShownEditor MessageDocument::shownEditor() const
{
    switch (m_mode) {
    case ComposeMode::RichHtml: return ShownEditor::Rich;
    case ComposeMode::PlainText: return ShownEditor::Plain;
    case ComposeMode::HtmlFile: return m_sourceShown ? ShownEditor::Plain : ShownEditor::None;
    }
    return ShownEditor::None;
}

bool MessageDocument::richHasLines() const { return !m_rich->isEmpty(); }
bool MessageDocument::plainHasLines() const { return !m_plain.isEmpty(); }

void MessageDocument::clear()
{
    const QString blank = tempFolder() + QStringLiteral("vierge.htm");
    writeLinesFile(blank, {QStringLiteral("<HTML>"), QStringLiteral("<BODY>"), QStringLiteral("</BODY>"),
                           QStringLiteral("</HTML>")});
    setSubject(QString());
    resetRichText();
    setPlainText(QString());
    m_attachments.clear();
    m_destinations.clear();
    m_exclusions.clear();
    m_images.reset();
    m_rewrittenTags.reset();
    m_pageTags.reset();
    m_resumeBook.clear();
    m_resumeKey.clear();
    m_pageFile.clear();
    Q_EMIT listsChanged();
    setMode(ComposeMode::RichHtml);
    setShownPage(blank);
}

bool MessageDocument::newMessage(texts::Asker &ask)
{
    if (!ask.confirm(messageTexts::deleteMessageInProgress()))
        return false;
    clear();
    return true;
}

void MessageDocument::switchToRich()
{
    if (m_mode == ComposeMode::RichHtml)
        return;
    setRichPlainText(m_mode == ComposeMode::PlainText ? m_plain : QString());
}

void MessageDocument::setRichPlainText(const QString &text)
{
    resetRichText();
    QTextCursor(m_rich).insertText(text, defaultCharFormat());
    setMode(ComposeMode::RichHtml);
}

bool MessageDocument::switchToPlain(texts::Asker &ask)
{
    if (m_mode == ComposeMode::PlainText)
        return true;
    if (m_mode == ComposeMode::RichHtml) {
        if (richHasLines() && !ask.confirm(messageTexts::loseAttributes()))
            return false;
        setPlainText(richTextLines(*m_rich).join(u'\n'));
    } else {
        resetRichText();
    }
    setMode(ComposeMode::PlainText);
    return true;
}

bool MessageDocument::confirmBodyLoss(texts::Asker &ask) const
{
    const bool holdsText = (m_mode == ComposeMode::RichHtml && richHasLines()) ||
                           (m_mode == ComposeMode::PlainText && plainHasLines());
    return !holdsText || ask.confirm(messageTexts::loseMessage());
}

bool MessageDocument::loadTextFile(const QString &path)
{
    QStringList lines;
    if (!readLinesFile(path, &lines))
        return false;
    setPlainText(lines.join(u'\n'));
    setMode(ComposeMode::PlainText);
    return true;
}

bool MessageDocument::importHtmlPage(const QString &path, texts::Asker &ask)
{
    const HtmlImportResult result = readHtmlPage(path);
    if (result.status == HtmlImportStatus::Unreadable)
        return false;
    resetRichText();
    setMode(ComposeMode::HtmlFile);
    QString page;
    if (result.status == HtmlImportStatus::Ok)
        page = installHtmlPage(result.page);
    if (page.isEmpty()) {
        if (result.status == HtmlImportStatus::MissingImage)
            ask.inform(messageTexts::missingImages());
        else if (result.status == HtmlImportStatus::ImageOutsideFolder)
            ask.inform(messageTexts::imageOutsideFolder(result.missingImage));
        else if (result.status == HtmlImportStatus::ImageNameRefused)
            ask.inform(messageTexts::imageNameRefused(result.missingImage));
        setImageLists(std::nullopt, std::nullopt, std::nullopt);
        setPlainText(QString());
        m_pageFile.clear();
        setShownPage(QString());
        return false;
    }
    setImageLists(result.page.images, result.page.rewrittenTags, result.page.pageTags);
    m_pageFile = page;
    setShownPage(page);
    setSubject(result.page.title);
    setPlainText(result.page.lines.join(u'\n'));
    return true;
}

void MessageDocument::showHtmlSource()
{
    m_sourceShown = true;
    Q_EMIT modeChanged(m_mode);
}

bool MessageDocument::showHtmlPage()
{
    const QString page = tempFolder() + QStringLiteral("text_tmp.htm");
    if (!writePageFile(page, splitLines(m_plain)))
        return false;
    m_pageFile = page;
    m_sourceShown = false;
    Q_EMIT modeChanged(m_mode);
    setShownPage(page);
    return true;
}

int MessageDocument::attachFiles(const QStringList &paths, texts::Asker &ask)
{
    int added = 0;
    for (const QString &path : paths) {
        const QString name = fileNameOf(path);
        auto sameName = [&name](const QString &other) { return fileNameOf(other) == name; };
        const bool taken = std::any_of(m_attachments.begin(), m_attachments.end(), sameName) ||
                           (m_images && std::any_of(m_images->begin(), m_images->end(), sameName));
        if (taken) {
            ask.inform(QStringLiteral("\r\n") + messageTexts::uniqueNames());
            continue;
        }
        m_attachments << path;
        ++added;
    }
    if (added)
        Q_EMIT listsChanged();
    return added;
}

void MessageDocument::removeAttachments(QList<int> rows)
{
    removeRows(m_attachments, std::move(rows));
    Q_EMIT listsChanged();
}

void MessageDocument::addDestinationBooks(const QStringList &books)
{
    appendMissing(m_destinations, books);
    Q_EMIT listsChanged();
}

void MessageDocument::removeDestinationBooks(QList<int> rows)
{
    removeRows(m_destinations, std::move(rows));
    Q_EMIT listsChanged();
}

void MessageDocument::addExclusionBooks(const QStringList &books)
{
    appendMissing(m_exclusions, books);
    Q_EMIT listsChanged();
}

void MessageDocument::removeExclusionBooks(QList<int> rows)
{
    removeRows(m_exclusions, std::move(rows));
    Q_EMIT listsChanged();
}

void MessageDocument::setAttachments(const QStringList &paths)
{
    m_attachments = paths;
    Q_EMIT listsChanged();
}

void MessageDocument::setDestinationBooks(const QStringList &books)
{
    m_destinations = books;
    Q_EMIT listsChanged();
}

void MessageDocument::setExclusionBooks(const QStringList &books)
{
    m_exclusions = books;
    Q_EMIT listsChanged();
}

void MessageDocument::setImageLists(std::optional<QStringList> images, std::optional<QStringList> rewrittenTags,
                                    std::optional<QStringList> pageTags)
{
    m_images = std::move(images);
    m_rewrittenTags = std::move(rewrittenTags);
    m_pageTags = std::move(pageTags);
    Q_EMIT listsChanged();
}

void MessageDocument::setPageFile(const QString &path) { m_pageFile = path; }

void MessageDocument::setShownPage(const QString &path)
{
    m_shownPage = path;
    Q_EMIT shownPageChanged(m_shownPage);
}

} // namespace kirvane::message
