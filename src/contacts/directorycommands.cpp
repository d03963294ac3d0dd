#include "contacts/directorycommands.h"

#include "common/textcodec.h"
#include "store/addressbookstore.h"
#include "texts/errorcodes.h"
#include "texts/texttable.h"

#include <QDir>

namespace kirvane::contacts {

using namespace kirvane::store;
using namespace kirvane::texts;

namespace {

// The notice for a name no book can have.
QString badNameNotice(common::BookNameFault fault, int language)
{
    switch (fault) {
    case common::BookNameFault::Empty:
        return text(BookNameEmpty, language);
    case common::BookNameFault::LineBreak:
        return text(BookNameLineBreak, language);
    case common::BookNameFault::Dots:
        return text(BookNameDots, language);
    case common::BookNameFault::Characters:
    case common::BookNameFault::None:
        break;
    }
    return text(BookNameCharacters, language);
}

} // namespace

void DirectoryCommands::reportUnreachableBooks()
{
    for (const QByteArray &file : m_store.files().unreachableBookFiles()) {
        if (m_reported.contains(file))
            continue;
        m_reported.insert(file);
        m_asker.ask(DialogKind::Error, text(BookFileNameNotUtf8, m_language)
                                           .arg(common::fromWindows1252(file), QDir::cleanPath(m_store.files().folder())));
    }
}

bool DirectoryCommands::maySelect(const QString &selected)
{
    if (!selected.isNull())
        return true;
    m_asker.inform(text(SelectABook, m_language));
    return false;
}

DirectoryCommands::Details DirectoryCommands::details(const QString &book) const
{
    Details d;
    d.freeLabels = m_books.freeLabels(book);
    try {
        d.count = m_store.countRows(QStringLiteral("an_") + book);
    } catch (const StoreError &e) {
        d.count = -1;
        m_asker.ask(DialogKind::Error, text(BookNotCounted, m_language).arg(book, QString::fromStdString(e.what())));
    }
    return d;
}

QString DirectoryCommands::newBookProposal() const
{
    return m_books.proposeName(text(NewBookProposal, m_language));
}

QString DirectoryCommands::copyProposal(const QString &source) const
{
    return m_books.proposeName(text(CopyBookProposal, m_language) + source);
}

bool DirectoryCommands::report(const BookResult &result)
{
    switch (result.refusal) {
    case BookResult::Refusal::None:
        break;
    case BookResult::Refusal::BadName:
        m_asker.inform(badNameNotice(result.nameFault, m_language));
        return false;
    case BookResult::Refusal::NameInUse:
        m_asker.inform(text(BookNameInUse, m_language));
        return false;
    case BookResult::Refusal::Protected:
        m_asker.inform(text(SubscribersUndeletable, m_language));
        return false;
    }
    if (!result.failed)
        return true;
    QString message = result.errorCode ? errorText(result.errorCode) : QString();
    if (!result.reason.isEmpty())
        message += (message.isEmpty() ? QString() : LineSeparator.toString()) + result.reason;
    m_asker.ask(DialogKind::Error, message);
    return false;
}

bool DirectoryCommands::create(const QString &name, const QStringList &freeLabels)
{
    return report(m_books.create(name, freeLabels));
}

bool DirectoryCommands::duplicate(const QString &source, const QString &copy)
{
    return report(m_books.duplicate(source, copy));
}

bool DirectoryCommands::rename(const QString &oldName, const QString &newName)
{
    return report(m_books.rename(oldName, newName));
}

bool DirectoryCommands::relabel(const QString &name, const QStringList &freeLabels)
{
    return report(m_books.relabel(name, freeLabels));
}

bool DirectoryCommands::remove(const QString &name)
{
    return report(m_books.remove(name));
}

} // namespace kirvane::contacts
