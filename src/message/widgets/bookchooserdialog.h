#pragma once
// The book chooser: every address book by name, several may be selected.
// Opened for the destination books or for the exclusion books, which only
// changes its caption. "Valider" closes it only when a name is selected;
// "Annuler" closes it with no choice.

#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;

namespace kirvane::message {

class BookChooserDialog : public QDialog {
    Q_OBJECT
public:
    enum class Purpose { Destination, Exclusion };

    explicit BookChooserDialog(QWidget *parent = nullptr);

    // Lists books (already sorted) with none selected.
    void prepare(Purpose purpose, const QStringList &books);
    [[nodiscard]] Purpose purpose() const { return m_purpose; }
    // The selected names, in the list's order.
    [[nodiscard]] QStringList chosenBooks() const;
    void applyLanguage(int language);

private:
    void updateCaption();

    QListWidget *m_list;
    QPushButton *m_ok;
    QPushButton *m_cancel;
    Purpose m_purpose = Purpose::Destination;
    int m_language = 1;
};

} // namespace kirvane::message
