#pragma once
// Find and replace in whichever editor is shown. Searches match case exactly
// and run from the end of the current selection to the end of the text; a
// replacement leaves the caret after the inserted text, so replacing all never
// meets its own output again.

#include "texts/asker.h"
#include <QString>
#include <QTextCursor>

class QTextDocument;

namespace kirvane::message {


// An editor's text and selection as the search sees them.
class SearchTarget {
public:
    virtual ~SearchTarget() = default;
    [[nodiscard]] virtual qsizetype selectionEnd() const = 0;
    // Position of the next occurrence at or after from, or -1.
    [[nodiscard]] virtual qsizetype find(const QString &text, qsizetype from) const = 0;
    virtual void select(qsizetype start, qsizetype length) = 0;
    // Puts text in place of the selection; the caret ends after it.
    virtual void replaceSelection(const QString &text) = 0;
};

// A rich or plain editor's document with the editor's cursor; replacements take
// the format of the replaced text.
class TextDocumentTarget final : public SearchTarget {
public:
    TextDocumentTarget(QTextDocument *document, QTextCursor *cursor) : m_doc(document), m_cursor(cursor) {}
    qsizetype selectionEnd() const override;
    qsizetype find(const QString &text, qsizetype from) const override;
    void select(qsizetype start, qsizetype length) override;
    void replaceSelection(const QString &text) override;

private:
    QTextDocument *m_doc;
    QTextCursor *m_cursor;
};

// A string with a selection (start, length).
class PlainTextTarget final : public SearchTarget {
public:
    explicit PlainTextTarget(QString *text, qsizetype start = 0, qsizetype length = 0)
        : m_text(text), m_start(start), m_length(length) {}
    qsizetype selectionEnd() const override { return m_start + m_length; }
    qsizetype find(const QString &text, qsizetype from) const override;
    void select(qsizetype start, qsizetype length) override;
    void replaceSelection(const QString &text) override;
    [[nodiscard]] qsizetype selectionStart() const { return m_start; }
    [[nodiscard]] qsizetype selectionLength() const { return m_length; }

private:
    QString *m_text;
    qsizetype m_start;
    qsizetype m_length;
};

// The next occurrence becomes the selection; false when there is none.
bool findNext(SearchTarget &target, const QString &text);
// Finds the next occurrence and replaces it; false when there is none.
bool replaceNext(SearchTarget &target, const QString &text, const QString &replacement);
// Replaces every occurrence from the selection on; returns how many.
int replaceAll(SearchTarget &target, const QString &text, const QString &replacement);

// The Search and Replace windows' rules: their notices, the last searched text
// for "Next". target is null when no editor is shown (HTML-file mode outside
// the source view).
class FindReplace {
public:
    enum class Window { Close, StayOpen };

    // Search's "Valider" (and "Next" with the last text).
    Window search(SearchTarget *target, const QString &text, texts::Asker &ask);
    void searchAgain(SearchTarget *target, texts::Asker &ask);
    Window replace(SearchTarget *target, const QString &text, const QString &replacement, texts::Asker &ask);
    Window replaceEverything(SearchTarget *target, const QString &text, const QString &replacement,
                             texts::Asker &ask);
    [[nodiscard]] const QString &lastText() const { return m_last; }

private:
    QString m_last;
};

} // namespace kirvane::message
