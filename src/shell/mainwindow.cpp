#include "shell/mainwindow.h"

#include "shell/commands.h"
#include "shell/emptyviews.h"
#include "texts/errorcodes.h"
#include "shell/htmlviewfilter.h"
#include "shell/logging.h"
#include "shell/aboutdialog.h"
#include "shell/toolbarframe.h"
#include "ui/messagedialog.h"
#include "common/folders.h"
#include "store/addressbookstore.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

namespace kirvane::shell {

using namespace kirvane::common;
using namespace kirvane::store;
using namespace kirvane::texts;
using namespace kirvane::ui;

MainWindow::MainWindow(AddressBookStore *store, Views views, Asker *asker, QWidget *parent)
    : QMainWindow(parent)
    , m_store(store)
    , m_views(views)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Kirvane"));
    setMinimumSize(808, 574);
    openUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };

    if (!m_views.contact)
        m_views.contact = new EmptyContactsView;
    if (!m_views.directory)
        m_views.directory = new EmptyDirectoryView;
    if (!m_views.message) {
        m_views.message = new EmptyMessageView;
        m_noMessageView = true;
    }
    if (!m_views.history)
        m_views.history = new EmptyHistoryView;
    m_views.contact->setObjectName(QStringLiteral("Frame_contact1"));
    m_views.directory->setObjectName(QStringLiteral("Frame_directory1"));
    m_views.message->setObjectName(QStringLiteral("Frame_message1"));
    m_views.history->setObjectName(QStringLiteral("Frame_historique1"));

    if (!asker) {
        m_ownAsker = std::make_unique<DialogAsker>(this);
        asker = m_ownAsker.get();
    }
    m_asker = asker;

    buildActions();
    m_menuFrame = new ToolBarFrame([this](const QString &name) { return action(name); }, this);
    connect(m_menuFrame, &ToolBarFrame::viewButtonClicked, this, [this](int view) {
        switch (view) {
        case 1: showContactsView(); break;
        case 2: showDirectoryView(); break;
        case 3: showMessageView(); break;
        case 4: showHistoryView(); break;
        }
    });
    buildMenus();

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_menuFrame);
    for (int view = 1; view <= 4; ++view)
        layout->addWidget(viewFrame(view), 1);
    setCentralWidget(central);

    m_about = new AboutDialog(QCoreApplication::applicationDirPath(), QStringLiteral(KIRVANE_VERSION), this);
    // The update ends the program: a contact or message being written is
    // offered for saving first, as when the window is closed.
    m_about->mayEnd = [this] { return confirmClose(); };
    connect(m_about, &AboutDialog::updaterStarted, this, &MainWindow::quitRequested);

    connect(m_views.contact, &ContactsViewFrame::editingStarted, this, &MainWindow::enterContactEditing);
    connect(m_views.contact, &ContactsViewFrame::editingEnded, this, &MainWindow::leaveContactEditing);
    for (int view = 1; view <= 4; ++view)
        static_cast<ViewFrame *>(viewFrame(view))->connectCommands(*this);

    // From the start: the HTML views' context menus are off for the whole run.
    m_htmlFilter = new HtmlContextMenuFilter(this);
    qApp->installEventFilter(m_htmlFilter);
    if (m_store)
        m_store->initDataFolder();
    m_menuFrame->reset();
    m_views.message->reset();
    applyLanguage(French);
    showView(1);
}

MainWindow::~MainWindow()
{
    qApp->removeEventFilter(m_htmlFilter);
}

void MainWindow::buildActions()
{
    for (const CommandRow &row : commandRows()) {
        auto *a = new QAction(this);
        const QString name = QString::fromLatin1(row.name());
        a->setObjectName(name);
        if (*row.shortcut)
            a->setShortcut(QKeySequence(QString::fromLatin1(row.shortcut)));
        if (row.button)
            a->setIcon(themedIcon(row.themeIcon, row.glyph));
        bool provided = row.op != ShellOp::View;
        // Find and replace work in the message view's editors: a view that
        // holds none yet would only answer with a notice about them.
        if (m_noMessageView && (row.op == ShellOp::Find || row.op == ShellOp::FindNext || row.op == ShellOp::Replace))
            provided = false;
        Command command{&row, a, provided};
        if (row.op != ShellOp::View)
            connect(a, &QAction::triggered, this, [this, r = &row] { runShellOp(*r); });
        m_commands.insert(name, command);
    }
}

void MainWindow::buildMenus()
{
    auto *holder = new QWidget(this);
    auto *layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int view = 1; view <= 4; ++view) {
        auto *bar = new QMenuBar(holder);
        bar->setObjectName(QStringLiteral("MainMenu%1").arg(view));
        bar->setNativeMenuBar(false);
        for (const MenuTitle &title : menuTitles()) {
            QMenu *menu = nullptr;
            for (const CommandRow &row : commandRows()) {
                if (row.view != view || row.menu != title.menu || !row.item)
                    continue;
                if (!menu) {
                    menu = bar->addMenu(QString());
                    menu->setObjectName(menuName(view, title.menu));
                    menu->setProperty("menuKind", static_cast<int>(title.menu));
                    m_menus << menu;
                }
                menu->addAction(action(QString::fromLatin1(row.item)));
            }
        }
        layout->addWidget(bar);
        m_menuBars[view - 1] = bar;
    }
    setMenuWidget(holder);
}

void MainWindow::provide(const QString &name, std::function<void()> op)
{
    auto it = m_commands.find(name);
    if (it == m_commands.end()) {
        qCWarning(lcShell, "no command named %s", qPrintable(name));
        return;
    }
    it->provided = true;
    connect(it->action, &QAction::triggered, this, [op = std::move(op)] { op(); });
    updateEnabled();
}

QAction *MainWindow::action(const QString &name) const
{
    const auto it = m_commands.constFind(name);
    return it == m_commands.cend() ? nullptr : it->action;
}

QWidget *MainWindow::viewFrame(int view) const
{
    switch (view) {
    case 1: return m_views.contact;
    case 2: return m_views.directory;
    case 3: return m_views.message;
    case 4: return m_views.history;
    }
    return nullptr;
}

void MainWindow::showView(int view)
{
    if (view < 1 || view > 4)
        return;
    m_view = view;
    for (int v = 1; v <= 4; ++v) {
        m_menuBars[v - 1]->setVisible(v == view);
        viewFrame(v)->setVisible(v == view);
    }
    m_menuFrame->setCurrentView(view);
    updateEnabled();
}

void MainWindow::updateEnabled()
{
    const bool editing = contactBeingEdited();
    for (const Command &c : std::as_const(m_commands)) {
        const CommandRow &row = *c.row;
        bool on = c.provided && row.view == m_view;
        if (editing && row.view == 1 && (row.menu == Menu::Tools || row.menu == Menu::Settings))
            on = false;
        if (m_importDisabled && c.action->objectName() == QLatin1String("Importer"))
            on = false;
        c.action->setEnabled(on);
    }
    for (QMenu *menu : std::as_const(m_menus)) {
        if (menu->objectName() == QLatin1String("Outils1") || menu->objectName() == QLatin1String("Outils2"))
            menu->setEnabled(!editing);
    }
}

void MainWindow::showError(int code)
{
    m_asker->ask(DialogKind::Error, errorText(code));
}

void MainWindow::enterContactEditing()
{
    m_menuFrame->setEnabled(false);
    updateEnabled();
}

void MainWindow::leaveContactEditing()
{
    m_menuFrame->setEnabled(true);
    updateEnabled();
}

bool MainWindow::contactBeingEdited() const
{
    return m_menuFrame && !m_menuFrame->isEnabled();
}

int MainWindow::findNext(const QString &text)
{
    return findNextIn(m_views.message->visibleEditor(), text);
}

void MainWindow::showContactsView()
{
    setUpdatesEnabled(false);
    showView(1);
    m_views.contact->reloadBooks();
    const bool cleared = m_views.contact->clearForm();
    setUpdatesEnabled(true);
    if (!cleared)
        showError(static_cast<int>(ErrorCode::ClearContactForm));
}

void MainWindow::showDirectoryView()
{
    setUpdatesEnabled(false);
    showView(2);
    m_views.directory->reloadBooks();
    setUpdatesEnabled(true);
}

void MainWindow::showMessageView()
{
    setUpdatesEnabled(false);
    showView(3);
    setUpdatesEnabled(true);
}

void MainWindow::showHistoryView()
{
    showView(4);
    m_views.history->openHistory();
}

void MainWindow::findInMessage()
{
    if (m_views.message->visibleEditor())
        m_views.message->openFindDialog();
    else
        m_asker->inform(editorNeededText());
}

void MainWindow::replaceInMessage()
{
    if (m_views.message->visibleEditor())
        m_views.message->openReplaceDialog();
    else
        m_asker->inform(editorNeededText());
}

void MainWindow::findNextInMessage()
{
    const QString text = m_views.message->findText();
    if (text.isEmpty())
        return;
    if (findNext(text) < 0)
        m_asker->inform(notFoundText());
}

QString MainWindow::helpFile()
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QStringList candidates = {
        programFolder + QStringLiteral("/documentation/index.htm"),
        programFolder + QStringLiteral("/../share/kirvane/documentation/index.htm"),
    };
    for (const QString &path : candidates) {
        if (QFileInfo::exists(path))
            return QFileInfo(path).canonicalFilePath();
    }
    return candidates.first();
}

void MainWindow::help()
{
    // A missing page is the desktop's to report; a desktop with no viewer at
    // all reports nothing, so say where the page is.
    const QString page = helpFile();
    if (!openUrl(QUrl::fromLocalFile(page)))
        m_asker->inform(texts::text(HelpNotOpened, m_language).arg(QDir::toNativeSeparators(page)));
}

void MainWindow::about()
{
    m_about->exec();
}

void MainWindow::runShellOp(const CommandRow &row)
{
    switch (row.op) {
    case ShellOp::Quit: Q_EMIT quitRequested(); break;
    case ShellOp::Cut: editAction("cut"); break;
    case ShellOp::Copy: editAction("copy"); break;
    case ShellOp::Paste: editAction("paste"); break;
    case ShellOp::Help: help(); break;
    case ShellOp::About: about(); break;
    case ShellOp::Find: findInMessage(); break;
    case ShellOp::FindNext: findNextInMessage(); break;
    case ShellOp::Replace: replaceInMessage(); break;
    case ShellOp::View: break;
    }
}

void MainWindow::editAction(const char *method)
{
    // The focused input field, if any: line edits, text editors, editable combo boxes.
    QWidget *w = QApplication::focusWidget();
    if (!w)
        return;
    if (w->metaObject()->indexOfMethod(QByteArray(method) + "()") >= 0)
        QMetaObject::invokeMethod(w, method);
}

bool MainWindow::confirmClose()
{
    if (contactBeingEdited()) {
        const Answer a = m_asker->ask(DialogKind::YesNoCancel, text(AskSaveContact, m_language));
        if (a == Answer::Cancel)
            return false;
        if (a == Answer::Yes) {
            m_views.contact->saveContact();
            // A save the form refused leaves the contact open: keep it.
            if (contactBeingEdited())
                return false;
        }
    }
    if (m_views.message->messageEmpty())
        return true;
    m_menuFrame->viewButton(3)->setChecked(true);
    showMessageView();
    bool closes = false;
    switch (m_asker->ask(DialogKind::YesNoCancel, text(AskSaveMessage, m_language))) {
    case Answer::Yes:
        // Closing after a save that did not happen would lose the message.
        closes = m_views.message->saveMessage();
        break;
    case Answer::No:
        closes = true;
        break;
    default:
        break;
    }
    // Staying open with a contact still being edited (its question answered
    // No): the disabled tool-bar frame has no way back to that contact's
    // form, so go back there rather than strand the user in the message view.
    if (!closes && contactBeingEdited())
        showView(1);
    return closes;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (confirmClose())
        event->accept();
    else
        event->ignore();
}

void MainWindow::showEvent(QShowEvent *event)
{
    if (!m_activated) {
        m_activated = true;
        firstActivation();
        if (const QScreen *screen = this->screen()) {
            const QRect available = screen->availableGeometry();
            move(available.x() + (available.width() - frameGeometry().width()) / 2,
                 available.y() + (available.height() - frameGeometry().height()) / 2);
        }
    }
    QMainWindow::showEvent(event);
}

void MainWindow::firstActivation()
{
    if (!m_views.contact->clearForm())
        showError(static_cast<int>(ErrorCode::ClearContactForm));
    m_views.contact->reloadBooks();
    setUpdatesEnabled(false);
    QDir::setCurrent(dataFolder());
    resize(800, 400); // the minimum size raises it to 808 x 574
    setWindowTitle(QStringLiteral("Kirvane"));
    showView(1);
    setUpdatesEnabled(true);
}

void MainWindow::disableImport()
{
    m_importDisabled = true;
    updateEnabled();
}

void MainWindow::applyLanguage(int language)
{
    m_language = language;
    for (const Command &c : std::as_const(m_commands)) {
        c.action->setText(text(c.row->caption, language));
        const QString hint = c.row->hint < 0 ? QString() : text(c.row->hint, language);
        c.action->setToolTip(hint.isEmpty() ? c.action->text().remove(QLatin1Char('&')) : hint);
        c.action->setStatusTip(hint);
    }
    for (QMenu *menu : std::as_const(m_menus)) {
        const Menu kind = static_cast<Menu>(menu->property("menuKind").toInt());
        for (const MenuTitle &title : menuTitles()) {
            if (title.menu == kind)
                menu->setTitle(text(title.caption, language));
        }
    }
    m_menuFrame->applyLanguage(language);
    for (int view = 1; view <= 4; ++view)
        static_cast<ViewFrame *>(viewFrame(view))->applyLanguage(language);
    m_about->applyLanguage(language);
    if (m_ownAsker)
        m_ownAsker->applyLanguage(language);
}

QString MainWindow::archiveErrorText() const
{
    return text(ArchiveError, m_language);
}

QString MainWindow::editorNeededText() const
{
    return text(FindNeedsSourceMode, m_language);
}

QString MainWindow::notFoundText() const
{
    return text(StringNotFound, m_language);
}

void MainWindow::bringToFront()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

} // namespace kirvane::shell
