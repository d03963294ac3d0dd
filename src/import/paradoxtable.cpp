#include "import/paradoxtable.h"

#include "import/codepages.h"
#include "import/sourcefile.h"

#include "common/folders.h"
#include "common/textcodec.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QTime>
#include <QtEndian>

extern "C" {
#include <paradox.h>
}

namespace kirvane::import {

using namespace kirvane::common;

namespace {

// Days of pxlib's dates count from 1 January of year 1; the serial day
// numbers of its calendar helper count from 24 November 4714 BC.
constexpr long kSerialOfYearOne = 1721425;

QString dateText(long days)
{
    int y = 0, m = 0, d = 0;
    PX_SdnToGregorian(days + kSerialOfYearOne, &y, &m, &d);
    return QDate(y, m, d).toString(Qt::ISODate);
}

// A blank field of a fixed-size type is all zero bytes (a stored zero has its
// sign bit set). pxlib reads a blank long as -2147483648 on 64-bit systems,
// so blanks are told by the bytes, not by its answer.
bool blank(const char *data, int length)
{
    for (int i = 0; i < length; ++i)
        if (data[i])
            return false;
    return true;
}

} // namespace

struct ParadoxTable::Private {
    QString path;
    Reading reading = Reading::Lenient;
    pxdoc_t *doc = nullptr;
    bool open = false;
    QByteArray blobs; // the .MB file
    bool hasBlobFile = false;
    QString blobPath;
    QStringList columns;
    int codePage = 0;
    QString libraryError;

    ~Private()
    {
        if (open)
            PX_close(doc);
        if (doc)
            PX_delete(doc);
    }

    // pxlib reports errors through its handler; the table says what went
    // wrong itself, with the library's last words when they help.
    static void onError(pxdoc_t *, int, const char *message, void *data)
    {
        static_cast<Private *>(data)->libraryError = QString::fromLocal8Bit(message).trimmed();
    }

    [[noreturn]] void fail(const QString &why) const
    {
        throw SourceError(QStringLiteral("%1: %2").arg(path, why));
    }

    QByteArray take(char *value, int length = -1) const
    {
        if (!value)
            return {};
        QByteArray bytes = length >= 0 ? QByteArray(value, length) : QByteArray(value);
        doc->free(doc, value);
        return bytes;
    }

    QString decode(const QByteArray &bytes) const
    {
        // A table that names no code page was written by programs that knew
        // only Windows-1252; a strict reading takes no guess at UTF-8.
        if (reading == Reading::Strict && (codePage == 0 || codePage == 1252))
            return fromWindows1252(bytes);
        return decodeCodePage(bytes, codePage);
    }

    QString value(const pxfield_t &f, char *data, int record) const
    {
        switch (f.px_ftype) {
        case pxfAlpha: {
            char *v = nullptr;
            return PX_get_data_alpha(doc, data, f.px_flen, &v) > 0 ? decode(take(v)) : QString();
        }
        case pxfMemoBLOb:
        case pxfFmtMemoBLOb: {
            QByteArray text = memo(data, f.px_flen, record, f);
            while (text.endsWith('\0'))
                text.chop(1);
            return decode(text);
        }
        case pxfBCD: {
            char *v = nullptr;
            if (PX_get_data_bcd(doc, reinterpret_cast<unsigned char *>(data), f.px_fdc, &v) <= 0)
                return {};
            const QString text = QString::fromLatin1(take(v));
            return text.contains(u'?') ? QString() : text; // digits the library could not place
        }
        default:
            break;
        }
        if (blank(data, f.px_flen))
            return {};
        switch (f.px_ftype) {
        case pxfDate: {
            long v = 0;
            return PX_get_data_long(doc, data, f.px_flen, &v) > 0 ? dateText(v) : QString();
        }
        case pxfShort: {
            short v = 0;
            return PX_get_data_short(doc, data, f.px_flen, &v) > 0 ? QString::number(v) : QString();
        }
        case pxfLong:
        case pxfAutoInc: {
            long v = 0;
            return PX_get_data_long(doc, data, f.px_flen, &v) > 0 ? QString::number(v) : QString();
        }
        case pxfTime: {
            long v = 0;
            return PX_get_data_long(doc, data, f.px_flen, &v) > 0
                       ? QTime(0, 0).addMSecs(int(v)).toString(QStringLiteral("hh:mm:ss"))
                       : QString();
        }
        case pxfCurrency:
        case pxfNumber: {
            double v = 0;
            return PX_get_data_double(doc, data, f.px_flen, &v) > 0 ? numberText(v) : QString();
        }
        case pxfTimestamp: {
            double v = 0;
            if (PX_get_data_double(doc, data, f.px_flen, &v) <= 0)
                return {};
            const qint64 ms = qint64(v);
            if (ms < 86400000)
                return {};
            return dateText(long(ms / 86400000)) + u' ' +
                   QTime(0, 0).addMSecs(int(ms % 86400000)).toString(QStringLiteral("hh:mm:ss"));
        }
        case pxfLogical: {
            char v = 0;
            return PX_get_data_byte(doc, data, f.px_flen, &v) > 0 ? QString::fromLatin1(v ? "true" : "false") : QString();
        }
        default:
            return {}; // binary, OLE, graphic, bytes
        }
    }

    // A memo field ends in the place of its text in the .MB file (4 bytes:
    // the block's offset, and in the low byte the entry of a block shared by
    // several memos, 0xFF for a block of its own), its length (4 bytes) and a
    // modification number (2 bytes); the bytes before hold the text's start,
    // all of it when it is short enough.
    QByteArray memo(const char *data, int length, int record, const pxfield_t &f) const
    {
        if (length < 10)
            return {};
        const int lead = length - 10;
        const quint32 place = qFromLittleEndian<quint32>(data + lead);
        const qint64 size = qFromLittleEndian<quint32>(data + lead + 4);
        if (size == 0)
            return {};
        if (size <= lead)
            return QByteArray(data, int(size));
        const auto lost = [&](const QString &why) {
            if (reading == Reading::Strict)
                fail(QStringLiteral("record %1, column %2: %3").arg(record + 1).arg(QString::fromLatin1(f.px_fname), why));
            return QByteArray(data, lead);
        };
        if (!hasBlobFile)
            return lost(QStringLiteral("its memo file %1 is missing").arg(QFileInfo(blobPath).fileName()));
        const qint64 block = place & 0xFFFFFF00u;
        const int entry = int(place & 0xFF);
        qint64 at = -1;
        if (block >= blobs.size())
            return lost(QStringLiteral("its memo lies outside the memo file"));
        if (entry == 0xFF) {
            if (reading == Reading::Strict && quint8(blobs[block]) != 2)
                return lost(QStringLiteral("its memo block is damaged"));
            at = block + 9; // type, number of blocks, length, modification number
        } else {
            const qint64 index = block + 12 + qint64(entry) * 5;
            if (reading == Reading::Strict && quint8(blobs[block]) != 3)
                return lost(QStringLiteral("its memo block is damaged"));
            if (index < blobs.size())
                at = block + qint64(quint8(blobs[index])) * 16;
        }
        if (at < 0 || at >= blobs.size() || (reading == Reading::Strict && at + size > blobs.size()))
            return lost(QStringLiteral("its memo lies outside the memo file"));
        return blobs.mid(at, qMin<qint64>(size, blobs.size() - at));
    }
};

ParadoxTable::ParadoxTable(const QString &path, Reading reading) : d(std::make_unique<Private>())
{
    d->path = path;
    d->reading = reading;
    d->doc = PX_new();
    if (!d->doc)
        d->fail(QStringLiteral("out of memory"));
    d->doc->errorhandler = &Private::onError;
    d->doc->errorhandler_user_data = d.get();
    d->open = PX_open_file(d->doc, QFile::encodeName(path).constData()) == 0;
    if (!d->open)
        d->fail(d->libraryError.isEmpty() ? QStringLiteral("not a Paradox table")
                                          : QStringLiteral("not a Paradox table (%1)").arg(d->libraryError));
    const pxhead_t *head = d->doc->px_head;
    if (reading == Reading::Strict) {
        const qint64 needed = qint64(head->px_headersize) + qint64(head->px_fileblocks) * head->px_maxtablesize * 1024;
        if (needed > QFileInfo(path).size())
            d->fail(QStringLiteral("the file is shorter than its header says (%1 bytes of %2): it was cut short")
                        .arg(QFileInfo(path).size()).arg(needed));
    }
    d->codePage = head->px_doscodepage;
    const QFileInfo fi(path);
    d->blobPath = findNoCase(fi.absolutePath(), fi.completeBaseName()
                                                    + (fi.suffix() == QLatin1String("DB") ? QStringLiteral(".MB") : QStringLiteral(".mb")));
    QFile blobs(d->blobPath);
    d->hasBlobFile = blobs.open(QIODevice::ReadOnly);
    if (d->hasBlobFile)
        d->blobs = blobs.readAll();
    const int fields = PX_get_num_fields(d->doc);
    const pxfield_t *field = PX_get_fields(d->doc);
    for (int i = 0; i < fields; ++i)
        d->columns << d->decode(QByteArray(field[i].px_fname));
}

ParadoxTable::~ParadoxTable() = default;

const QStringList &ParadoxTable::columns() const { return d->columns; }

int ParadoxTable::recordCount() const { return PX_get_num_records(d->doc); }

int ParadoxTable::codePage() const { return d->codePage; }

bool ParadoxTable::isDateColumn(int column) const
{
    return column >= 0 && column < d->columns.size() && PX_get_fields(d->doc)[column].px_ftype == pxfDate;
}

QStringList ParadoxTable::record(int record)
{
    QByteArray bytes(PX_get_recordsize(d->doc), '\0');
    d->libraryError.clear();
    if (!PX_get_record(d->doc, record, bytes.data())) {
        if (d->reading == Reading::Strict)
            d->fail(QStringLiteral("record %1 cannot be read%2")
                        .arg(record + 1)
                        .arg(d->libraryError.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(d->libraryError)));
        return {};
    }
    const pxfield_t *field = PX_get_fields(d->doc);
    QStringList row;
    row.reserve(d->columns.size());
    int offset = 0;
    for (int i = 0; i < d->columns.size(); ++i) {
        row << d->value(field[i], bytes.data() + offset, record);
        offset += field[i].px_flen;
    }
    return row;
}

} // namespace kirvane::import
