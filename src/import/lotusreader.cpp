// Lotus 1-2-3 sheets (.wk1 to .wk4, also .wks and .123) through libwps: the
// library lays each sheet out as comma-separated text, which the CSV splitter
// reads back; the sheets are named Sheet1, Sheet2 ... in file order.
#include "import/csvreader.h"
#include "import/sourcefile.h"

#include "texts/texttable.h"

#include <QFile>
#include <QtEndian>

#include <librevenge-generators/librevenge-generators.h>
#include <librevenge-stream/librevenge-stream.h>
#include <librevenge/librevenge.h>
#include <libwps/libwps.h>

namespace kirvane::import {

namespace {

class LotusFile : public SourceFile {
public:
    explicit LotusFile(const QString &path) : m_path(path)
    {
        librevenge::RVNGFileStream input(QFile::encodeName(path).constData());
        libwps::WPSKind kind = libwps::WPS_TEXT;
        libwps::WPSCreator creator = libwps::WPS_MSWORKS;
        bool needEncoding = false;
        const libwps::WPSConfidence confidence = libwps::WPSDocument::isFileFormatSupported(&input, kind, creator, needEncoding);
        // Lotus 1A sheets (.wks) are told apart from Works ones only by their
        // content; any sheet the library reads is taken.
        if (confidence == libwps::WPS_CONFIDENCE_NONE || kind != libwps::WPS_SPREADSHEET)
            throw SourceError(QStringLiteral("%1: not a Lotus 1-2-3 sheet").arg(path));
        if (confidence == libwps::WPS_CONFIDENCE_SUPPORTED_ENCRYPTION)
            throw SourceError(QStringLiteral("%1: the sheet is protected by a password").arg(path));
        checkRecords();
        librevenge::RVNGStringVector sheets;
        librevenge::RVNGCSVSpreadsheetGenerator generator(sheets);
        generator.setDTFormats("%Y-%m-%d", "%H:%M:%S");
        if (libwps::WPSDocument::parse(&input, &generator) != libwps::WPS_OK)
            throw SourceError(QStringLiteral("%1: the sheet cannot be read").arg(path));
        for (unsigned i = 0; i < sheets.size(); ++i) {
            m_names << QStringLiteral("Sheet%1").arg(i + 1);
            m_sheets << QString::fromUtf8(sheets[i].cstr());
        }
    }

    QStringList tables() const override { return m_names; }

    SourceTable read(const QString &name, int rowLimit) override
    {
        const qsizetype i = m_names.indexOf(name);
        if (i < 0)
            throw SourceError(QStringLiteral("%1: no sheet %2").arg(m_path, name));
        std::vector<QStringList> grid = splitRecords(m_sheets[i], u',');
        // The library heads each sheet with a line of its own, Col1,Col2,...
        if (!grid.empty()) {
            bool synthetic = true;
            for (qsizetype c = 0; c < grid.front().size() && synthetic; ++c)
                synthetic = grid.front()[c] == QStringLiteral("Col%1").arg(c + 1);
            if (synthetic)
                grid.erase(grid.begin());
        }
        return tableFromGrid(name, std::move(grid), rowLimit);
    }

private:
    // A sheet is a run of records (a 16-bit type, a 16-bit length, the
    // data) closed by an end record of type 1; more may follow it. The
    // library reads a file cut short as far as it goes without a word, so
    // the run is walked first.
    void checkRecords() const
    {
        QFile f(m_path);
        openForReading(f);
        const QByteArray bytes = f.readAll();
        qsizetype at = 0;
        while (at + 4 <= bytes.size()) {
            const quint16 type = qFromLittleEndian<quint16>(bytes.constData() + at);
            const quint16 length = qFromLittleEndian<quint16>(bytes.constData() + at + 2);
            at += 4 + length;
            if (at > bytes.size())
                break;
            if (type == 1)
                return;
        }
        throw SourceError(QStringLiteral("%1: %2").arg(m_path, texts::text(texts::ImportFileCut)));
    }

    QString m_path;
    QStringList m_names;
    QStringList m_sheets;
};

} // namespace

std::unique_ptr<SourceFile> openLotus(const QString &path)
{
    return std::make_unique<LotusFile>(path);
}

} // namespace kirvane::import
