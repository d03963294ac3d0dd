#pragma once
// Asker: the one way logic classes put a question or a notice to the user.
// The program answers through the modal message dialogs (DialogAsker); tests
// answer through ScriptedAsker, so that every question can be driven and
// checked without a screen.

#include <QString>
#include <QStringList>

#include <deque>
#include <vector>

namespace kirvane::texts {

enum class Answer { Ok, Yes, No, Cancel };

// Which of the shared message dialogs carries the question; each kind has its
// own fixed buttons (see ui/messagedialog.h).
enum class DialogKind {
    Error,          // error texts by code, one Close button
    Ok,             // information, one Close button
    YesNo,
    YesNoCancel,
    SettingsYesNo,  // questions of the connection settings
    TransmissionOk, // notices of the sending run
    ImportOk,       // notices of the import wizard
    SyncOk,         // notices of the subscription job
    // A copy or move of contacts into a book that holds a contact of the same
    // name and first name / of the same address: Yes copies it all the same.
    SameContactName,
    SameContactEmail,
    // The synchronisation's question: remove an unsubscribed address from
    // every book, not only the subscribers'.
    UnsubscribeEverywhere,
};

// True for the kinds with a single button (answered Ok).
[[nodiscard]] bool hasOneButton(DialogKind kind);

class Asker {
public:
    virtual ~Asker() = default;
    // Shows text in the dialog of that kind and returns the button chosen.
    virtual Answer ask(DialogKind kind, const QString &text) = 0;

    void inform(const QString &text) { ask(DialogKind::Ok, text); }
    // A Yes/No question; true for Yes.
    bool confirm(const QString &text) { return ask(DialogKind::YesNo, text) == Answer::Yes; }
};

// Answers from a queue set by the test and records every question. With the
// queue empty it answers Ok to one-button kinds and Cancel to the others, the
// answer that changes nothing.
class ScriptedAsker : public Asker {
public:
    struct Question {
        DialogKind kind;
        QString text;
    };

    Answer ask(DialogKind kind, const QString &text) override;

    void answerNext(Answer a) { m_answers.push_back(a); }
    [[nodiscard]] const std::vector<Question> &questions() const { return m_questions; }
    [[nodiscard]] QStringList texts() const;
    void clear() { m_questions.clear(); m_answers.clear(); }

private:
    std::deque<Answer> m_answers;
    std::vector<Question> m_questions;
};

} // namespace kirvane::texts
