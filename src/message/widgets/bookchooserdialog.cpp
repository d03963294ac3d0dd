#include "message/widgets/bookchooserdialog.h"

#include "texts/texttable.h"
#include "ui/buttonlook.h"
#include "ui/dialogparts.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kirvane::message {

using namespace kirvane::texts;
using namespace kirvane::ui;

BookChooserDialog::BookChooserDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form_Dir_Dest"));
    setWindowModality(Qt::WindowModal);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("ListBox1"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_ok = namedButton("Btn_valider", this);
    m_cancel = namedButton("Btn_annuler", this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(buttonRow({m_ok, m_cancel}, m_ok));

    connect(m_ok, &QPushButton::clicked, this, [this] {
        if (!m_list->selectedItems().isEmpty())
            accept();
    });
    connect(m_list, &QListWidget::itemDoubleClicked, m_ok, &QPushButton::click);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    applyLanguage(French);
}

void BookChooserDialog::prepare(Purpose purpose, const QStringList &books)
{
    m_purpose = purpose;
    m_list->clear();
    m_list->addItems(books);
    updateCaption();
}

QStringList BookChooserDialog::chosenBooks() const
{
    return selectedTexts(*m_list);
}

void BookChooserDialog::applyLanguage(int language)
{
    m_language = language;
    copyLook(m_ok, ButtonOk, language);
    copyLook(m_cancel, ButtonCancel, language);
    updateCaption();
}

void BookChooserDialog::updateCaption()
{
    setWindowTitle(text(m_purpose == Purpose::Destination ? RecipientBooksCaption : ExcludedBooksCaption, m_language));
}

} // namespace kirvane::message
