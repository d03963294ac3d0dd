#include "shell/ui/messagedialogs.h"

#include "shell/translations.h"
#include "shell/ui/buttonlook.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

namespace kirvane {

namespace {
using namespace translation;

QPushButton *addButton(QHBoxLayout *row, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setMinimumWidth(90);
    row->addWidget(b);
    return b;
}
} // namespace

TMessageDialog::TMessageDialog(Buttons buttons, const char *objectName, const char *memoName, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_buttons(buttons)
{
    setObjectName(QString::fromLatin1(objectName));
    setModal(true);
    setWindowTitle(QStringLiteral("Kirvane"));

    m_memo = new QTextEdit(this);
    m_memo->setObjectName(QString::fromLatin1(memoName));
    m_memo->setReadOnly(true);
    // Mouse selection only: no caret in the text box.
    m_memo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_memo->setFrameShape(QFrame::NoFrame);
    m_memo->viewport()->setAutoFillBackground(false);
    m_memo->setMinimumSize(340, 70);

    auto *row = new QHBoxLayout;
    row->addStretch();
    if (buttons == Buttons::Close) {
        m_close = addButton(row, "Btn_Fermer", this);
        connect(m_close, &QPushButton::clicked, this, [this] { finishWith(Answer::Ok); });
    } else {
        m_yes = addButton(row, "Btn_Oui", this);
        m_no = addButton(row, "Btn_Non", this);
        connect(m_yes, &QPushButton::clicked, this, [this] { finishWith(Answer::Yes); });
        connect(m_no, &QPushButton::clicked, this, [this] { finishWith(Answer::No); });
        if (buttons == Buttons::YesNoCancel) {
            m_cancel = addButton(row, "Btn_Annuler", this);
            connect(m_cancel, &QPushButton::clicked, this, [this] { finishWith(Answer::Cancel); });
        }
    }
    row->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_memo);
    layout->addLayout(row);
    resize(400, 160);
    applyLanguage(French);
}

void TMessageDialog::applyLanguage(int language)
{
    if (m_memo->objectName() == QLatin1String("Memo_erreur"))
        setWindowTitle(translation::text(ErrorCaption, language));
    if (m_close)
        copyLook(m_close, ButtonClose, language);
    if (m_yes)
        copyLook(m_yes, ButtonYes, language);
    if (m_no)
        copyLook(m_no, ButtonNo, language);
    if (m_cancel)
        copyLook(m_cancel, ButtonCancel, language);
}

QString TMessageDialog::text() const
{
    return m_memo->toPlainText();
}

Answer TMessageDialog::ask(const QString &text)
{
    m_memo->setPlainText(displayLines(text));
    m_memo->selectAll();
    m_memo->setAlignment(Qt::AlignCenter);
    QTextCursor c = m_memo->textCursor();
    c.clearSelection();
    m_memo->setTextCursor(c);
    m_answer = lastButtonAnswer();
    exec();
    return m_answer;
}

void TMessageDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The first button takes the focus, never the text box.
    if (QPushButton *first = m_close ? m_close : m_yes) {
        first->setDefault(true);
        first->setFocus();
    }
}

void TMessageDialog::reject()
{
    finishWith(lastButtonAnswer());
}

Answer TMessageDialog::lastButtonAnswer() const
{
    switch (m_buttons) {
    case Buttons::Close: return Answer::Ok;
    case Buttons::YesNo: return Answer::No;
    case Buttons::YesNoCancel: return Answer::Cancel;
    }
    return Answer::Cancel;
}

void TMessageDialog::finishWith(Answer a)
{
    m_answer = a;
    done(a == Answer::Cancel ? QDialog::Rejected : QDialog::Accepted);
}

TF_erreur_standard::TF_erreur_standard(QWidget *parent)
    : TMessageDialog(Buttons::Close, "F_erreur_standard", "Memo_erreur", parent) {}
TFdialogue_message_standard_ok::TFdialogue_message_standard_ok(QWidget *parent)
    : TMessageDialog(Buttons::Close, "Fdialogue_message_standard_ok", "Memo_texte", parent) {}
TF_dialogue_message_standard_oui_non::TF_dialogue_message_standard_oui_non(QWidget *parent)
    : TMessageDialog(Buttons::YesNo, "F_dialogue_message_standard_oui_non", "Memo_texte", parent) {}
TDialogue_message_oui_non_annuler::TDialogue_message_oui_non_annuler(QWidget *parent)
    : TMessageDialog(Buttons::YesNoCancel, "Dialogue_message_oui_non_annuler", "Memo_texte", parent) {}
TFdialogue_configuration_standard_oui_non::TFdialogue_configuration_standard_oui_non(QWidget *parent)
    : TMessageDialog(Buttons::YesNo, "Fdialogue_configuration_standard_oui_non", "Memo_texte", parent) {}
TF_dialogue_transmission_standard_ok::TF_dialogue_transmission_standard_ok(QWidget *parent)
    : TMessageDialog(Buttons::Close, "F_dialogue_transmission_standard_ok", "Memo_texte", parent) {}
TF_dialogue_importer_standard_ok::TF_dialogue_importer_standard_ok(QWidget *parent)
    : TMessageDialog(Buttons::Close, "F_dialogue_importer_standard_ok", "Memo_texte", parent) {}
TF_dialogue_synchro_standard_ok::TF_dialogue_synchro_standard_ok(QWidget *parent)
    : TMessageDialog(Buttons::Close, "F_dialogue_synchro_standard_ok", "Memo_texte", parent) {}

DialogAsker::DialogAsker(QWidget *parent)
{
    // Indexed by DialogKind.
    m_dialogs = {
        new TF_erreur_standard(parent),
        new TFdialogue_message_standard_ok(parent),
        new TF_dialogue_message_standard_oui_non(parent),
        new TDialogue_message_oui_non_annuler(parent),
        new TFdialogue_configuration_standard_oui_non(parent),
        new TF_dialogue_transmission_standard_ok(parent),
        new TF_dialogue_importer_standard_ok(parent),
        new TF_dialogue_synchro_standard_ok(parent),
    };
}

TMessageDialog *DialogAsker::dialog(DialogKind kind) const
{
    return m_dialogs[static_cast<std::size_t>(kind)];
}

Answer DialogAsker::ask(DialogKind kind, const QString &text)
{
    return dialog(kind)->ask(text);
}

void DialogAsker::applyLanguage(int language)
{
    for (TMessageDialog *d : m_dialogs)
        d->applyLanguage(language);
}

} // namespace kirvane
