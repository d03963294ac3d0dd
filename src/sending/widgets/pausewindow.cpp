#include "sending/widgets/pausewindow.h"

#include "texts/texttable.h"
#include "ui/buttonlook.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kirvane::sending {

using namespace kirvane::texts;
using namespace kirvane::ui;

namespace tr = texts;

PauseWindow::PauseWindow(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("TEmporise"));
    setModal(false);
    setWindowTitle(QStringLiteral("Kirvane"));
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("Label1"));
    m_text->setAlignment(Qt::AlignCenter);
    m_countdown = new QLabel(this);
    m_countdown->setObjectName(QStringLiteral("Label_decompte"));
    m_countdown->setAlignment(Qt::AlignCenter);
    m_stop = new QPushButton(this);
    m_stop->setObjectName(QStringLiteral("Btn_arreter"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_countdown);
    layout->addWidget(m_stop, 0, Qt::AlignCenter);
    connect(m_stop, &QPushButton::clicked, this, &PauseWindow::stopAndSaveRequested);
    m_tick.setInterval(1000);
    connect(&m_tick, &QTimer::timeout, this, &PauseWindow::updateCountdown);
    applyLanguage(tr::French);
}

void PauseWindow::applyLanguage(int language)
{
    m_language = language;
    updateCountdown();
    m_text->setText(tr::text(tr::PauseText, language));
    copyLook(m_stop, tr::PauseStopAndSave, language);
}

void PauseWindow::showPause(int milliseconds)
{
    m_nextPacket = QDeadlineTimer(milliseconds);
    m_tick.start();
    updateCountdown();
    show();
    // Above the sending dialog, where the user looks for it.
    raise();
    activateWindow();
}

QString PauseWindow::countdownText() const
{
    const qint64 seconds = (m_nextPacket.remainingTime() + 999) / 1000;
    return tr::text(tr::NextPacketIn, m_language)
        .arg(QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0')));
}

void PauseWindow::updateCountdown()
{
    if (m_countdown)
        m_countdown->setText(m_tick.isActive() || isVisible() ? countdownText() : QString());
}

void PauseWindow::hideEvent(QHideEvent *event)
{
    m_tick.stop();
    QDialog::hideEvent(event);
}

} // namespace kirvane::sending
