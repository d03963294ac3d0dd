// The history view offscreen, found by objectName: the current record shown
// by mode, previous and next, deleting with the question, and Send again
// filling the message view.
#include "common/folders.h"
#include "message/messagedocument.h"
#include "message/widgets/htmlview.h"
#include "message/widgets/messageeditorview.h"
#include "message/richformat.h"
#include "sending/history.h"
#include "sending/widgets/historyframe.h"
#include "store/addressbookstore.h"
#include "store/bookfiles.h"
#include "store/historytable.h"
#include "texts/asker.h"
#include "support/datafolder.h"

#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

using namespace kirvane::common;
using namespace kirvane::sending;
using namespace kirvane::store;
using namespace kirvane::texts;
namespace message = kirvane::message;

class TestHistoryFrame : public QObject {
    Q_OBJECT

    std::unique_ptr<kirvane::test::TestDataFolder> m_data;
    AddressBookStore *m_store = nullptr;
    std::unique_ptr<message::MessageEditorView> m_editor;
    std::unique_ptr<HistoryFrame> m_view;
    ScriptedAsker m_asker;

    template <typename T> T *child(const char *name) const
    {
        T *w = m_view->findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }

private Q_SLOTS:
    void init()
    {
        m_data = std::make_unique<kirvane::test::TestDataFolder>();
        m_store = &m_data->store();
        m_store->history().add({QStringLiteral("Premier"), QStringLiteral("Texte un\r\n"), QString(), QStringLiteral("1"),
                                QString(), QString(), QStringLiteral("clients\r\n")});
        m_store->history().add({QStringLiteral("Second"), QStringLiteral("Texte deux\r\n"), QString(), QStringLiteral("2"),
                                QString(), QStringLiteral("/tmp/f.pdf\r\n"), QStringLiteral("a\r\nb\r\n")});
        m_editor = std::make_unique<message::MessageEditorView>(m_store);
        m_view = std::make_unique<HistoryFrame>(*m_store, m_editor.get());
        m_view->setAsker(&m_asker);
        m_asker.clear();
        m_view->show();
        m_view->openHistory();
    }
    void cleanup()
    {
        m_view.reset();
        m_editor.reset();
        m_store = nullptr;
        m_data.reset();
    }

    void showsAndWalks()
    {
        QCOMPARE(child<QLabel>("Edit_sujet")->text(), QStringLiteral("Premier"));
        QCOMPARE(child<QTextEdit>("Memo_texte")->toPlainText(), QStringLiteral("Texte un\n"));
        QCOMPARE(child<QListView>("DBGrid_historique")->model()->rowCount(), 2);
        m_view->nextMessage();
        QCOMPARE(child<QLabel>("Edit_sujet")->text(), QStringLiteral("Second"));
        QCOMPARE(child<QListWidget>("Lst_annuaires")->count(), 2);
        QCOMPARE(child<QListWidget>("Lst_fichiers")->item(0)->text(), QStringLiteral("/tmp/f.pdf"));
        m_view->nextMessage(); // stays on the last
        QCOMPARE(child<QLabel>("Edit_sujet")->text(), QStringLiteral("Second"));
        m_view->previousMessage();
        QCOMPARE(child<QLabel>("Edit_sujet")->text(), QStringLiteral("Premier"));
    }

    // The list shows the subjects, as read from what the view paints at each
    // row, after the first reading of the history and after a reread.
    void listShowsSubjects()
    {
        auto *list = child<QListView>("DBGrid_historique");
        auto shown = [list] {
            QStringList texts;
            for (int y = 2; y < list->viewport()->height(); ++y) {
                const QModelIndex i = list->indexAt(QPoint(4, y));
                if (i.isValid() && (texts.isEmpty() || texts.last() != i.data().toString()))
                    texts << i.data().toString();
            }
            return texts;
        };
        QCOMPARE(shown(), QStringList({QStringLiteral("Premier"), QStringLiteral("Second")}));
        m_store->history().add({QStringLiteral("Troisième"), QString(), QString(), QStringLiteral("2"), QString(),
                                QString(), QString()});
        m_view->openHistory();
        QCOMPARE(shown(), QStringList({QStringLiteral("Premier"), QStringLiteral("Second"), QStringLiteral("Troisième")}));
    }

    void deletesTheSelectionAfterTheQuestion()
    {
        m_view->nextMessage(); // "Second" selected
        m_asker.answerNext(Answer::Yes);
        m_view->deleteSelected();
        QCOMPARE(m_asker.questions().size(), size_t(1));
        QCOMPARE(child<QListView>("DBGrid_historique")->model()->rowCount(), 1);
        QCOMPARE(child<QLabel>("Edit_sujet")->text(), QStringLiteral("Premier"));
    }

    // A formatted message keeps its formatting and its links in the history:
    // the view shows them, and Send again brings them back to the editor.
    void formattingSurvivesTheHistory()
    {
        message::MessageDocument doc;
        doc.setSubject(QStringLiteral("Formatted"));
        doc.setDestinationBooks({QStringLiteral("clients")});
        QTextCursor c(doc.richText());
        c.insertText(QStringLiteral("Plain "), message::defaultCharFormat());
        QTextCharFormat bold = message::defaultCharFormat();
        bold.setFontWeight(QFont::Bold);
        c.insertText(QStringLiteral("bold"), bold);
        c.insertText(QStringLiteral(" and "), message::defaultCharFormat());
        c.insertText(QStringLiteral("a link"), message::defaultCharFormat());
        c.setPosition(int(doc.richText()->toPlainText().indexOf(QStringLiteral("a link"))));
        c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        message::setLink(c, QStringLiteral("https://example.org/"));
        QVERIFY(kirvane::sending::writeHistoryRecord(*m_store, doc) > 0);
        m_view->openHistory();
        m_view->nextMessage();
        m_view->nextMessage();
        QCOMPARE(child<QLabel>("Edit_sujet")->text(), QStringLiteral("Formatted"));

        // What each word of a document looks like: weight and link address.
        auto look = [](QTextDocument *d, const QString &word) {
            QTextCursor at(d);
            at.setPosition(int(d->toPlainText().indexOf(word)) + 1);
            return std::pair{at.charFormat().fontWeight() > QFont::Medium, at.charFormat().anchorHref()};
        };
        QTextDocument *shown = child<QTextEdit>("Memo_texte")->document();
        QCOMPARE(shown->toPlainText(), QStringLiteral("Plain bold and a link"));
        QCOMPARE(look(shown, QStringLiteral("Plain")), std::pair(false, QString()));
        QCOMPARE(look(shown, QStringLiteral("bold")), std::pair(true, QString()));
        QCOMPARE(look(shown, QStringLiteral("link")), std::pair(false, QStringLiteral("https://example.org/")));

        m_view->sendAgain();
        QTextDocument *again = m_editor->document().richText();
        QCOMPARE(m_editor->document().mode(), message::ComposeMode::RichHtml);
        QCOMPARE(again->toPlainText(), QStringLiteral("Plain bold and a link"));
        QCOMPARE(look(again, QStringLiteral("bold")), std::pair(true, QString()));
        QCOMPARE(look(again, QStringLiteral("link")), std::pair(false, QStringLiteral("https://example.org/")));
    }

    void sendAgainFillsTheMessageView()
    {
        m_view->nextMessage();
        m_view->sendAgain();
        const message::MessageDocument &doc = m_editor->document();
        QCOMPARE(doc.subject(), QStringLiteral("Second"));
        QCOMPARE(doc.mode(), message::ComposeMode::PlainText);
        QCOMPARE(doc.plainText(), QStringLiteral("Texte deux"));
        QCOMPARE(doc.destinationBooks(), QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    }
};

int main(int argc, char *argv[])
{
    qunsetenv("DISPLAY");
    message::HtmlView::prepareProcess();
    QApplication app(argc, argv);
    TestHistoryFrame test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_historyframe.moc"
