#include "shell/toolbarframe.h"

#include "shell/commands.h"
#include "shell/icons.h"

#include <QAction>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QToolBar>
#include <QToolButton>

namespace kirvane::shell {

using namespace kirvane::texts;

namespace {

using namespace kirvane::texts;

struct ViewButton {
    const char *name;
    int caption; // text-table entries
    int hint;
    const char *themeIcon;
    Glyph glyph;
};

// In view order: contacts, address books, message, history.
const ViewButton kViewButtons[4] = {
    {"Btn_Contact", ViewContact, ViewContactHint, "x-office-address-book", Glyph::Person},
    {"Btn_Annuaire", ViewBooks, ViewBooksHint, "", Glyph::Books},
    {"Btn_Message", ViewMessage, ViewMessageHint, "mail-message-new", Glyph::Envelope},
    {"Btn_historique", ViewHistory, ViewHistoryHint, "document-open-recent", Glyph::Clock},
};

const char *const kToolBarNames[4] = {"ToolBarContact", "ToolBarAnnuaire", "ToolBarMessage", "ToolBarHistorique"};

} // namespace

ToolBarFrame::ToolBarFrame(const std::function<QAction *(const QString &)> &action, QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("Frame_menu1"));
    setFrameShape(QFrame::StyledPanel);

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1_Btn_Menu"));
    auto *panelLayout = new QHBoxLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(2);
    m_group = new QButtonGroup(this);
    m_group->setExclusive(true);
    for (int i = 0; i < 4; ++i) {
        auto *b = new QToolButton(panel);
        b->setObjectName(QString::fromLatin1(kViewButtons[i].name));
        b->setCheckable(true);
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setIcon(themedIcon(kViewButtons[i].themeIcon, kViewButtons[i].glyph));
        b->setIconSize(QSize(32, 32));
        b->setMinimumWidth(72);
        m_group->addButton(b, i + 1);
        panelLayout->addWidget(b);
        m_viewButtons[i] = b;
    }
    connect(m_group, &QButtonGroup::idClicked, this, &ToolBarFrame::viewButtonClicked);

    auto *separator = new QFrame(this);
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(panel);
    layout->addWidget(separator);

    for (int view = 1; view <= 4; ++view) {
        auto *bar = new QToolBar(this);
        bar->setObjectName(QString::fromLatin1(kToolBarNames[view - 1]));
        bar->setIconSize(QSize(32, 32));
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        for (const CommandRow &row : commandRows()) {
            if (row.view != view || !row.button)
                continue;
            QAction *a = action(QString::fromLatin1(row.name()));
            bar->addAction(a);
            if (QWidget *button = bar->widgetForAction(a))
                button->setObjectName(QString::fromLatin1(row.button));
        }
        layout->addWidget(bar);
        m_toolBars[view - 1] = bar;
    }
    layout->addStretch(1);
    applyLanguage(French);
    reset();
}

void ToolBarFrame::reset()
{
    setCurrentView(1);
}

void ToolBarFrame::setCurrentView(int view)
{
    if (view < 1 || view > 4)
        return;
    m_viewButtons[view - 1]->setChecked(true);
    for (int i = 0; i < 4; ++i)
        m_toolBars[i]->setVisible(i == view - 1);
}

void ToolBarFrame::applyLanguage(int language)
{
    for (int i = 0; i < 4; ++i) {
        m_viewButtons[i]->setText(text(kViewButtons[i].caption, language));
        m_viewButtons[i]->setToolTip(text(kViewButtons[i].hint, language));
    }
}

} // namespace kirvane::shell
