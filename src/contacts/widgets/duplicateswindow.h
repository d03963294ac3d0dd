#pragma once
// DuplicatesWindow (TF_dedoublonner): the duplicate sweep over the books and
// criteria ticked, its step counter n/(2k+1) and progress bar shown live while
// the sweep runs in a worker thread (Annuler or closing the window cancels
// it), the candidates left, and the row commands: delete this contact, delete
// its other occurrences, open it. Closing the window with its close box keeps
// the ticks, and the next opening runs the same sweep again.

#include "contacts/duplicatesweep.h"
#include "contacts/widgets/contactsviewhook.h"
#include "contacts/widgets/windowparts.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;
class QToolButton;

namespace kirvane::texts {
class Asker;
}
namespace kirvane::store {
class AddressBookStore;
}

namespace kirvane::contacts {

class MergeRowsModel;

class DuplicatesWindow : public QDialog {
    Q_OBJECT
public:
    DuplicatesWindow(store::AddressBookStore &store, texts::Asker &asker, ContactsViewHook hook,
                     QWidget *parent = nullptr);
    ~DuplicatesWindow() override;

    void applyLanguage(int language);
    void search();                 // Btn_Valider
    void deleteContact();          // Btn_Supprimer
    void deleteOtherOccurrences(); // btn_supprimer_tout
    void openSelected();           // btn_voir_contact
    void cancelAndClose();         // Btn_Annuler
    void reset();
    [[nodiscard]] DuplicateSweep &sweep() { return m_sweep; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void sweepFinished(DuplicateSweep::Outcome outcome);
    void showResult(const QStringList &order);
    void setBusy(bool busy);
    [[nodiscard]] bool selectedRow(QString *book, qint64 *id) const;

    store::AddressBookStore &m_store;
    texts::Asker &m_asker;
    ContactsViewHook m_hook;
    DuplicateSweep m_sweep;
    MergeRowsModel *m_rows;
    int m_language;

    QLabel *m_progressText, *m_stepCounter, *m_noResult;
    BookTickList *m_books;
    QToolButton *m_open;
    QCheckBox *m_criteria[8];
    QProgressBar *m_progress;
    QTableView *m_list;
    QPushButton *m_ok, *m_cancel, *m_deleteOne, *m_deleteOthers;
};

// Opens the contacts view's duplicate window, made on first use as a child of parent.
DuplicatesWindow *openDuplicatesWindow(store::AddressBookStore &store, texts::Asker &asker,
                                       const ContactsViewHook &hook, QWidget *parent);

} // namespace kirvane::contacts
