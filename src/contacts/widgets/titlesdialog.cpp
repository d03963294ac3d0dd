#include "contacts/widgets/titlesdialog.h"

#include "texts/texttable.h"
#include "ui/buttonlook.h"
#include "ui/dialogparts.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace kirvane::contacts {

using namespace kirvane::texts;

TitlesDialog::TitlesDialog(QWidget *parent)
    : QDialog(parent)
    , m_list(new QListWidget(this))
    , m_name(new QLineEdit(this))
    , m_add(new QPushButton(this))
    , m_remove(new QPushButton(this))
    , m_ok(new QPushButton(this))
    , m_cancel(new QPushButton(this))
{
    setObjectName(QStringLiteral("Dialogue_ajouter_titre"));
    // The caption stays as written whatever the language.
    setWindowTitle(QStringLiteral("Liste des titres"));
    setModal(true);
    m_list->setObjectName(QStringLiteral("ListBox1"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_name->setObjectName(QStringLiteral("eNom"));
    m_name->setMaxLength(150);
    m_add->setObjectName(QStringLiteral("Btn_Ajouter"));
    m_remove->setObjectName(QStringLiteral("Btn_Supprimer"));
    m_ok->setObjectName(QStringLiteral("Btn_Valider"));
    m_cancel->setObjectName(QStringLiteral("Btn_Annuler"));
    m_add->setAutoDefault(false);
    m_remove->setAutoDefault(false);

    auto *layout = new QGridLayout(this);
    layout->addWidget(m_list, 0, 0, 4, 1);
    layout->addWidget(m_name, 0, 1);
    layout->addWidget(m_add, 1, 1);
    layout->addWidget(m_remove, 2, 1);
    layout->addLayout(ui::buttonRow({m_ok, m_cancel}), 4, 0, 1, 2);

    connect(m_add, &QPushButton::clicked, this, &TitlesDialog::addTitle);
    connect(m_name, &QLineEdit::returnPressed, this, &TitlesDialog::addTitle);
    connect(m_remove, &QPushButton::clicked, this, &TitlesDialog::removeSelected);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(360, 260);
    applyLanguage(French);
}

bool TitlesDialog::edit(const TitleList &file)
{
    m_list->clear();
    m_list->addItems(file.load());
    m_name->clear();
    if (exec() != QDialog::Accepted)
        return false;
    return file.save(titles());
}

QStringList TitlesDialog::titles() const
{
    QStringList t;
    for (int i = 0; i < m_list->count(); ++i)
        t << m_list->item(i)->text();
    return t;
}

void TitlesDialog::addTitle()
{
    QStringList t = titles();
    if (TitleList::add(t, m_name->text()))
        m_list->addItem(m_name->text());
    m_name->clear();
}

void TitlesDialog::removeSelected()
{
    const QList<QListWidgetItem *> selected = m_list->selectedItems();
    for (QListWidgetItem *item : selected)
        delete item;
}

void TitlesDialog::applyLanguage(int language)
{
    ui::copyLook(m_add, ButtonAdd, language);
    ui::copyLook(m_remove, ButtonDelete, language);
    ui::copyLook(m_ok, ButtonOk, language);
    ui::copyLook(m_cancel, ButtonCancel, language);
}

} // namespace kirvane::contacts
