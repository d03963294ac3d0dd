#include "shell/commands.h"

#include <array>

namespace kirvane {

namespace {

constexpr Bilingual kNoHint{"", ""};
constexpr Bilingual kQuit{"&Quitter", "Exit"};
constexpr Bilingual kCut{"Couper", "Cut"};
constexpr Bilingual kCopy{"Copier", "Copy"};
constexpr Bilingual kPaste{"Coller", "Paste"};
constexpr Bilingual kConnection{"&Connexion", "Connection"};
constexpr Bilingual kHelp{"Aide Kirvane", "Kirvane Help"};
constexpr Bilingual kAbout{"A Propos", "About"};

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
    {1, Menu::Tools, "Ajouteruncontact1", {"&Ajouter", "Add"}, "Ctrl+N", "Ajouter",
     {"Ajouter un contact dans l'annuaire sélectionné", "Add a contact in the selected directory"},
     "contact-new", Glyph::Plus, ShellOp::View},
    {1, Menu::Tools, "Copieruncontact1", {"&Copier", "Copy"}, "", "Copier",
     {"Copier le ou les contacts sélectionnés", "Copy selected contact(s)"},
     "edit-copy", Glyph::Copy, ShellOp::View},
    {1, Menu::Tools, "Dplacer1", {"&Déplacer", "Move"}, "Ctrl+D", "Deplacer",
     {"Déplacer le ou les contacts sélectionnés", "Move selected contact(s)"},
     "go-jump", Glyph::Move, ShellOp::View},
    {1, Menu::Tools, "Modifier1", {"&Modifier", "Modify"}, "Ctrl+M", "Modifier",
     {"Modifier le contact sélectionné", "Modify the selected contact"},
     "document-edit", Glyph::Pencil, ShellOp::View},
    {1, Menu::Tools, "Supprimer1", {"&Supprimer", "Delete"}, "Ctrl+S", "Supprimer",
     {"Supprimer le ou les contacts sélectionnés", "Remove selected contact(s)"},
     "edit-delete", Glyph::Cross, ShellOp::View},
    {1, Menu::Tools, "Rechercher1", {"&Rechercher un contact", "Search a contact"}, "Ctrl+R", "rechercher",
     {"Rechercher des contacts dans les annuaires", "Search contacts in directories"},
     "edit-find", Glyph::Magnifier, ShellOp::View},
    {1, Menu::Tools, "Ddoublonner1", {"Dédou&blonner", "Double checks"}, "Ctrl+B", "dedoublonner",
     {"Dédoublonner les contacts suivant certains critères",
      "De-double the following contacts accordimg to some criteria"},
     "", Glyph::Merge, ShellOp::View},
    {1, Menu::Tools, "Imprimer1", {"&Imprimer", "Print"}, "Ctrl+I", "Imprimer",
     {"Imprimer les contacts sélectionnés", "Print selected contacts"},
     "document-print", Glyph::Printer, ShellOp::View},
    {1, Menu::Settings, "titre1", {"&Titres", "Title"}, "Ctrl+T", nullptr, kNoHint, "", Glyph::Fields, ShellOp::View},
    KV_COMMON_SETTINGS_HELP(1, "Configuration_menu", "AideKirvane1", "Apropos1"),

    // Address-books view.
    KV_COMMON_FILE_EDIT(2, "Quitter1", "Couper2", "Copier2", "Coller2"),
    {2, Menu::Tools, "Ajouter1", {"&Ajouter", "Add"}, "Ctrl+N", "Ajouter_annuaire",
     {"Ajouter un annuaire", "Add a directory book"}, "folder-new", Glyph::FolderPlus, ShellOp::View},
    {2, Menu::Tools, "Dupliquer1", {"&Dupliquer", "Duplicate"}, "Ctrl+D", "Dupliquer_annuaire",
     {"Dupliquer un annuaire", "Duplicate a directory"}, "edit-copy", Glyph::Copy, ShellOp::View},
    {2, Menu::Tools, "Renommer1", {"&Renommer", "Rename"}, "Ctrl+R", "Renommer_annuaire",
     {"Renommer un annuaire", "Rename a directory"}, "edit-rename", Glyph::Pencil, ShellOp::View},
    {2, Menu::Tools, "Renommerleschamps1", {"Renommer les champs", "Rename fields"}, "Ctrl+L", "renommer_champs",
     {"Renommer les champs modifiables d'un annuaire", "Rename customized fields of a directory"},
     "document-properties", Glyph::Fields, ShellOp::View},
    {2, Menu::Tools, "Supprimer2", {"&Supprimer", "Delete"}, "Ctrl+S", "Supprimer_annuaire",
     {"Supprimer un annuaire", "Delete a directory"}, "edit-delete", Glyph::Trash, ShellOp::View},
    {2, Menu::Tools, "Importer", {"I&mporter", "Import"}, "Ctrl+M", "importer",
     {"Importer un fichier dans un annuaire", "Import a file to a directory"},
     "document-import", Glyph::Import, ShellOp::View},
    {2, Menu::Tools, "exporter", {"Ex&porter", "Export"}, "Ctrl+E", "exporter",
     {"Exporter un annuaire vers un fichier CSV", "Export directory to a csv file"},
     "document-export", Glyph::Export, ShellOp::View},
    {2, Menu::Tools, "Synchroniser1", {"&Synchroniser", "Synchronize"}, "Ctrl+Y", "Synchroniser_annuaire",
     {"Synchroniser le logiciel avec le site pour récupérer les contacts inscrits en ligne",
      "Synchronize Kirvane with the website to download new subscribers/unsubscribers"},
     "view-refresh", Glyph::Refresh, ShellOp::View},
    KV_COMMON_SETTINGS_HELP(2, "Connexion1", "Aide1", "Apropos2"),

    // Message view.
    {3, Menu::File, "Nouveau1", {"&Nouveau", "New"}, "Ctrl+N", "Nouveau_message",
     {"Effacer toutes les informations du message en cours de réalisation", "Delete the current message"},
     "document-new", Glyph::Page, ShellOp::View},
    {3, Menu::File, "Charger1", {"&Ouvrir", "Open"}, "Ctrl+O", "charger",
     {"Ouvrir un message sauvegardé", "Open a saved message"}, "document-open", Glyph::Open, ShellOp::View},
    {3, Menu::File, "Enregistrer1", {"&Enregistrer", "Save"}, "Ctrl+E", "Enregistrer_message",
     {"Enregistrer le message créé", "Save the new message"}, "document-save", Glyph::Save, ShellOp::View},
    {3, Menu::File, nullptr,
     {"Gérer les envois interrompus précédemment", "Manage the previously interrupted sendings"}, "",
     "continuer_envoi",
     {"Gérer les envois interrompus précédemment", "Manage the previously interrupted sendings"},
     "media-playback-start", Glyph::Resume, ShellOp::View},
    {3, Menu::File, "Envoyer1", {"Envo&yer", "Send"}, "Ctrl+Y", "Envoyer_message",
     {"Envoyer le message réalisé", "Send the new message"}, "mail-send", Glyph::Envelope, ShellOp::View},
    KV_COMMON_FILE_EDIT(3, "Quitter3", "Couper3", "Copier3", "Coller3"),
    {3, Menu::Edit, "chercher1", {"C&hercher vers le bas", "Search"}, "Ctrl+F", nullptr, kNoHint,
     "", Glyph::Magnifier, ShellOp::Find},
    {3, Menu::Edit, "occurence", {"Occurence suivante", "Next"}, "F3", nullptr, kNoHint,
     "", Glyph::Magnifier, ShellOp::FindNext},
    {3, Menu::Edit, "remplacer", {"Remplacer vers le bas", "Replace"}, "Ctrl+R", nullptr, kNoHint,
     "", Glyph::Pencil, ShellOp::Replace},
    KV_COMMON_SETTINGS_HELP(3, "Configuration_menu1", "AideKirvane2", "APropos3"),

    // History view.
    KV_COMMON_FILE_EDIT(4, "Quitter2", "Couper4", "Copier4", "Coller4"),
    {4, Menu::Tools, "Prcedent1", {"Précedent", "Previous message"}, "Ctrl+P", "precedent",
     {"Passer au message précedent ", "Previous message"}, "go-previous", Glyph::Left, ShellOp::View},
    {4, Menu::Tools, "Suivant1", {"Suivant", "Next"}, "Ctrl+S", "suivant",
     {"Passer au message suivant", "Next message"}, "go-next", Glyph::Right, ShellOp::View},
    {4, Menu::Tools, nullptr, {"Supprimer un ancien message", "Delete an old message"}, "", "btn_supprimer",
     {"Supprimer un ancien message", "Delete an old message"}, "edit-delete", Glyph::Trash, ShellOp::View},
    {4, Menu::Tools, "Remmettre1", {"Ré-émettre", "Send again"}, "Ctrl+R", "reemmettre",
     {"Ré-émmettre un ancien message", "Send again an old message"}, "mail-forward", Glyph::Resend,
     ShellOp::View},
    KV_COMMON_SETTINGS_HELP(4, "Configuration_menu2", "AideKirvane3", "APropos5"),
});

#undef KV_COMMON_FILE_EDIT
#undef KV_COMMON_SETTINGS_HELP

const auto kMenuTitles = std::to_array<MenuTitle>({
    {Menu::File, {"&Fichier", "&File"}},
    {Menu::Edit, {"&Edition", "Edit"}},
    {Menu::Tools, {"Fonc&tions", "&Tools"}},
    {Menu::Settings, {"&Configuration", "Configuration"}},
    {Menu::Help, {"Aide", "Help"}},
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

} // namespace kirvane
