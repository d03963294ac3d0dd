#include "sending/widgets/laternamedialog.h"

#include "texts/texttable.h"
#include "ui/buttonlook.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kirvane::sending {

using namespace kirvane::texts;
using namespace kirvane::ui;

namespace tr = texts;

LaterNameDialog::LaterNameDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("Dialogue_msg_envoi_ulterieur"));
    setModal(true);
    m_text = new QLabel(this);
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("Edit1"));
    m_ok = new QPushButton(this);
    m_ok->setObjectName(QStringLiteral("Btn_valider"));
    m_ok->setDefault(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_name);
    layout->addWidget(m_ok, 0, Qt::AlignRight);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    applyLanguage(tr::French);
}

void LaterNameDialog::applyLanguage(int language)
{
    m_text->setText(tr::text(tr::LaterSendName, language));
    copyLook(m_ok, tr::ButtonOk, language);
}

QString LaterNameDialog::askName(const QString &proposal)
{
    m_name->setText(proposal);
    m_name->selectAll();
    m_name->setFocus();
    exec();
    return m_name->text();
}

void LaterNameDialog::reject() {}

} // namespace kirvane::sending
