#include "mail/qzvmsg.h"

#include "store/folders.h"

#include <QFileInfo>

namespace kirvane::mail {

bool TAttachedFile::Encode(QString *error)
{
    Q_UNUSED(error);
    return true;
}

TAttachedFiles::TAttachedFiles(const TAttachedFiles &other)
{
    *this = other;
}

TAttachedFiles &TAttachedFiles::operator=(const TAttachedFiles &other)
{
    if (this == &other)
        return *this;
    m_items.clear();
    for (const auto &item : other.m_items)
        m_items.push_back(std::make_unique<TAttachedFile>(*item));
    return *this;
}

TAttachedFile &TAttachedFiles::Add(const QString &path)
{
    auto item = std::make_unique<TAttachedFile>();
    item->FileName = QFileInfo(path).fileName();
    item->PathName = path;
    item->ContentType = ContentTypeOf(path);
    m_items.push_back(std::move(item));
    return *m_items.back();
}

void TAttachedFiles::Delete(int i)
{
    m_items.erase(m_items.begin() + i);
}

bool TQzvMsg::FillRawMail(QString *error)
{
    Q_UNUSED(error);
    RawMail.clear();
    return true;
}

bool TQzvMsg::ParseRawMail(const QList<QByteArray> &lines, QString *error)
{
    Q_UNUSED(error);
    RawMail = lines;
    return true;
}

QByteArray MakeMessageId(const QByteArray &host) { return "<QZV@" + host + ">"; }
QByteArray MakeBoundary() { return "--_QZV_bound_"; }
QString FormatMailDate(const QDateTime &) { return {}; }
QString ZoneText(int) { return QStringLiteral("GMT"); }
QString ZoneText() { return QStringLiteral("GMT"); }
QString ContentTypeOf(const QString &) { return QStringLiteral("application/octet-stream"); }
QString TempFolder() { return kirvane::tempFolder(); }

} // namespace kirvane::mail
