#pragma once
// Shared pieces of kirvane-cli: each group of commands lives in its own file
// and is reached through the table in main.cpp.

#include "store/contactrecord.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <memory>

#include "texts/asker.h"

namespace kirvane::mail {
class DkimSigner;
class MailMessage;
}

namespace kirvane::store {
class AddressBookStore;
}

namespace kirvane::cli {

// Standard output and error as UTF-8 text streams.
QTextStream &out();
QTextStream &err();

// Prints "kirvane-cli: <message>" on standard error and returns 1.
int fail(const QString &message);

// Writes raw bytes to standard output (flushing the text stream first).
void writeRaw(const QByteArray &bytes);

// Takes "--name VALUE" (or "--name=VALUE") out of args; returns false when absent.
bool takeOption(QStringList &args, const QString &name, QString *value);
// Takes every occurrence of "--name VALUE".
QStringList takeOptions(QStringList &args, const QString &name);
// Takes the flag "--name"; true when present.
bool takeFlag(QStringList &args, const QString &name);

// A JSON string literal (quotes included) for text.
QString jsonString(const QString &text);
// A JSON array of strings.
QString jsonList(const QStringList &items);
// The same for UTF-8 bytes, appended to out.
void appendJsonString(QByteArray &out, QByteArrayView utf8);

// The command line asks no question: a notice goes to standard error, a
// question is answered No (the answer that changes nothing).
class CommandLineAsker : public texts::Asker {
public:
    texts::Answer ask(texts::DialogKind kind, const QString &text) override;
};

// Prints the usage lines of command (from the general usage); 1 for an
// unknown command.
int showCommandUsage(const QString &command);

// Command groups. Each gets the words after its own name.
int runStoreCommand(const QString &command, QStringList args);
int runMailCommand(QStringList args);          // cli/mail_commands.cpp: dispatch, compose
int runMailSendCommand(QStringList args);      // cli/mail_net_commands.cpp
int runMailFetchCommand(QStringList args);     // cli/mail_net_commands.cpp
int runMessageCommand(QStringList args);
int runHistoryCommand(QStringList args);         // cli/history_commands.cpp
int runConfigCommand(QStringList args);      // cli/config_commands.cpp
int runSyncCommand(QStringList args);         // cli/sync_commands.cpp
int runSendCommand(QStringList args);        // cli/send_commands.cpp
int runResumeCommand(QStringList args);      // cli/send_commands.cpp
int runRunsCommand(QStringList args);        // cli/send_commands.cpp
int runSearchCommand(QStringList args);       // cli/search_commands.cpp
int runDuplicatesCommand(QStringList args);   // cli/search_commands.cpp
int runTitlesCommand(QStringList args);       // cli/contact_commands.cpp
// contact show|update|copy|move (args from the verb on); cli/contact_commands.cpp.
int runContactEditCommand(store::AddressBookStore &store, const QStringList &args);
// Sets the columns named by COLUMN=VALUE pairs; false with a one-line error
// for a name that is not a column (or is the id). cli/contact_commands.cpp.
bool setColumns(store::ContactRecord &contact, const QStringList &pairs, QString *error);
int runImportCommand(const QString &command, QStringList args); // cli/import_commands.cpp: tables, import
int runMigrateCommand(QStringList args);      // cli/migrate_command.cpp

// Takes the message options of "mail compose" and "mail send" out of args
// (--from, --name, --to, --cc, --bcc, --subject, --text or --html, --attach,
// --embed, --base64, --list-unsubscribe, --text-alternative) and fills msg,
// its Date set to now. Leaves other arguments in args. False with a one-line
// error when an option is missing or a text file cannot be read.
// cli/mail_commands.cpp.
bool buildMessageFromOptions(QStringList &args, mail::MailMessage &msg, QString *error);

// Takes --dkim-key FILE --dkim-selector S --dkim-domain D (all three or
// none) and loads the key into *signer; no options leave *signer empty.
// False with a one-line error for a partial set or a key that cannot sign.
bool takeDkimOptions(QStringList &args, std::unique_ptr<mail::DkimSigner> *signer, QString *error);

} // namespace kirvane::cli
