#include "ui/messagedialog.h"

#include "texts/texttable.h"
#include "ui/buttonlook.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

namespace kirvane::ui {

using namespace kirvane::texts;

namespace {
using namespace kirvane::texts;

// The window of each kind: its buttons, its objectName and its text box's.
struct DialogRow {
    DialogKind kind;
    MessageDialog::Buttons buttons;
    const char *objectName;
    const char *memoName;
};

constexpr DialogRow kDialogs[] = {
    {DialogKind::Error, MessageDialog::Buttons::Close, "F_erreur_standard", "Memo_erreur"},
    {DialogKind::Ok, MessageDialog::Buttons::Close, "Fdialogue_message_standard_ok", "Memo_texte"},
    {DialogKind::YesNo, MessageDialog::Buttons::YesNo, "F_dialogue_message_standard_oui_non", "Memo_texte"},
    {DialogKind::YesNoCancel, MessageDialog::Buttons::YesNoCancel, "Dialogue_message_oui_non_annuler", "Memo_texte"},
    {DialogKind::SettingsYesNo, MessageDialog::Buttons::YesNo, "Fdialogue_configuration_standard_oui_non", "Memo_texte"},
    {DialogKind::TransmissionOk, MessageDialog::Buttons::Close, "F_dialogue_transmission_standard_ok", "Memo_texte"},
    {DialogKind::ImportOk, MessageDialog::Buttons::Close, "F_dialogue_importer_standard_ok", "Memo_texte"},
    {DialogKind::SyncOk, MessageDialog::Buttons::Close, "F_dialogue_synchro_standard_ok", "Memo_texte"},
    {DialogKind::SameContactName, MessageDialog::Buttons::YesNo, "Dialogue_ecraser_contact", "Memo_texte"},
    {DialogKind::SameContactEmail, MessageDialog::Buttons::YesNo, "Dialogue_ecraser_contact_email", "Memo_texte"},
    {DialogKind::UnsubscribeEverywhere, MessageDialog::Buttons::YesNo, "F_dialogue_synchro_supp_contact", "Label1"},
};

const DialogRow &rowOf(DialogKind kind)
{
    for (const DialogRow &row : kDialogs)
        if (row.kind == kind)
            return row;
    return kDialogs[0];
}

QPushButton *addButton(QHBoxLayout *row, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setMinimumWidth(90);
    row->addWidget(b);
    return b;
}
} // namespace

MessageDialog::MessageDialog(DialogKind kind, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_kind(kind)
    , m_buttons(rowOf(kind).buttons)
{
    const Buttons buttons = m_buttons;
    setObjectName(QString::fromLatin1(rowOf(kind).objectName));
    setModal(true);
    setWindowTitle(QStringLiteral("Kirvane"));

    m_memo = new QTextEdit(this);
    m_memo->setObjectName(QString::fromLatin1(rowOf(kind).memoName));
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

void MessageDialog::applyLanguage(int language)
{
    m_language = language;
    if (m_kind == DialogKind::Error)
        setWindowTitle(texts::text(ErrorCaption, language));
    if (isDuplicateQuestion())
        setWindowTitle(texts::text(DuplicateRiskCaption, language));
    if (m_close)
        copyLook(m_close, ButtonClose, language);
    if (m_yes)
        copyLook(m_yes, ButtonYes, language);
    if (m_no)
        copyLook(m_no, ButtonNo, language);
    if (m_cancel)
        copyLook(m_cancel, ButtonCancel, language);
}

QString MessageDialog::text() const
{
    return m_memo->toPlainText();
}

Answer MessageDialog::ask(const QString &text)
{
    // The duplicate questions end with the question itself, under the name
    // or address the caller gives.
    m_memo->setPlainText(displayLines(isDuplicateQuestion()
                                          ? text + u'\n' + texts::text(AskSaveAnyway, m_language)
                                          : text));
    m_memo->selectAll();
    m_memo->setAlignment(Qt::AlignCenter);
    QTextCursor c = m_memo->textCursor();
    c.clearSelection();
    m_memo->setTextCursor(c);
    m_answer = lastButtonAnswer();
    exec();
    return m_answer;
}

void MessageDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The first button takes the focus, never the text box.
    if (QPushButton *first = m_close ? m_close : m_yes) {
        first->setDefault(true);
        first->setFocus();
    }
}

void MessageDialog::reject()
{
    finishWith(lastButtonAnswer());
}

Answer MessageDialog::lastButtonAnswer() const
{
    switch (m_buttons) {
    case Buttons::Close: return Answer::Ok;
    case Buttons::YesNo: return Answer::No;
    case Buttons::YesNoCancel: return Answer::Cancel;
    }
    return Answer::Cancel;
}

void MessageDialog::finishWith(Answer a)
{
    m_answer = a;
    done(a == Answer::Cancel ? QDialog::Rejected : QDialog::Accepted);
}

DialogAsker::DialogAsker(QWidget *parent)
{
    for (const DialogRow &row : kDialogs)
        m_dialogs.push_back(new MessageDialog(row.kind, parent));
}

MessageDialog *DialogAsker::dialog(DialogKind kind) const
{
    for (MessageDialog *d : m_dialogs)
        if (d->kind() == kind)
            return d;
    return m_dialogs.front();
}

Answer DialogAsker::ask(DialogKind kind, const QString &text)
{
    return dialog(kind)->ask(text);
}

void DialogAsker::applyLanguage(int language)
{
    for (MessageDialog *d : m_dialogs)
        d->applyLanguage(language);
}

} // namespace kirvane::ui
