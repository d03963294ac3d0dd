#include "sending/widgets/historyframe.h"


#include "common/folders.h"
#include "message/textlines.h"
#include "ui/dialogparts.h"
#include "message/widgets/htmlview.h"
#include "message/widgets/messageeditorview.h"
#include "store/addressbookstore.h"
#include "store/rowtablemodel.h"
#include "texts/texttable.h"
#include "ui/messagedialog.h"
#include "ui/textformat.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QTextEdit>
#include <QVBoxLayout>

namespace kirvane::sending {

namespace {

// The subjects column of the history table.
constexpr int kSubjectColumn = 1;

} // namespace

HistoryFrame::HistoryFrame(store::AddressBookStore &store, message::MessageEditorView *editor, QWidget *parent)
    : ui::HistoryViewFrame(parent), m_store(store), m_editor(editor), m_browser(store)
{
    m_listCaption = ui::namedLabel("Label_liste_sujets", this);
    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("DBGrid_historique"));
    m_list->setModel(m_store.historyModel());
    // A list view ignores a column the model does not have yet: the history is
    // read later, so the column is set again each time it is (re)read.
    connect(m_store.historyModel(), &QAbstractItemModel::modelReset, m_list,
            [this] { m_list->setModelColumn(kSubjectColumn); });
    m_list->setModelColumn(kSubjectColumn);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(m_list, &QListView::clicked, this, [this](const QModelIndex &i) {
        m_browser.setCurrentRow(i.row());
        showCurrent();
    });
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex &i) {
        if (i.isValid() && i.row() != m_browser.currentRow()) {
            m_browser.setCurrentRow(i.row());
            showCurrent();
        }
    });

    m_subjectCaption = ui::namedLabel("Label_sujet", this);
    m_subject = ui::namedLabel("Edit_sujet", this);
    m_subject->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_dateCaption = ui::namedLabel("Label_date", this);
    m_date = ui::namedLabel("Edit_date", this);
    m_booksCaption = ui::namedLabel("Label_annuaires", this);
    m_books = new QListWidget(this);
    m_books->setObjectName(QStringLiteral("Lst_annuaires"));
    m_filesCaption = ui::namedLabel("Label_fichiers", this);
    m_files = new QListWidget(this);
    m_files->setObjectName(QStringLiteral("Lst_fichiers"));
    m_refusedCaption = ui::namedLabel("Label_refuses", this);
    m_refused = new QListWidget(this);
    m_refused->setObjectName(QStringLiteral("Lst_refuses"));
    m_refusedCaption->hide();
    m_refused->hide();
    m_textCaption = ui::namedLabel("Label_texte", this);
    m_text = new QTextEdit(this);
    m_text->setObjectName(QStringLiteral("Memo_texte"));
    m_text->setReadOnly(true);
    m_page = new message::HtmlView(this);
    m_page->setObjectName(QStringLiteral("WebBrowser1"));
    m_page->hide();

    auto *left = new QVBoxLayout;
    left->addWidget(m_listCaption);
    left->addWidget(m_list, 1);
    auto *fields = new QGridLayout;
    fields->addWidget(m_subjectCaption, 0, 0);
    fields->addWidget(m_subject, 0, 1);
    fields->addWidget(m_dateCaption, 1, 0);
    fields->addWidget(m_date, 1, 1);
    fields->setColumnStretch(1, 1);
    auto *lists = new QHBoxLayout;
    auto *booksBox = new QVBoxLayout;
    booksBox->addWidget(m_booksCaption);
    booksBox->addWidget(m_books);
    auto *filesBox = new QVBoxLayout;
    filesBox->addWidget(m_filesCaption);
    filesBox->addWidget(m_files);
    lists->addLayout(booksBox);
    lists->addLayout(filesBox);
    auto *right = new QVBoxLayout;
    right->addLayout(fields);
    right->addLayout(lists);
    right->addWidget(m_refusedCaption);
    right->addWidget(m_refused);
    right->addWidget(m_textCaption);
    right->addWidget(m_text, 1);
    right->addWidget(m_page, 1);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 2);
    applyLanguage(texts::French);
}

void HistoryFrame::connectCommands(ui::Commands &commands)
{
    m_commands = &commands;
    commands.provide(QStringLiteral("Prcedent1"), [this] { previousMessage(); });
    commands.provide(QStringLiteral("Suivant1"), [this] { nextMessage(); });
    commands.provide(QStringLiteral("btn_supprimer"), [this] { deleteSelected(); });
    commands.provide(QStringLiteral("Remmettre1"), [this] { sendAgain(); });
}

void HistoryFrame::applyLanguage(int language)
{
    using namespace texts;
    m_listCaption->setText(text(SubjectsList, language));
    m_subjectCaption->setText(text(HistorySubject, language));
    m_dateCaption->setText(text(HistoryDate, language));
    m_booksCaption->setText(text(RecipientBooksCaption, language));
    m_filesCaption->setText(text(AttachedFiles, language));
    m_textCaption->setText(text(ButtonText, language));
    m_refusedCaption->setText(texts::text(texts::RefusedHeading));
}

texts::Asker &HistoryFrame::asker()
{
    if (m_commands)
        return m_commands->asker();
    if (m_asker)
        return *m_asker;
    if (!m_ownAsker)
        m_ownAsker = std::make_unique<ui::DialogAsker>(this);
    return *m_ownAsker;
}

void HistoryFrame::openHistory()
{
    (void)m_browser.reload(asker());
    selectCurrent();
    showCurrent();
    m_list->setFocus();
}

void HistoryFrame::selectCurrent()
{
    if (m_browser.count() == 0)
        return;
    const QModelIndex i = m_store.historyModel()->index(m_browser.currentRow(), kSubjectColumn);
    m_list->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect);
}

void HistoryFrame::showCurrent()
{
    const HistoryEntry e = m_browser.current();
    m_subject->setText(e.subject);
    m_date->setText(e.date);
    m_books->clear();
    m_books->addItems(e.books);
    m_files->clear();
    m_files->addItems(e.attachments);
    m_refused->clear();
    m_refused->addItems(e.refused);
    m_refused->setVisible(!e.refused.isEmpty());
    m_refusedCaption->setVisible(!e.refused.isEmpty());
    if (e.mode == 3) {
        m_text->hide();
        m_page->show();
        m_page->showFile(e.keptPage());
        return;
    }
    m_page->hide();
    m_text->show();
    ui::resetTextFormatting(m_text);
    if (e.mode != 1 || !e.loadFormattedText(m_text->document()))
        m_text->setPlainText(e.body);
    if (e.id == 0) {
        // No record: the empty page, as after deleting the last one.
        m_text->hide();
        m_page->show();
        const QString blank = common::tempFolder() + QStringLiteral("vierge.htm");
        message::writeLinesFile(blank, {QStringLiteral("<HTML>"), QStringLiteral("<BODY>"), QStringLiteral("</BODY>"),
                                        QStringLiteral("</HTML>")});
        m_page->showFile(blank);
    }
}

void HistoryFrame::previousMessage()
{
    if (m_browser.previous()) {
        selectCurrent();
        showCurrent();
    }
}

void HistoryFrame::nextMessage()
{
    if (m_browser.next()) {
        selectCurrent();
        showCurrent();
    }
}

void HistoryFrame::deleteSelected()
{
    QList<int> rows;
    for (const QModelIndex &i : m_list->selectionModel()->selectedIndexes())
        if (!rows.contains(i.row()))
            rows << i.row();
    const HistoryBrowser::Deletion d = m_browser.deleteRows(rows, asker());
    if (!d.done)
        return;
    if (!d.foldersLeft.isEmpty())
        asker().inform(texts::text(texts::HistoryFoldersLeft) + u'\n' + d.foldersLeft.join(u'\n'));
    selectCurrent();
    showCurrent();
}

void HistoryFrame::sendAgain()
{
    if (!m_editor || m_browser.count() == 0)
        return;
    m_browser.sendAgain(m_browser.currentRow(), m_editor->document(), asker());
    if (m_commands)
        m_commands->showView(3);
}

} // namespace kirvane::sending
