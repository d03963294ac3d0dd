#include "sending/historybrowser.h"

#include "common/folders.h"
#include "sending/history.h"
#include "message/messagedocument.h"
#include "message/rtf.h"
#include "message/textlines.h"
#include "store/addressbookstore.h"
#include "store/database.h"
#include "store/rowtablemodel.h"
#include "texts/asker.h"
#include "texts/texttable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextDocument>

#include <algorithm>

namespace kirvane::sending {

using namespace kirvane::store;

QString HistoryEntry::folder() const { return common::historyFolder() + QString::number(id) + u'/'; }

QString HistoryEntry::keptPage() const { return folder() + QStringLiteral("temp_html.html"); }

QString HistoryEntry::formattedText() const { return folder() + QStringLiteral("texte.rtf"); }

bool HistoryEntry::loadFormattedText(QTextDocument *document) const
{
    QFile f(formattedText());
    return f.open(QIODevice::ReadOnly) && message::readRtf(f.readAll(), document);
}

bool HistoryBrowser::reload(QString *error)
{
    const bool ok = m_store.openHistory(error);
    setCurrentRow(m_current);
    return ok;
}

bool HistoryBrowser::reload(texts::Asker &asker)
{
    QString error;
    if (reload(&error))
        return true;
    asker.ask(texts::DialogKind::Error, texts::text(texts::HistoryUnreadable).arg(error));
    return false;
}

int HistoryBrowser::count() const { return m_store.historyModel()->rowCount(); }

void HistoryBrowser::setCurrentRow(int row) { m_current = std::clamp(row, 0, std::max(0, count() - 1)); }

bool HistoryBrowser::previous()
{
    if (m_current <= 0)
        return false;
    --m_current;
    return true;
}

bool HistoryBrowser::next()
{
    if (m_current + 1 >= count())
        return false;
    ++m_current;
    return true;
}

HistoryEntry HistoryBrowser::entry(int row) const
{
    const RowTableModel &m = *m_store.historyModel();
    HistoryEntry e;
    if (row < 0 || row >= m.rowCount())
        return e;
    e.id = m.text(row, QStringLiteral("id")).toLongLong();
    e.subject = m.text(row, QStringLiteral("sujet"));
    e.date = m.text(row, QStringLiteral("date_msg"));
    e.body = m.text(row, QStringLiteral("texte"));
    e.mode = m.text(row, QStringLiteral("html")).toInt();
    e.books = message::splitLines(m.text(row, QStringLiteral("nom_annuaire")));
    e.attachments = message::splitLines(m.text(row, QStringLiteral("fichiers")));
    e.images = message::splitLines(m.text(row, QStringLiteral("images")));
    e.pagePath = m.text(row, QStringLiteral("chemin_page_html"));
    e.refused = refusedOfRecord(e.id);
    return e;
}

int HistoryBrowser::rowOfId(qint64 id) const
{
    for (int r = 0; r < count(); ++r)
        if (entry(r).id == id)
            return r;
    return -1;
}

int HistoryBrowser::rowAfterDeleting(const QList<int> &rows, int count)
{
    if (rows.isEmpty())
        return -1;
    const int first = *std::min_element(rows.begin(), rows.end());
    if (first > 0)
        return first - 1;
    // The record just after the first one chosen, counted once the chosen
    // ones have gone: the first that was not chosen.
    if (count < 2)
        return -1;
    for (int r = first + 1; r < count; ++r)
        if (!rows.contains(r))
            return 0;
    return -1;
}

HistoryBrowser::Deletion HistoryBrowser::deleteRows(const QList<int> &rows, texts::Asker &asker)
{
    if (rows.isEmpty()) {
        asker.inform(texts::text(texts::SelectSubjects));
        return {};
    }
    if (!asker.confirm(texts::text(texts::AskDeleteHistory)))
        return {};
    const int after = rowAfterDeleting(rows, count());
    QList<qint64> ids;
    for (int r : rows)
        ids << entry(r).id;
    Deletion d;
    try {
        d = deleteIds(ids);
    } catch (const StoreError &e) {
        asker.ask(texts::DialogKind::Error, texts::text(texts::HistoryNotDeleted).arg(QString::fromStdString(e.what())));
        return {};
    }
    m_current = std::max(after, 0);
    setCurrentRow(m_current);
    return d;
}

HistoryBrowser::Deletion HistoryBrowser::deleteIds(const QList<qint64> &ids)
{
    Deletion d;
    m_store.history().remove(ids);
    d.deleted = ids;
    d.done = true;
    for (qint64 id : ids) {
        HistoryEntry e;
        e.id = id;
        // A folder left behind would be taken for the files of a later
        // record: say so rather than keep quiet.
        // A link in its place is removed as a link: what it names is not ours.
        if (!common::removeFolderTree(e.folder(), common::dataFolder()))
            d.foldersLeft << e.folder();
    }
    reload();
    return d;
}

bool HistoryBrowser::sendAgain(int row, message::MessageDocument &doc, texts::Asker &asker) const
{
    const HistoryEntry e = entry(row);
    if (e.id <= 0)
        return false;
    const QStringList exclusions = doc.exclusionBooks();
    doc.clear();
    doc.setExclusionBooks(exclusions);
    doc.setSubject(e.subject);
    bool ok = true;
    // The column ends every line with CR LF; an editor wants the lines alone.
    const QString text = message::splitLines(e.body).join(u'\n');
    switch (e.mode) {
    case 2:
        doc.setMode(message::ComposeMode::PlainText);
        doc.setPlainText(text);
        break;
    case 3: {
        // The kept page and images go to the temporary folder, where the page
        // is imported again as it was first imported: its images are found
        // beside it and its title becomes the subject.
        const QString temp = common::tempFolder();
        for (const QFileInfo &f : QDir(e.folder()).entryInfoList(QDir::Files)) {
            QFile::remove(temp + f.fileName());
            QFile::copy(f.filePath(), temp + f.fileName());
        }
        const QString page = temp + QStringLiteral("text_html.htm");
        ok = message::writeLinesFile(page, message::splitLines(e.body)) && doc.importHtmlPage(page, asker);
        break;
    }
    default:
        // The kept formatted text; the words alone for a record without it.
        doc.setRichPlainText(text);
        if (!e.loadFormattedText(doc.richText()))
            doc.setRichPlainText(text);
        break;
    }
    doc.setAttachments(e.attachments);
    doc.setDestinationBooks(e.books);
    return ok;
}

} // namespace kirvane::sending
