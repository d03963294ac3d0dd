#include "texts/asker.h"

namespace kirvane::texts {

bool hasOneButton(DialogKind kind)
{
    switch (kind) {
    case DialogKind::YesNo:
    case DialogKind::YesNoCancel:
    case DialogKind::SettingsYesNo:
    case DialogKind::SameContactName:
    case DialogKind::SameContactEmail:
    case DialogKind::UnsubscribeEverywhere:
        return false;
    default:
        return true;
    }
}

Answer ScriptedAsker::ask(DialogKind kind, const QString &text)
{
    m_questions.push_back({kind, text});
    if (hasOneButton(kind))
        return Answer::Ok;
    if (m_answers.empty())
        return Answer::Cancel;
    const Answer a = m_answers.front();
    m_answers.pop_front();
    return a;
}

QStringList ScriptedAsker::texts() const
{
    QStringList out;
    for (const Question &q : m_questions)
        out << q.text;
    return out;
}

} // namespace kirvane::texts
