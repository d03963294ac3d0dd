#pragma once
// The small dialogs of the address-books view. Each is created once by the
// view and reused; "Valider" closes with Accepted, "Annuler" and the close box
// with Rejected.
//
// BookNameDialog asks for one name: the copy's (Dialogue_copie_annuaire) or
// the new name of a rename (Dialogue_renomme_annuaire, whose "Valider" keeps
// it open while a book of that name exists). FieldLabelsDialog asks for the
// four free-field labels, with a name first when it creates a book
// (Dialogue_nouvel_annuaire; Dialogue_renomme_champs without). DeleteBookDialog
// asks whether to delete the named book (Dialogue_supprimer_annuaire).

#include <QDialog>
#include <QStringList>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kirvane::contacts {

class BookNameDialog : public QDialog {
    Q_OBJECT
public:
    enum class Purpose { Copy, Rename };
    BookNameDialog(Purpose purpose, QWidget *parent = nullptr);

    // Shows the dialog with name in its edit; the name typed (possibly
    // empty), or nothing when cancelled.
    std::optional<QString> ask(const QString &name);
    void applyLanguage(int language);
    // Rename: whether the name typed is in use by another book ("Valider"
    // then shows inUseNotice and stays open).
    std::function<bool(const QString &)> exists;
    std::function<void()> inUseNotice;

private:
    void validate();
    Purpose m_purpose;
    QLabel *m_text;
    QLineEdit *m_name;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

class FieldLabelsDialog : public QDialog {
    Q_OBJECT
public:
    enum class Purpose { NewBook, RenameFields };
    FieldLabelsDialog(Purpose purpose, QWidget *parent = nullptr);

    // NewBook: name in Edit1, the labels as last typed. RenameFields: labels.
    // False when cancelled.
    bool ask(const QString &name, const QStringList &labels = {});
    [[nodiscard]] QString name() const;
    [[nodiscard]] QStringList labels() const;
    void applyLanguage(int language);

private:
    Purpose m_purpose;
    QLabel *m_text = nullptr;
    QLabel *m_fieldsText = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_labels[4] = {};
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

class DeleteBookDialog : public QDialog {
    Q_OBJECT
public:
    explicit DeleteBookDialog(QWidget *parent = nullptr);
    bool ask(const QString &name);
    void applyLanguage(int language);

private:
    QLabel *m_text;
    QLabel *m_name;
    QPushButton *m_yes;
    QPushButton *m_cancel;
};

} // namespace kirvane::contacts
