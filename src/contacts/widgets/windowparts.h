#pragma once
// The parts the search and duplicate windows share: the ticked list of books
// with its heading and its tick-all / untick-all buttons, and the windows'
// common arrangement.

#include <QList>
#include <QStringList>
#include <QWidget>

class QLabel;
class QLayout;
class QListWidget;
class QPushButton;
class QToolButton;

namespace kirvane::contacts {

class BookTickList : public QWidget {
    Q_OBJECT
public:
    // The objectNames of the heading and of the two buttons; the list is ChkLst_Annuaire.
    BookTickList(const char *headingName, const char *tickAllName, const char *untickAllName, QWidget *parent);

    void applyLanguage(int language);
    [[nodiscard]] bool isEmpty() const;
    // Every book, none ticked.
    void fill(const QStringList &books);
    void clear();
    void setAllTicked(bool ticked);
    // The books ticked, in list order.
    [[nodiscard]] QStringList ticked() const;

private:
    QLabel *m_heading;
    QListWidget *m_list;
    QToolButton *m_tickAll, *m_untickAll;
};

// The "open the selected contact" button of both windows: a picture (the
// desktop's, else one the style draws), which every machine can show.
[[nodiscard]] QToolButton *openContactButton(QWidget *parent);

// Books beside the criteria, the result list below, then the row commands on
// the left and OK and Cancel on the right.
void layOutWindow(QWidget *window, QWidget *books, QLayout *criteria, QWidget *results,
                  const QList<QWidget *> &rowCommands, QPushButton *ok, QPushButton *cancel);

} // namespace kirvane::contacts
