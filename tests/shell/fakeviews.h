#pragma once
// Views that record what the main window asks of them and provide every
// command of their view, so that tests see which command a key reached.

#include "shell/commands.h"
#include "ui/views.h"

#include <QPlainTextEdit>
#include <QStringList>
#include <QTextEdit>
#include <QVBoxLayout>

namespace kirvane::test {

using namespace kirvane::shell;
using namespace kirvane::ui;

// Every command of a view, recorded by name into log when triggered.
inline void provideAll(Commands &commands, int view, QStringList *log)
{
    for (const CommandRow &row : commandRows()) {
        if (row.view != view || row.op != ShellOp::View)
            continue;
        const QString name = QString::fromLatin1(row.name());
        commands.provide(name, [log, name] { log->append(name); });
    }
}

class FakeContactsView : public ContactsViewFrame {
public:
    void connectCommands(Commands &commands) override { provideAll(commands, 1, &log); }
    bool clearForm() override { log << QStringLiteral("clearForm"); return clearSucceeds; }
    void reloadBooks() override { log << QStringLiteral("reloadBooks"); }
    void detachGrid() override { log << QStringLiteral("detachGrid"); }
    void saveContact() override
    {
        log << QStringLiteral("saveContact");
        if (saveSucceeds)
            Q_EMIT editingEnded();
    }
    QStringList log;
    bool clearSucceeds = true;
    bool saveSucceeds = true;
};

class FakeDirectoryView : public DirectoryViewFrame {
public:
    void connectCommands(Commands &commands) override { provideAll(commands, 2, &log); }
    void reloadBooks() override { log << QStringLiteral("reloadBooks"); }
    QStringList log;
};

// A message view with both editors; the plain one shown unless told otherwise.
class FakeMessageView : public MessageViewFrame {
public:
    FakeMessageView()
    {
        auto *layout = new QVBoxLayout(this);
        rich = new QTextEdit(this);
        rich->setObjectName(QStringLiteral("RichEdit_message"));
        plain = new QPlainTextEdit(this);
        plain->setObjectName(QStringLiteral("Memo_texte_brut"));
        layout->addWidget(rich);
        layout->addWidget(plain);
        rich->hide();
    }
    void connectCommands(Commands &commands) override { provideAll(commands, 3, &log); }
    bool messageEmpty() const override { return rich->document()->isEmpty() && plain->document()->isEmpty(); }
    bool saveMessage() override { log << QStringLiteral("saveMessage"); return saveSucceeds; }
    QWidget *visibleEditor() const override
    {
        if (noEditor)
            return nullptr;
        return rich->isHidden() ? static_cast<QWidget *>(plain) : rich;
    }
    QString findText() const override { return searchText; }
    void openFindDialog() override { log << QStringLiteral("openFindDialog"); }
    void openReplaceDialog() override { log << QStringLiteral("openReplaceDialog"); }
    void reset() override { log << QStringLiteral("reset"); }

    QTextEdit *rich;
    QPlainTextEdit *plain;
    QString searchText;
    QStringList log;
    bool saveSucceeds = true;
    bool noEditor = false;
};

class FakeHistoryView : public HistoryViewFrame {
public:
    void connectCommands(Commands &commands) override { provideAll(commands, 4, &log); }
    void openHistory() override { log << QStringLiteral("openHistory"); }
    QStringList log;
};

} // namespace kirvane::test
