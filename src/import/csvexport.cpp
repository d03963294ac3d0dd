#include "import/csvexport.h"

#include "common/textcodec.h"
#include "store/bookfiles.h"
#include "store/contactrecord.h"
#include "store/database.h"
#include "store/tableschemas.h"

#include <QSaveFile>

namespace kirvane::import {

using namespace kirvane::common;
using namespace kirvane::store;

namespace {

// CsvField on UTF-8 bytes, appended to out.
void appendCsvField(QByteArray &out, QByteArrayView value)
{
    bool quote = false;
    for (char c : value)
        if (c == '"' || c == ';' || c == '\n' || c == '\r') {
            quote = true;
            break;
        }
    if (!quote) {
        out += value;
        return;
    }
    out += '"';
    for (char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

} // namespace

QString csvField(const QString &value)
{
    // A line break is quoted too: unquoted, a comment of two lines would split
    // its record when the file is read back.
    QByteArray out;
    appendCsvField(out, value.toUtf8());
    return QString::fromUtf8(out);
}

void exportBook(const BookFiles &files, const QString &book, const QString &path)
{
    ContactRecord labels = emptyContact();
    readLabels(files.labelPath(book), labels);
    auto db = files.openBook(book); // read-write: only then is a journal left by a crash played back
    QStringList heading;
    for (int k = 1; k < kContactFields; ++k)
        heading << labels[k].label;
    // Built as UTF-8, then written in Windows-1252 when every character fits.
    QByteArray text = heading.join(u';').toUtf8() + "\r\n";
    Statement s = db->prepare(QStringLiteral("SELECT %1 FROM t").arg(bookValueColumns()));
    while (s.step()) {
        for (int k = 0; k < kContactFields - 1; ++k) {
            if (k)
                text += ';';
            appendCsvField(text, s.utf8(k));
        }
        text += "\r\n";
    }
    bool ascii = true;
    for (char c : std::as_const(text))
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw StoreError(QStringLiteral("cannot write %1: %2").arg(path, f.errorString()).toStdString());
    f.write(ascii ? text : encodeLegacyText(QString::fromUtf8(text), true).bytes);
    if (!f.commit())
        throw StoreError(QStringLiteral("cannot write %1: %2").arg(path, f.errorString()).toStdString());
}

} // namespace kirvane::import
