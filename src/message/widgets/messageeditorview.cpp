#include "message/widgets/messageeditorview.h"

#include "message/messagearchive.h"
#include "message/messagedocument.h"
#include "message/placeholders.h"
#include "message/preview.h"
#include "message/richformat.h"
#include "message/widgets/bookchooserdialog.h"
#include "ui/dialogparts.h"
#include "message/widgets/finddialog.h"
#include "message/widgets/formattedtextedit.h"
#include "message/widgets/htmlview.h"
#include "message/widgets/previewdialog.h"
#include "message/widgets/rememberedstate.h"
#include "message/widgets/replacedialog.h"
#include "texts/texttable.h"
#include "ui/buttonlook.h"
#include "ui/messagedialog.h"
#include "store/addressbookstore.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QCursor>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontComboBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace kirvane::message {

using namespace kirvane::store;
using namespace kirvane::texts;
using namespace kirvane::ui;

namespace {

// The colour list: the sixteen colours every mail program shows alike.
constexpr QRgb kColours[] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0x808080,
                             0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

QIcon swatch(QRgb rgb)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(QColor::fromRgb(rgb));
    QPainter painter(&pixmap);
    painter.setPen(Qt::gray);
    painter.drawRect(0, 0, 15, 15);
    return QIcon(pixmap);
}

QList<int> selectedRows(const QListWidget *list)
{
    QList<int> rows;
    for (const QModelIndex &index : list->selectionModel()->selectedRows())
        rows << index.row();
    return rows;
}

} // namespace

// The document's questions through the main window's message dialogs.
class MessageEditorView::Questions final : public texts::Asker {
public:
    explicit Questions(MessageEditorView *view) : m_view(view) {}

    Answer ask(DialogKind kind, const QString &text) override { return asker().ask(kind, text); }

private:
    Asker &asker()
    {
        if (m_view->m_commands)
            return m_view->m_commands->asker();
        // A view shown outside the main window asks through dialogs of its own.
        if (!m_own)
            m_own = std::make_unique<DialogAsker>(m_view);
        return *m_own;
    }

    MessageEditorView *m_view;
    std::unique_ptr<DialogAsker> m_own;
};

MessageEditorView::MessageEditorView(AddressBookStore *store, QWidget *parent)
    : MessageViewFrame(parent)
    , m_store(store)
    , m_questions(std::make_unique<Questions>(this))
    , m_document(new MessageDocument(this))
{
    setObjectName(QStringLiteral("Frame_message1"));
    chooseFile = [this](FileChoice choice, const QString &folder) -> QStringList {
        switch (choice) {
        case FileChoice::OpenMessage: {
            const QString path = QFileDialog::getOpenFileName(this, QString(), folder, text(SavedMessagesFilter, m_language));
            return path.isEmpty() ? QStringList() : QStringList(path);
        }
        case FileChoice::SaveMessage: {
            // The view asks its own overwrite question.
            const QString path = QFileDialog::getSaveFileName(this, QString(), folder, text(SavedMessagesFilter, m_language),
                                                              nullptr, QFileDialog::DontConfirmOverwrite);
            return path.isEmpty() ? QStringList() : QStringList(path);
        }
        case FileChoice::ImportText:
        case FileChoice::ImportHtml: {
            const int filter = choice == FileChoice::ImportText ? TextFilesFilter : HtmlFilesFilter;
            const QString path = QFileDialog::getOpenFileName(this, QString(), folder, text(filter, m_language));
            return path.isEmpty() ? QStringList() : QStringList(path);
        }
        case FileChoice::Attach:
            return QFileDialog::getOpenFileNames(this, QString(), folder);
        }
        return {};
    };
    askLinkAddress = [this](const QString &current) -> std::optional<QString> {
        bool ok = false;
        const QString address = QInputDialog::getText(this, text(LinkButton, m_language), text(LinkAddress, m_language),
                                                      QLineEdit::Normal, current, &ok);
        return ok ? std::optional<QString>(address.trimmed()) : std::nullopt;
    };
    buildWidgets();
    connectDocument();
    applyLanguage(French);
    updateLayout();
    refreshLists();
}

MessageEditorView::~MessageEditorView() = default;

void MessageEditorView::buildWidgets()
{
    // Tool bar: formatting tools, insert field, preview.
    auto *bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("ToolBar_message"));
    auto *barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(0, 0, 0, 0);
    buildFormatTools(bar);
    barLayout->addWidget(m_formatTools);
    m_insertField = namedButton("Btn_inserer_champ", bar);
    m_insertField->setFocusPolicy(Qt::NoFocus); // the caret stays where the field goes
    m_fieldMenu = new QMenu(this);
    m_fieldMenu->setObjectName(QStringLiteral("PopupMenu_champs"));
    barLayout->addWidget(m_insertField);
    m_previewButton = namedButton("Btn_visualiser", bar);
    m_previewButton->setFocusPolicy(Qt::NoFocus);
    barLayout->addWidget(m_previewButton);
    barLayout->addStretch();

    // Subject, mode buttons, body.
    m_subjectLabel = new QLabel(this);
    m_subject = new QLineEdit(this);
    m_subject->setObjectName(QStringLiteral("Edit1"));
    m_subjectLabel->setBuddy(m_subject);
    auto *subjectRow = new QHBoxLayout;
    subjectRow->addWidget(m_subjectLabel);
    subjectRow->addWidget(m_subject, 1);

    m_htmlMode = namedButton("btn_HTML", this);
    m_textMode = namedButton("Btn_txt", this);
    m_importText = namedButton("Btn_importertxt", this);
    m_importHtml = namedButton("Btn_importerhtml", this);
    m_showPage = namedButton("Btn_visualiser_html", this);
    m_showSource = namedButton("Btn_modifier_source", this);
    m_modeGroup = new QButtonGroup(this);
    m_pageGroup = new QButtonGroup(this);
    auto *modeRow = new QHBoxLayout;
    for (QPushButton *b : {m_htmlMode, m_textMode, m_importText, m_importHtml}) {
        b->setCheckable(true);
        m_modeGroup->addButton(b);
        modeRow->addWidget(b);
    }
    for (QPushButton *b : {m_showPage, m_showSource}) {
        b->setCheckable(true);
        m_pageGroup->addButton(b);
        modeRow->addWidget(b);
    }
    modeRow->addStretch();

    m_rich = new FormattedTextEdit(this);
    m_rich->setObjectName(QStringLiteral("RichEdit1"));
    m_rich->setDocument(m_document->richText());
    m_plain = new QPlainTextEdit(this);
    m_plain->setObjectName(QStringLiteral("Memo1"));
    m_html = new HtmlView(this);
    m_html->setObjectName(QStringLiteral("WebBrowser1"));
    m_body = new QStackedWidget(this);
    m_body->setObjectName(QStringLiteral("Body"));
    m_body->addWidget(m_rich);
    m_body->addWidget(m_plain);
    m_body->addWidget(m_html);

    auto *left = new QVBoxLayout;
    left->addLayout(subjectRow);
    left->addLayout(modeRow);
    left->addWidget(m_body, 1);

    // The three lists.
    auto *right = new QVBoxLayout;
    auto addList = [this, right](QLabel *&label, QListWidget *&list, const char *listName, QPushButton *&add,
                                 const char *addName, QPushButton *&remove, const char *removeName) {
        label = new QLabel(this);
        list = new QListWidget(this);
        list->setObjectName(QString::fromLatin1(listName));
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        label->setBuddy(list);
        add = namedButton(addName, this);
        remove = namedButton(removeName, this);
        auto *row = new QHBoxLayout;
        row->addWidget(add);
        row->addWidget(remove);
        right->addWidget(label);
        right->addWidget(list, 1);
        right->addLayout(row);
    };
    addList(m_destinationLabel, m_destinations, "ListBox1", m_addDestination, "Btn_Ajouter_annuaire",
            m_removeDestination, "Btn_Supprimer_annuaire");
    addList(m_exclusionLabel, m_exclusions, "ListBox3", m_addExclusion, "Btn_ajouter_liste_noire", m_removeExclusion,
            "Btn_supprimer_liste_noire");
    addList(m_attachmentLabel, m_attachments, "ListBox2", m_attach, "Btn_Joindre_un_fichier", m_removeAttachment,
            "Btn_Supprimer");
    m_attachments->setTextElideMode(Qt::ElideLeft);
    m_attachments->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *rightPanel = new QWidget(this);
    rightPanel->setLayout(right);
    rightPanel->setFixedWidth(240);
    right->setContentsMargins(0, 0, 0, 0);

    auto *main = new QHBoxLayout;
    main->addLayout(left, 1);
    main->addWidget(rightPanel);
    auto *root = new QVBoxLayout(this);
    root->addWidget(bar);
    root->addLayout(main, 1);

    m_findDialog = new FindDialog(this);
    m_replaceDialog = new ReplaceDialog(this);
    m_chooser = new BookChooserDialog(this);
    m_previewDialog = new PreviewDialog(this);
    connect(m_previewDialog, &PreviewDialog::stepRequested, this, &MessageEditorView::showPreviewStep);

    connect(m_htmlMode, &QPushButton::clicked, this, &MessageEditorView::switchToRich);
    connect(m_textMode, &QPushButton::clicked, this, &MessageEditorView::switchToPlain);
    connect(m_importText, &QPushButton::clicked, this, &MessageEditorView::importText);
    connect(m_importHtml, &QPushButton::clicked, this, &MessageEditorView::importHtml);
    connect(m_showPage, &QPushButton::clicked, this, &MessageEditorView::showHtmlPage);
    connect(m_showSource, &QPushButton::clicked, this, &MessageEditorView::showHtmlSource);
    connect(m_attach, &QPushButton::clicked, this, &MessageEditorView::attachFiles);
    connect(m_removeAttachment, &QPushButton::clicked, this, &MessageEditorView::removeAttachments);
    connect(m_addDestination, &QPushButton::clicked, this, [this] { addBooks(true); });
    connect(m_removeDestination, &QPushButton::clicked, this, [this] { removeBooks(true); });
    connect(m_addExclusion, &QPushButton::clicked, this, [this] { addBooks(false); });
    connect(m_removeExclusion, &QPushButton::clicked, this, [this] { removeBooks(false); });
    connect(m_previewButton, &QPushButton::clicked, this, &MessageEditorView::preview);
    connect(m_insertField, &QPushButton::clicked, this, [this] {
        // The focus is read now: the menu may take it while it is open.
        m_fieldMenu->setProperty("intoSubject", m_subject->hasFocus());
        m_fieldMenu->popup(QCursor::pos());
    });
    connect(m_findDialog, &FindDialog::searchRequested, this, &MessageEditorView::search);
    connect(m_replaceDialog, &ReplaceDialog::replaceRequested, this, &MessageEditorView::replaceOnce);
    connect(m_replaceDialog, &ReplaceDialog::replaceAllRequested, this, &MessageEditorView::replaceAll);
    connect(m_chooser, &QDialog::accepted, this, [this] {
        if (m_chooser->purpose() == BookChooserDialog::Purpose::Destination)
            m_document->addDestinationBooks(m_chooser->chosenBooks());
        else
            m_document->addExclusionBooks(m_chooser->chosenBooks());
    });

    // Formatting shortcuts of the formatted-text editor, beside its own undo
    // (Ctrl+Z) and redo (Ctrl+Shift+Z).
    const auto shortcut = [this](QKeySequence::StandardKey key, QToolButton *button) {
        auto *s = new QShortcut(QKeySequence(key), m_rich, nullptr, nullptr, Qt::WidgetShortcut);
        connect(s, &QShortcut::activated, button, &QToolButton::click);
    };
    shortcut(QKeySequence::Bold, m_bold);
    shortcut(QKeySequence::Italic, m_italic);
    shortcut(QKeySequence::Underline, m_underline);
    auto *link = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_K), m_rich, nullptr, nullptr, Qt::WidgetShortcut);
    connect(link, &QShortcut::activated, this, &MessageEditorView::editLink);
    for (QWidget *editor : {static_cast<QWidget *>(m_rich), static_cast<QWidget *>(m_plain)}) {
        auto *redo = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), editor, nullptr, nullptr,
                                   Qt::WidgetShortcut);
        connect(redo, &QShortcut::activated, editor, [editor] { QMetaObject::invokeMethod(editor, "redo"); });
    }
}

void MessageEditorView::buildFormatTools(QWidget *bar)
{
    m_formatTools = new QWidget(bar);
    m_formatTools->setObjectName(QStringLiteral("Formatting"));
    auto *layout = new QHBoxLayout(m_formatTools);
    layout->setContentsMargins(0, 0, 0, 0);
    const auto styleButton = [this, layout](const char *name, const char *caption, CharStyle style) {
        auto *b = new QToolButton(m_formatTools);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(QString::fromLatin1(caption));
        b->setCheckable(true);
        b->setFocusPolicy(Qt::NoFocus);
        QFont f = b->font();
        f.setBold(style == CharStyle::Bold);
        f.setItalic(style == CharStyle::Italic);
        f.setUnderline(style == CharStyle::Underline);
        b->setFont(f);
        connect(b, &QToolButton::clicked, this, [this, style] {
            QTextCursor cursor = m_rich->textCursor();
            toggleStyle(cursor, style);
            m_rich->setTextCursor(cursor);
            refreshFormatTools();
        });
        layout->addWidget(b);
        return b;
    };
    m_bold = styleButton("Btn_gras", "G", CharStyle::Bold);
    m_italic = styleButton("Btn_italique", "I", CharStyle::Italic);
    m_underline = styleButton("Btn_souligne", "S", CharStyle::Underline);
    m_link = new QToolButton(m_formatTools);
    m_link->setObjectName(QStringLiteral("Btn_lien"));
    m_link->setFocusPolicy(Qt::NoFocus);
    m_link->setIcon(QIcon::fromTheme(QStringLiteral("insert-link")));
    m_link->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(m_link, &QToolButton::clicked, this, &MessageEditorView::editLink);
    layout->addWidget(m_link);

    m_font = new QFontComboBox(m_formatTools);
    m_font->setObjectName(QStringLiteral("FontName"));
    m_font->setFocusPolicy(Qt::ClickFocus);
    m_font->setCurrentFont(QFont(defaultFontFamily()));
    m_size = new QSpinBox(m_formatTools);
    m_size->setObjectName(QStringLiteral("FontSize"));
    m_size->setRange(1, 96);
    m_size->setValue(10);
    m_colour = new QComboBox(m_formatTools);
    m_colour->setObjectName(QStringLiteral("ColorBox"));
    for (QRgb rgb : kColours) {
        m_colour->addItem(swatch(rgb), QString(), QVariant::fromValue(rgb));
        m_colour->setItemData(m_colour->count() - 1, QColor::fromRgb(rgb).name(), Qt::ToolTipRole);
    }
    layout->addWidget(m_font);
    layout->addWidget(m_size);
    layout->addWidget(m_colour);

    connect(m_font, &QFontComboBox::currentFontChanged, this, [this](const QFont &font) {
        applyCharFormat([&font](QTextCharFormat &f) { f.setFontFamilies({font.family()}); });
    });
    connect(m_size, &QSpinBox::valueChanged, this,
            [this](int size) { applyCharFormat([size](QTextCharFormat &f) { f.setFontPointSize(size); }); });
    connect(m_colour, &QComboBox::activated, this, [this](int index) {
        const QColor colour = QColor::fromRgb(m_colour->itemData(index).value<QRgb>());
        applyCharFormat([&colour](QTextCharFormat &f) { f.setForeground(colour); });
    });
}

void MessageEditorView::connectDocument()
{
    MessageDocument *doc = m_document;
    connect(m_subject, &QLineEdit::textChanged, doc, &MessageDocument::setSubject);
    connect(doc, &MessageDocument::subjectChanged, this, [this](const QString &subject) {
        if (m_subject->text() != subject)
            m_subject->setText(subject);
    });
    connect(m_plain, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_syncing)
            m_document->setPlainText(m_plain->toPlainText());
    });
    connect(doc, &MessageDocument::plainTextChanged, this, [this] {
        if (m_plain->toPlainText() == m_document->plainText())
            return;
        m_syncing = true;
        m_plain->setPlainText(m_document->plainText());
        m_syncing = false;
    });
    connect(doc, &MessageDocument::listsChanged, this, &MessageEditorView::refreshLists);
    connect(doc, &MessageDocument::modeChanged, this, &MessageEditorView::updateLayout);
    connect(doc, &MessageDocument::shownPageChanged, m_html, &HtmlView::showFile);
    connect(m_rich, &QTextEdit::currentCharFormatChanged, this, &MessageEditorView::refreshFormatTools);
}

void MessageEditorView::connectCommands(Commands &commands)
{
    m_commands = &commands;
    commands.provide(QStringLiteral("Nouveau1"), [this] { newMessage(); });
    commands.provide(QStringLiteral("Charger1"), [this] { openMessage(); });
    commands.provide(QStringLiteral("Enregistrer1"), [this] { saveMessage(); });
}

void MessageEditorView::applyLanguage(int language)
{
    m_language = language;
    setActivePlaceholderLanguage(language == French ? PlaceholderLanguage::French : PlaceholderLanguage::English);
    m_subjectLabel->setText(text(MessageSubject, language));
    m_htmlMode->setText(text(ButtonHtml, language));
    m_textMode->setText(text(ButtonText, language));
    m_importText->setText(text(ButtonImportText, language));
    m_importHtml->setText(text(ButtonImportHtml, language));
    m_importHtml->setToolTip(text(ImportHtmlHint, language));
    m_showPage->setText(text(ButtonShowHtml, language));
    m_showSource->setText(text(ButtonModifySource, language));
    m_insertField->setText(text(ButtonInsertField, language));
    m_insertField->setToolTip(text(InsertFieldHint, language));
    m_previewButton->setText(text(ButtonPreview, language));
    m_previewButton->setToolTip(text(PreviewHint, language));
    m_bold->setToolTip(text(BoldHint, language));
    m_italic->setToolTip(text(ItalicHint, language));
    m_underline->setToolTip(text(UnderlineHint, language));
    m_bold->setText(text(BoldButton, language));
    m_italic->setText(text(ItalicButton, language));
    m_underline->setText(text(UnderlineButton, language));
    m_link->setText(text(LinkButton, language));
    m_link->setToolTip(text(LinkHint, language));
    m_destinationLabel->setText(text(RecipientBooksCaption, language));
    m_exclusionLabel->setText(text(ExcludedBooksCaption, language));
    m_attachmentLabel->setText(text(AttachedFiles, language));
    for (QPushButton *add : {m_addDestination, m_addExclusion})
        copyLook(add, ButtonAdd, language);
    for (QPushButton *remove : {m_removeDestination, m_removeExclusion, m_removeAttachment})
        copyLook(remove, ButtonDelete, language);
    copyLook(m_attach, ButtonAttach, language);

    m_fieldMenu->clear();
    const PlaceholderLanguage words = activePlaceholderLanguage();
    const PlaceholderLanguage captions = language == French ? PlaceholderLanguage::French : PlaceholderLanguage::English;
    for (const Placeholder &p : placeholderMenu()) {
        QAction *item = m_fieldMenu->addAction(p.menu(captions));
        const QString word = p.word(words);
        item->setObjectName(word);
        connect(item, &QAction::triggered, this, [this, word] {
            if (m_fieldMenu->property("intoSubject").toBool())
                m_subject->setFocus();
            insertPlaceholder(word);
        });
    }

    m_findDialog->applyLanguage(language);
    m_replaceDialog->applyLanguage(language);
    m_chooser->applyLanguage(language);
    m_previewDialog->applyLanguage(language);
}

// --- state shown ------------------------------------------------------------

void MessageEditorView::updateLayout()
{
    const ComposeMode mode = m_document->mode();
    const bool pageMode = mode == ComposeMode::HtmlFile;
    m_formatTools->setVisible(mode == ComposeMode::RichHtml);
    for (QPushButton *b : {m_htmlMode, m_textMode, m_importText, m_importHtml})
        b->setVisible(!pageMode);
    m_showPage->setVisible(pageMode);
    m_showSource->setVisible(pageMode);
    switch (m_document->shownEditor()) {
    case ShownEditor::Rich: m_body->setCurrentWidget(m_rich); break;
    case ShownEditor::Plain: m_body->setCurrentWidget(m_plain); break;
    case ShownEditor::None: m_body->setCurrentWidget(m_html); break;
    }
    // The insert-field button goes with the source of a page, not its picture.
    m_insertField->setVisible(m_document->shownEditor() != ShownEditor::None);
    syncModeButtons();
}

void MessageEditorView::syncModeButtons()
{
    switch (m_document->mode()) {
    case ComposeMode::RichHtml: m_htmlMode->setChecked(true); break;
    case ComposeMode::PlainText: m_textMode->setChecked(true); break;
    case ComposeMode::HtmlFile:
        (m_document->htmlSourceShown() ? m_showSource : m_showPage)->setChecked(true);
        break;
    }
}

void MessageEditorView::refreshLists()
{
    const auto fill = [](QListWidget *list, const QStringList &items) {
        list->clear();
        list->addItems(items);
    };
    fill(m_destinations, m_document->destinationBooks());
    fill(m_exclusions, m_document->exclusionBooks());
    fill(m_attachments, m_document->attachments());
    // A path is long: its end (the file's name) is what tells entries apart.
    for (int row = 0; row < m_attachments->count(); ++row)
        m_attachments->item(row)->setToolTip(m_attachments->item(row)->text());
}

void MessageEditorView::refreshFormatTools()
{
    const QTextCursor cursor = m_rich->textCursor();
    const QTextCharFormat f = m_rich->currentCharFormat();
    const CharAttributes a = charAttributes(*m_rich->document(), f);
    const QSignalBlocker b1(m_font), b2(m_size), b3(m_colour);
    m_bold->setChecked(selectionHasStyle(cursor, CharStyle::Bold));
    m_italic->setChecked(selectionHasStyle(cursor, CharStyle::Italic));
    m_underline->setChecked(selectionHasStyle(cursor, CharStyle::Underline));
    if (!a.family.isEmpty())
        m_font->setCurrentFont(QFont(a.family));
    if (a.pointSize > 0)
        m_size->setValue(qRound(a.pointSize));
    const int colour = m_colour->findData(QVariant::fromValue(a.colour & 0xFFFFFF));
    m_colour->setCurrentIndex(colour);
}

void MessageEditorView::applyCharFormat(const std::function<void(QTextCharFormat &)> &change)
{
    QTextCharFormat f;
    change(f);
    m_rich->mergeCurrentCharFormat(f);
    m_rich->setFocus();
}

// --- MessageViewFrame ---------------------------------------------------------

void MessageEditorView::reset() { m_document->clear(); }

bool MessageEditorView::messageEmpty() const { return !m_document->holdsText(); }

QWidget *MessageEditorView::visibleEditor() const
{
    switch (m_document->shownEditor()) {
    case ShownEditor::Rich: return m_rich;
    case ShownEditor::Plain: return m_plain;
    case ShownEditor::None: break;
    }
    return nullptr;
}

QString MessageEditorView::findText() const { return m_findReplace.lastText(); }

void MessageEditorView::openFindDialog() { m_findDialog->open(); }

void MessageEditorView::openReplaceDialog() { m_replaceDialog->open(); }

// --- commands -----------------------------------------------------------------

void MessageEditorView::newMessage() { m_document->newMessage(*m_questions); }

void MessageEditorView::openMessage()
{
    if (!confirmOpen(*m_document, *m_questions))
        return;
    const QStringList chosen = runChooser(FileChoice::OpenMessage);
    if (!chosen.isEmpty())
        message::openMessage(*m_document, chosen.first(), *m_questions);
}

void MessageEditorView::openMessageFile(const QString &path)
{
    message::openMessage(*m_document, path, *m_questions);
}

bool MessageEditorView::saveMessage()
{
    const QStringList chosen = runChooser(FileChoice::SaveMessage);
    return !chosen.isEmpty() && message::saveMessage(*m_document, chosen.first(), *m_questions);
}

void MessageEditorView::switchToRich()
{
    m_document->switchToRich();
    syncModeButtons();
}

void MessageEditorView::switchToPlain()
{
    m_document->switchToPlain(*m_questions);
    syncModeButtons();
}

void MessageEditorView::importText()
{
    if (m_document->confirmBodyLoss(*m_questions)) {
        const QStringList chosen = runChooser(FileChoice::ImportText);
        if (!chosen.isEmpty())
            m_document->loadTextFile(chosen.first());
    }
    syncModeButtons();
}

void MessageEditorView::importHtml()
{
    if (m_document->confirmBodyLoss(*m_questions)) {
        const QStringList chosen = runChooser(FileChoice::ImportHtml);
        if (!chosen.isEmpty())
            m_document->importHtmlPage(chosen.first(), *m_questions);
    }
    syncModeButtons();
}

void MessageEditorView::showHtmlPage()
{
    m_document->showHtmlPage();
    syncModeButtons();
}

void MessageEditorView::showHtmlSource()
{
    m_document->showHtmlSource();
    syncModeButtons();
}

void MessageEditorView::attachFiles()
{
    const QStringList chosen = runChooser(FileChoice::Attach);
    if (!chosen.isEmpty())
        m_document->attachFiles(chosen, *m_questions);
}

void MessageEditorView::removeAttachments() { m_document->removeAttachments(selectedRows(m_attachments)); }

void MessageEditorView::addBooks(bool destination)
{
    m_chooser->prepare(destination ? BookChooserDialog::Purpose::Destination : BookChooserDialog::Purpose::Exclusion,
                       m_store ? m_store->listBooks() : QStringList());
    m_chooser->open();
}

void MessageEditorView::removeBooks(bool destination)
{
    if (destination)
        m_document->removeDestinationBooks(selectedRows(m_destinations));
    else
        m_document->removeExclusionBooks(selectedRows(m_exclusions));
}

void MessageEditorView::preview()
{
    if (!m_store)
        return;
    if (m_document->destinationBooks().isEmpty()) {
        (void)buildPreview(*m_document, *m_store, *m_questions); // says why there is nothing to show
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_recipients = std::make_unique<PreviewRecipients>(*m_store, m_document->destinationBooks(), *m_questions);
    showPreviewStep(0);
    QApplication::restoreOverrideCursor();
}

void MessageEditorView::showPreviewStep(int step)
{
    if (!m_recipients)
        return;
    if (step > 0)
        (void)m_recipients->next();
    else if (step < 0)
        (void)m_recipients->previous();
    const PreviewPage page = writePreview(*m_document, m_recipients->current());
    if (!page.path.isEmpty())
        m_previewDialog->showPreview(page, m_recipients->position(), m_recipients->count());
}

void MessageEditorView::insertPlaceholder(const QString &word)
{
    if (m_subject->hasFocus())
        m_subject->insert(word);
    else if (m_document->shownEditor() == ShownEditor::Rich)
        m_rich->insertPlainText(word);
    else if (m_document->shownEditor() == ShownEditor::Plain)
        m_plain->insertPlainText(word);
}

// --- find and replace -----------------------------------------------------------

void MessageEditorView::withTarget(const std::function<void(SearchTarget *)> &op)
{
    const auto onEditor = [&op](auto *editor) {
        QTextCursor cursor = editor->textCursor();
        TextDocumentTarget target(editor->document(), &cursor);
        op(&target);
        editor->setTextCursor(cursor);
    };
    if (visibleEditor() == m_rich)
        onEditor(m_rich);
    else if (visibleEditor() == m_plain)
        onEditor(m_plain);
    else
        op(nullptr);
}

void MessageEditorView::search(const QString &text)
{
    FindReplace::Window window = FindReplace::Window::StayOpen;
    withTarget([&](SearchTarget *target) { window = m_findReplace.search(target, text, *m_questions); });
    if (window == FindReplace::Window::Close)
        m_findDialog->accept();
}

void MessageEditorView::replaceOnce(const QString &text, const QString &replacement)
{
    FindReplace::Window window = FindReplace::Window::StayOpen;
    withTarget([&](SearchTarget *target) { window = m_findReplace.replace(target, text, replacement, *m_questions); });
    if (window == FindReplace::Window::Close)
        m_replaceDialog->accept();
}

void MessageEditorView::replaceAll(const QString &text, const QString &replacement)
{
    FindReplace::Window window = FindReplace::Window::StayOpen;
    withTarget([&](SearchTarget *target) {
        window = m_findReplace.replaceEverything(target, text, replacement, *m_questions);
    });
    if (window == FindReplace::Window::Close)
        m_replaceDialog->accept();
}

// --- file choosers --------------------------------------------------------------

QStringList MessageEditorView::runChooser(FileChoice choice)
{
    const QStringList chosen = chooseFile(choice, lastFolder(choice));
    rememberFolder(choice, chosen);
    return chosen;
}

namespace {
// Open and Save share their folder; the two imports share theirs.
QString folderKey(MessageEditorView::FileChoice choice)
{
    switch (choice) {
    case MessageEditorView::FileChoice::OpenMessage:
    case MessageEditorView::FileChoice::SaveMessage: return QStringLiteral("messages_folder");
    case MessageEditorView::FileChoice::ImportText:
    case MessageEditorView::FileChoice::ImportHtml: return QStringLiteral("import_folder");
    case MessageEditorView::FileChoice::Attach: return QStringLiteral("attach_folder");
    }
    return {};
}
} // namespace

QString MessageEditorView::lastFolder(FileChoice choice) const
{
    const QString remembered = remembered::folder(folderKey(choice));
    if (!remembered.isEmpty())
        return remembered;
    const bool messages = choice == FileChoice::OpenMessage || choice == FileChoice::SaveMessage;
    return messages ? savedMessagesFolder() : QString();
}

void MessageEditorView::rememberFolder(FileChoice choice, const QStringList &paths)
{
    if (!paths.isEmpty())
        remembered::setFolderOf(folderKey(choice), paths.first());
}

void MessageEditorView::editLink()
{
    if (m_document->mode() != ComposeMode::RichHtml || !askLinkAddress)
        return;
    QTextCursor cursor = m_rich->textCursor();
    const std::optional<QString> address = askLinkAddress(linkAt(cursor));
    if (!address)
        return;
    setLink(cursor, *address);
    m_rich->setTextCursor(cursor);
    m_rich->setFocus();
}

} // namespace kirvane::message
