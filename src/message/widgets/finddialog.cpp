#include "message/widgets/finddialog.h"

#include "texts/texttable.h"
#include "ui/buttonlook.h"
#include "ui/dialogparts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kirvane::message {

using namespace kirvane::texts;
using namespace kirvane::ui;

FindDialog::FindDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Dialogue_chercher"));
    setWindowModality(Qt::WindowModal);
    m_label = new QLabel(this);
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("Edit_chercher"));
    m_label->setBuddy(m_text);
    m_ok = namedButton("Btn_valider", this);
    m_cancel = namedButton("Btn_annuler", this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_text);
    layout->addLayout(buttonRow({m_ok, m_cancel}, m_ok));

    connect(m_ok, &QPushButton::clicked, this, [this] { Q_EMIT searchRequested(m_text->text()); });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    applyLanguage(French);
}

QString FindDialog::text() const { return m_text->text(); }

void FindDialog::applyLanguage(int language)
{
    setWindowTitle(texts::text(SearchCaption, language));
    m_label->setText(texts::text(SearchLabel, language));
    copyLook(m_ok, ButtonOk, language);
    copyLook(m_cancel, ButtonCancel, language);
}

} // namespace kirvane::message
