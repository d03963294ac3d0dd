// The store failing under the program. Every command of kirvane-cli that
// reads a book or the history, run on a folder whose books and history are no
// longer table files: exit status 1 and the reason, never an abort. And the
// windows' acts that reach the store, each done in the desktop program while
// every store operation fails (through the store's fault point, which only
// this test defines): the program tells the user why in a message and goes
// on; no error reaches the application object. One row per act.
#include "clirun.h"
#include "desktoprun.h"
#include "sending/sendingfixture.h"

#include "message/messagearchive.h"

#include "message/messagedocument.h"
#include "message/widgets/messageeditorview.h"
#include "shell/mainwindow.h"
#include "store/database.h"
#include "ui/messagedialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintPreviewDialog>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <atomic>

using namespace kirvane;

namespace {

// What the failing store says; every message about a failure must carry it.
const char kReason[] = "disk I/O error (a failure put in by the test)";
std::atomic<bool> g_failing{false};
std::atomic<int> g_failures{0};

// The program as the user sees it while a case runs.
struct Desktop {
    shell::MainWindow *form = nullptr;
    QWidget *view(const char *name) const { return form->findChild<QWidget *>(QString::fromLatin1(name)); }
    void trigger(const char *command) const { form->action(QString::fromLatin1(command))->trigger(); }
    QWidget *directory() const { return view("Frame_directory1"); }
    void selectBook(const char *book) const
    {
        auto *list = child<QListWidget>(directory(), "Dir_List");
        const auto found = list->findItems(QString::fromLatin1(book), Qt::MatchExactly);
        if (!found.isEmpty())
            list->setCurrentItem(found.first());
    }
};

// A window's act while the store fails: what is made ready first (the store
// working), the act itself, and how the row answers a window of its own.
struct Case {
    const char *name;
    std::function<void(Desktop &)> before;
    std::function<void(Desktop &)> act;
    std::function<bool(QWidget *)> answer; // true when it handled the window
};

bool nameBook(QWidget *w, const char *window, const char *name)
{
    if (w->objectName() != QLatin1String(window))
        return false;
    if (name)
        child<QLineEdit>(w, "Edit1")->setText(QString::fromLatin1(name));
    child<QPushButton>(w, "Btn_Valider")->click();
    return true;
}

const QList<Case> &cases()
{
    auto showDirectory = [](Desktop &d) {
        d.form->showDirectoryView();
        d.selectBook("clients");
    };
    static const QList<Case> table{
        // Address books.
        {"books: create", showDirectory, [](Desktop &d) { d.trigger("Ajouter1"); },
         [](QWidget *w) { return nameBook(w, "Dialogue_nouvel_annuaire", "members"); }},
    };
    return table;
}

} // namespace

// The store's fault point: while a case acts, every opening, statement and
// step fails as a disk would.
void kirvane::store::faultPoint(const QString &)
{
    if (!g_failing)
        return;
    ++g_failures;
    throw StoreError(kReason);
}

class TstStoreFailures : public QObject {
    Q_OBJECT

    QStringList m_told;
    const Case *m_case = nullptr;

    // Answers what the program shows: the case's own windows, message boxes
    // (read, then Yes or Close), and a print preview (closed).
    void answerWhatShows()
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (!w->isVisible())
                continue;
            if (m_case && m_case->answer(w))
                continue;
            if (auto *box = qobject_cast<ui::MessageDialog *>(w)) {
                m_told << box->text();
                QPushButton *yes = box->findChild<QPushButton *>(QStringLiteral("Btn_Oui"));
                (yes && yes->isVisible() ? yes : box->findChild<QPushButton *>(QStringLiteral("Btn_Fermer")))->click();
            } else if (w->objectName() == QLatin1String("Dialogue_suppression_annuaire")
                       || w->findChild<QPushButton *>(QStringLiteral("Btn_Oui"), Qt::FindDirectChildrenOnly)) {
                w->findChild<QPushButton *>(QStringLiteral("Btn_Oui"))->click();
            } else if (qobject_cast<QPrintPreviewDialog *>(w) || w->objectName() == QLatin1String("PrintPreview")) {
                w->close();
            }
        }
    }

    void drive(const Case &c)
    {
        Desktop d;
        QTRY_VERIFY_WITH_TIMEOUT((d.form = qobject_cast<shell::MainWindow *>(visibleWindow("Form1"))), 30000);
        d.form->applyLanguage(texts::English);
        c.before(d);
        if (QTest::currentTestFailed())
            return;
        m_told.clear();
        g_failures = 0;
        g_failing = true;
        c.act(d);
        QTRY_VERIFY2_WITH_TIMEOUT(!m_told.filter(QLatin1String(kReason)).isEmpty(),
                                  qPrintable(QStringLiteral("store failures %1, told: %2")
                                             .arg(g_failures.load())
                                             .arg(m_told.join(QLatin1String(" | ")))),
                                  10000);
        g_failing = false;
        QVERIFY(g_failures > 0);
        QVERIFY(d.form->isVisible());
    }

private Q_SLOTS:
    void everyCommandTellsTheFailure_data()
    {
        QTest::addColumn<QStringList>("args");
        const QStringList map{QStringLiteral("--map"), QStringLiteral("nom=1")};
        const QList<QPair<const char *, QStringList>> rows{
            {"contact add", {"contact", "add", "clients", "nom=Nouveau"}},
            {"contact delete", {"contact", "delete", "clients", "1"}},
            {"contact show", {"contact", "show", "clients", "1"}},
            {"contact update", {"contact", "update", "clients", "1", "nom=Autre"}},
            {"contact copy", {"contact", "copy", "clients", "prospects", "1"}},
            {"contact move", {"contact", "move", "clients", "prospects", "1"}},
            {"contacts", {"contacts", "clients"}},
            {"export", {"export", "clients", "OUT/export.csv"}},
            {"import", QStringList{"import", "clients", "OUT/in.csv", "--kind", "csv"} + map},
            {"search", {"search", "--book", "clients", "--nom", "Durand"}},
            {"duplicates", {"duplicates", "clients", "--by", "nom"}},
            {"history", {"history"}},
            {"history show", {"history", "show", "1"}},
            {"history delete", {"history", "delete", "1"}},
            {"history resend", {"history", "resend", "1", "OUT/again.MNL"}},
            {"send", {"send", "OUT/letter.MNL"}},
        };
        for (const auto &[name, args] : rows)
            QTest::newRow(name) << args;
    }

    void everyCommandTellsTheFailure()
    {
        QFETCH(QStringList, args);
        DataFolder data;
        data.makeBook(QStringLiteral("clients"), {"Durand|Anne|anne@x.org", "Martin|Paul|paul@x.org"});
        data.makeBook(QStringLiteral("prospects"), {"Zola|Emile|emile@x.org"});
        (void)data.base.history().add({QStringLiteral("Earlier"), QStringLiteral("Text\r\n"), QString(),
                                       QStringLiteral("1"), QString(), QString(), QStringLiteral("clients\r\n")});
        data.writeSettings(1);
        QTemporaryDir out;
        QFile csv(out.filePath(QStringLiteral("in.csv")));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write("Nom\r\nDupont\r\n");
        csv.close();
        message::MessageDocument doc;
        doc.setSubject(QStringLiteral("Letter"));
        doc.setMode(message::ComposeMode::PlainText);
        doc.setPlainText(QStringLiteral("Dear &name&\n"));
        doc.setDestinationBooks({QStringLiteral("clients")});
        QVERIFY(message::writeArchive(doc, out.filePath(QStringLiteral("letter")), message::ArchiveKind::SavedMessage,
                                      QString(), QString()));
        args.replaceInStrings(QStringLiteral("OUT/"), out.path() + u'/');

        // The books and the history are no longer table files.
        for (const QString &table : {common::booksFolder() + QStringLiteral("an_clients.db"),
                                     common::booksFolder() + QStringLiteral("an_prospects.db"),
                                     common::historyFolder() + QStringLiteral("historique.db")}) {
            QFile f(table);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray(4096, 'x'));
        }
        const CliRun r = runCli(data.path(), args);
        QVERIFY2(r.code == 1, qPrintable(QStringLiteral("exit %1: %2").arg(r.code).arg(QString::fromUtf8(r.err))));
        QVERIFY2(r.err.contains("file is not a database"), r.err.constData());
    }

    void everyActTellsTheFailure_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < cases().size(); ++i)
            QTest::newRow(cases()[i].name) << i;
    }

    void everyActTellsTheFailure()
    {
        QFETCH(int, index);
        DataFolder data;
        data.makeBook(QStringLiteral("clients"),
                      {"Durand|Anne|anne@x.org", "Durand|Anne|anne.d@x.org", "Martin|Paul|paul@x.org"});
        data.makeBook(QStringLiteral("prospects"), {"Zola|Emile|emile@x.org"});
        (void)data.base.history().add({QStringLiteral("Earlier"), QStringLiteral("Text\r\n"), QString(),
                                       QStringLiteral("1"), QString(), QString(), QStringLiteral("clients\r\n")});
        data.writeSettings(1);

        m_case = &cases()[index];
        const DesktopRun run = runDesktopDriven(data.path(), [this] { answerWhatShows(); }, [this] {
            drive(*m_case);
            g_failing = false;
        });
        g_failing = false;
        m_case = nullptr;
        QCOMPARE(run.status, 0);
        QCOMPARE(run.escaped, QString());
        QCOMPARE(run.uncaught, QStringList());
    }
};

KIRVANE_DESKTOP_TEST_MAIN(TstStoreFailures)

#include "tst_storefailures.moc"
