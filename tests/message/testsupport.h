#pragma once
// What the message tests share: a scripted answerer for the document's
// questions, and whole-file reads and writes.

#include "message/messagedocument.h"

#include <QFile>
#include <QStringList>

#include <deque>

// Answers the message document's questions from a script and records every
// question and notice, as the message view's dialogs would have shown them.
class ScriptedQuestions : public kirvane::texts::Asker {
public:
    std::deque<bool> answers; // Yes/No answers in order; an unexpected question answers No
    QStringList asked;
    QStringList notices;

    kirvane::texts::Answer ask(kirvane::texts::DialogKind kind, const QString &text) override
    {
        using kirvane::texts::Answer;
        if (kirvane::texts::hasOneButton(kind)) {
            notices << text;
            return Answer::Ok;
        }
        asked << text;
        if (answers.empty())
            return Answer::No;
        const bool a = answers.front();
        answers.pop_front();
        return a ? Answer::Yes : Answer::No;
    }
};

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
