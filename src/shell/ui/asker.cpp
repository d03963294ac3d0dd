#include "shell/ui/asker.h"

namespace kirvane {

namespace {
bool hasOneButton(DialogKind kind)
{
    return kind != DialogKind::YesNo && kind != DialogKind::YesNoCancel && kind != DialogKind::SettingsYesNo;
}
} // namespace

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

} // namespace kirvane
