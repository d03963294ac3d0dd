#pragma once
// What a run segment leaves in the history: the record of the message sent
// (through the store's history operation) and, for an HTML-file message, the
// folder historique/<id>/ with its page and images; and the recipients the
// server refused, kept beside the history in historique/refused.tsv.

#include <QList>
#include <QString>

namespace kirvane::store {
class AddressBookStore;
}
namespace kirvane::message {
class MessageDocument;
}

namespace kirvane::sending {

struct RefusedRecipient;

// Writes the history record of message as it stands; returns its id, or 0
// when the record could not be written, with the store's reason in *error.
qint64 writeHistoryRecord(store::AddressBookStore &store, const message::MessageDocument &message,
                          QString *error = nullptr);

// The file of refused recipients: UTF-8, one line per recipient, fields
// separated by tabs, under a heading line:
//   date  history_id  interrupted_send  book  contact_id  nom  prenom  email  code  reply
// history_id is the record of the segment that met the refusal, or empty when
// the segment was stopped and saved (interrupted_send then names it); code is
// the server's reply code, empty for an address that could not be used.
[[nodiscard]] QString refusedFilePath();

// The refused recipients kept for history record id, one line each:
// "email (code reply)".
[[nodiscard]] QStringList refusedOfRecord(qint64 id);

// Appends the refused recipients of a segment.
void keepRefused(const QList<RefusedRecipient> &refused, const QString &historyId, const QString &savedName);

} // namespace kirvane::sending
