#include "import/csvreader.h"

#include "import/sourcefile.h"
#include "common/textcodec.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace kirvane::import {

using namespace kirvane::common;

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

std::vector<QStringList> splitRecords(QStringView text, QChar separator)
{
    std::vector<QStringList> records;
    QStringList record;
    QString value;
    bool quoted = false;      // inside a quoted value
    bool startOfValue = true; // nothing of the current value read yet
    bool lineHasContent = false;
    const qsizetype n = text.size();
    auto endValue = [&] {
        record << value;
        value.clear();
        startOfValue = true;
    };
    auto endRecord = [&] {
        if (lineHasContent) {
            endValue();
            records.push_back(std::move(record));
        }
        record = QStringList();
        value.clear();
        startOfValue = true;
        lineHasContent = false;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < n && text[i + 1] == u'"') {
                    value += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                value += c;
            }
            continue;
        }
        if (c == separator) {
            lineHasContent = true;
            endValue();
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            endRecord();
        } else if (c == u'"' && startOfValue) {
            quoted = true;
            startOfValue = false;
            lineHasContent = true;
        } else {
            value += c;
            startOfValue = false;
            lineHasContent = true;
        }
    }
    endRecord();
    return records;
}

QString decodeDelimitedText(const QByteArray &bytes)
{
    // Files from other programs come in UTF-16 with its mark; our own text
    // files never do, so the shared reading of ours does not look for one.
    const bool little = bytes.startsWith("\xFF\xFE");
    if (little || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        return utf16.decode(QByteArrayView(bytes).sliced(2));
    }
    return decodeLegacyText(bytes);
}

namespace {

class CsvFile : public SourceFile {
public:
    explicit CsvFile(const QString &path) : m_path(path) {}

    QStringList tables() const override { return {tableName()}; }

    SourceTable read(const QString &table, int rowLimit) override
    {
        if (table.compare(tableName(), Qt::CaseInsensitive) != 0)
            throw SourceError(QStringLiteral("%1: no table %2").arg(m_path, table));
        QFile f(m_path);
        if (!f.open(QIODevice::ReadOnly))
            throw SourceError(QStringLiteral("%1: %2").arg(m_path, f.errorString()));
        const QString text = decodeDelimitedText(f.readAll());
        // Text holds no NUL character; a file that does is some binary file.
        if (text.contains(QChar(0)))
            throw SourceError(QStringLiteral("%1: not a text file").arg(m_path));
        std::vector<QStringList> records = splitRecords(text, detectSeparator(text));
        SourceTable t;
        t.name = tableName();
        if (records.empty())
            return t;
        t.columns = std::move(records.front());
        const qsizetype count = rowLimit >= 0 ? std::min<qsizetype>(rowLimit, qsizetype(records.size()) - 1)
                                              : qsizetype(records.size()) - 1;
        t.rows.reserve(size_t(count));
        for (qsizetype r = 1; r <= count; ++r) {
            fitRow(records[size_t(r)], t.columns.size());
            t.rows.push_back(std::move(records[size_t(r)]));
        }
        return t;
    }

private:
    // The file contacts.csv is the table contacts#csv.
    QString tableName() const { return QFileInfo(m_path).completeBaseName() + QStringLiteral("#csv"); }
    QString m_path;
};

} // namespace

std::unique_ptr<SourceFile> openCsv(const QString &path)
{
    return std::make_unique<CsvFile>(path);
}

} // namespace kirvane::import
