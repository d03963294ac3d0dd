#pragma once
// Answers the message document's questions from a script and records every
// question and notice, as the message view's dialogs would have shown them.

#include "message/messagedocument.h"

#include <QStringList>

#include <deque>

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
