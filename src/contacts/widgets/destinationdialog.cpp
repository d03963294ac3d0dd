#include "contacts/widgets/destinationdialog.h"

#include "texts/texttable.h"
#include "ui/buttonlook.h"
#include "ui/dialogparts.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kirvane::contacts {

using namespace kirvane::texts;

DestinationDialog::DestinationDialog(QWidget *parent)
    : QDialog(parent)
    , m_list(new QListWidget(this))
    , m_ok(new QPushButton(this))
    , m_cancel(new QPushButton(this))
{
    setObjectName(QStringLiteral("Form_Dir_Dest"));
    setModal(true);
    m_list->setObjectName(QStringLiteral("ListBox1"));
    m_ok->setObjectName(QStringLiteral("Btn_Valider"));
    m_cancel->setObjectName(QStringLiteral("Btn_Annuler"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(ui::buttonRow({m_ok, m_cancel}));
    connect(m_ok, &QPushButton::clicked, this, [this] {
        if (!m_list->selectedItems().isEmpty())
            accept();
    });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(300, 320);
    applyLanguage(French);
}

QStringList DestinationDialog::choose(const QStringList &books, bool several)
{
    m_list->clear();
    m_list->addItems(books);
    m_list->setSelectionMode(several ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    if (exec() != QDialog::Accepted)
        return {};
    return ui::selectedTexts(*m_list);
}

void DestinationDialog::applyLanguage(int language)
{
    setWindowTitle(text(RecipientBooksCaption, language));
    ui::copyLook(m_ok, ButtonOk, language);
    ui::copyLook(m_cancel, ButtonCancel, language);
}

} // namespace kirvane::contacts
