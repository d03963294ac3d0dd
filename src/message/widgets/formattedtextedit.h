#pragma once
// The formatted-text editor of the message view. What is pasted or dropped
// into it keeps only what a formatted message can carry and send: the text
// with its bold, italic, underline, font, size and colour. Tables, images,
// links and paragraph layouts of the source are dropped here, where the user
// sees it, rather than silently when the message is converted for sending.

#include <QTextEdit>

namespace kirvane::message {

class FormattedTextEdit : public QTextEdit {
    Q_OBJECT
public:
    using QTextEdit::QTextEdit;

protected:
    void insertFromMimeData(const QMimeData *source) override;
};

} // namespace kirvane::message
