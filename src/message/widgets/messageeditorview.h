#pragma once
// The message view of the main window: the one message being written, shown
// from a MessageDocument and edited through it. The subject line, the three
// composition modes with their buttons and questions, the formatted-text and
// plain-text editors, the HTML area of an imported page, the attachment list
// and the destination and exclusion book lists, the insert-field menu, the
// formatting tools, the preview, find and replace, and New, Open and Save of
// the main window's message menu.
//
// The window asks and informs through the main window's Asker; file choosers
// go through chooseFile, which a test replaces. The send command is not
// provided here: the sending run takes up "Envoyer1" itself and reads the
// message from document().

#include "message/findreplace.h"
#include "ui/views.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <memory>

class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QFontComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTextEdit;
class QToolButton;
class QWidget;

namespace kirvane::store {
class AddressBookStore;
}

namespace kirvane::message {

class BookChooserDialog;
class FindDialog;
class HtmlView;
class MessageDocument;
class PreviewDialog;
class PreviewRecipients;
class ReplaceDialog;

class MessageEditorView : public ui::MessageViewFrame {
    Q_OBJECT
public:
    // The file choosers the view opens.
    enum class FileChoice { OpenMessage, SaveMessage, ImportText, ImportHtml, Attach };

    // store lists the books and reads the preview's contact; it may be null
    // (no books, no preview).
    explicit MessageEditorView(store::AddressBookStore *store, QWidget *parent = nullptr);
    ~MessageEditorView() override;

    [[nodiscard]] MessageDocument &document() const { return *m_document; }

    // MessageViewFrame.
    void connectCommands(ui::Commands &commands) override;
    void applyLanguage(int language) override;
    void reset() override;
    [[nodiscard]] bool messageEmpty() const override;
    bool saveMessage() override;
    [[nodiscard]] QWidget *visibleEditor() const override;
    [[nodiscard]] QString findText() const override;
    void openFindDialog() override;
    void openMessageFile(const QString &path) override;
    void openReplaceDialog() override;

    // The commands of the message menu and of the view's buttons.
    void newMessage();
    void openMessage();
    void switchToRich();
    void switchToPlain();
    void importText();
    void importHtml();
    void showHtmlPage();
    void showHtmlSource();
    void attachFiles();
    void removeAttachments();
    void addBooks(bool destination);
    void removeBooks(bool destination);
    void preview();
    // Puts word at the caret, replacing the selection: in the subject line
    // when it has the focus, else in the editor shown.
    void insertPlaceholder(const QString &word);

    // Returns the chosen path(s) or none: Attach may return several, the
    // others one. folder is where the chooser starts.
    std::function<QStringList(FileChoice, const QString &folder)> chooseFile;
    // The link command asks the address here, given the current one; an
    // empty answer removes the link, no answer (nullopt) changes nothing.
    std::function<std::optional<QString>(const QString &current)> askLinkAddress;
    // Link (Ctrl+K): the selection, or the link the caret is in, becomes a
    // link to the address asked.
    void editLink();

    [[nodiscard]] HtmlView *htmlView() const { return m_html; }
    [[nodiscard]] PreviewDialog *previewDialog() const { return m_previewDialog; }
    [[nodiscard]] FindDialog *findDialog() const { return m_findDialog; }
    [[nodiscard]] ReplaceDialog *replaceDialog() const { return m_replaceDialog; }
    [[nodiscard]] BookChooserDialog *bookChooser() const { return m_chooser; }

private:
    class Questions;

    void buildWidgets();
    void buildFormatTools(QWidget *bar);
    void connectDocument();
    void updateLayout();
    void syncModeButtons();
    void refreshLists();
    void refreshFormatTools();
    // Shows the preview of the recipient one step (-1, 0, +1) from the one shown.
    void showPreviewStep(int step);
    void search(const QString &text);
    void replaceOnce(const QString &text, const QString &replacement);
    void replaceAll(const QString &text, const QString &replacement);
    // Runs op on a search target over the editor shown (null when none).
    void withTarget(const std::function<void(SearchTarget *)> &op);
    void applyCharFormat(const std::function<void(class QTextCharFormat &)> &change);
    [[nodiscard]] QString lastFolder(FileChoice choice) const;
    void rememberFolder(FileChoice choice, const QStringList &paths);
    [[nodiscard]] QStringList runChooser(FileChoice choice);

    store::AddressBookStore *m_store;
    ui::Commands *m_commands = nullptr;
    std::unique_ptr<Questions> m_questions;
    MessageDocument *m_document;
    FindReplace m_findReplace;
    int m_language = 1;
    bool m_syncing = false;

    QLabel *m_subjectLabel = nullptr;
    QLineEdit *m_subject = nullptr;
    QTextEdit *m_rich = nullptr;
    QPlainTextEdit *m_plain = nullptr;
    HtmlView *m_html = nullptr;
    QStackedWidget *m_body = nullptr;
    QWidget *m_formatTools = nullptr;
    QToolButton *m_bold = nullptr;
    QToolButton *m_italic = nullptr;
    QToolButton *m_underline = nullptr;
    QToolButton *m_link = nullptr;
    QFontComboBox *m_font = nullptr;
    QSpinBox *m_size = nullptr;
    QComboBox *m_colour = nullptr;
    QPushButton *m_insertField = nullptr;
    QMenu *m_fieldMenu = nullptr;
    QPushButton *m_previewButton = nullptr;
    QButtonGroup *m_modeGroup = nullptr;
    QPushButton *m_htmlMode = nullptr;
    QPushButton *m_textMode = nullptr;
    QPushButton *m_importText = nullptr;
    QPushButton *m_importHtml = nullptr;
    QButtonGroup *m_pageGroup = nullptr;
    QPushButton *m_showPage = nullptr;
    QPushButton *m_showSource = nullptr;
    QLabel *m_destinationLabel = nullptr;
    QLabel *m_exclusionLabel = nullptr;
    QLabel *m_attachmentLabel = nullptr;
    QListWidget *m_destinations = nullptr;
    QListWidget *m_exclusions = nullptr;
    QListWidget *m_attachments = nullptr;
    QPushButton *m_addDestination = nullptr;
    QPushButton *m_removeDestination = nullptr;
    QPushButton *m_addExclusion = nullptr;
    QPushButton *m_removeExclusion = nullptr;
    QPushButton *m_attach = nullptr;
    QPushButton *m_removeAttachment = nullptr;

    FindDialog *m_findDialog = nullptr;
    ReplaceDialog *m_replaceDialog = nullptr;
    BookChooserDialog *m_chooser = nullptr;
    PreviewDialog *m_previewDialog = nullptr;
    std::unique_ptr<PreviewRecipients> m_recipients;
};

} // namespace kirvane::message
