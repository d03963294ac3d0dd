#include "message/plaintextalternative.h"

#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <QUrl>
#include <QVariant>

#include <algorithm>
#include <vector>

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

// Nesting deeper than this is flattened before the HTML is read: the text
// document's reader takes time that grows with the square of the depth, and
// no real message nests a tenth as deep.
constexpr int kMaxNesting = 64;
// How far down the open elements an end tag or an implied end looks.
constexpr int kEndTagReach = 16;

bool isVoidElement(QStringView name)
{
    static const QStringList voids{"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta",
                                   "param", "source", "track", "wbr"};
    return voids.contains(name, Qt::CaseInsensitive);
}

bool isRawTextElement(QStringView name)
{
    return name.compare(u"script", Qt::CaseInsensitive) == 0 || name.compare(u"style", Qt::CaseInsensitive) == 0
           || name.compare(u"title", Qt::CaseInsensitive) == 0 || name.compare(u"textarea", Qt::CaseInsensitive) == 0;
}

// The elements an opening tag ends when one is open (HTML leaves their end
// tags out): an item ends the item before it in the same list, a cell the
// cell before it in the same row; a paragraph only the paragraph it is in.
struct ImpliedEnd {
    QStringList names;
    QStringList scope; // where the search for an open one stops
};
const ImpliedEnd *impliedEnd(QStringView name)
{
    static const ImpliedEnd ends[] = {
        {{"li"}, {"ul", "ol", "menu"}},      {{"p"}, {}},
        {{"td", "th"}, {"tr", "table"}},     {{"tr"}, {"table", "tbody", "thead", "tfoot"}},
        {{"dt", "dd"}, {"dl"}},              {{"option"}, {"select", "optgroup", "datalist"}},
    };
    for (const ImpliedEnd &e : ends)
        if (e.names.contains(name, Qt::CaseInsensitive))
            return &e;
    return nullptr;
}

// The HTML with every element nested deeper than kMaxNesting left out, its
// text kept: one pass, each tag looked at once. An element past the limit
// loses only its own tags (and with them its formatting or list prefix).
QString limitedNesting(const QString &html)
{
    struct Open {
        QString name; // lower case
        bool kept;
    };
    std::vector<Open> open;
    // Whether each open table was kept: the rows and cells of a kept table
    // are kept with it, or its text, outside any cell, would be lost.
    std::vector<bool> tables;
    int keptDepth = 0;
    auto popTo = [&](std::size_t size) {
        while (open.size() > size) {
            keptDepth -= open.back().kept ? 1 : 0;
            if (open.back().name == u"table")
                tables.pop_back();
            open.pop_back();
        }
    };
    static const QStringList tableParts{"tbody", "thead", "tfoot", "tr", "td", "th", "caption", "colgroup"};
    QString out;
    out.reserve(html.size());
    const qsizetype n = html.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype lt = html.indexOf(u'<', i);
        if (lt < 0) {
            out += QStringView(html).mid(i);
            break;
        }
        out += QStringView(html).mid(i, lt - i);
        if (QStringView(html).mid(lt).startsWith(u"<!--")) {
            const qsizetype end = html.indexOf(QLatin1String("-->"), lt + 4);
            i = end < 0 ? n : end + 3;
            continue;
        }
        // The end of the tag, quotes in attribute values honoured.
        qsizetype gt = lt + 1;
        QChar quote;
        for (; gt < n; ++gt) {
            const QChar c = html.at(gt);
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
            } else if (c == u'"' || c == u'\'') {
                quote = c;
            } else if (c == u'>') {
                break;
            }
        }
        const QStringView tag = QStringView(html).mid(lt, std::min(gt + 1, n) - lt);
        i = gt + 1;
        const bool closing = tag.size() > 1 && tag.at(1) == u'/';
        qsizetype nameStart = lt + (closing ? 2 : 1);
        qsizetype nameEnd = nameStart;
        while (nameEnd < std::min(gt, n) && (html.at(nameEnd).isLetterOrNumber() || html.at(nameEnd) == u'-'))
            ++nameEnd;
        const QString name = html.mid(nameStart, nameEnd - nameStart).toLower();
        if (name.isEmpty()) { // "<!DOCTYPE", "<?xml", a "<" of text
            out += tag;
            continue;
        }
        if (closing) {
            const std::size_t reach = std::min<std::size_t>(open.size(), kEndTagReach);
            std::size_t at = open.size();
            for (std::size_t k = 0; k < reach; ++k)
                if (open[open.size() - 1 - k].name == name) {
                    at = open.size() - 1 - k;
                    break;
                }
            if (at == open.size()) {
                out += tag; // closes nothing we know of: the reader decides
                continue;
            }
            const bool kept = open[at].kept;
            popTo(at);
            if (kept)
                out += tag;
            continue;
        }
        if (isVoidElement(name) || tag.endsWith(u"/>")) {
            out += tag;
            continue;
        }
        if (isRawTextElement(name)) {
            // Its content is no markup: copied up to its end tag as it is.
            const qsizetype end = html.indexOf(QStringLiteral("</") + name, i, Qt::CaseInsensitive);
            const qsizetype stop = end < 0 ? n : end;
            out += tag;
            out += QStringView(html).mid(i, stop - i);
            i = stop;
            continue;
        }
        if (const ImpliedEnd *ends = impliedEnd(name)) {
            const std::size_t reach = std::min<std::size_t>(open.size(), ends->scope.isEmpty() ? 1 : kEndTagReach);
            for (std::size_t k = 0; k < reach; ++k) {
                const QString &below = open[open.size() - 1 - k].name;
                if (ends->names.contains(below)) {
                    popTo(open.size() - 1 - k);
                    break;
                }
                if (ends->scope.contains(below))
                    break;
            }
        }
        const bool keep = !tables.empty() && tableParts.contains(name) ? bool(tables.back()) : keptDepth < kMaxNesting;
        if (name == u"table")
            tables.push_back(keep);
        open.push_back({name, keep});
        keptDepth += keep ? 1 : 0;
        if (keep)
            out += tag;
    }
    return out;
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
    document.setHtml(limitedNesting(htmlLines.join(u'\n')));
    return plainTextAlternative(document);
}

} // namespace kirvane::message
