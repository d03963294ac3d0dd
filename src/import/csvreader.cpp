#include "import/csvreader.h"

#include "common/textcodec.h"
#include "texts/texttable.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace kirvane::import {

using namespace kirvane::common;

namespace {

constexpr qint64 kPiece = 1 << 20; // bytes read at a time

} // namespace

QChar detectSeparator(QStringView text)
{
    int semicolons = 0, commas = 0, tabs = 0;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"') {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        if (c == u'\n' || c == u'\r')
            break;
        if (c == u';')
            ++semicolons;
        else if (c == u',')
            ++commas;
        else if (c == u'\t')
            ++tabs;
    }
    if (commas > semicolons && commas >= tabs)
        return u',';
    if (tabs > semicolons && tabs > commas)
        return u'\t';
    return u';';
}

// One record from m_pos: Record (with its end and the lines it spans),
// EmptyLine, NeedMore (the buffer ends inside it), Unclosed (the text ends
// inside a quoted value) or End.
RecordSplitter::Result RecordSplitter::parse(bool atEnd, qsizetype *end, qint64 *lines, QStringList *record) const
{
    const QStringView text(m_buffer);
    const qsizetype n = text.size();
    QString value;
    bool quoted = false;
    bool startOfValue = true;
    bool lineHasContent = false;
    qint64 inner = 0; // line breaks inside quoted values
    for (qsizetype i = m_pos; i < n; ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 == n && !atEnd)
                    return Result::NeedMore; // a doubled quote may go on in the next piece
                if (i + 1 < n && text[i + 1] == u'"') {
                    value += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
                continue;
            }
            if (c == u'\n' || (c == u'\r' && (i + 1 == n || text[i + 1] != u'\n')))
                ++inner;
            value += c;
            continue;
        }
        if (c == m_separator) {
            lineHasContent = true;
            *record << value;
            value.clear();
            startOfValue = true;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 == n && !atEnd)
                return Result::NeedMore;
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            *end = i + 1;
            *lines = inner + 1;
            if (!lineHasContent)
                return Result::EmptyLine;
            *record << value;
            return Result::Record;
        } else if (c == u'"' && startOfValue) {
            quoted = true;
            startOfValue = false;
            lineHasContent = true;
        } else {
            // A run of plain characters at once.
            qsizetype j = i + 1;
            while (j < n) {
                const QChar d = text[j];
                if (d == m_separator || d == u'\r' || d == u'\n')
                    break;
                ++j;
            }
            value += text.sliced(i, j - i);
            i = j - 1;
            startOfValue = false;
            lineHasContent = true;
        }
    }
    if (!atEnd)
        return Result::NeedMore;
    if (quoted)
        return Result::Unclosed;
    *end = n;
    *lines = inner;
    if (!lineHasContent)
        return Result::End;
    *record << value;
    return Result::Record;
}

// Goes on at the line after the one m_pos is on.
void RecordSplitter::skipFirstLine()
{
    const QStringView text(m_buffer);
    qsizetype i = m_pos;
    while (i < text.size() && text[i] != u'\n' && text[i] != u'\r')
        ++i;
    if (i == text.size()) {
        m_pos = i;
        m_skipping = true;
        return;
    }
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
        ++i;
    m_pos = i + 1;
    ++m_line;
}

void RecordSplitter::run(bool atEnd)
{
    for (;;) {
        if (m_skipping) {
            skipFirstLine();
            if (m_skipping)
                break;
            m_skipping = false;
        }
        qsizetype end = 0;
        qint64 lines = 0;
        QStringList record;
        const Result r = parse(atEnd, &end, &lines, &record);
        if (r == Result::Record || r == Result::EmptyLine) {
            if (r == Result::Record && onRecord)
                onRecord(std::move(record), m_line);
            m_pos = end;
            m_line += lines;
            continue;
        }
        if (r == Result::NeedMore && m_buffer.size() - m_pos <= kMaxRecord)
            break;
        if (r == Result::End)
            break;
        // A quote never closed, or a record too long to be one: refused at
        // the line it starts on, and the next line read as a record's start.
        if (onRefused)
            onRefused(m_line, r == Result::Unclosed ? Refusal::UnclosedQuote : Refusal::TooLong);
        skipFirstLine();
    }
    m_buffer.remove(0, m_pos);
    m_pos = 0;
}

void RecordSplitter::feed(QStringView text)
{
    m_buffer += text;
    run(false);
}

void RecordSplitter::finish()
{
    run(true);
    m_buffer.clear();
}

std::vector<QStringList> splitRecords(QStringView text, QChar separator, std::vector<RefusedRecord> *refused)
{
    std::vector<QStringList> records;
    RecordSplitter split(separator);
    split.onRecord = [&records](QStringList record, qint64) { records.push_back(std::move(record)); };
    split.onRefused = [refused](qint64 line, RecordSplitter::Refusal why) {
        if (refused)
            refused->push_back({lineText(line), why == RecordSplitter::Refusal::UnclosedQuote
                                                    ? texts::text(texts::ImportUnclosedQuote)
                                                    : texts::text(texts::ImportRecordTooLong).arg(RecordSplitter::kMaxRecord)});
    };
    split.feed(text);
    split.finish();
    return records;
}

QString lineText(qint64 line)
{
    return texts::text(texts::ImportAtLine).arg(line);
}

TextEncoding detectEncoding(QIODevice &file)
{
    TextEncoding e;
    const QByteArray head = file.peek(4096);
    if (head.startsWith("\xFF\xFE"))
        e.kind = TextEncoding::Utf16LE;
    else if (head.startsWith("\xFE\xFF"))
        e.kind = TextEncoding::Utf16BE;
    else if (!head.startsWith("\xEF\xBB\xBF") && head.size() >= 2) {
        // Text in UTF-16 without a mark: most of its characters are ASCII,
        // whose other byte is zero.
        qsizetype evenZeros = 0, oddZeros = 0;
        for (qsizetype i = 0; i + 1 < head.size(); i += 2) {
            evenZeros += head[i] == 0;
            oddZeros += head[i + 1] == 0;
        }
        const qsizetype pairs = head.size() / 2;
        if (oddZeros * 2 > pairs && evenZeros * 10 < pairs)
            e.kind = TextEncoding::Utf16LE;
        else if (evenZeros * 2 > pairs && oddZeros * 10 < pairs)
            e.kind = TextEncoding::Utf16BE;
    }
    // One pass through the file: NUL characters, and for 8-bit text how much
    // of it is UTF-8 and how much is not.
    const qint64 start = file.pos();
    const bool utf16 = e.kind != TextEncoding::Utf8;
    QStringDecoder decoder(utf16 ? (e.kind == TextEncoding::Utf16LE ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE)
                                 : QStringDecoder::Utf8,
                           QStringDecoder::Flag::ConvertInvalidToNull);
    qint64 nulBytes = 0, zeros = 0, wide = 0;
    for (;;) {
        const QByteArray bytes = file.read(kPiece);
        if (bytes.isEmpty())
            break;
        if (!utf16 && std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return uchar(c) - 1u < 0x7Fu; })) {
            // Plain ASCII adds no NUL, no wide and no stray character; its
            // first byte still ends a sequence the piece before left open.
            const QString chars = decoder.decode(bytes.first(1));
            zeros += chars.count(QChar(0));
            continue;
        }
        if (!utf16)
            nulBytes += bytes.count('\0');
        const QString chars = decoder.decode(bytes);
        for (QChar c : chars) {
            zeros += c.unicode() == 0;
            wide += c.unicode() >= 0x80;
        }
    }
    zeros += QString(decoder.decode(QByteArrayView())).count(QChar(0));
    file.seek(start);
    if (utf16) {
        e.binary = zeros > 0;
        return e;
    }
    e.binary = nulBytes > 0;
    const qint64 stray = zeros - nulBytes;
    // A stray byte here and there in a UTF-8 file (a copy and paste gone
    // wrong) does not make the whole file another charset.
    if (stray > 0 && !head.startsWith("\xEF\xBB\xBF") && wide <= stray)
        e.kind = TextEncoding::Windows1252;
    else
        e.strayBytes = stray;
    return e;
}

TextPieces::TextPieces(QIODevice &file, const TextEncoding &encoding)
    : m_file(file), m_encoding(encoding),
      m_decoder(encoding.kind == TextEncoding::Utf16LE   ? QStringDecoder::Utf16LE
                : encoding.kind == TextEncoding::Utf16BE ? QStringDecoder::Utf16BE
                                                         : QStringDecoder::Utf8,
                QStringDecoder::Flag::ConvertInvalidToNull)
{
}

std::optional<QString> TextPieces::next()
{
    const QByteArray bytes = m_file.read(kPiece);
    if (bytes.isEmpty())
        return std::nullopt;
    if (m_encoding.kind == TextEncoding::Windows1252)
        return fromWindows1252(bytes);
    return QString(m_decoder.decode(bytes));
}

QString decodeDelimitedText(const QByteArray &bytes)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    TextPieces pieces(buffer, detectEncoding(buffer));
    QString text;
    while (const auto piece = pieces.next())
        text += *piece;
    return text;
}

namespace {

class CsvFile : public SourceFile {
public:
    explicit CsvFile(const QString &path) : m_path(path) {}

    QStringList tables() const override { return {tableName()}; }

    void readRows(const QString &table, RowSink &sink) override
    {
        if (table.compare(tableName(), Qt::CaseInsensitive) != 0)
            throw SourceError(QStringLiteral("%1: no table %2").arg(m_path, table));
        QFile f(m_path);
        openForReading(f);
        // The preview and the import read the same file: it is looked
        // through for its encoding once.
        if (!m_encoding)
            m_encoding = detectEncoding(f);
        const TextEncoding encoding = *m_encoding;
        // Text holds no NUL character; a file that does is some binary file.
        if (encoding.binary)
            throw SourceError(QStringLiteral("%1: not a text file").arg(m_path));
        TextPieces pieces(f, encoding);
        std::optional<QString> piece = pieces.next();
        RecordSplitter split(detectSeparator(piece ? QStringView(*piece) : QStringView()));
        bool haveColumns = false, refusedAny = false, stop = false;
        qsizetype width = 0;
        split.onRecord = [&](QStringList record, qint64 line) {
            if (stop)
                return;
            // U+0000 stands for bytes that are not UTF-8.
            const bool stray = encoding.strayBytes > 0
                               && std::any_of(record.cbegin(), record.cend(), [](const QString &v) { return v.contains(QChar(0)); });
            if (stray) {
                refusedAny = true;
                sink.refused({lineText(line), texts::text(texts::ImportNotUtf8)});
                return;
            }
            if (!haveColumns) {
                haveColumns = true;
                width = record.size();
                sink.columns(record);
                return;
            }
            fitRow(record, width);
            stop = !sink.row(std::move(record));
        };
        split.onRefused = [&](qint64 line, RecordSplitter::Refusal why) {
            refusedAny = true;
            if (!stop)
                sink.refused({lineText(line), why == RecordSplitter::Refusal::UnclosedQuote
                                                  ? texts::text(texts::ImportUnclosedQuote)
                                                  : texts::text(texts::ImportRecordTooLong).arg(RecordSplitter::kMaxRecord)});
        };
        for (; piece && !stop; piece = pieces.next())
            split.feed(*piece);
        if (!stop)
            split.finish();
        if (!haveColumns && !refusedAny)
            throw SourceError(QStringLiteral("%1: %2").arg(m_path, texts::text(texts::ImportFileEmpty)));
    }

private:
    // The file contacts.csv is the table contacts#csv.
    QString tableName() const { return QFileInfo(m_path).completeBaseName() + QStringLiteral("#csv"); }
    QString m_path;
    std::optional<TextEncoding> m_encoding;
};

} // namespace

std::unique_ptr<SourceFile> openCsv(const QString &path)
{
    return std::make_unique<CsvFile>(path);
}

} // namespace kirvane::import
