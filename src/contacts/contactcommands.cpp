#include "contacts/contactcommands.h"

#include "contacts/contactform.h"
#include "contacts/gridselection.h"
#include "contacts/printpage.h"
#include "store/addressbookstore.h"
#include "store/booktablemodel.h"
#include "texts/errorcodes.h"
#include "texts/texttable.h"

namespace kirvane::contacts {

using namespace kirvane::store;
using namespace kirvane::texts;

bool ContactCommands::mayRun(Command command, bool bookChosen, int selectedCount)
{
    if (command == Command::Titles)
        return true;
    if (!bookChosen) {
        m_asker.inform(text(SelectABook, m_language));
        return false;
    }
    if (command != Command::Add && selectedCount < 1) {
        m_asker.inform(text(SelectAContact, m_language));
        return false;
    }
    return true;
}

void ContactCommands::sayFailed(int entry, const QString &reason, const QString &book) const
{
    const QString message = text(entry, m_language);
    m_asker.ask(DialogKind::Error, book.isNull() ? message.arg(reason) : message.arg(book, reason));
}

QString ContactCommands::sameNameQuestion(const QString &nom, const QString &prenom) const
{
    return text(ContactNameExists, m_language) + LineSeparator.toString() + nom + u' ' + prenom;
}

QString ContactCommands::sameEmailQuestion(const QString &email) const
{
    return text(ContactEmailExists, m_language) + LineSeparator.toString() + email;
}

store::ConflictDecision ContactCommands::askAboutConflicts() const
{
    return [this](TransferConflict conflict, const ContactRecord &c) {
        if (conflict == TransferConflict::SameName)
            return m_asker.ask(DialogKind::SameContactName, sameNameQuestion(c[F_nom].value, c[F_prenom].value))
                   == Answer::Yes;
        return m_asker.ask(DialogKind::SameContactEmail, sameEmailQuestion(c[F_email].value)) == Answer::Yes;
    };
}

ContactCommands::SaveResult ContactCommands::addContact(ContactRecord &contact)
{
    replaceApostrophes(contact);
    const QString &book = m_store.currentBook();
    try {
        ContactTable &table = m_store.contacts();
        if (table.contactExists(book, contact[F_nom].value, contact[F_prenom].value)
            && m_asker.ask(DialogKind::SameContactName, sameNameQuestion(contact[F_nom].value, contact[F_prenom].value))
                   != Answer::Yes)
            return {Outcome::Declined, -1};
        // No address is no duplicate: every other contact without one would match.
        if (!contact[F_email].value.isEmpty() && table.emailExists(book, contact[F_email].value)
            && m_asker.ask(DialogKind::SameContactEmail, sameEmailQuestion(contact[F_email].value)) != Answer::Yes)
            return {Outcome::Declined, -1};
        ContactRecord fresh = contact;
        fresh[F_id].value.clear();
        const qint64 id = table.addContact(fresh, book);
        reopen();
        return {Outcome::Saved, id};
    } catch (const StoreError &e) {
        sayFailed(ContactNotSaved, QString::fromStdString(e.what()));
        reopen();
        return {Outcome::Failed, -1};
    }
}

ContactCommands::SaveResult ContactCommands::modifyContact(ContactRecord &contact)
{
    replaceApostrophes(contact);
    const qint64 id = contact[F_id].value.toLongLong();
    QString why;
    const bool saved =
        !contact[F_id].value.isEmpty() && m_store.contacts().saveContact(contact, m_store.currentBook(), &why);
    if (!saved && !why.isEmpty())
        sayFailed(ContactNotSaved, why);
    reopen();
    return {saved ? Outcome::Saved : Outcome::Failed, id};
}

ContactCommands::Transfer ContactCommands::copyTo(const QStringList &targets, const QList<qint64> &ids)
{
    Transfer t;
    for (const QString &target : targets) {
        try {
            t.taken = m_store.contacts().copyContacts(m_store.currentBook(), ids, target, askAboutConflicts());
            t.copied += int(t.taken.size());
        } catch (const StoreError &e) {
            t.taken.clear();
            sayFailed(ContactsNotCopied, QString::fromStdString(e.what()), target);
        }
    }
    t.reopened = reopen();
    if (!t.reopened)
        m_asker.ask(DialogKind::Error, errorText(ErrorCode::RefreshContactList));
    return t;
}

ContactCommands::Transfer ContactCommands::moveTo(const QString &target, const QList<qint64> &ids)
{
    Transfer t;
    try {
        t.taken = m_store.contacts().moveContacts(m_store.currentBook(), ids, target, askAboutConflicts());
        t.copied = int(t.taken.size());
    } catch (const StoreError &e) {
        sayFailed(ContactsNotMoved, QString::fromStdString(e.what()), target);
    }
    t.reopened = reopen();
    if (!t.reopened)
        m_asker.ask(DialogKind::Error, errorText(ErrorCode::RefreshContactList));
    return t;
}

bool ContactCommands::deleteContacts(const QList<qint64> &ids)
{
    if (m_asker.ask(DialogKind::YesNo, text(AskDeleteContacts, m_language)) != Answer::Yes)
        return false;
    try {
        m_store.contacts().deleteContacts(m_store.currentBook(), ids);
    } catch (const StoreError &e) {
        sayFailed(ContactsNotDeleted, QString::fromStdString(e.what()));
    }
    reopen();
    return true;
}

std::optional<ContactRecord> ContactCommands::readContactAt(int row)
{
    try {
        return m_store.readContactAt(row);
    } catch (const StoreError &e) {
        sayFailed(ContactUnreadable, QString::fromStdString(e.what()));
        return std::nullopt;
    }
}

std::optional<QString> ContactCommands::printPage(const QList<qint64> &ids)
{
    try {
        return contacts::printPage(m_store, m_store.currentBook(), ids, m_language);
    } catch (const StoreError &e) {
        sayFailed(ContactsNotPrinted, QString::fromStdString(e.what()));
        return std::nullopt;
    }
}

qint64 ContactCommands::returnId(const BookTableModel &model, const QItemSelectionModel *grid)
{
    const qint64 before = idBeforeSelection(model, grid);
    return before >= 0 ? before : idAfterSelection(model, grid);
}

int ContactCommands::rowOf(qint64 id) const
{
    const BookTableModel *model = m_store.currentBookModel();
    if (id < 0 || !model || model->rowCount() == 0)
        return -1;
    return std::min(locateId(*model, id), model->rowCount() - 1);
}

bool ContactCommands::reopen()
{
    return m_store.openBook(m_store.currentBook());
}

} // namespace kirvane::contacts
