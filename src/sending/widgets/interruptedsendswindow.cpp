#include "sending/widgets/interruptedsendswindow.h"

#include "message/messagearchive.h"
#include "sending/runposition.h"
#include "sending/stoppedruns.h"
#include "texts/texttable.h"
#include "ui/buttonlook.h"
#include "ui/messagedialog.h"
#include "common/folders.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QTimer>
#include <QTreeWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kirvane::sending {

using namespace kirvane::common;
using namespace kirvane::texts;
using namespace kirvane::ui;

namespace tr = texts;

InterruptedSendsWindow::InterruptedSendsWindow(QWidget *parent, const store::BookFiles *files)
    : QDialog(parent), m_files(files)
{
    setObjectName(QStringLiteral("Dialogue_choix_message_continu_envoi"));
    setModal(true);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("ListBox1"));
    m_list->setRootIsDecorated(false);
    m_list->setColumnCount(6);
    m_list->setMinimumWidth(560);
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
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &InterruptedSendsWindow::sendSelected);
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
    m_list->setHeaderLabels(QStringList{tr::text(tr::InterruptedListCaption, language)}
                            + tr::text(tr::StoppedRunsColumns, language).split(u'\t'));
}

void InterruptedSendsWindow::showEvent(QShowEvent *event)
{
    refresh();
    QDialog::showEvent(event);
}

void InterruptedSendsWindow::refresh()
{
    m_list->clear();
    QStringList uncounted;
    for (const StoppedRun &r : listStoppedRuns(m_files)) {
        auto *item = new QTreeWidgetItem(m_list);
        item->setText(0, r.name);
        item->setText(1, r.subject);
        item->setText(2, QLocale().toString(r.stopped, QLocale::ShortFormat));
        item->setText(3, r.book);
        const bool counted = m_files && r.uncountedReason.isEmpty();
        if (counted && !r.book.isEmpty())
            item->setText(4, QStringLiteral("%1/%2").arg(r.doneInBook).arg(r.bookSize));
        if (counted)
            item->setText(5, QString::number(r.remaining));
        if (!r.uncountedReason.isEmpty())
            uncounted << tr::text(tr::BookDamaged, m_language).arg(r.uncountedBook, r.uncountedReason);
    }
    for (int c = 0; c < m_list->columnCount(); ++c)
        m_list->resizeColumnToContents(c);
    // Said once the list shows, over it.
    if (!uncounted.isEmpty())
        QTimer::singleShot(0, this, [this, uncounted] {
            ui::MessageDialog error(texts::DialogKind::Error, this);
            error.applyLanguage(m_language);
            (void)error.ask(uncounted.join(u'\n'));
        });
}

void InterruptedSendsWindow::sendSelected()
{
    QTreeWidgetItem *item = m_list->currentItem();
    if (!item || !item->isSelected())
        return;
    const QString path = stoppedRunPath(item->text(0));
    accept();
    Q_EMIT resumeRequested(path);
}

void InterruptedSendsWindow::deleteSelected()
{
    QTreeWidgetItem *item = m_list->currentItem();
    if (!item || !item->isSelected())
        return;
    if (m_deleteQuestion->ask(tr::text(tr::AskDeleteInterruptedSend, m_language)) != Answer::Yes)
        return;
    removeStoppedRun(stoppedRunBase(item->text(0)));
    delete item;
}

} // namespace kirvane::sending
