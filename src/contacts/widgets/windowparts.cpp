#include "contacts/widgets/windowparts.h"

#include "texts/texttable.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QIcon>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace kirvane::contacts {

QToolButton *openContactButton(QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QStringLiteral("btn_voir_contact"));
    b->setIcon(QIcon::fromTheme(QStringLiteral("x-office-address-book"),
                                b->style()->standardIcon(QStyle::SP_FileDialogContentsView)));
    b->setIconSize(QSize(20, 20));
    return b;
}

BookTickList::BookTickList(const char *headingName, const char *tickAllName, const char *untickAllName,
                           QWidget *parent)
    : QWidget(parent), m_heading(new QLabel(this)), m_list(new QListWidget(this)), m_tickAll(new QToolButton(this)),
      m_untickAll(new QToolButton(this))
{
    m_heading->setObjectName(QLatin1String(headingName));
    m_list->setObjectName(QStringLiteral("ChkLst_Annuaire"));
    m_tickAll->setObjectName(QLatin1String(tickAllName));
    m_tickAll->setText(QStringLiteral("✔"));
    m_untickAll->setObjectName(QLatin1String(untickAllName));
    m_untickAll->setText(QStringLiteral("✘"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_heading);
    layout->addWidget(m_list, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_tickAll);
    buttons->addWidget(m_untickAll);
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(m_tickAll, &QToolButton::clicked, this, [this] { setAllTicked(true); });
    connect(m_untickAll, &QToolButton::clicked, this, [this] { setAllTicked(false); });
}

void BookTickList::applyLanguage(int language)
{
    m_heading->setText(texts::text(texts::BooksListHeading, language));
    m_tickAll->setToolTip(texts::text(texts::SelectAllHint, language));
    m_untickAll->setToolTip(texts::text(texts::UnselectAllHint, language));
}

bool BookTickList::isEmpty() const { return m_list->count() == 0; }

void BookTickList::fill(const QStringList &books)
{
    m_list->clear();
    for (const QString &book : books) {
        auto *item = new QListWidgetItem(book, m_list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

void BookTickList::clear() { m_list->clear(); }

void BookTickList::setAllTicked(bool ticked)
{
    for (int i = 0; i < m_list->count(); ++i)
        m_list->item(i)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
}

QStringList BookTickList::ticked() const
{
    QStringList books;
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->checkState() == Qt::Checked)
            books << m_list->item(i)->text();
    return books;
}

void layOutWindow(QWidget *window, QWidget *books, QLayout *criteria, QWidget *results,
                  const QList<QWidget *> &rowCommands, QPushButton *ok, QPushButton *cancel)
{
    auto *top = new QHBoxLayout;
    top->addWidget(books, 1);
    top->addLayout(criteria, 1);
    auto *buttons = new QHBoxLayout;
    for (QWidget *w : rowCommands)
        buttons->addWidget(w);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(window);
    layout->addLayout(top);
    layout->addWidget(results, 1);
    layout->addLayout(buttons);
}

} // namespace kirvane::contacts
