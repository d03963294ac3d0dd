// Times the contacts view on a generated book: choosing the book until the
// grid has painted its first rows, beside the store's own open of the book;
// then scrolling the grid to the last row.
#include "common/folders.h"
#include "contacts/bookmanager.h"
#include "contacts/widgets/contactsview.h"
#include "shell/mainwindow.h"
#include "store/addressbookstore.h"
#include "store/booktablemodel.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kirvane;
using namespace kirvane::store;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    common::setDataFolder(dir.path());
    QString error;
    if (!BookFiles::ensureDataFolder(common::dataFolder(), &error))
        return 1;
    AddressBookStore store;
    store.initDataFolder();
    (void)contacts::BookManager(store).create(QStringLiteral("big"), {});
    std::vector<ContactRecord> rows;
    rows.reserve(n);
    for (int i = 0; i < n; ++i) {
        ContactRecord c = emptyContact();
        c[F_nom].value = QStringLiteral("Name%1").arg((i * 7919) % n, 6, 10, QLatin1Char('0'));
        c[F_prenom].value = QStringLiteral("First%1").arg(i % 97);
        c[F_email].value = QStringLiteral("c%1@example.org").arg(i);
        rows.push_back(std::move(c));
    }
    store.contacts().saveContacts(rows, QStringLiteral("big"));

    auto *view = new contacts::ContactsView(&store);
    shell::MainViews views;
    views.contact = view;
    texts::ScriptedAsker asker;
    shell::MainWindow form(&store, views, &asker);
    form.resize(1000, 640);
    form.show();
    QCoreApplication::processEvents();
    auto *grid = view->findChild<QTableView *>(QStringLiteral("DBGrid1"));

    const auto best = [](auto work) {
        double fastest = 1e9;
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer t;
            t.start();
            work();
            fastest = std::min(fastest, t.nsecsElapsed() / 1e6);
        }
        return fastest;
    };
    const double storeOpen = best([&] { (void)store.openBook(QStringLiteral("big")); });
    const double choose = best([&] {
        form.showContactsView();
        view->chooseBook(QStringLiteral("big"));
        (void)grid->grab(); // paints the visible rows, reading them
    });
    QElapsedTimer t;
    t.start();
    grid->scrollToBottom();
    (void)grid->grab();
    const double toEnd = t.nsecsElapsed() / 1e6;
    const QString last = grid->model()->index(grid->model()->rowCount() - 1, BookTableModel::kDisplayNameColumn).data().toString();

    std::printf("contacts view, %d contacts (best of 3)\n", n);
    std::printf("%-48s %8.1f ms\n", "store: open the book", storeOpen);
    std::printf("%-48s %8.1f ms   ratio %5.2fx\n", "view: choose the book, first rows painted", choose, choose / storeOpen);
    std::printf("%-48s %8.1f ms   (last row: %s)\n", "view: scroll to the last row, painted", toEnd, qPrintable(last));
    return 0;
}
