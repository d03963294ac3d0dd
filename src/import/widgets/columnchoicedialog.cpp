#include "import/widgets/columnchoicedialog.h"

#include "import/contactimport.h"
#include "texts/texttable.h"
#include "ui/buttonlook.h"
#include "ui/dialogparts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kirvane::import {

ColumnChoiceDialog::ColumnChoiceDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TF_dialogue_csv_clk_col"));
    setModal(true);
    m_label = new QLabel(this);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("Lst_champ"));
    m_ok = new QPushButton(this);
    m_ok->setObjectName(QStringLiteral("btn_valider"));
    m_cancel = new QPushButton(this);
    m_cancel->setObjectName(QStringLiteral("Btn_Annuler"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_list);
    layout->addLayout(ui::buttonRow({m_ok, m_cancel}));
    for (qsizetype i = 0; i < mappingFields().size(); ++i)
        m_list->addItem(QString());
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    applyLanguage(texts::French);
}

void ColumnChoiceDialog::applyLanguage(int language)
{
    m_label->setText(texts::text(texts::MappingCaption, language));
    for (qsizetype i = 0; i < mappingFields().size(); ++i)
        m_list->item(int(i))->setText(mappingText(mappingFields()[i], language));
    ui::copyLook(m_ok, texts::ButtonOk, language);
    ui::copyLook(m_cancel, texts::ButtonCancel, language);
}

int ColumnChoiceDialog::choose()
{
    m_list->setCurrentRow(0);
    if (exec() != QDialog::Accepted || m_list->currentRow() < 0)
        return kNotIdentified;
    return mappingFields().value(m_list->currentRow(), kNotIdentified);
}

} // namespace kirvane::import
