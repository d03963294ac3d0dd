#pragma once
// The import wizard (objectName TF_importation_multi_format): three pages —
// the kind of file, the file and its table, then the five-row preview whose
// column headings the user clicks to map each column — and the import into
// the book chosen in the address-books view. It shows an ImportSession and
// forwards the user's acts to it.
//
// Made once at start-up and reused: importInto(book) restarts at page 1 and
// shows it modally. Questions and notices go through the Asker; the file and
// the column choices go through choosers a test can replace.
//
// The file decides its kind: one whose content or extension shows another
// kind than the one ticked on page 1 is opened as that kind, and the page-1
// choice follows. The path can also be typed or pasted. A first line that
// reads as headings arrives mapped by its headings with "Ignore the first
// line" ticked; the user changes either as before.
//
// Import runs the import on the job's worker thread: the page shows its
// progress and only Cancel stays live; Cancel (or closing the window) stops
// the import, which leaves the book as it was, and the wizard closes once
// the job has ended.

#include "import/importjob.h"
#include "import/importsession.h"

#include <QDialog>

#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTreeWidget;

namespace kirvane::store {
class BookFiles;
}
namespace kirvane::texts {
class Asker;
}

namespace kirvane::import {

class ColumnChoiceDialog;

class ImportWizard : public QDialog {
    Q_OBJECT
public:
    ImportWizard(const store::BookFiles &files, texts::Asker &asker, QWidget *parent = nullptr);
    ~ImportWizard() override;

    void applyLanguage(int language);

    // The import command: sets the target book, restarts at page 1 and shows
    // the wizard modally. True when rows were imported.
    bool importInto(const QString &book);
    // What importInto does before showing the wizard (the tests drive it shown).
    void start(const QString &book);

    // Returns the chosen file's path, empty when the user cancels.
    void setFileChooser(std::function<QString(SourceKind)> chooser) { m_chooseFile = std::move(chooser); }
    // Returns the field for a column (kNotIdentified when cancelled).
    void setColumnChooser(std::function<int(int column)> chooser) { m_chooseColumn = std::move(chooser); }

    [[nodiscard]] int page() const { return m_page; }
    [[nodiscard]] const ImportSession &session() const { return m_session; }
    [[nodiscard]] bool imported() const { return m_imported; }
    // An import is running on its worker thread.
    [[nodiscard]] bool importing() const { return m_job.isRunning(); }

    // Cancel, Escape or the window's close box: stops a running import
    // (the wizard closes when it has ended), else closes the wizard.
    void reject() override;

Q_SIGNALS:
    // Rows went into the book: the address-books view refreshes its details.
    void bookImported(const QString &book);

private:
    void nextPage();
    void previousPage();
    void chooseSourceFile();
    void openSourceFile(const QString &path);
    void cancelWizard();
    void startImport();
    void importFinished(const ImportResult &result);
    void showImporting(bool importing);
    void mapClickedColumn(int column);

    void showPage(int page);
    void backToFirstPage();
    void fillPreview();
    void setHeading(int column, int field);
    [[nodiscard]] SourceKind chosenKind() const;
    void showKind(SourceKind kind);
    [[nodiscard]] QString defaultFileChoice(SourceKind kind);
    [[nodiscard]] int defaultColumnChoice(int column);

    const store::BookFiles &m_files;
    texts::Asker &m_asker;
    ImportSession m_session;
    ImportJob m_job;
    QString m_book;
    QStringList m_labelsBefore; // the book's labels before the import wrote the typed ones
    int m_page = 1;
    int m_language = 1;
    bool m_imported = false;
    std::function<QString(SourceKind)> m_chooseFile;
    std::function<int(int)> m_chooseColumn;

    QStackedWidget *m_pages = nullptr;
    QLabel *m_intro = nullptr;
    QLabel *m_fileType = nullptr;
    std::vector<std::pair<QRadioButton *, SourceKind>> m_kinds;
    QPlainTextEdit *m_csvNote = nullptr;
    QLabel *m_page2Text = nullptr;
    QLabel *m_sourceLabel = nullptr;
    QLineEdit *m_sourceFile = nullptr;
    QPushButton *m_openFile = nullptr;
    QLabel *m_tableLabel = nullptr;
    QComboBox *m_table = nullptr;
    QTreeWidget *m_preview = nullptr;
    QProgressBar *m_progress = nullptr;
    QCheckBox *m_skipHeader = nullptr;
    QLabel *m_existingLabel = nullptr;
    std::array<QRadioButton *, 3> m_existing{};
    std::array<QLineEdit *, 4> m_labels{};
    QPushButton *m_cancel = nullptr;
    QPushButton *m_execute = nullptr;
    QPushButton *m_previous = nullptr;
    QPushButton *m_next = nullptr;
    ColumnChoiceDialog *m_choice = nullptr;
};

} // namespace kirvane::import
