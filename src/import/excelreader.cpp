// Excel workbooks (.xls, BIFF2 to BIFF8) through
// freexl: one table per sheet, its first row naming the columns.
#include "import/sourcefile.h"

#include <QFile>

#include <freexl.h>

namespace kirvane::import {

namespace {

QString cellText(const FreeXL_CellValue &cell)
{
    switch (cell.type) {
    case FREEXL_CELL_INT: return QString::number(cell.value.int_value);
    case FREEXL_CELL_DOUBLE: return numberText(cell.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME: return QString::fromUtf8(cell.value.text_value);
    default: return {};
    }
}

class ExcelFile : public SourceFile {
public:
    explicit ExcelFile(const QString &path) : m_path(path)
    {
        if (freexl_open(QFile::encodeName(path).constData(), &m_handle) != FREEXL_OK) {
            freexl_close(m_handle);
            throw SourceError(QStringLiteral("%1: not an Excel workbook").arg(path));
        }
        unsigned int value = 0;
        if (freexl_get_info(m_handle, FREEXL_BIFF_PASSWORD, &value) == FREEXL_OK && value == FREEXL_BIFF_OBFUSCATED) {
            freexl_close(m_handle);
            throw SourceError(QStringLiteral("%1: the workbook is protected by a password").arg(path));
        }
        unsigned int sheets = 0;
        freexl_get_info(m_handle, FREEXL_BIFF_SHEET_COUNT, &sheets);
        for (unsigned short i = 0; i < sheets; ++i) {
            const char *name = nullptr;
            freexl_get_worksheet_name(m_handle, i, &name);
            m_sheets << QString::fromUtf8(name ? name : "");
        }
        if (m_sheets.isEmpty()) {
            freexl_close(m_handle);
            throw SourceError(QStringLiteral("%1: no sheet can be read in the workbook").arg(path));
        }
    }
    ~ExcelFile() override { freexl_close(m_handle); }

    QStringList tables() const override { return m_sheets; }

    SourceTable read(const QString &name, int rowLimit) override
    {
        const qsizetype index = m_sheets.indexOf(name);
        if (index < 0 || freexl_select_active_worksheet(m_handle, (unsigned short)index) != FREEXL_OK)
            throw SourceError(QStringLiteral("%1: no sheet %2").arg(m_path, name));
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (freexl_worksheet_dimensions(m_handle, &rows, &columns) != FREEXL_OK)
            throw SourceError(QStringLiteral("%1: sheet %2 cannot be read").arg(m_path, name));
        if (rowLimit >= 0)
            rows = std::min<unsigned int>(rows, unsigned(rowLimit) + 1);
        std::vector<QStringList> grid;
        for (unsigned int r = 0; r < rows; ++r) {
            QStringList row;
            for (unsigned short c = 0; c < columns; ++c) {
                FreeXL_CellValue cell{};
                row << (freexl_get_cell_value(m_handle, r, c, &cell) == FREEXL_OK ? cellText(cell) : QString());
            }
            grid.push_back(row);
        }
        return tableFromGrid(name, std::move(grid), rowLimit);
    }

private:
    QString m_path;
    const void *m_handle = nullptr;
    QStringList m_sheets;
};

} // namespace

std::unique_ptr<SourceFile> openExcel(const QString &path)
{
    return std::make_unique<ExcelFile>(path);
}

} // namespace kirvane::import
