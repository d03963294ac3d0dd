#include "sending/widgets/sendingwindows.h"

#include "message/messagearchive.h"
#include "sending/runjournal.h"
#include "sending/widgets/interruptedsendswindow.h"
#include "sending/widgets/sendingdialog.h"
#include "sending/widgets/settingswindow.h"
#include "texts/asker.h"
#include "texts/texttable.h"
#include "store/addressbookstore.h"
#include "ui/views.h"
#include "common/folders.h"

namespace kirvane::sending {

using namespace kirvane::common;
using namespace kirvane::texts;
using namespace kirvane::ui;

SendingWindows::SendingWindows(store::AddressBookStore &store, message::MessageDocument &message, Asker &asker, QWidget *mainWindow)
    : QObject(mainWindow), m_asker(asker)
{
    m_settings = new SettingsWindow(asker, mainWindow);
    m_sending = new SendingDialog(store, message, asker, mainWindow);
    m_interrupted = new InterruptedSendsWindow(mainWindow, &store.files());
    connect(m_interrupted, &InterruptedSendsWindow::resumeRequested, m_sending, &SendingDialog::resumeInterrupted);
}

SendingWindows::~SendingWindows() = default;

void SendingWindows::connectCommands(ui::Commands &commands)
{
    commands.provide(QStringLiteral("Envoyer1"), [this] { m_sending->sendMessage(); });
    commands.provide(QStringLiteral("Envoyeruntest1"), [this] { m_sending->sendTest(); });
    commands.provide(QStringLiteral("continuer_envoi"), [this] { m_interrupted->exec(); });
    for (const char *name : {"Configuration_menu", "Connexion1", "Configuration_menu1", "Configuration_menu2"})
        commands.provide(QString::fromLatin1(name), [this] { m_settings->exec(); });
}

void SendingWindows::applyLanguage(int language)
{
    m_settings->applyLanguage(language);
    m_sending->applyLanguage(language);
    m_interrupted->applyLanguage(language);
}

void SendingWindows::offerCrashedRuns()
{
    QStringList errors;
    const QStringList names = RunJournal::recoverAll(&errors);
    for (const QString &e : errors)
        m_asker.inform(e);
    for (const QString &name : names) {
        if (m_asker.ask(DialogKind::YesNo, texts::text(texts::CrashedRunSaved).arg(name)) == Answer::Yes) {
            m_sending->resumeInterrupted(stoppedRunPath(name));
            return;
        }
    }
}

} // namespace kirvane::sending
