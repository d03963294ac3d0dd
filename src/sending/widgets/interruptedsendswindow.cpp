#include "sending/widgets/interruptedsendswindow.h"

#include "message/messagearchive.h"
#include "texts/texttable.h"
#include "ui/buttonlook.h"
#include "ui/messagedialog.h"
#include "common/folders.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kirvane::sending {

using namespace kirvane::common;
using namespace kirvane::texts;
using namespace kirvane::ui;

namespace tr = texts;

namespace {
const QString kExtension = QStringLiteral(".MNS");
}

InterruptedSendsWindow::InterruptedSendsWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Dialogue_choix_message_continu_envoi"));
    setModal(true);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("ListBox1"));
    m_send = new QPushButton(this);
    m_send->setObjectName(QStringLiteral("Btn_envoyer"));
    m_delete = new QPushButton(this);
    m_delete->setObjectName(QStringLiteral("Btn_supprimer"));
    m_close = new QPushButton(this);
    m_close->setObjectName(QStringLiteral("Btn_fermer"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_send);
    buttons->addWidget(m_delete);
    buttons->addStretch();
    buttons->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    m_deleteQuestion = new ui::MessageDialog(texts::DialogKind::YesNo, this);
    m_deleteQuestion->setObjectName(QStringLiteral("Dialogue_suppression_envoi_interrompu"));
    connect(m_send, &QPushButton::clicked, this, &InterruptedSendsWindow::sendSelected);
    connect(m_delete, &QPushButton::clicked, this, &InterruptedSendsWindow::deleteSelected);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &InterruptedSendsWindow::sendSelected);
    applyLanguage(tr::French);
}

void InterruptedSendsWindow::applyLanguage(int language)
{
    m_language = language;
    setWindowTitle(tr::text(tr::InterruptedListCaption, language));
    copyLook(m_send, tr::ButtonSend, language);
    copyLook(m_delete, tr::ButtonDelete, language);
    copyLook(m_close, tr::ButtonClose, language);
    m_deleteQuestion->applyLanguage(language);
}

void InterruptedSendsWindow::showEvent(QShowEvent *event)
{
    refresh();
    QDialog::showEvent(event);
}

void InterruptedSendsWindow::refresh()
{
    m_list->clear();
    const QDir dir(stoppedFolder());
    for (const QString &file : dir.entryList(QDir::Files, QDir::Unsorted)) {
        if (file.endsWith(kExtension, Qt::CaseInsensitive))
            m_list->addItem(file.chopped(kExtension.size()));
    }
}

QString InterruptedSendsWindow::pathOf(const QString &name) const
{
    return findNoCase(stoppedFolder(), name + kExtension);
}

void InterruptedSendsWindow::sendSelected()
{
    QListWidgetItem *item = m_list->currentItem();
    if (!item || !item->isSelected())
        return;
    const QString path = pathOf(item->text());
    accept();
    Q_EMIT resumeRequested(path);
}

void InterruptedSendsWindow::deleteSelected()
{
    QListWidgetItem *item = m_list->currentItem();
    if (!item || !item->isSelected())
        return;
    if (m_deleteQuestion->ask(tr::text(tr::AskDeleteInterruptedSend, m_language)) != Answer::Yes)
        return;
    QFile::remove(pathOf(item->text()));
    delete m_list->takeItem(m_list->row(item));
}

} // namespace kirvane::sending
