#include "shell/commands.h"

#include <array>

namespace kirvane::shell {

using namespace kirvane::texts;

namespace {

using namespace kirvane::texts;

constexpr int kNoHint = -1;
constexpr int kQuit = MenuQuit;
constexpr int kCut = MenuCut;
constexpr int kCopy = MenuCopy;
constexpr int kPaste = MenuPaste;
constexpr int kConnection = MenuConnection;
constexpr int kHelp = MenuHelpItem;
constexpr int kAbout = MenuAbout;

#define KV_COMMON_FILE_EDIT(view, quit, cut, copy, paste)                                              \
    CommandRow{view, Menu::File, quit, kQuit, "Ctrl+Q", nullptr, kNoHint, "", Glyph::Cross, ShellOp::Quit}, \
    CommandRow{view, Menu::Edit, cut, kCut, "Ctrl+X", nullptr, kNoHint, "", Glyph::Copy, ShellOp::Cut},     \
    CommandRow{view, Menu::Edit, copy, kCopy, "Ctrl+C", nullptr, kNoHint, "", Glyph::Copy, ShellOp::Copy},  \
    CommandRow{view, Menu::Edit, paste, kPaste, "Ctrl+V", nullptr, kNoHint, "", Glyph::Copy, ShellOp::Paste}

#define KV_COMMON_SETTINGS_HELP(view, connection, help, about)                                                  \
    CommandRow{view, Menu::Settings, connection, kConnection, "", nullptr, kNoHint, "", Glyph::Fields, ShellOp::View}, \
    CommandRow{view, Menu::Help, help, kHelp, "F1", nullptr, kNoHint, "", Glyph::Page, ShellOp::Help},                 \
    CommandRow{view, Menu::Help, about, kAbout, "", nullptr, kNoHint, "", Glyph::Page, ShellOp::About}

const auto kRows = std::to_array<CommandRow>({
    // Contacts view.
    KV_COMMON_FILE_EDIT(1, "Quitter", "Couper1", "Copier1", "Coller1"),
    {1, Menu::Tools, "Ajouteruncontact1", MenuAdd, "Ctrl+N", "Ajouter", HintAddContact,
     "contact-new", Glyph::Plus, ShellOp::View},
    {1, Menu::Tools, "Copieruncontact1", MenuCopyContacts, "", "Copier", HintCopyContacts,
     "edit-copy", Glyph::Copy, ShellOp::View},
    {1, Menu::Tools, "Dplacer1", MenuMove, "Ctrl+D", "Deplacer", HintMoveContacts,
     "go-jump", Glyph::Move, ShellOp::View},
    {1, Menu::Tools, "Modifier1", MenuModify, "Ctrl+M", "Modifier", HintModifyContact,
     "document-edit", Glyph::Pencil, ShellOp::View},
    {1, Menu::Tools, "Supprimer1", MenuDelete, "Ctrl+S", "Supprimer", HintDeleteContacts,
     "edit-delete", Glyph::Cross, ShellOp::View},
    {1, Menu::Tools, "Rechercher1", MenuSearchContact, "Ctrl+R", "rechercher", HintSearchContacts,
     "edit-find", Glyph::Magnifier, ShellOp::View},
    {1, Menu::Tools, "Ddoublonner1", MenuDuplicates, "Ctrl+B", "dedoublonner", HintDuplicates,
     "", Glyph::Merge, ShellOp::View},
    {1, Menu::Tools, "Imprimer1", MenuPrint, "Ctrl+I", "Imprimer", HintPrintContacts,
     "document-print", Glyph::Printer, ShellOp::View},
    {1, Menu::Settings, "titre1", MenuTitles, "Ctrl+T", nullptr, kNoHint, "", Glyph::Fields, ShellOp::View},
    KV_COMMON_SETTINGS_HELP(1, "Configuration_menu", "AideKirvane1", "Apropos1"),

    // Address-books view.
    KV_COMMON_FILE_EDIT(2, "Quitter1", "Couper2", "Copier2", "Coller2"),
    {2, Menu::Tools, "Ajouter1", MenuAdd, "Ctrl+N", "Ajouter_annuaire", HintAddBook, "folder-new", Glyph::FolderPlus, ShellOp::View},
    {2, Menu::Tools, "Dupliquer1", MenuDuplicateBook, "Ctrl+D", "Dupliquer_annuaire", HintDuplicateBook, "edit-copy", Glyph::Copy, ShellOp::View},
    {2, Menu::Tools, "Renommer1", MenuRename, "Ctrl+R", "Renommer_annuaire", HintRenameBook, "edit-rename", Glyph::Pencil, ShellOp::View},
    {2, Menu::Tools, "Renommerleschamps1", MenuRenameFields, "Ctrl+L", "renommer_champs", HintRenameFields,
     "document-properties", Glyph::Fields, ShellOp::View},
    {2, Menu::Tools, "Supprimer2", MenuDelete, "Ctrl+S", "Supprimer_annuaire", HintDeleteBook, "edit-delete", Glyph::Trash, ShellOp::View},
    {2, Menu::Tools, "Importer", MenuImport, "Ctrl+M", "importer", HintImport,
     "document-import", Glyph::Import, ShellOp::View},
    {2, Menu::Tools, "exporter", MenuExport, "Ctrl+E", "exporter", HintExport,
     "document-export", Glyph::Export, ShellOp::View},
    {2, Menu::Tools, "Synchroniser1", MenuSynchronise, "Ctrl+Y", "Synchroniser_annuaire", HintSynchronise,
     "view-refresh", Glyph::Refresh, ShellOp::View},
    KV_COMMON_SETTINGS_HELP(2, "Connexion1", "Aide1", "Apropos2"),

    // Message view.
    {3, Menu::File, "Nouveau1", MenuNew, "Ctrl+N", "Nouveau_message", HintNewMessage,
     "document-new", Glyph::Page, ShellOp::View},
    {3, Menu::File, "Charger1", MenuOpen, "Ctrl+O", "charger", HintOpenMessage, "document-open", Glyph::Open, ShellOp::View},
    {3, Menu::File, "Enregistrer1", MenuSave, "Ctrl+E", "Enregistrer_message", HintSaveMessage, "document-save", Glyph::Save, ShellOp::View},
    {3, Menu::File, nullptr,
     ButtonManageSendings, "", "continuer_envoi", HintInterruptedSends,
     "media-playback-start", Glyph::Resume, ShellOp::View},
    {3, Menu::File, "Envoyer1", MenuSend, "Ctrl+Y", "Envoyer_message", HintSendMessage, "mail-send", Glyph::Envelope, ShellOp::View},
    {3, Menu::File, "Envoyeruntest1", TestSendCommand, "", nullptr, kNoHint, "mail-send", Glyph::Envelope, ShellOp::View},
    KV_COMMON_FILE_EDIT(3, "Quitter3", "Couper3", "Copier3", "Coller3"),
    {3, Menu::Edit, "chercher1", MenuFind, "Ctrl+F", nullptr, kNoHint,
     "", Glyph::Magnifier, ShellOp::Find},
    {3, Menu::Edit, "occurence", MenuFindNext, "F3", nullptr, kNoHint,
     "", Glyph::Magnifier, ShellOp::FindNext},
    {3, Menu::Edit, "remplacer", MenuReplace, "Ctrl+R", nullptr, kNoHint,
     "", Glyph::Pencil, ShellOp::Replace},
    KV_COMMON_SETTINGS_HELP(3, "Configuration_menu1", "AideKirvane2", "APropos3"),

    // History view.
    KV_COMMON_FILE_EDIT(4, "Quitter2", "Couper4", "Copier4", "Coller4"),
    {4, Menu::Tools, "Prcedent1", MenuPreviousMessage, "Ctrl+P", "precedent", HintPreviousMessage, "go-previous", Glyph::Left, ShellOp::View},
    {4, Menu::Tools, "Suivant1", MenuNextMessage, "Ctrl+S", "suivant", HintNextMessage, "go-next", Glyph::Right, ShellOp::View},
    {4, Menu::Tools, nullptr, ButtonDelete, "", "btn_supprimer", HintDeleteOldMessage, "edit-delete", Glyph::Trash, ShellOp::View},
    {4, Menu::Tools, "Remmettre1", MenuSendAgain, "Ctrl+R", "reemmettre", HintSendAgain, "mail-forward", Glyph::Resend,
     ShellOp::View},
    KV_COMMON_SETTINGS_HELP(4, "Configuration_menu2", "AideKirvane3", "APropos5"),
});

#undef KV_COMMON_FILE_EDIT
#undef KV_COMMON_SETTINGS_HELP

const auto kMenuTitles = std::to_array<MenuTitle>({
    {Menu::File, MenuFile},
    {Menu::Edit, MenuEdit},
    {Menu::Tools, MenuTools},
    {Menu::Settings, MenuConfiguration},
    {Menu::Help, MenuHelp},
});

} // namespace

std::span<const CommandRow> commandRows()
{
    return kRows;
}

std::span<const MenuTitle> menuTitles()
{
    return kMenuTitles;
}

QString menuName(int view, Menu menu)
{
    // The contacts view's two menus that contact editing disables keep their
    // historical names.
    if (view == 1 && menu == Menu::Tools)
        return QStringLiteral("Outils2");
    if (view == 1 && menu == Menu::Settings)
        return QStringLiteral("Outils1");
    static const char *const stems[] = {"Fichier", "Edition", "Fonctions", "Configuration", "MenuAide"};
    return QString::fromLatin1(stems[static_cast<int>(menu)]) + QString::number(view);
}

} // namespace kirvane::shell
