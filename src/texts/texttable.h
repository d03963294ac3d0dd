#pragma once
// The interface text table: 412 numbered entries, each a French text and an
// English text. Windows are designed with the French texts; at start-up the
// active language, English, is applied to every window from this table, so the
// number of an entry and the language index alone decide what is shown.
//
// Where to find a window's texts (entry numbers):
// 0-17, 20: Duplicate removal window DuplicatesWindow (the criteria and column titles also
//     serve the contact search, the contacts view and the mapping choices).
// 18-19, 21-22: Titles dialog TitlesDialog (its caption "Liste des titres" stays as
//     written and is not in the table); dialog about deleted destination books.
// 23-28: Find dialog FindDialog ("Chercher" is also a label of the replace dialog);
//     buttons of every dialog.
// 29-35: Interrupted sends: list InterruptedSendsWindow, its deletion question, later-send
//     name LaterNameDialog, already-exists question; the Close button.
// 36-55: Connection settings window SettingsWindow.
// 56-59: The two duplicate questions of a contact: DialogKind::SameContactName and
//     SameContactEmail.
// 60-66: The two dialogs of the connection settings (Yes/No question, notices); read-only
//     contact notice; book copy BookNameDialog; contact deletion.
// 67-86: Import wizard ImportWizard.
// 87-98: Column mapping dialog ColumnChoiceDialog; its choices (mappingChoices()) also
//     label the insert-field menu and the contacts view.
// 99-103: The four CSV error dialogs of the import and the import OK dialog.
// 104-105: Pause window PauseWindow.
// 106-109: Replace dialog ReplaceDialog.
// 110-119: Book dialogs: new book FieldLabelsDialog, rename BookNameDialog, rename fields
//     FieldLabelsDialog, rename notice, the selection notices of a book and of a contact,
//     subscribers-book notice, book deletion DeleteBookDialog.
// 120-123, 127-134: Synchronisation: its failure notices; question, OK dialog and window
//     SyncDialog.
// 135-143: Sending dialog SendingDialog and its OK dialog: caption, button, log lines,
//     messages.
// 144-146: Message viewer PreviewDialog; about box AboutDialog.
// 147-186: Tool-bar frame ToolBarFrame: the view buttons (caption, hint), the hints of the
//     tool-bar buttons in tool-bar order, the captions of tool-bar buttons.
// 187-215: Message view MessageEditorView: labels, buttons, hints, its questions and notices,
//     the captions of the book chooser BookChooserDialog.
// 216-232: Placeholders of the message view, in the order of the insert-field menu
//     (placeholders()).
// 233-237: Main window MainWindow: the five texts of its own dialogs.
// 252-258: Contacts view ContactsView (its other labels are the field names above).
// 259-267: Address-books view DirectoryView.
// 268-273: History view HistoryFrame.
// 274-275: Contact search window SearchWindow.
// 284-318: Menus of the main window: menu titles and the items of MainMenu1 to MainMenu4.
// 327-331: Import wizard ImportWizard: the xlsx, ods and vCard kinds, the counts
//     told at the end of an import.
// 332: Caption of the error dialog.
// 333-339: Import wizard ImportWizard: the counts of rows whose address the book
//     already held, the choice of what becomes of them, the file chooser's filter of every kind.
// 340-348: Sending run: a stopped run that cannot be saved, the confirmation before a run and
//     its figures on the command line, the end of a stopped run, a refused sender, the columns of
//     the stopped runs' list, the pause countdown, the test send to oneself.
// 349-365: Import: what the readers say of a file they refuse or of its records they refuse,
//     where those records stand; the export's note on control characters.
// 366-394: Texts of this program's own: the settings window's examples and unit, the message
//     view's file filters, the damaged-book and history folders-left notices, the about box's
//     publisher, the export's file filter, the formatting and link buttons, the preview's heading.
// 238-244: Sending run: log lines of refused recipients and invalid addresses, the end-of-run
//     counts, the settings file not written, a run a crash cut short, its history not written.
// 319-326, 245-249, 276-280: Settings window SettingsWindow, its security and headers
//     tab: the tab's caption and labels, then the refusals of its checks (its group titles,
//     login, password and port labels are entries 43-46, 50 and 51).
// 124-126, 250: Address-books view DirectoryView: a book name that is empty, holds a
//     line break, or holds "..", and a book file whose name is not UTF-8.
// 281-283: Settings that cannot be read or saved: an unreadable file, a control character,
//     a port out of range.
// 395-396: Start-up: the notice of a data folder brought across from the earlier table
//     format, and of a table that could not be.
// 397: Import wizard ImportWizard: an import the user cancelled.
// 398-406: A store that fails under an act: a contact not saved, read or printed,
//     contacts not deleted, copied or moved, a book whose contacts cannot be counted,
//     the history not read or its messages not deleted.
// 411: kirvane-cli send and resume: the end of a stopped run and the command that resumes it.
// 251: not used (empty in both languages).
//
// Shared entries: buttons Valider/Ok 25, Annuler/Cancel 26, Oui/Yes 27,
// Non/No 28, Fermer/Close 35, Ajouter/Add 18, Supprimer/Delete 19,
// Envoyer/Send 30, Enregistrer/Save 55, Importer/Import 82, Précedent/Previous
// 83, Suivant/Next 84; the field names Nom, Prénom, Société, Email, Champ 1 to 4
// (6-13) and the other mapping choices (88-98) label the contacts view, the
// search and duplicate windows and the insert-field menu; Annuaire/Directory
// 20 is also the printed heading and a search column.
//
// A text of several lines is stored as its lines joined by LF CR ("\n\r", line
// feed first). A few texts carry a CR LF of their own (the save questions of
// the main window, the attribute-loss and empty-subject questions); they are
// kept exactly as written. text() returns the stored form; displayLines()
// (shell/ui/bilingual.h) turns either separator into plain line feeds for a
// widget.
//
// Texts that stay as written whatever the language are not in the table: the
// error codes (shell/errorcodes.h), the caption "Liste des titres" of the
// titles dialog and the keywords of subscription messages.
//
// Qt Core only, so that the command line and tests can use it too.

#include <QString>
#include <QStringList>
#include <QStringView>

#include <span>

namespace kirvane::texts {

inline constexpr int EntryCount = 412;

// Language indexes.
inline constexpr int French = 1;
inline constexpr int English = 2;

// The language every window shows. A constant: no command, setting or file
// changes it.
inline constexpr int ActiveLanguage = English;

// Joins the lines of a multi-line entry.
inline constexpr QStringView LineSeparator = u"\n\r";

// Entry numbers by name. Some names stand for the same entry as another one
// (a menu item and a button with the same texts).
enum Entry : int {
    DuplicatesCaption = 0,
    BooksListHeading = 1,
    DuplicatesInProgress = 2,
    NoResultFound = 3,
    SelectAllHint = 4,
    UnselectAllHint = 5,
    FieldName = 6,
    FieldFirstName = 7,
    FieldCompany = 8,
    FieldEmail = 9,
    FieldFree1 = 10,
    FieldFree2 = 11,
    FieldFree3 = 12,
    FieldFree4 = 13,
    RemoveThisContact = 14,
    RemoveOtherOccurrences = 15,
    OpenSelectedContactHint = 16,
    AskEraseSearch = 17,
    ButtonAdd = 18,
    ButtonDelete = 19,
    BookColumn = 20,
    InformationCaption = 21,
    DeletedDestinationBooks = 22,
    SearchCaption = 23,
    SearchLabel = 24,
    ButtonOk = 25,
    ButtonCancel = 26,
    ButtonYes = 27,
    ButtonNo = 28,
    InterruptedListCaption = 29,
    ButtonSend = 30,
    AskDeleteInterruptedSend = 31,
    LaterSendName = 32,
    InterruptedNameExists = 33,
    AskReplaceInterrupted = 34,
    ButtonClose = 35,
    SettingsCaption = 36,
    SettingsTabEmail = 37,
    SettingsTabProxy = 38,
    SettingsTabAdvanced = 39,
    SettingsSenderName = 40,
    SettingsSenderAddress = 41,
    SettingsRedirection = 42,
    SettingsPopServer = 43,
    SettingsSmtpServer = 44,
    SettingsLogin = 45,
    SettingsPassword = 46,
    SettingsUseProxy = 47,
    SettingsProxySmtp = 48,
    SettingsProxyPop = 49,
    SettingsSmtpPort = 50,
    SettingsPopPort = 51,
    SettingsPackets = 52,
    SettingsPacketSize = 53,
    SettingsPacketPause = 54,
    ButtonSave = 55,
    ContactNameExists = 56,
    DuplicateRiskCaption = 57,
    AskSaveAnyway = 58,
    ContactEmailExists = 59,
    AskSaveSettings = 60,
    SenderAddressIncorrect = 61,
    SenderNameEmpty = 62,
    ContactNotEditable = 63,
    CopyBookCaption = 64,
    CopyBookName = 65,
    AskDeleteContacts = 66,
    ImportCaption = 67,
    ImportPage1 = 68,
    ImportFileType = 69,
    ImportKindWab = 70,
    ImportKindAccess = 71,
    ImportKindExcel = 72,
    ImportKindLotus = 73,
    ImportKindParadox = 74,
    ImportKindCsv = 75,
    ImportKindDbase = 76,
    ImportCsvNote = 77,
    ImportPage2 = 78,
    ImportSourceFile = 79,
    ImportTable = 80,
    ImportBadFormat = 81,
    ButtonImport = 82,
    ButtonPrevious = 83,
    ButtonNext = 84,
    ImportClickHere = 85,
    ImportIgnoreFirstLine = 86,
    MappingCaption = 87,
    FieldUnused = 88,
    FieldAddress1 = 89,
    FieldAddress2 = 90,
    FieldTitle = 91,
    FieldZipCode = 92,
    FieldComment = 93,
    FieldFax = 94,
    FieldCountry = 95,
    FieldPhone = 96,
    FieldUrl = 97,
    FieldCity = 98,
    CsvFieldsNotIdentified = 99,
    CsvNoFieldUsed = 100,
    CsvFieldTwice = 101,
    CsvNoRecord = 102,
    ImportError = 103,
    PauseText = 104,
    PauseStopAndSave = 105,
    ReplaceCaption = 106,
    ReplaceBy = 107,
    ReplaceAll = 108,
    FillBothFields = 109,
    NewBookCaption = 110,
    NewBookName = 111,
    NewBookFields = 112,
    RenameBookName = 113,
    RenameFieldsText = 114,
    BookNameInUse = 115,
    SelectABook = 116,
    SelectAContact = 117,
    SubscribersUndeletable = 118,
    AskDeleteBook = 119,
    SyncLoginRefused = 120,
    SyncForwardFailed = 121,
    SyncUnreadable = 122,
    SyncFailed = 123,
    BookNameEmpty = 124,
    BookNameLineBreak = 125,
    BookNameDots = 126,
    AskUnsubscribeEverywhere = 127,
    SyncCaption = 128,
    SyncRunning = 129,
    SyncFinished = 130,
    SyncMessageProcessing = 131,
    SyncForwarding = 132,
    SyncKnownAddress = 133,
    CannotConnect = 134,
    SendingCaption = 135,
    ButtonStopAndSave = 136,
    LogBook = 137,
    LogBookMissing = 138,
    LogExcluded = 139,
    LogNoAddress = 140,
    LogTransmissionError = 141,
    LogSent = 142,
    CheckConnection = 143,
    PreviewCaption = 144,
    ButtonUpdate = 145,
    AboutVersion = 146,
    ViewContact = 147,
    ViewContactHint = 148,
    ViewBooks = 149,
    ViewBooksHint = 150,
    ViewMessage = 151,
    ViewMessageHint = 152,
    ViewHistory = 153,
    ViewHistoryHint = 154,
    HintAddContact = 155,
    HintCopyContacts = 156,
    HintMoveContacts = 157,
    HintModifyContact = 158,
    HintDeleteContacts = 159,
    HintSearchContacts = 160,
    HintDuplicates = 161,
    HintPrintContacts = 162,
    HintAddBook = 163,
    HintDuplicateBook = 164,
    HintRenameBook = 165,
    HintRenameFields = 166,
    HintDeleteBook = 167,
    HintImport = 168,
    HintExport = 169,
    HintSynchronise = 170,
    HintNewMessage = 171,
    HintOpenMessage = 172,
    HintSaveMessage = 173,
    HintInterruptedSends = 174,
    HintSendMessage = 175,
    HintPreviousMessage = 176,
    HintNextMessage = 177,
    HintDeleteOldMessage = 178,
    HintSendAgain = 179,
    ButtonExport = 180,
    ButtonSynchronise = 181,
    ButtonNew = 182,
    ButtonOpen = 183,
    ButtonManageSendings = 184,
    ButtonPreviousMessage = 185,
    ButtonSendAgain = 186,
    MessageSubject = 187,
    ButtonHtml = 188,
    ButtonText = 189,
    ButtonImportText = 190,
    ButtonImportHtml = 191,
    ButtonAttach = 192,
    ButtonInsertField = 193,
    InsertFieldHint = 194,
    ImportHtmlHint = 195,
    ButtonShowHtml = 196,
    ButtonModifySource = 197,
    ButtonPreview = 198,
    PreviewHint = 199,
    BoldHint = 200,
    ItalicHint = 201,
    UnderlineHint = 202,
    AskDeleteMessage = 203,
    AskLoseAttributes = 204,
    AskLoseMessage = 205,
    NamesMustBeUnique = 206,
    AskOverwriteFile = 207,
    CorruptMessage = 208,
    MissingImages = 209,
    PreviewNeedsBook = 210,
    AskSendWithoutSubject = 211,
    SettingsMissing = 212,
    NoDestinationBooks = 213,
    RecipientBooksCaption = 214,
    ExcludedBooksCaption = 215,
    PlaceholderTitle = 216,
    PlaceholderName = 217,
    PlaceholderFirstName = 218,
    PlaceholderCompany = 219,
    PlaceholderEmail = 220,
    PlaceholderAddress1 = 221,
    PlaceholderAddress2 = 222,
    PlaceholderZipCode = 223,
    PlaceholderCity = 224,
    PlaceholderCountry = 225,
    PlaceholderPhone = 226,
    PlaceholderFax = 227,
    PlaceholderUrl = 228,
    PlaceholderFree1 = 229,
    PlaceholderFree2 = 230,
    PlaceholderFree3 = 231,
    PlaceholderFree4 = 232,
    AskSaveContact = 233,
    AskSaveMessage = 234,
    ArchiveError = 235,
    FindNeedsSourceMode = 236,
    StringNotFound = 237,
    LogRefused = 238,
    LogInvalidAddress = 239,
    SendingSummary = 240,
    RefusedHeading = 241,
    SettingsNotSaved = 242,
    CrashedRunSaved = 243,
    HistoryNotWritten = 244,
    TitlesHint = 252,
    LabelZipCode = 253,
    LabelAddress = 254,
    LabelPhone = 255,
    LabelNotes = 256,
    ActiveBookName = 257,
    BookMembers = 258,
    BookAddressCount = 259,
    BookFieldName1 = 260,
    BookFieldName2 = 261,
    BookFieldName3 = 262,
    BookFieldName4 = 263,
    BookDetails = 264,
    NewBookProposal = 265,
    CopyBookProposal = 266,
    BookNameCharacters = 267,
    BookFileNameNotUtf8 = 250,
    SubjectsList = 268,
    HistorySubject = 269,
    HistoryDate = 270,
    AttachedFiles = 271,
    SelectSubjects = 272,
    AskDeleteHistory = 273,
    SearchContactCaption = 274,
    SearchDetails = 275,
    MenuFile = 284,
    MenuQuit = 285,
    MenuEdit = 286,
    MenuCut = 287,
    MenuCopy = 288,
    MenuPaste = 289,
    MenuTools = 290,
    MenuDuplicates = 291,
    MenuSearchContact = 292,
    MenuAdd = 293,
    MenuCopyContacts = 294,
    MenuMove = 295,
    MenuModify = 296,
    MenuDelete = 297,
    MenuPrint = 298,
    MenuConfiguration = 299,
    MenuTitles = 300,
    MenuConnection = 301,
    MenuHelp = 302,
    MenuHelpItem = 303,
    MenuAbout = 304,
    MenuDuplicateBook = 305,
    MenuRename = 306,
    MenuRenameFields = 307,
    MenuSynchronise = 308,
    MenuImport = 309,
    MenuExport = 310,
    MenuFind = 311,
    MenuFindNext = 312,
    MenuReplace = 313,
    MenuNew = 314,
    MenuOpen = 315,
    MenuSave = 316,
    MenuSend = 317,
    MenuPreviousMessage = 318,
    ImportKindXlsx = 327,
    ImportKindOds = 328,
    ImportKindVcard = 329,
    ImportAdded = 330,
    ImportRefused = 331,
    SettingsTabSecurity = 319,
    SettingsMessagesGroup = 320,
    SettingsSecurity = 321,
    SettingsSecurityNone = 322,
    SettingsPortByDefault = 323,
    SettingsCaFile = 324,
    SettingsSubscriptionAddress = 325,
    SettingsUnsubscribeUrl = 326,
    SettingsDkimSelector = 245,
    SettingsDkimDomain = 246,
    SettingsDkimKeyFile = 247,
    SettingsTextAlternative = 248,
    SubscriptionAddressIncorrect = 249,
    UnsubscribeUrlIncorrect = 276,
    DkimIncomplete = 277,
    DkimNameIncorrect = 278,
    DkimKeyUnusable = 279,
    CaFileUnreadable = 280,
    LegacyFolderBroughtAcross = 395,
    LegacyTableNotBroughtAcross = 396,
    ImportCancelled = 397,
    ContactNotSaved = 398,
    ContactUnreadable = 399,
    ContactsNotDeleted = 400,
    ContactsNotCopied = 401,
    ContactsNotMoved = 402,
    ContactsNotPrinted = 403,
    BookNotCounted = 404,
    HistoryUnreadable = 405,
    HistoryNotDeleted = 406,
    ServerDeferred = 407,
    ExclusionsUnreadable = 408,
    HelpNotOpened = 409,
    ViewNotAvailable = 410,
    StoppedAfterCommand = 411,
    ErrorCaption = 332,
    ImportUpdated = 333,
    ImportSkipped = 334,
    ImportExistingLabel = 335,
    ImportExistingAdd = 336,
    ImportExistingSkip = 337,
    ImportExistingUpdate = 338,
    ImportEveryKind = 339,
    StoppedRunNotSaved = 340,
    ConfirmSending = 341,
    StoppedAfter = 342,
    SenderRefused = 343,
    StoppedRunsColumns = 344,
    SendingStarts = 345,
    NextPacketIn = 346,
    TestSendCommand = 347,
    TestSent = 348,
    ImportFileEmpty = 349,
    ImportAtLine = 350,
    ImportAtRecord = 351,
    ImportAtCard = 352,
    ImportUnclosedQuote = 353,
    ImportRecordTooLong = 354,
    ImportNotUtf8 = 355,
    ImportSheetTooLarge = 356,
    ImportPartTooLarge = 357,
    ImportCellBudget = 358,
    ImportTimeBudget = 359,
    ImportFieldTypeUnread = 360,
    ImportFileCut = 361,
    ImportRecordUnreadable = 362,
    ImportSharedStringsDamaged = 363,
    ExportControlsDropped = 364,
    ImportHeaderMismatch = 365,
    SettingsExampleSenderName = 366,
    SettingsExampleSenderAddress = 367,
    SettingsExampleRedirection = 368,
    SettingsExampleSmtpServer = 369,
    SettingsExamplePopServer = 370,
    SettingsExampleLogin = 371,
    SettingsExampleSmtpPort = 372,
    SettingsExamplePopPort = 373,
    SettingsMinutes = 374,
    SettingsExampleSubscriptionAddress = 375,
    SettingsExampleUnsubscribeUrl = 376,
    SettingsExampleDkimSelector = 377,
    SettingsExampleDkimDomain = 378,
    TextFilesFilter = 379,
    HtmlFilesFilter = 380,
    SavedMessagesFilter = 381,
    BookDamaged = 382,
    HistoryFoldersLeft = 383,
    AboutPublisher = 384,
    CsvFileFilter = 385,
    BoldButton = 386,
    ItalicButton = 387,
    UnderlineButton = 388,
    LinkButton = 389,
    LinkHint = 390,
    LinkAddress = 391,
    PreviewRecipient = 392,
    PreviewPosition = 393,
    SettingsMessagesUnit = 394,
    MenuNextMessage = ButtonNext,
    MenuSendAgain = ButtonSendAgain,
};

// The text of an entry in the active language, as stored.
[[nodiscard]] QString text(int entry);

// The text of an entry in the given language (French or English); empty for
// an entry or a language that does not exist.
[[nodiscard]] QString text(int entry, int language);

// The lines of an entry: its text split at the LF CR separator.
[[nodiscard]] QStringList lines(int entry, int language = ActiveLanguage);

// False for the entries that no window uses (both texts empty).
[[nodiscard]] bool isUsed(int entry);

// The first entry whose French text equals a window's design text, or -1.
// Line breaks compare equal whatever their form (CR LF in designs, LF CR in
// the table). "Précedent" is both the import wizard's Previous (found) and the
// history menu's "Previous message" (MenuPreviousMessage): such a control must
// name its entry.
[[nodiscard]] int findFrench(QStringView designText);

// The design text of a control in the given language: the table's text of the
// entry found by findFrench(), or the design text itself when no entry has it
// (texts that stay as written).
[[nodiscard]] QString translate(const QString &designText, int language = ActiveLanguage);

// The choices of the column-mapping list, in list order: "Inutilisé" first,
// then the eighteen contact fields.
[[nodiscard]] std::span<const int> mappingChoices();

// One placeholder: its insert-field menu caption, its word, and the slot of
// the contact record it stands for.
struct PlaceholderEntries {
    int menu;
    int word;
    int slot;
};
// The seventeen placeholders in the order of the insert-field menu.
[[nodiscard]] std::span<const PlaceholderEntries> placeholders();

// A button template of the translator window: a French and an English
// template (names ending in _fr and _uk) carrying the look of one button role,
// and the entry of its caption.
struct ButtonTemplate {
    const char *french;
    const char *english;
    int caption;
};
[[nodiscard]] std::span<const ButtonTemplate> buttonTemplates();

// The template of a role in a language: the _fr name for French, the _uk
// name for English; nullptr for an unknown template.
[[nodiscard]] const char *templateFor(const char *frenchTemplate, int language);

// The template whose look a button with this French design caption takes
// (Valider: Btn_Valider_fr), or nullptr for a button of no template role.
[[nodiscard]] const ButtonTemplate *templateForButton(QStringView designCaption);

// Preparing the templates copies the look (picture, font, margin, number of
// pictures, spacing) from one template onto another, in this order.
struct TemplateCopy {
    const char *from;
    const char *to;
};
[[nodiscard]] std::span<const TemplateCopy> templatePreparation();

} // namespace kirvane::texts
