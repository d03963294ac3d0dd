#include "message/widgets/replacedialog.h"

#include "texts/texttable.h"
#include "ui/buttonlook.h"
#include "ui/dialogparts.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kirvane::message {

using namespace kirvane::texts;
using namespace kirvane::ui;

ReplaceDialog::ReplaceDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Dialogue_Remplacer"));
    setWindowModality(Qt::WindowModal);
    m_searchLabel = new QLabel(this);
    m_replaceLabel = new QLabel(this);
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("Edit_chercher"));
    m_replacement = new QLineEdit(this);
    m_replacement->setObjectName(QStringLiteral("Edit_remplacer"));
    m_searchLabel->setBuddy(m_search);
    m_replaceLabel->setBuddy(m_replacement);
    m_ok = namedButton("Btn_valider", this);
    m_all = namedButton("Btn_tout_remplacer", this);
    m_cancel = namedButton("Btn_annuler", this);

    auto *fields = new QFormLayout;
    fields->addRow(m_searchLabel, m_search);
    fields->addRow(m_replaceLabel, m_replacement);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttonRow({m_ok, m_all, m_cancel}, m_ok));

    connect(m_ok, &QPushButton::clicked, this,
            [this] { Q_EMIT replaceRequested(m_search->text(), m_replacement->text()); });
    connect(m_all, &QPushButton::clicked, this,
            [this] { Q_EMIT replaceAllRequested(m_search->text(), m_replacement->text()); });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    applyLanguage(French);
}

QString ReplaceDialog::searchText() const { return m_search->text(); }
QString ReplaceDialog::replacement() const { return m_replacement->text(); }

void ReplaceDialog::applyLanguage(int language)
{
    setWindowTitle(texts::text(ReplaceCaption, language));
    m_searchLabel->setText(texts::text(SearchCaption, language));
    m_replaceLabel->setText(texts::text(ReplaceBy, language));
    copyLook(m_ok, ButtonOk, language);
    copyLook(m_all, ReplaceAll, language);
    copyLook(m_cancel, ButtonCancel, language);
}

} // namespace kirvane::message
