#include "contacts/widgets/bookdialogs.h"

#include "texts/texttable.h"
#include "ui/bilingual.h"
#include "ui/buttonlook.h"
#include "ui/dialogparts.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kirvane::contacts {

using namespace kirvane::texts;
using ui::buttonRow;
using ui::namedButton;

namespace {

QLineEdit *namedEdit(const QString &objectName, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(objectName);
    return e;
}

} // namespace

BookNameDialog::BookNameDialog(Purpose purpose, QWidget *parent)
    : QDialog(parent)
    , m_purpose(purpose)
    , m_text(new QLabel(this))
    , m_name(namedEdit(QStringLiteral("Edit1"), this))
    , m_ok(namedButton("Btn_Valider", this))
    , m_cancel(namedButton("Btn_Annuler", this))
{
    setObjectName(purpose == Purpose::Copy ? QStringLiteral("Dialogue_copie_annuaire")
                                           : QStringLiteral("Dialogue_renomme_annuaire"));
    setModal(true);
    m_text->setObjectName(QStringLiteral("Label1"));
    m_text->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_name);
    layout->addLayout(buttonRow({m_ok, m_cancel}, m_ok));
    connect(m_ok, &QPushButton::clicked, this, &BookNameDialog::validate);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(380, 130);
    applyLanguage(French);
}

void BookNameDialog::validate()
{
    if (m_purpose == Purpose::Rename && exists && exists(m_name->text())) {
        if (inUseNotice)
            inUseNotice();
        return;
    }
    accept();
}

std::optional<QString> BookNameDialog::ask(const QString &name)
{
    m_name->setText(name);
    m_name->selectAll();
    m_name->setFocus();
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return m_name->text();
}

void BookNameDialog::applyLanguage(int language)
{
    if (m_purpose == Purpose::Copy) {
        setWindowTitle(text(CopyBookCaption, language));
        m_text->setText(ui::displayLines(text(CopyBookName, language)));
    } else {
        setWindowTitle(QString());
        m_text->setText(ui::displayLines(text(RenameBookName, language)));
    }
    ui::copyLook(m_ok, ButtonOk, language);
    ui::copyLook(m_cancel, ButtonCancel, language);
}

FieldLabelsDialog::FieldLabelsDialog(Purpose purpose, QWidget *parent)
    : QDialog(parent)
    , m_purpose(purpose)
    , m_ok(namedButton("Btn_Valider", this))
    , m_cancel(namedButton("Btn_Annuler", this))
{
    setObjectName(purpose == Purpose::NewBook ? QStringLiteral("Dialogue_nouvel_annuaire")
                                              : QStringLiteral("Dialogue_renomme_champs"));
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("Label1"));
    m_text->setWordWrap(true);
    layout->addWidget(m_text);
    if (purpose == Purpose::NewBook) {
        m_name = namedEdit(QStringLiteral("Edit1"), this);
        layout->addWidget(m_name);
        m_fieldsText = new QLabel(this);
        m_fieldsText->setObjectName(QStringLiteral("Label2"));
        m_fieldsText->setWordWrap(true);
        layout->addWidget(m_fieldsText);
    }
    for (int i = 0; i < 4; ++i) {
        m_labels[i] = namedEdit(QStringLiteral("Edit_champ%1").arg(i + 1), this);
        layout->addWidget(m_labels[i]);
    }
    layout->addLayout(buttonRow({m_ok, m_cancel}, m_ok));
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(380, purpose == Purpose::NewBook ? 300 : 220);
    applyLanguage(French);
}

bool FieldLabelsDialog::ask(const QString &name, const QStringList &labels)
{
    if (m_name) {
        m_name->setText(name);
        m_name->selectAll();
        m_name->setFocus();
    }
    if (m_purpose == Purpose::RenameFields)
        for (int i = 0; i < 4; ++i)
            m_labels[i]->setText(labels.value(i));
    return exec() == QDialog::Accepted;
}

QString FieldLabelsDialog::name() const
{
    return m_name ? m_name->text() : QString();
}

QStringList FieldLabelsDialog::labels() const
{
    QStringList l;
    for (QLineEdit *e : m_labels)
        l << e->text();
    return l;
}

void FieldLabelsDialog::applyLanguage(int language)
{
    if (m_purpose == Purpose::NewBook) {
        setWindowTitle(text(NewBookCaption, language));
        m_text->setText(ui::displayLines(text(NewBookName, language)));
        m_fieldsText->setText(text(NewBookFields, language));
        // The label edits start as "Champ 1" to "Champ 4" and then keep what
        // the user last typed.
        for (int i = 0; i < 4; ++i) {
            const QString other = text(FieldFree1 + i, language == French ? English : French);
            if (m_labels[i]->text().isEmpty() || m_labels[i]->text() == other)
                m_labels[i]->setText(text(FieldFree1 + i, language));
        }
    } else {
        setWindowTitle(QString());
        m_text->setText(text(RenameFieldsText, language));
    }
    ui::copyLook(m_ok, ButtonOk, language);
    ui::copyLook(m_cancel, ButtonCancel, language);
}

DeleteBookDialog::DeleteBookDialog(QWidget *parent)
    : QDialog(parent)
    , m_text(new QLabel(this))
    , m_name(new QLabel(this))
    , m_yes(namedButton("Btn_Oui", this))
    , m_cancel(namedButton("Btn_Annuler", this))
{
    setObjectName(QStringLiteral("Dialogue_supprimer_annuaire"));
    setModal(true);
    m_text->setObjectName(QStringLiteral("Label1"));
    m_name->setObjectName(QStringLiteral("Label2"));
    m_name->setAlignment(Qt::AlignCenter);
    QFont bold = m_name->font();
    bold.setBold(true);
    m_name->setFont(bold);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_name);
    layout->addLayout(buttonRow({m_yes, m_cancel}, m_yes));
    connect(m_yes, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(360, 130);
    applyLanguage(French);
}

bool DeleteBookDialog::ask(const QString &name)
{
    m_name->setText(name);
    return exec() == QDialog::Accepted;
}

void DeleteBookDialog::applyLanguage(int language)
{
    m_text->setText(text(AskDeleteBook, language));
    ui::copyLook(m_yes, ButtonYes, language);
    ui::copyLook(m_cancel, ButtonCancel, language);
}

} // namespace kirvane::contacts
