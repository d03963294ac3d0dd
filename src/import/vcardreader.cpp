// vCard files (.vcf, versions 2.1, 3.0 and 4.0): one row per card, one column
// per property in the order first met, so that the mapping treats them as a
// table's columns. A property with types is its own column ("EMAIL (work)");
// the parts of a name and of an address are columns of their own; a
// property met twice in a card goes on in "EMAIL 2".
#include "import/sourcefile.h"

#include "common/textcodec.h"
#include "import/csvreader.h"
#include "texts/texttable.h"

#include <QBuffer>
#include <QSet>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

namespace kirvane::import {

using namespace kirvane::common;

namespace {

struct Property {
    QByteArray name;              // upper case, group left out
    QList<QByteArray> types;      // lower case, "pref" and "internet" left out
    QByteArray encoding;          // upper case
    QByteArray charset;
    QByteArray value;             // as in the file, escapes kept
};

// Logical lines: quoted-printable values continued by a "=" at the end of a
// line (the next line goes on the value whole, even a line holding a lone
// blank), and folded lines joined (a line starting with a space or tab
// continues the one before).
QList<QByteArray> logicalLines(const QByteArray &bytes)
{
    QList<QByteArray> raw = bytes.split('\n');
    QList<QByteArray> lines;
    bool softBreak = false; // the line before ended a quoted-printable value with "="
    for (QByteArray line : raw) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (softBreak) {
            lines.last().chop(1);
            lines.last() += line;
        } else if (!lines.isEmpty() && (line.startsWith(' ') || line.startsWith('\t'))) {
            lines.last() += line.mid(1);
        } else {
            lines << line;
        }
        softBreak = lines.last().endsWith('=') && lines.last().toUpper().contains("QUOTED-PRINTABLE");
    }
    return lines;
}

// Splits at a separator outside double quotes (parameter values may be quoted).
QList<QByteArray> splitOutsideQuotes(const QByteArray &text, char separator)
{
    QList<QByteArray> parts;
    QByteArray current;
    bool quoted = false;
    for (char c : text) {
        if (c == '"')
            quoted = !quoted;
        if (c == separator && !quoted) {
            parts << current;
            current.clear();
        } else {
            current += c;
        }
    }
    parts << current;
    return parts;
}

bool parseProperty(const QByteArray &line, Property &p)
{
    // The value starts after the first colon outside quotes.
    bool quoted = false;
    qsizetype colon = -1;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon <= 0)
        return false;
    p.value = line.mid(colon + 1);
    const QList<QByteArray> head = splitOutsideQuotes(line.left(colon), ';');
    p.name = head.first().trimmed().toUpper();
    if (const qsizetype dot = p.name.lastIndexOf('.'); dot >= 0)
        p.name = p.name.mid(dot + 1);
    for (qsizetype i = 1; i < head.size(); ++i) {
        const QByteArray param = head[i].trimmed();
        const qsizetype eq = param.indexOf('=');
        const QByteArray key = eq < 0 ? QByteArray("TYPE") : param.left(eq).trimmed().toUpper();
        QByteArray value = eq < 0 ? param : param.mid(eq + 1);
        if (value.startsWith('"') && value.endsWith('"') && value.size() >= 2)
            value = value.mid(1, value.size() - 2);
        if (eq < 0 && (value.toUpper() == "QUOTED-PRINTABLE" || value.toUpper() == "BASE64")) {
            p.encoding = value.toUpper();
            continue;
        }
        if (key == "ENCODING")
            p.encoding = value.toUpper();
        else if (key == "CHARSET")
            p.charset = value;
        else if (key == "TYPE")
            for (const QByteArray &t : value.split(',')) {
                const QByteArray type = t.trimmed().toLower();
                if (!type.isEmpty() && type != "pref" && type != "internet" && !p.types.contains(type))
                    p.types << type;
            }
    }
    return true;
}

QByteArray quotedPrintable(const QByteArray &in)
{
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '=' && i + 2 < in.size()) {
            bool ok = false;
            const int v = in.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out += char(v);
                i += 2;
                continue;
            }
        }
        out += in[i];
    }
    return out;
}

// The components of a structured value, each unescaped.
QStringList components(const QString &value, QChar separator)
{
    QStringList parts;
    QString current;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'\\' && i + 1 < value.size()) {
            const QChar n = value[++i];
            current += (n == u'n' || n == u'N') ? QChar(u'\n') : n;
        } else if (c == separator) {
            parts << current;
            current.clear();
        } else {
            current += c;
        }
    }
    parts << current;
    return parts;
}

QString unescaped(const QString &value)
{
    return components(value, QChar(0xFFFF)).join(QString());
}

class VcardFile : public SourceFile {
public:
    explicit VcardFile(const QString &path) : m_path(path)
    {
        QFile f(path);
        openForReading(f);
        QByteArray bytes = f.readAll();
        // UTF-16 files (with a byte-order mark or without) are read as their
        // characters in UTF-8.
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        const TextEncoding encoding = detectEncoding(buffer);
        if (encoding.kind == TextEncoding::Utf16LE || encoding.kind == TextEncoding::Utf16BE) {
            QStringDecoder utf16(encoding.kind == TextEncoding::Utf16LE ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
            bytes = QString(utf16.decode(bytes)).toUtf8();
        } else if (bytes.startsWith("\xEF\xBB\xBF")) {
            bytes = bytes.mid(3);
        }
        m_utf8 = isValidUtf8(bytes);
        parse(bytes);
    }

    QStringList tables() const override { return {QFileInfo(m_path).completeBaseName()}; }

    SourceTable read(const QString &table, int rowLimit) override
    {
        if (table.compare(tables().first(), Qt::CaseInsensitive) != 0)
            throw SourceError(QStringLiteral("%1: no table %2").arg(m_path, table));
        SourceTable t;
        t.name = table;
        t.columns = m_columns;
        for (size_t i = 0; i < m_cards.size(); ++i) {
            if (rowLimit >= 0 && int(t.rows.size()) >= rowLimit)
                break;
            const Card &card = m_cards[i];
            if (card.values.isEmpty()) {
                t.refused.push_back({texts::text(texts::ImportAtCard).arg(i + 1), texts::text(texts::ImportRecordUnreadable)});
                continue;
            }
            QStringList row;
            row.reserve(m_columns.size());
            for (const QString &c : std::as_const(m_columns))
                row << card.values.value(c);
            t.rows.push_back(row);
        }
        return t;
    }

private:
    QString text(const Property &p) const
    {
        QByteArray raw = p.encoding == "QUOTED-PRINTABLE" ? quotedPrintable(p.value) : p.value;
        if (!p.charset.isEmpty()) {
            QStringDecoder dec(p.charset.constData());
            if (dec.isValid())
                return dec.decode(raw);
        }
        return m_utf8 ? QString::fromUtf8(raw) : fromWindows1252(raw);
    }

    struct Card {
        QHash<QString, QString> values;
        QHash<QString, int> seen; // how often each property column was met
    };

    void put(Card &card, QString column, const QString &value)
    {
        if (value.isEmpty())
            return;
        // A second EMAIL (work) in one card is "EMAIL 2 (work)".
        const int n = ++card.seen[column];
        if (n > 1) {
            const qsizetype paren = column.indexOf(QLatin1String(" ("));
            const QString base = paren < 0 ? column : column.left(paren);
            const QString tail = paren < 0 ? QString() : column.mid(paren);
            column = base + u' ' + QString::number(n) + tail;
        }
        if (!m_columnSet.contains(column)) {
            m_columnSet.insert(column);
            m_columns << column;
            if (qint64(m_columns.size()) * qint64(m_cards.size()) > kCellBudget)
                throw SourceError(QStringLiteral("%1: %2").arg(m_path, texts::text(texts::ImportCellBudget).arg(kCellBudget)));
        }
        card.values.insert(column, value);
    }

    void parse(const QByteArray &bytes)
    {
        static const QStringList nameParts = {QStringLiteral("family"), QStringLiteral("given"), QStringLiteral("additional"),
                                              QStringLiteral("prefix"), QStringLiteral("suffix")};
        static const QStringList addressParts = {QStringLiteral("post office box"), QStringLiteral("extended"),
                                                 QStringLiteral("street"), QStringLiteral("locality"),
                                                 QStringLiteral("region"), QStringLiteral("postal code"),
                                                 QStringLiteral("country")};
        static const QList<QByteArray> skipped = {"BEGIN", "END", "VERSION", "PRODID", "PHOTO", "LOGO", "SOUND", "KEY", "UID", "REV"};
        // Cards open, innermost last: a card may hold another (an agent's),
        // and a card whose END is missing is still a card. Each is a row,
        // in the order the cards begin.
        std::vector<size_t> open;
        for (const QByteArray &line : logicalLines(bytes)) {
            if (line.trimmed().isEmpty())
                continue;
            Property p;
            if (!parseProperty(line, p))
                continue;
            const QByteArray upper = p.value.trimmed().toUpper();
            if ((p.name == "BEGIN" && upper == "VCARD") || (p.name == "AGENT" && upper == "BEGIN:VCARD")) {
                open.push_back(m_cards.size());
                m_cards.emplace_back();
                continue;
            }
            if (p.name == "END" && p.value.trimmed().toUpper() == "VCARD") {
                if (!open.empty())
                    open.pop_back();
                continue;
            }
            if (open.empty() || skipped.contains(p.name) || p.encoding == "BASE64" || p.encoding == "B")
                continue;
            Card &card = m_cards[open.back()];
            const QString types = p.types.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(QString::fromLatin1(p.types.join(',')));
            const QString name = QString::fromLatin1(p.name);
            const QString value = text(p);
            if (p.name == "N" || p.name == "ADR") {
                const QStringList parts = p.name == "N" ? nameParts : addressParts;
                const QStringList values = components(value, u';');
                for (qsizetype i = 0; i < parts.size() && i < values.size(); ++i)
                    put(card, name + u':' + parts[i] + types, values[i].trimmed());
            } else if (p.name == "ORG") {
                const QStringList values = components(value, u';');
                put(card, name + types, values.value(0).trimmed());
                if (values.size() > 1)
                    put(card, name + QStringLiteral(":unit") + types, values.mid(1).join(QStringLiteral(", ")).trimmed());
            } else {
                put(card, name + types, unescaped(value));
            }
        }
        if (m_cards.empty())
            throw SourceError(QStringLiteral("%1: no vCard in the file").arg(m_path));
    }

    QString m_path;
    bool m_utf8 = true;
    QStringList m_columns;
    QSet<QString> m_columnSet;
    std::vector<Card> m_cards;
};

} // namespace

std::unique_ptr<SourceFile> openVcard(const QString &path)
{
    return std::make_unique<VcardFile>(path);
}

} // namespace kirvane::import
