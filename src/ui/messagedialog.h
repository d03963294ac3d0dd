#pragma once
// The small modal message dialogs every part of the program uses: a read-only,
// centred text and fixed buttons, no title-bar buttons, centred on the main
// window. Each is created once and reused; ask(text) sets the text, shows the
// dialog modally and returns the button pressed.

#include "texts/asker.h"
#include "ui/bilingual.h"

#include <QDialog>

#include <vector>
#include <memory>

class QPushButton;
class QTextEdit;

namespace kirvane::ui {

// One shared message dialog: a read-only text and the fixed buttons of its
// kind. Each kind has its own window (its objectName), created once.
class MessageDialog : public QDialog {
    Q_OBJECT
public:
    enum class Buttons { Close, YesNo, YesNoCancel };

    explicit MessageDialog(texts::DialogKind kind, QWidget *parent = nullptr);

    texts::Answer ask(const QString &text);
    // Button captions (and the error dialog's caption) in language.
    void applyLanguage(int language);

    [[nodiscard]] QString text() const;
    [[nodiscard]] texts::DialogKind kind() const { return m_kind; }

protected:
    void showEvent(QShowEvent *event) override;
    void reject() override; // Escape answers like the last button

private:
    void finishWith(texts::Answer a);
    // The answer of the last button, given also when the dialog is closed otherwise.
    [[nodiscard]] texts::Answer lastButtonAnswer() const;

    [[nodiscard]] bool isDuplicateQuestion() const
    {
        return m_kind == texts::DialogKind::SameContactName || m_kind == texts::DialogKind::SameContactEmail;
    }

    texts::DialogKind m_kind;
    int m_language = 1;
    Buttons m_buttons;
    QTextEdit *m_memo = nullptr;
    QPushButton *m_close = nullptr;
    QPushButton *m_yes = nullptr;
    QPushButton *m_no = nullptr;
    QPushButton *m_cancel = nullptr;
    texts::Answer m_answer = texts::Answer::Ok;
};

// Asks through the dialogs above, one dialog per kind, all created at once
// as children of parent (the main window, on which they centre).
class DialogAsker : public texts::Asker {
public:
    explicit DialogAsker(QWidget *parent);
    texts::Answer ask(texts::DialogKind kind, const QString &text) override;

    [[nodiscard]] MessageDialog *dialog(texts::DialogKind kind) const;
    void applyLanguage(int language);

private:
    std::vector<MessageDialog *> m_dialogs; // by kind
};

} // namespace kirvane::ui
