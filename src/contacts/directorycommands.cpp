#include "contacts/directorycommands.h"

#include "store/addressbookstore.h"
#include "texts/errorcodes.h"
#include "texts/texttable.h"

namespace kirvane::contacts {

using namespace kirvane::store;
using namespace kirvane::texts;

namespace {

// The notice for a name no book can have. The table's text lists the
// forbidden characters; the other faults have their own sentence, which the
// table has no entry for.
QString badNameNotice(common::BookNameFault fault, int language)
{
    auto inLanguage = [language](const char16_t *french, const char16_t *english) {
        return QString::fromUtf16(language == French ? french : english);
    };
    switch (fault) {
    case common::BookNameFault::Empty:
        return inLanguage(u"Le nom d'un annuaire ne peut être vide.", u"The name of a directory cannot be empty.");
    case common::BookNameFault::LineBreak:
        return inLanguage(u"Le nom d'un annuaire ne peut contenir ni saut de ligne ni caractère de contrôle.",
                          u"The name of a directory cannot contain a line break or a control character.");
    case common::BookNameFault::Dots:
        return inLanguage(u"Le nom d'un annuaire ne peut contenir « .. ».",
                          u"The name of a directory cannot contain \"..\".");
    case common::BookNameFault::Characters:
    case common::BookNameFault::None:
        break;
    }
    return text(BookNameCharacters, language);
}

} // namespace

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
    } catch (const StoreError &) {
        d.count = -1;
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
