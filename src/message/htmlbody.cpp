#include "message/htmlbody.h"

#include "message/messagedocument.h"
#include "message/placeholders.h"
#include "message/richformat.h"
#include "message/textlines.h"

#include <QTextBlock>
#include <QTextDocument>

#include <cmath>
#include <optional>

namespace kirvane::message {

namespace {

// Walks the editor's characters line by line, with each character's attributes.
template <typename OnChar, typename OnLineEnd>
void forEachCharacter(const QTextDocument &document, OnChar onChar, OnLineEnd onLineEnd)
{
    if (document.isEmpty())
        return;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const CharAttributes attributes = charAttributes(document, fragment.charFormat());
            for (QChar c : fragment.text()) {
                if (c == QChar::LineSeparator)
                    onLineEnd();
                else
                    onChar(c, attributes);
            }
        }
        onLineEnd();
    }
}

// A link's address inside the double quotes of href: a quote or an angle
// bracket would end the attribute or the tag. Ampersands stay, so that a
// placeholder in the address is filled.
QString linkAttribute(const QString &address)
{
    QString a = address;
    a.replace(u'"', QLatin1String("%22")).replace(u'<', QLatin1String("%3C")).replace(u'>', QLatin1String("%3E"));
    return a;
}

} // namespace

QStringList richTextLines(const QTextDocument &document)
{
    QStringList lines;
    QString line;
    forEachCharacter(
        document, [&](QChar c, const CharAttributes &) { line += c; },
        [&] { lines << std::exchange(line, QString()); });
    return lines;
}

QString htmlColourText(QRgb colour)
{
    return QStringLiteral("%1%2%3")
        .arg(qRed(colour), 2, 16, QLatin1Char('0'))
        .arg(qGreen(colour), 2, 16, QLatin1Char('0'))
        .arg(qBlue(colour), 2, 16, QLatin1Char('0'))
        .toUpper();
}

int htmlFontSize(int pointSize) { return int(std::floor(pointSize / 6.0)) + 2; }

QStringList richTextToHtmlLines(const QTextDocument &document)
{
    QStringList lines;
    QString line;
    bool bold = false, italic = false, underline = false, fontOpen = false;
    std::optional<QRgb> colour;
    std::optional<int> size;
    std::optional<QString> face;
    QString link; // the address of the link open on this line

    auto style = [&line](bool &flag, bool now, const char *on, const char *off) {
        if (flag == now)
            return;
        line += QLatin1String(now ? on : off);
        flag = now;
    };
    auto closeLink = [&] {
        if (!link.isEmpty())
            line += QLatin1String("</a>");
        link.clear();
    };
    auto onChar = [&](QChar c, const CharAttributes &a) {
        if (a.link != link)
            closeLink();
        style(bold, a.bold, "<b>", "</b>");
        style(italic, a.italic, "<i>", "</i>");
        style(underline, a.underline, "<u>", "</u>");
        QString attributes;
        if (colour != a.colour) {
            colour = a.colour;
            attributes += QStringLiteral(" Color =\"#%1\"").arg(htmlColourText(a.colour));
        }
        const int points = qRound(a.pointSize);
        if (size != points) {
            size = points;
            attributes += QStringLiteral(" size =\"%1\"").arg(htmlFontSize(points));
        }
        if (face != a.family) {
            face = a.family;
            attributes += QStringLiteral(" Face =\"%1\"").arg(a.family);
        }
        if (!attributes.isEmpty()) {
            line += (fontOpen ? QLatin1String("</font><font") : QLatin1String("<font")) + attributes + u'>';
            fontOpen = true;
        }
        if (a.link != link) {
            link = a.link;
            line += QStringLiteral("<a href=\"%1\">").arg(linkAttribute(link));
        }
        // Typed as it is: markup typed into the editor is markup, and
        // placeholder words reach the personalisation whole.
        line += c;
    };
    auto onLineEnd = [&] {
        closeLink();
        line += QLatin1String("<br>");
        lines << std::exchange(line, QString());
    };
    forEachCharacter(document, onChar, onLineEnd);
    lines << QStringLiteral("</font>");
    return lines;
}

QStringList preparedBody(const MessageDocument &message, BodyPurpose purpose)
{
    const bool sending = purpose == BodyPurpose::Sending;
    switch (message.mode()) {
    case ComposeMode::RichHtml: {
        QStringList lines = {
            QStringLiteral("<html>"),
            QStringLiteral("<head>"),
            QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">"),
            QStringLiteral("</head>"),
            QStringLiteral("<body bgcolor=\"#FFFFFF\">"),
        };
        lines += richTextToHtmlLines(*message.richText());
        if (sending)
            lines << QStringLiteral("<br>");
        lines << QStringLiteral("</body>") << QStringLiteral("</html>");
        return lines;
    }
    case ComposeMode::PlainText:
        return splitLines(message.plainText());
    case ComposeMode::HtmlFile: {
        // The page tags were taken from the page with its lines joined by
        // CR LF, and a tag may run over several lines: the source is searched
        // in that same form, or such a tag would keep its local source.
        QString text = splitLines(message.plainText()).join(QLatin1String("\r\n"));
        if (sending && message.pageTags() && message.rewrittenTags()) {
            const QStringList &tags = *message.pageTags();
            const QStringList &rewritten = *message.rewrittenTags();
            // A list read from a foreign archive may be shorter than the other.
            for (qsizetype i = 0; i < std::min(tags.size(), rewritten.size()); ++i) {
                if (containsNoCase(tags[i], QLatin1StringView("HTTP://")) || tags[i].isEmpty())
                    continue;
                const qsizetype at = text.indexOf(tags[i]);
                if (at >= 0)
                    text.replace(at, tags[i].size(), rewritten[i]);
            }
        }
        return splitLines(text);
    }
    }
    return {};
}

} // namespace kirvane::message
