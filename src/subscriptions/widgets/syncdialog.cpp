#include "subscriptions/widgets/syncdialog.h"

#include "mail/pop3client.h"
#include "mail/smtpclient.h"
#include "texts/texttable.h"
#include "ui/bilingual.h"
#include "ui/buttonlook.h"
#include "ui/messagedialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace kirvane::subscriptions {

using namespace kirvane::store;
using namespace kirvane::texts;
using namespace kirvane::ui;

namespace {
using namespace kirvane::texts;

// How long the refusal of a known address stays in the window.
constexpr int kKnownAddressPauseMs = 2000;
// From the window shown to the job's start.
constexpr int kStartDelayMs = 100;
} // namespace

// The job's one question in the window's own dialog, the rest to the program's asker.
class SyncDialog::QuestionRouter : public Asker {
public:
    QuestionRouter(Asker &outer, MessageDialog *&question) : m_outer(outer), m_question(question) {}
    Answer ask(DialogKind kind, const QString &text) override
    {
        if (kind == DialogKind::UnsubscribeEverywhere)
            return m_question->ask(text);
        return m_outer.ask(kind, text);
    }

private:
    Asker &m_outer;
    MessageDialog *&m_question;
};

SyncDialog::SyncDialog(AddressBookStore &store, mail::Pop3Client &pop, mail::SmtpClient &smtp, Asker &asker, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("Dialogue_synchronisation"));
    setModal(true);

    m_question = new MessageDialog(DialogKind::UnsubscribeEverywhere, this);
    m_router = std::make_unique<QuestionRouter>(asker, m_question);
    m_job = std::make_unique<SyncJob>(store, pop, smtp, *m_router);
    m_job->setKnownAddressPause(kKnownAddressPauseMs);

    m_stateLabel = new QLabel(this);
    m_stateLabel->setObjectName(QStringLiteral("Label1"));
    m_progressLabel = new QLabel(this);
    m_progressLabel->setObjectName(QStringLiteral("Label3"));
    m_detailLabel = new QLabel(this);
    m_detailLabel->setObjectName(QStringLiteral("Label4"));
    m_detailLabel->setWordWrap(true);
    for (QLabel *l : {m_stateLabel, m_progressLabel, m_detailLabel})
        l->setAlignment(Qt::AlignCenter);

    m_cancel = new QPushButton(this);
    m_cancel->setObjectName(QStringLiteral("Btn_Annuler"));
    m_close = new QPushButton(this);
    m_close->setObjectName(QStringLiteral("Btn_Fermer"));
    m_close->hide();
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_close);
    buttons->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_stateLabel);
    layout->addWidget(m_progressLabel);
    layout->addWidget(m_detailLabel);
    layout->addLayout(buttons);
    setMinimumWidth(460);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(kStartDelayMs);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &SyncDialog::timerFired);
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_job->cancel(); });
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);

    connect(m_job.get(), &SyncJob::messageStarted, this, [this](int number, int count) {
        m_progressLabel->setText(text(SyncMessageProcessing) + QString::number(number) + QLatin1Char('/')
                          + QString::number(count));
    });
    connect(m_job.get(), &SyncJob::forwarding, this, [this](bool active) {
        m_detailLabel->setText(active ? displayLines(text(SyncForwarding)) : QString());
    });
    connect(m_job.get(), &SyncJob::knownAddress, this, [this](bool shown) {
        m_detailLabel->setText(shown ? text(SyncKnownAddress) : QString());
    });
    connect(m_job.get(), &SyncJob::finished, this, &SyncDialog::jobFinished);

    applyLanguage(French);
}

SyncDialog::~SyncDialog() = default;

void SyncDialog::applyLanguage(int language)
{
    setWindowTitle(texts::text(SyncCaption, language));
    copyLook(m_cancel, ButtonCancel, language);
    copyLook(m_close, ButtonClose, language);
    m_question->applyLanguage(language);
}

void SyncDialog::synchronise()
{
    m_timer->start();
    show();
}

void SyncDialog::showEvent(QShowEvent *event)
{
    setWindowTitle(text(SyncCaption));
    m_stateLabel->setText(text(SyncRunning));
    m_progressLabel->clear();
    m_detailLabel->clear();
    m_cancel->show();
    m_close->hide();
    QDialog::showEvent(event);
}

void SyncDialog::reject()
{
    if (!m_cancel->isVisible())
        QDialog::reject();
}

void SyncDialog::timerFired()
{
    m_timer->stop();
    m_job->start();
}

void SyncDialog::jobFinished()
{
    m_stateLabel->setText(text(SyncFinished));
    m_progressLabel->clear();
    m_detailLabel->clear();
    m_cancel->hide();
    m_close->show();
    m_close->setDefault(true);
}

} // namespace kirvane::subscriptions
