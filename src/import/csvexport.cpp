#include "import/csvexport.h"

#include "common/folders.h"
#include "common/textcodec.h"
#include "store/bookfiles.h"
#include "store/contactrecord.h"
#include "store/database.h"
#include "store/tableschemas.h"
#include "texts/texttable.h"

#include <QFileInfo>
#include <QSaveFile>

namespace kirvane::import {

using namespace kirvane::common;
using namespace kirvane::store;

namespace {

// Control characters other than tab and line breaks (a NUL, an escape)
// make the file unreadable as text to the programs it is meant for.
bool isDroppedControl(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u < 0x20 && c != '\t' && c != '\n' && c != '\r') || u == 0x7F;
}

// csvField() on UTF-8 bytes, appended to out; returns how many control
// characters were left out.
int appendCsvField(QByteArray &out, QByteArrayView value)
{
    bool quote = false;
    int dropped = 0;
    for (char c : value) {
        if (c == '"' || c == ';' || c == '\n' || c == '\r')
            quote = true;
        dropped += isDroppedControl(c);
    }
    if (!quote && !dropped) {
        out += value;
        return 0;
    }
    if (quote)
        out += '"';
    for (char c : value) {
        if (isDroppedControl(c))
            continue;
        if (c == '"')
            out += '"';
        out += c;
    }
    if (quote)
        out += '"';
    return dropped;
}

// True when path names a file the data folder keeps its tables or their
// labels in: a book, the template, a work table, the history, a journal or a
// label file. Letter case is ignored, as the program finds those files
// whatever their case, and links are followed.
bool isDataFolderFile(const BookFiles &files, const QString &path)
{
    const QFileInfo target(path);
    const QString folder = QFileInfo(target.absolutePath()).canonicalFilePath();
    const QString name = target.fileName().toLower();
    const auto sameFolder = [&folder](const QString &other) {
        const QString canonical = QFileInfo(other).canonicalFilePath();
        return !canonical.isEmpty() && canonical.compare(folder, Qt::CaseInsensitive) == 0;
    };
    const bool tableName = name.endsWith(QLatin1String(".db")) || name.endsWith(QLatin1String(".db-journal"))
                           || name.endsWith(QLatin1String(".ini"));
    if (tableName && (sameFolder(files.folder()) || sameFolder(historyFolder())))
        return true;
    // A link to one of them.
    if (target.exists() && target.canonicalFilePath() != target.absoluteFilePath())
        return isDataFolderFile(files, target.canonicalFilePath());
    return false;
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

int exportBook(const BookFiles &files, const QString &book, const QString &path)
{
    if (isDataFolderFile(files, path))
        throw StoreError(QStringLiteral("%1 is a file of the data folder; the export does not write over it").arg(path).toStdString());
    ContactRecord labels = emptyContact();
    readLabels(files.labelPath(book), labels);
    auto db = files.openBook(book); // read-write: only then is a journal left by a crash played back
    // Built as UTF-8, then written in Windows-1252 when every character fits.
    // A label is quoted like a value: one holding a semicolon would otherwise
    // give the heading more columns than the rows.
    QByteArray text;
    int dropped = 0;
    for (int k = 1; k < kContactFields; ++k) {
        if (k > 1)
            text += ';';
        dropped += appendCsvField(text, labels[k].label.toUtf8());
    }
    text += "\r\n";
    Statement s = db->prepare(QStringLiteral("SELECT %1 FROM t").arg(bookValueColumns()));
    while (s.step()) {
        for (int k = 0; k < kContactFields - 1; ++k) {
            if (k)
                text += ';';
            dropped += appendCsvField(text, s.utf8(k));
        }
        text += "\r\n";
    }
    bool ascii = true;
    for (char c : std::as_const(text))
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    // Written beside the target under another name and renamed over it once
    // whole: a failure (a full disk) leaves the user's file as it was.
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw StoreError(QStringLiteral("cannot write %1: %2").arg(path, f.errorString()).toStdString());
    const QByteArray bytes = ascii ? text : encodeLegacyText(QString::fromUtf8(text), true).bytes;
    if (f.write(bytes) != bytes.size() || !f.flush()) {
        const QString why = f.errorString();
        f.cancelWriting();
        throw StoreError(QStringLiteral("cannot write %1: %2").arg(path, why).toStdString());
    }
    if (!f.commit())
        throw StoreError(QStringLiteral("cannot write %1: %2").arg(path, f.errorString()).toStdString());
    return dropped;
}

QString exportNote(int dropped)
{
    return dropped > 0 ? texts::text(texts::ExportControlsDropped).arg(dropped) : QString();
}

} // namespace kirvane::import
