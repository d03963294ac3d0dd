#pragma once
// The small modal message dialogs every part of the program uses: a read-only,
// centred text and fixed buttons, no title-bar buttons, centred on the main
// window. Each is created once and reused; ask(text) sets the text, shows the
// dialog modally and returns the button pressed.

#include "shell/ui/asker.h"
#include "shell/ui/bilingual.h"

#include <QDialog>

#include <array>
#include <memory>

class QPushButton;
class QTextEdit;

namespace kirvane {

class TMessageDialog : public QDialog {
    Q_OBJECT
public:
    enum class Buttons { Close, YesNo, YesNoCancel };

    // The object name is the class name without its leading T.
    TMessageDialog(Buttons buttons, const char *objectName, const char *memoName, QWidget *parent);

    Answer ask(const QString &text);
    // Button captions (and the error dialog's caption) in language.
    void applyLanguage(int language);

    [[nodiscard]] QString text() const;

protected:
    void showEvent(QShowEvent *event) override;
    void reject() override; // Escape answers like the last button

private:
    void finishWith(Answer a);
    // The answer of the last button, given also when the dialog is closed otherwise.
    [[nodiscard]] Answer lastButtonAnswer() const;

    Buttons m_buttons;
    QTextEdit *m_memo = nullptr;
    QPushButton *m_close = nullptr;
    QPushButton *m_yes = nullptr;
    QPushButton *m_no = nullptr;
    QPushButton *m_cancel = nullptr;
    Answer m_answer = Answer::Ok;
};

// The dialogs by role. The error dialog shows the error-code texts, French
// in every language; the others carry the callers' texts.
class TF_erreur_standard : public TMessageDialog {
public:
    explicit TF_erreur_standard(QWidget *parent = nullptr);
};
class TFdialogue_message_standard_ok : public TMessageDialog {
public:
    explicit TFdialogue_message_standard_ok(QWidget *parent = nullptr);
};
class TF_dialogue_message_standard_oui_non : public TMessageDialog {
public:
    explicit TF_dialogue_message_standard_oui_non(QWidget *parent = nullptr);
};
class TDialogue_message_oui_non_annuler : public TMessageDialog {
public:
    explicit TDialogue_message_oui_non_annuler(QWidget *parent = nullptr);
};
class TFdialogue_configuration_standard_oui_non : public TMessageDialog {
public:
    explicit TFdialogue_configuration_standard_oui_non(QWidget *parent = nullptr);
};
class TF_dialogue_transmission_standard_ok : public TMessageDialog {
public:
    explicit TF_dialogue_transmission_standard_ok(QWidget *parent = nullptr);
};
class TF_dialogue_importer_standard_ok : public TMessageDialog {
public:
    explicit TF_dialogue_importer_standard_ok(QWidget *parent = nullptr);
};
class TF_dialogue_synchro_standard_ok : public TMessageDialog {
public:
    explicit TF_dialogue_synchro_standard_ok(QWidget *parent = nullptr);
};

// Asks through the dialogs above, one dialog per kind, all created at once
// as children of parent (the main window, on which they centre).
class DialogAsker : public Asker {
public:
    explicit DialogAsker(QWidget *parent);
    Answer ask(DialogKind kind, const QString &text) override;

    [[nodiscard]] TMessageDialog *dialog(DialogKind kind) const;
    void applyLanguage(int language);

private:
    std::array<TMessageDialog *, 8> m_dialogs{};
};

} // namespace kirvane
