#pragma once
// What the message tests share: a scripted answerer for the document's
// questions, and whole-file reads and writes.

#include "message/messagedocument.h"

#include <QFile>
#include <QStringList>

#include <deque>

// Answers the message document's questions from a script and records every
// question and notice, as the message view's dialogs would have shown them.
class ScriptedQuestions : public kirvane::message::MessageQuestions {
public:
    std::deque<bool> answers; // Yes/No answers in order; an unexpected question answers No
    QStringList asked;
    QStringList notices;

    bool askYesNo(const QString &text) override
    {
        asked << text;
        if (answers.empty())
            return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void inform(const QString &text) override { notices << text; }
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
