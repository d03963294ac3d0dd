#include "message/plaintextalternative.h"

#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <QUrl>
#include <QVariant>

namespace kirvane::message {

namespace {

// A document that reads no resource: an image or style sheet that the HTML
// names, local or not, is neither loaded nor needed for the text.
class ResourceFreeDocument final : public QTextDocument {
protected:
    QVariant loadResource(int, const QUrl &) override { return {}; }
};

// The address a link adds after its text; empty when it adds nothing.
QString linkAddress(const QString &href, const QString &text)
{
    if (href.isEmpty() || href.startsWith(u'#') || href.startsWith(QLatin1String("cid:"), Qt::CaseInsensitive))
        return QString();
    const QString shown = text.trimmed();
    if (shown == href || QStringLiteral("mailto:") + shown == href)
        return QString();
    return QStringLiteral(" <") + href + u'>';
}

// The text of a block: fragments in order, each link followed by its address
// once its last fragment has passed, images left out.
QString blockText(const QTextBlock &block)
{
    QString out;
    QString href;     // the link being read
    QString linkText; // its text so far
    auto endLink = [&] {
        if (!href.isEmpty())
            out += linkAddress(href, linkText);
        href.clear();
        linkText.clear();
    };
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid())
            continue;
        const QTextCharFormat format = fragment.charFormat();
        const QString fragmentHref = format.isAnchor() ? format.anchorHref() : QString();
        if (fragmentHref != href)
            endLink();
        href = fragmentHref;
        if (format.isImageFormat())
            continue;
        QString text = fragment.text();
        text.remove(QChar::ObjectReplacementCharacter);
        if (!href.isEmpty())
            linkText += text;
        out += text;
    }
    endLink();
    return out;
}

// "- " for a bulleted item, "3. " for a numbered one, indented by level.
QString itemPrefix(const QTextBlock &block)
{
    const QTextList *list = block.textList();
    if (!list)
        return QString();
    const QTextListFormat format = list->format();
    const QString indent(2 * std::max(format.indent() - 1, 0), u' ');
    switch (format.style()) {
    case QTextListFormat::ListDisc:
    case QTextListFormat::ListCircle:
    case QTextListFormat::ListSquare:
        return indent + QStringLiteral("- ");
    default:
        return indent + list->itemText(block) + u' ';
    }
}

QString rightTrimmed(const QString &line)
{
    qsizetype end = line.size();
    while (end > 0 && line.at(end - 1).isSpace())
        --end;
    return line.left(end);
}

} // namespace

QStringList plainTextAlternative(const QTextDocument &document)
{
    QStringList lines;
    bool blankBefore = false;
    bool inList = false; // the block before was a list item
    auto addBlank = [&] {
        if (!lines.isEmpty() && !lines.last().isEmpty())
            lines.append(QString());
    };
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextBlockFormat format = block.blockFormat();
        // A list inside a list item goes on without a gap.
        const bool listItem = block.textList() != nullptr;
        if ((blankBefore || format.topMargin() > 0) && !(inList && listItem))
            addBlank();
        blankBefore = format.bottomMargin() > 0;
        inList = listItem;
        if (format.hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth)) {
            lines.append(QString(20, u'-'));
            continue;
        }
        QString text = blockText(block);
        text.replace(QChar::Nbsp, u' ');
        // An image left out leaves the blanks on either side of it; blanks
        // that HTML collapses anyway become one, except in preformatted text.
        static const QRegularExpression blanks(QStringLiteral(" {2,}"));
        if (!format.nonBreakableLines())
            text.replace(blanks, QStringLiteral(" "));
        if (text.trimmed().isEmpty()) {
            addBlank();
            continue;
        }
        const QString prefix = itemPrefix(block);
        bool first = true;
        for (const QString &part : text.split(QChar::LineSeparator)) {
            lines.append(rightTrimmed((first ? prefix : QString(prefix.size(), u' ')) + part.trimmed()));
            first = false;
        }
    }
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    // An empty line of its own (a "<br>" alone) next to a paragraph's gap
    // makes two; one is enough.
    for (qsizetype i = lines.size() - 1; i > 0; --i)
        if (lines.at(i).isEmpty() && lines.at(i - 1).isEmpty())
            lines.removeAt(i);
    return lines;
}

QStringList plainTextAlternative(const QStringList &htmlLines)
{
    ResourceFreeDocument document;
    document.setHtml(htmlLines.join(u'\n'));
    return plainTextAlternative(document);
}

} // namespace kirvane::message
