#include "sending/widgets/sendingdialog.h"

#include "sending/widgets/laternamedialog.h"
#include "sending/widgets/pausewindow.h"
#include "texts/texttable.h"
#include "texts/asker.h"
#include "ui/bilingual.h"
#include "ui/buttonlook.h"
#include "ui/messagedialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace kirvane::sending {

using namespace kirvane::texts;
using namespace kirvane::ui;

namespace tr = texts;

SendingDialog::SendingDialog(store::AddressBookStore &store, message::MessageDocument &message, Asker &asker, QWidget *parent)
    : QDialog(parent), m_asker(asker), m_run(std::make_unique<SendingRun>(store, message, static_cast<RunQuestions &>(*this)))
{
    setObjectName(QStringLiteral("Dialogue_transmission"));
    setWindowModality(Qt::ApplicationModal);
    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QStringLiteral("Memo1"));
    m_log->setReadOnly(true);
    m_log->setMinimumSize(520, 260);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setTextVisible(false);
    m_counter = new QLabel(this);
    m_counter->setObjectName(QStringLiteral("Label_compteur"));
    m_recipient = new QLabel(this);
    m_recipient->setObjectName(QStringLiteral("email_desti"));
    m_cancel = new QPushButton(this);
    m_cancel->setObjectName(QStringLiteral("Btn_annuler"));
    m_stop = new QPushButton(this);
    m_stop->setObjectName(QStringLiteral("Btn_arreter"));
    m_close = new QPushButton(this);
    m_close->setObjectName(QStringLiteral("Btn_fermer"));

    auto *progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_counter);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_recipient, 1);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_stop);
    buttons->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_log);
    layout->addLayout(progressRow);
    layout->addLayout(buttons);

    m_pause = new PauseWindow(this);
    m_nameDialog = new LaterNameDialog(this);
    m_replaceQuestion = new ui::MessageDialog(texts::DialogKind::YesNo, this);
    m_replaceQuestion->setObjectName(QStringLiteral("Dialogue_msg_existe_deja"));

    connect(m_run.get(), &SendingRun::opened, this, &SendingDialog::onOpened);
    connect(m_run.get(), &SendingRun::logged, m_log, &QPlainTextEdit::appendPlainText);
    connect(m_run.get(), &SendingRun::progressChanged, this, [this](int processed, int total) {
        m_progress->setMaximum(std::max(total, 1));
        m_progress->setValue(std::min(processed, std::max(total, 1)));
        m_counter->setText(total == 0 && processed == 0 ? QString() : QStringLiteral("%1/%2").arg(processed).arg(total));
    });
    connect(m_run.get(), &SendingRun::recipientChanged, m_recipient, &QLabel::setText);
    connect(m_run.get(), &SendingRun::segmentEnded, this, &SendingDialog::onSegmentEnded);
    connect(m_run.get(), &SendingRun::pauseStarted, m_pause, &PauseWindow::showPause);
    connect(m_run.get(), &SendingRun::pauseEnded, this, [this] {
        m_pause->hide();
        showRunning(true);
    });
    connect(m_pause, &PauseWindow::stopAndSaveRequested, m_run.get(), &SendingRun::stopAndSaveFromPause);
    connect(m_cancel, &QPushButton::clicked, m_run.get(), &SendingRun::cancel);
    connect(m_stop, &QPushButton::clicked, m_run.get(), &SendingRun::stopAndSave);
    connect(m_close, &QPushButton::clicked, this, &SendingDialog::closeDialog);
    // A test that failed was told by the run.
    connect(m_run.get(), &SendingRun::testEnded, this, [this](bool sent, const QString &address) {
        if (sent)
            inform(tr::text(tr::TestSent, m_language).arg(address));
    });
    applyLanguage(tr::French);
}

SendingDialog::~SendingDialog() = default;

void SendingDialog::applyLanguage(int language)
{
    m_language = language;
    setWindowTitle(tr::text(tr::SendingCaption, language));
    copyLook(m_cancel, tr::ButtonCancel, language);
    copyLook(m_stop, tr::ButtonStopAndSave, language);
    copyLook(m_close, tr::ButtonClose, language);
    m_pause->applyLanguage(language);
    m_nameDialog->applyLanguage(language);
    m_replaceQuestion->applyLanguage(language);
}

bool SendingDialog::sendMessage()
{
    return m_run->sendNew();
}

bool SendingDialog::resumeInterrupted(const QString &path)
{
    return m_run->resumeFrom(path);
}

bool SendingDialog::sendTest()
{
    return m_run->sendTest();
}

void SendingDialog::onOpened()
{
    setWindowTitle(tr::text(tr::SendingCaption, m_language));
    m_log->clear();
    m_recipient->clear();
    m_counter->clear();
    m_progress->setValue(0);
    showRunning(true);
    show();
    raise();
}

void SendingDialog::showRunning(bool running)
{
    m_cancel->setVisible(running);
    m_stop->setVisible(running);
    m_close->setVisible(!running);
}

void SendingDialog::onSegmentEnded(SendingRun::End)
{
    showRunning(false);
}

void SendingDialog::closeDialog()
{
    m_pause->hide();
    m_run->close();
    hide();
}

void SendingDialog::reject()
{
    if (m_close->isVisible())
        closeDialog();
}

bool SendingDialog::askSendWithoutSubject()
{
    return m_asker.ask(DialogKind::YesNo, tr::text(tr::AskSendWithoutSubject)) == Answer::Yes;
}

bool SendingDialog::askRemoveMissingBooks(const QStringList &books)
{
    const QString text = tr::text(tr::DeletedDestinationBooks) + QLatin1String("\n\r\n\r") + books.join(QLatin1String("\n\r"));
    return m_asker.ask(DialogKind::YesNo, text) == Answer::Yes;
}

void SendingDialog::inform(const QString &text)
{
    m_asker.ask(DialogKind::TransmissionOk, text);
}

bool SendingDialog::confirmSending(const QString &subject, const RunFigures &figures)
{
    const QString text = tr::text(tr::ConfirmSending, m_language)
                             .arg(subject)
                             .arg(figures.contacts)
                             .arg(figures.books)
                             .arg(figures.excluded);
    return m_asker.ask(DialogKind::YesNo, text) == Answer::Yes;
}

QString SendingDialog::stoppedAfter(int done, int total, const QString &) const
{
    return tr::text(tr::StoppedAfter, m_language).arg(done).arg(total);
}

QString SendingDialog::askLaterSendName(const QString &proposal)
{
    return m_nameDialog->askName(proposal);
}

bool SendingDialog::askReplaceInterrupted(const QString &)
{
    const QString text = tr::text(tr::InterruptedNameExists, m_language) + QLatin1String("\n\r")
                         + tr::text(tr::AskReplaceInterrupted, m_language);
    return m_replaceQuestion->ask(text) == Answer::Yes;
}

} // namespace kirvane::sending
