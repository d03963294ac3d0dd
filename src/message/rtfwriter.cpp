#include "message/rtf.h"

#include "message/richformat.h"
#include "common/textcodec.h"

#include <QTextBlock>
#include <QTextDocument>

namespace kirvane::message {

using namespace kirvane::common;

namespace {

void appendEscaped(QByteArray &out, QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\\' || c == u'{' || c == u'}') {
            out += '\\';
            out += char(c);
        } else if (c == u'\t') {
            out += "\\tab ";
        } else if (c >= 0x20 && c < 0x80) {
            out += char(c);
        } else if (c < 0x20) {
            continue; // other control characters have no place in the text
        } else if (const QStringView one = text.sliced(i, 1); fitsWindows1252(one)) {
            out += "\\'" + toWindows1252(one).toHex();
        } else {
            // \uN takes a signed 16-bit value; \uc1 makes readers skip the '?'.
            out += "\\u" + QByteArray::number(qint16(c)) + '?';
        }
    }
}

} // namespace

QByteArray writeRtf(const QTextDocument &document)
{
    // Fonts and colours are numbered in order of first use.
    QStringList fonts;
    QList<QRgb> colours;
    struct Run {
        QString text;
        CharAttributes attrs;
    };
    std::vector<std::vector<Run>> paragraphs;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        std::vector<Run> runs;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const CharAttributes a = charAttributes(document, fragment.charFormat());
            if (!fonts.contains(a.family))
                fonts << a.family;
            if (!colours.contains(a.colour))
                colours << a.colour;
            runs.push_back({fragment.text(), a});
        }
        paragraphs.push_back(std::move(runs));
    }
    if (fonts.isEmpty())
        fonts << charAttributes(document, QTextCharFormat()).family;

    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl";
    for (int i = 0; i < fonts.size(); ++i) {
        out += "{\\f" + QByteArray::number(i) + "\\fnil\\fcharset0 ";
        appendEscaped(out, fonts[i]);
        out += ";}";
    }
    out += "}\r\n{\\colortbl ;";
    for (QRgb c : std::as_const(colours))
        out += "\\red" + QByteArray::number(qRed(c)) + "\\green" + QByteArray::number(qGreen(c)) + "\\blue" +
               QByteArray::number(qBlue(c)) + ';';
    out += "}\r\n\\pard";

    // Every run states its whole character format after \plain, so a reader
    // needs no memory of the runs before it.
    for (const auto &runs : paragraphs) {
        for (const Run &run : runs) {
            const CharAttributes &a = run.attrs;
            out += "\\plain\\f" + QByteArray::number(fonts.indexOf(a.family)) + "\\fs" +
                   QByteArray::number(qRound(a.pointSize * 2)) + "\\cf" +
                   QByteArray::number(colours.indexOf(a.colour) + 1);
            if (a.bold)
                out += "\\b";
            if (a.italic)
                out += "\\i";
            if (a.underline)
                out += "\\ul";
            out += ' ';
            // A link is a HYPERLINK field whose result is the run's text.
            if (!a.link.isEmpty()) {
                out += "{\\field{\\*\\fldinst HYPERLINK \"";
                appendEscaped(out, QString(a.link).remove(u'"'));
                out += "\"}{\\fldrslt ";
            }
            QString text = run.text;
            text.replace(QChar::LineSeparator, u'\n');
            const QStringList parts = text.split(u'\n');
            for (int p = 0; p < parts.size(); ++p) {
                if (p > 0)
                    out += "\\line ";
                appendEscaped(out, parts[p]);
            }
            if (!a.link.isEmpty())
                out += "}}";
        }
        out += "\\par\r\n";
    }
    out += "}\r\n";
    return out;
}

} // namespace kirvane::message
