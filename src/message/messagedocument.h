#pragma once
// The one message being composed: subject, body in one of three composition
// modes, attachments, destination and exclusion books, the image lists of an
// imported HTML page and the resume position of an interrupted send. The
// message view shows this state and forwards the user's acts to it; questions
// and notices go through the Asker, which the view answers with its
// dialogs (and a test answers from a script).

#include "texts/asker.h"
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTextCharFormat>

#include <optional>

class QTextDocument;

namespace kirvane::message {

enum class ComposeMode : int { RichHtml = 1, PlainText = 2, HtmlFile = 3 };

// Which editor the user works in: find and replace act on it.
enum class ShownEditor { Rich, Plain, None };

// The character format of an emptied rich editor: no style, black, 8 points.
[[nodiscard]] QTextCharFormat defaultCharFormat();
inline constexpr int kDefaultPointSize = 8;
// The face of an emptied editor; the font list of the view offers others.
QString defaultFontFamily();

class MessageDocument : public QObject {
    Q_OBJECT
public:
    explicit MessageDocument(QObject *parent = nullptr);
    ~MessageDocument() override;

    // --- state -------------------------------------------------------------
    [[nodiscard]] const QString &subject() const { return m_subject; }
    void setSubject(const QString &subject);
    [[nodiscard]] ComposeMode mode() const { return m_mode; }

    // Mode 1 body, formatted per character. Owned by the document.
    [[nodiscard]] QTextDocument *richText() const { return m_rich; }
    // Mode 2 body, or in mode 3 the HTML source of the page.
    [[nodiscard]] const QString &plainText() const { return m_plain; }
    void setPlainText(const QString &text);

    [[nodiscard]] const QStringList &attachments() const { return m_attachments; }
    [[nodiscard]] const QStringList &destinationBooks() const { return m_destinations; }
    [[nodiscard]] const QStringList &exclusionBooks() const { return m_exclusions; }

    // The three lists of an imported page; absent until an import or an archive
    // holding them. Parallel: images hold local images only, in tag order.
    [[nodiscard]] const std::optional<QStringList> &images() const { return m_images; }
    [[nodiscard]] const std::optional<QStringList> &rewrittenTags() const { return m_rewrittenTags; }
    [[nodiscard]] const std::optional<QStringList> &pageTags() const { return m_pageTags; }

    [[nodiscard]] const QString &resumeBook() const { return m_resumeBook; }
    [[nodiscard]] const QString &resumeKey() const { return m_resumeKey; }
    void setResumePosition(const QString &book, const QString &key);

    // The page of mode 3 that the history records ("" before an import), and
    // the file the browser area shows.
    [[nodiscard]] const QString &pageFile() const { return m_pageFile; }
    [[nodiscard]] const QString &shownPage() const { return m_shownPage; }
    // Mode 3: true while "Modify source" shows the page source.
    [[nodiscard]] bool htmlSourceShown() const { return m_sourceShown; }
    [[nodiscard]] ShownEditor shownEditor() const;

    [[nodiscard]] bool richHasLines() const;
    [[nodiscard]] bool plainHasLines() const;
    // Either editor holds text: Open and leaving the program ask first.
    [[nodiscard]] bool holdsText() const { return richHasLines() || plainHasLines(); }

    // --- commands ----------------------------------------------------------
    // Empties everything, mode 1, the browser area shows an empty page (also
    // used without a question after a resumed sending run).
    void clear();
    // New: clears after the user agrees; false when the message is kept.
    bool newMessage(texts::Asker &ask);

    // "Html": from plain text the rich editor takes the text unformatted; from
    // the HTML-file mode it is emptied.
    void switchToRich();
    // "Texte": false when the user keeps the formatting (the mode stays 1).
    bool switchToPlain(texts::Asker &ask);

    // The loss check before a body is replaced by an imported file; false when
    // the user keeps the message.
    bool confirmBodyLoss(texts::Asker &ask) const;
    // "Importer texte" once a file is chosen: mode 2 with the file's text.
    bool loadTextFile(const QString &path);

    // "Importer HTML" once a file is chosen. On a missing local image the
    // warning is shown, the lists are dropped and no page stays loaded.
    bool importHtmlPage(const QString &path, texts::Asker &ask);
    // "Modifier source" / "Visualiser HTML" of the HTML-file mode.
    void showHtmlSource();
    bool showHtmlPage();

    // Appends each file whose name is not already the name of an attachment or
    // an image; each other one is skipped with the uniqueness notice. Returns
    // the number appended.
    int attachFiles(const QStringList &paths, texts::Asker &ask);
    void removeAttachments(QList<int> rows);
    // Appends the names not yet listed, in the given order.
    void addDestinationBooks(const QStringList &books);
    void removeDestinationBooks(QList<int> rows);
    void addExclusionBooks(const QStringList &books);
    void removeExclusionBooks(QList<int> rows);

    // --- filling from outside (archive, history) --------------------------
    void setMode(ComposeMode mode);
    // Mode 1 with text that has no formatting of its own (a message put back
    // from the history): black, 8 points, no style.
    void setRichPlainText(const QString &text);
    void setAttachments(const QStringList &paths);
    void setDestinationBooks(const QStringList &books);
    void setExclusionBooks(const QStringList &books);
    void setImageLists(std::optional<QStringList> images, std::optional<QStringList> rewrittenTags,
                       std::optional<QStringList> pageTags);
    void setPageFile(const QString &path);
    void setShownPage(const QString &path);

Q_SIGNALS:
    void subjectChanged(const QString &subject);
    void modeChanged(kirvane::message::ComposeMode mode);
    void plainTextChanged();
    void listsChanged();
    void shownPageChanged(const QString &path);

private:
    void resetRichText();

    QString m_subject;
    ComposeMode m_mode = ComposeMode::RichHtml;
    QTextDocument *m_rich = nullptr;
    QString m_plain;
    QStringList m_attachments;
    QStringList m_destinations;
    QStringList m_exclusions;
    std::optional<QStringList> m_images;
    std::optional<QStringList> m_rewrittenTags;
    std::optional<QStringList> m_pageTags;
    QString m_resumeBook;
    QString m_resumeKey;
    QString m_pageFile;
    QString m_shownPage;
    bool m_sourceShown = false;
};

} // namespace kirvane::message
