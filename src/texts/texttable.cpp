#include "texts/texttable.h"

#include <QHash>

#include <array>
#include <cstring>

namespace kirvane::texts {

namespace {

struct Pair {
    const char16_t *french;
    const char16_t *english;
};

// Indexed by entry number; the comment on each row is its number. One entry a
// line, as the table is searched and compared by eye, so the formatter leaves it.
// clang-format off
constexpr std::array<Pair, EntryCount> kTable{{
    // Duplicate removal window DuplicatesWindow (the criteria and column titles also serve the
    // contact search, the contacts view and the mapping choices)
    {u"Dédoublonner", u"Double checks"},  // 0
    {u"Liste des annuaires", u"Directories list"},  // 1
    {u"Dédoublonnage en cours...", u"Checking for double in process..."},  // 2
    {u"Aucun résultat trouvé.", u"No result found."},  // 3
    {u"Sélectionner tout", u"Select all"},  // 4
    {u"Désélectionner tout", u"Unselect all"},  // 5
    {u"Nom", u"Name"},  // 6
    {u"Prénom", u"First name"},  // 7
    {u"Société", u"Company"},  // 8
    {u"Email", u"Email"},  // 9
    {u"Champ 1", u"Field 1"},  // 10
    {u"Champ 2", u"Field 2"},  // 11
    {u"Champ 3", u"Field 3"},  // 12
    {u"Champ 4", u"Field 4"},  // 13
    {u"Supprimer ce contact", u"Remove this contact"},  // 14
    {u"Supprimer les autres occurences de ce contact", u"Remove the other events of this contact"},  // 15
    {u"Ouvrir le contact sélectionné", u"Open the selected contact"},  // 16
    {u"La recherche va être effacée. Voulez-vous continuer?", u"The actual search will be erased. Do you want to continue?"},  // 17
    // Titles dialog TitlesDialog (its caption "Liste des titres" stays as written and
    // is not in the table); dialog about deleted destination books
    {u"Ajouter", u"Add"},  // 18
    {u"Supprimer", u"Delete"},  // 19
    // Duplicate removal window DuplicatesWindow (the criteria and column titles also serve the
    // contact search, the contacts view and the mapping choices)
    {u"Annuaire", u"Directory"},  // 20
    // Titles dialog TitlesDialog (its caption "Liste des titres" stays as written and
    // is not in the table); dialog about deleted destination books
    {u"Information", u"Information"},  // 21
    {u"Les annuaires suivants ont été effacés.\n\rVoulez-vous les supprimer de la liste des annuaires\n\rde destination du courrier ?", u"The following directories have been erased.\n\rDo want you to delete them from the list of\n\rthe recipient directory?"},  // 22
    // Find dialog FindDialog ("Chercher" is also a label of the replace dialog); buttons
    // of every dialog
    {u"Chercher", u"Search"},  // 23
    {u"Taper la chaîne à chercher", u"String to search"},  // 24
    {u"Valider", u"Ok"},  // 25
    {u"Annuler", u"Cancel"},  // 26
    {u"Oui", u"Yes"},  // 27
    {u"Non", u"No"},  // 28
    // Interrupted sends: list InterruptedSendsWindow, its deletion question, later-send name
    // LaterNameDialog, already-exists question; the Close button
    {u"Message(s)", u"Message(s)"},  // 29
    {u"Envoyer", u"Send"},  // 30
    {u"Voulez-vous supprimer l'envoi interrompu \n\rsélectionné ?", u"Do you want to remove the selected interrupted sending?"},  // 31
    {u"Veuillez indiquez le nom du message pour un envoi ultérieur.", u"Please, type the name of the message to send it later."},  // 32
    {u"Un message portant ce nom existe déjà", u"A message with same name already exists"},  // 33
    {u"Voulez vous le remplacer ?", u"do you want to replace it?"},  // 34
    {u"Fermer", u"Close"},  // 35
    // Connection settings window SettingsWindow
    {u"Paramètres de configuration email", u"Email configuration parameters"},  // 36
    {u"Configuration email", u"Email configuration"},  // 37
    {u"Proxy", u"Proxy"},  // 38
    {u"Paramètres Avancés", u"Advanced parameters"},  // 39
    {u"Nom de l'expéditeur", u"Sender name"},  // 40
    {u"Nom de la boite", u"Sender email"},  // 41
    {u"Redirection", u"Redirection"},  // 42
    {u"Serveur pop", u"Pop server"},  // 43
    {u"Serveur smtp", u"SMTP server"},  // 44
    {u"Utilisateur", u"Login"},  // 45
    {u"Mot de passe", u"Password"},  // 46
    {u"Utiliser un proxy", u"Use a proxy"},  // 47
    {u"Proxy smtp", u"Proxy smtp"},  // 48, French wording chosen here; no fixed one exists
    {u"Proxy pop", u"Proxy pop"},  // 49, French wording chosen here; no fixed one exists
    {u"Port smtp", u"Smtp port"},  // 50, French wording chosen here; no fixed one exists
    {u"Port pop", u"Pop port"},  // 51, French wording chosen here; no fixed one exists
    {u"Activer l'envoi des messages par paquets", u"Begin sending groups of messages at several different times "},  // 52
    {u"Taille des paquets :", u"Size of the groups of messages"},  // 53
    {u"Temporisation entre l'envoi des paquets", u"Delaying time between the sendings"},  // 54
    {u"Enregistrer", u"Save"},  // 55
    // The two duplicate questions of a contact: DialogKind::SameContactName and SameContactEmail
    {u"Un contact avec le nom et le prénom \n\rindiqués existe déjà.", u"A contact with same last name and first name\n\ralready exists."},  // 56
    {u"Risque de doublon", u"Risk of duplicate"},  // 57
    {u"Voulez-vous enregistrer malgré tout ?", u"Do you want to record despite everything?"},  // 58
    {u"Un contact avec l'e-mail indiqué existe déjà.", u"A contact with same e-mail address already exists."},  // 59
    // The two dialogs of the connection settings (Yes/No question, notices); read-only contact
    // notice; book copy BookNameDialog; contact deletion
    {u"Voulez-vous enregistrer la nouvelle configuration ?", u"Do you want to save the new configuration?"},  // 60
    {u"Attention l'adresse de l'expéditeur est incorrecte", u"Caution: the addressee, address is incorrect"},  // 61
    {u"Le nom de l'expéditeur est vide, vous devez le remplir.", u"The addressee name is empty, you have to fill it."},  // 62
    {u"Pour modifier le contact,\n\ril est nécessaire de passer en mode modification.", u"To modify the contact,\n\rit is necessary to use the modification mode"},  // 63
    {u"Copie d'un annuaire", u"Copy a directory"},  // 64
    {u"Indiquez le nom que portera la copie de l'annuaire", u"Please, indicate the name of the copy"},  // 65
    {u"Voulez-vous supprimer le ou les\n\rcontacts sélectionnés ?", u"Do you want to remove the \n\rselected contact(s)?"},  // 66
    // Import wizard ImportWizard
    {u"Importation des fichiers", u"Files import"},  // 67
    {u"Cet assistant vous permet  de spécifier les détails de l'importation\n\rque vous souhaitez effectuer.\n\rDe quel format est le fichier ?", u"This assistant allows you to specify the details of the importation \n\rwhich you wish to do.\n\r What is the type of the file ?"},  // 68
    {u"Type de fichier:", u"File type:"},  // 69
    {u"Carnet d'adresses Outlook Express (*.wab)", u"Outlook Express address book (* wab)"},  // 70
    {u"Access", u"Access"},  // 71
    {u"Excel (version 3.0 à 2002)", u"Excel (version 3.0 in 2002)"},  // 72
    {u"Lotus 1-2-3 (fichiers *.wk3 ou wk4)", u"Lotus 1-2-3 (files .wk3 or wk4)"},  // 73
    {u"Paradox (versions 3.x,4.x,5.x,7.x)", u"Paradox (versions 3.x , 4.x , 5.x, 7.x)"},  // 74
    {u"CSV (format texte)", u"CSV (text file)"},  // 75
    {u"Dbase (versions iii, iv, 5.0)", u"Dbase (versions iii, iv, 5.0)"},  // 76
    {u"Information à propos du CSV :\n\rle séparateur des colonnes (virgule, point-virgule ou\n\rtabulation) et le jeu de caractères sont trouvés automatiquement.", u"About CSV:\n\rthe column separator (comma, semicolon or tab) and the\n\rcharacter set are found by themselves."},  // 77
    {u"Vous devez sélectionner le fichier source et choisir la table à importer.", u"You must select the source file and choose the table to be imported."},  // 78
    {u"Nom du fichier source :", u"Name of the source file:"},  // 79
    {u"Table à importer", u"Table to import:"},  // 80
    {u"Format du fichier incorrect.", u"Incorrect file format."},  // 81
    {u"Importer", u"Import"},  // 82
    {u"Précedent", u"Previous"},  // 83
    {u"Suivant", u"Next"},  // 84
    {u"Cliquez ici", u"Please, click here"},  // 85
    {u"Ignorer la première ligne à l'importation", u"Ignore the first line of the imported file"},  // 86
    // Column mapping dialog ColumnChoiceDialog; its choices (mappingChoices()) also label the
    // insert-field menu and the contacts view
    {u"Choisissez le champ correspondant", u"Please, choose the equivalent field"},  // 87
    {u"Inutilisé", u"Unused"},  // 88
    {u"Adresse1", u"Address1"},  // 89
    {u"Adresse2", u"Address2"},  // 90
    {u"Titre", u"Title"},  // 91
    {u"Code postal", u"Zip code"},  // 92
    {u"Commentaire", u"Comment"},  // 93
    {u"Fax", u"Fax"},  // 94
    {u"Pays", u"Country"},  // 95
    {u"Téléphone", u"Phone"},  // 96
    {u"Url", u"URL"},  // 97
    {u"Ville", u"City"},  // 98
    // The four CSV error dialogs of the import and the import OK dialog
    {u"Certains champs n'ont pas été identifiés.", u"Some fields have not been identified."},  // 99
    {u"Vous devez utiliser au moins un champ de votre base.\n\rIdentifiez-les à nouveau.", u"You must use at least one field of your base. Identify them again."},  // 100
    {u"Vous avez specifié deux fois le même champ.", u"You have specified twice the same field. "},  // 101
    {u"Le fichier au format csv ne contient\n\raucun enregistrement.", u"The .csv file is empty."},  // 102
    {u"Une erreur est apparue. (Import)", u"An error occured.(Importation)"},  // 103
    // Pause window PauseWindow
    {u"Temporisation des envois en cours", u"Marking time of sending in progress"},  // 104
    {u"Arrêter et enregistrer", u"Stop and save"},  // 105, English wording chosen here; no fixed one exists
    // Replace dialog ReplaceDialog
    {u"Remplacer", u"Replace"},  // 106
    {u"Remplacer par", u"Replace by "},  // 107
    {u"Tout remplacer", u"Replace all"},  // 108
    {u"Vous devez remplir les deux champs", u"You must fill the two fields"},  // 109
    // Book dialogs: new book FieldLabelsDialog, rename BookNameDialog, rename fields
    // FieldLabelsDialog, rename notice, the selection notices of a book and of a contact,
    // subscribers-book notice, book deletion DeleteBookDialog
    {u"Création d'un nouvel annuaire", u"Create a new directory"},  // 110
    {u"Vous allez créer un nouvel annuaire,\n\rveuillez indiquez son nom.", u"You will create a new directory, indicate its name."},  // 111
    {u"Vous avez la possibilité de modifier le nom de 4 champs", u"You have the possibility of modifying the name of 4 fields"},  // 112
    {u"Veuillez entrer le nouveau nom de l'annuaire.", u"Please type the new directory name."},  // 113
    {u"Veuillez entrer les nouveaux noms des champs.", u"Please type the new fields names."},  // 114
    {u"Attention l'annuaire existe déjà.", u"Caution: the directory name is already in use."},  // 115
    {u"Vous devez sélectionner un annuaire.", u"You must select a directory."},  // 116
    {u"Vous devez sélectionner au moins un contact.", u"You must select at least one contact."},  // 117
    {u"Vous ne pouvez pas supprimer l'annuaire \n\r\"subscribers\".", u"You cannot delete the directory \"subscribers\"."},  // 118, names the book as it is named
    {u"Voulez-vous supprimer l'annuaire suivant ?", u"Do you want to delete the following directory?"},  // 119
    // Not used by any window.
    // Synchronisation: its own failure notices
    {u"Connexion refusée : l'utilisateur ou le mot de passe est incorrect.", u"Login refused: the user name or the password is wrong."},  // 120
    {u"Le message %1 n'a pas pu être envoyé vers l'adresse de redirection ; il reste sur le serveur.", u"Message %1 could not be sent to the redirection address; it stays on the server."},  // 121
    {u"Le message %1 n'a pas pu être lu ; il reste sur le serveur.", u"Message %1 could not be read; it stays on the server."},  // 122
    {u"Le message %1 n'a pas pu être traité : %2", u"Message %1 could not be processed: %2"},  // 123
    // Address-books view: names no book can have
    {u"Le nom d'un annuaire ne peut être vide.", u"The name of a directory cannot be empty."},  // 124
    {u"Le nom d'un annuaire ne peut contenir ni saut de ligne ni caractère de contrôle.", u"The name of a directory cannot contain a line break or a control character."},  // 125
    {u"Le nom d'un annuaire ne peut contenir « .. ».", u"The name of a directory cannot contain \"..\"."},  // 126
    // Synchronisation: question, OK dialog and window SyncDialog
    {u"Voulez-vous supprimer ce contact de tous les annuaires ?", u"Do you want to remove this contact from all the directories?"},  // 127
    {u"Récupération des inscriptions/désinscriptions via internet", u"Download of new subscribers/unsubscribers from the Internet"},  // 128
    {u"La synchronisation est en cours.", u"Synchronization in progress."},  // 129
    {u"La synchronisation est terminée.", u"Synchronization finished."},  // 130
    {u"Traitement du message", u"Message processing"},  // 131
    {u"Le message suivant est envoyé vers l'adresse de redirection\n\rcar il n'est pas conforme.", u"Incorrect message, it will be sent to the redirection address ."},  // 132
    {u"Nouvel abonné refusé : l'email indiqué existe déjà", u"New subscriber refused: the indicated email already exists"},  // 133
    {u"Connexion impossible. Le serveur est peut être éteint ou ne répond pas.", u"Can't connect. The server may be switched off or does not answer."},  // 134
    // Sending dialog SendingDialog and its OK dialog: caption, button, log lines, messages
    {u"Envoi des emails", u"Send emails"},  // 135
    {u"Arreter et enregistrer", u"Stop and save"},  // 136
    {u"Annuaire :", u"Directory : "},  // 137
    {u"Inexistant", u"Do not exist"},  // 138
    {u"E-mail contenu dans les annuaires exclus", u"E-mail address contained in the excluded directory"},  // 139
    {u"E-mail inexistant pour le contact", u"Wrong email address for the contact "},  // 140
    {u"Erreur de transmission pendant l'envoi.", u"transmission error while sending"},  // 141
    {u"Message transmis à", u"Message send to "},  // 142
    {u"Vérifier votre connexion Internet ou vos paramètres (menu Configuration).", u"Check your Internet connection or your configuration."},  // 143
    // Message viewer PreviewDialog; about box AboutDialog
    {u"Visualisation du message", u"Preview of the message"},  // 144
    {u"Mettre à jour", u"Update"},  // 145, English wording chosen here; no fixed one exists
    {u"Version :", u"Version :"},  // 146
    // Tool-bar frame ToolBarFrame: the view buttons (caption, hint), the hints of the tool-bar
    // buttons in tool-bar order, the captions of tool-bar buttons
    {u"Contact", u"Contact"},  // 147
    {u"Gérer la liste des contacts de chaque annuaire", u"Manage the contact list of each directory"},  // 148
    {u"Annuaires", u"Directory"},  // 149
    {u"Gérer la liste des annuaires", u"Manage the directories list"},  // 150
    {u"Message", u"Message"},  // 151
    {u"Créer, charger, enregistrer et envoyer des messages", u"Create, load, save and send messages"},  // 152
    {u"Historique", u"History"},  // 153
    {u"Visualiser l'historique des messages envoyés", u"Show the history of the messages sent"},  // 154
    {u"Ajouter un contact dans l'annuaire sélectionné", u"Add a contact in the selected directory"},  // 155
    {u"Copier le ou les contacts sélectionnés", u"Copy selected contact(s)"},  // 156
    {u"Déplacer le ou les contacts sélectionnés", u"Move selected contact(s)"},  // 157
    {u"Modifier le contact sélectionné", u"Modify the selected contact"},  // 158
    {u"Supprimer le ou les contacts sélectionnés", u"Remove selected contact(s)"},  // 159
    {u"Rechercher des contacts dans les annuaires", u"Search contacts in directories"},  // 160
    {u"Dédoublonner les contacts suivant certains critères", u"De-double the following contacts accordimg to some criteria"},  // 161
    {u"Imprimer les contacts sélectionnés", u"Print selected contacts"},  // 162
    {u"Ajouter un annuaire", u"Add a directory book"},  // 163
    {u"Dupliquer un annuaire", u"Duplicate a directory"},  // 164
    {u"Renommer un annuaire", u"Rename a directory"},  // 165
    {u"Renommer les champs modifiables d'un annuaire", u"Rename customized fields of a directory"},  // 166
    {u"Supprimer un annuaire", u"Delete a directory"},  // 167
    {u"Importer un fichier dans un annuaire", u"Import a file to a directory"},  // 168
    {u"Exporter un annuaire vers un fichier CSV", u"Export directory to a csv file"},  // 169
    {u"Synchroniser le logiciel avec le site pour récupérer les contacts inscrits en ligne", u"Synchronize Kirvane with the website to download new subscribers/unsubscribers"},  // 170
    {u"Effacer toutes les informations du message en cours de réalisation", u"Delete the current message"},  // 171
    {u"Ouvrir un message sauvegardé", u"Open a saved message"},  // 172
    {u"Enregistrer le message créé", u"Save the new message"},  // 173
    {u"Gérer les envois interrompus précédemment", u"Manage the previously interrupted sendings"},  // 174
    {u"Envoyer le message réalisé", u"Send the new message"},  // 175
    {u"Passer au message précedent ", u"Previous message"},  // 176
    {u"Passer au message suivant", u"Next message"},  // 177
    {u"Supprimer un ancien message", u"Delete an old message"},  // 178
    {u"Ré-émmettre un ancien message", u"Send again an old message"},  // 179
    {u"Exporter", u"Export"},  // 180
    {u"Synchroniser", u"Synchronize"},  // 181, English wording chosen here; no fixed one exists
    {u"Nouveau", u"New"},  // 182, English wording chosen here; no fixed one exists
    {u"Ouvrir", u"Open"},  // 183, English wording chosen here; no fixed one exists
    {u"Gérer les envois", u"Manage sendings"},  // 184
    {u"Précédent", u"Previous"},  // 185
    {u"Ré-émettre", u"Send again"},  // 186
    // Message view MessageEditorView: labels, buttons, hints, its questions and notices, the captions
    // of the book chooser BookChooserDialog
    {u"Sujet du message", u"Subject of the message"},  // 187
    {u"Html", u"Html"},  // 188
    {u"Texte", u"Text"},  // 189
    {u"Importer texte", u"Import text"},  // 190, English wording chosen here; no fixed one exists
    {u"Importer HTML", u"Import HTML"},  // 191, English wording chosen here; no fixed one exists
    {u"Joindre", u"Attach"},  // 192, English wording chosen here; no fixed one exists
    {u"Insérer un champ", u"Insert field"},  // 193
    {u"Personnaliser le message avec les champs des contacts", u"Customize the message with the contacts fields"},  // 194
    {u"Importer un fichier html", u"Import a html file"},  // 195
    {u"Visualiser HTML", u"Show HTML"},  // 196
    {u"Modifier source", u"Modify source"},  // 197
    {u"Visualiser", u"Show"},  // 198
    {u"Visualiser le message avec les informations du premier contact du premier annuaire sélectionné", u"Show the message with the first contact of the first selected directory"},  // 199
    {u"Gras", u"Bold"},  // 200
    {u"Italique", u"Italic"},  // 201
    {u"Souligné", u"Underlined"},  // 202
    {u"Voulez-vous effacer le message en cours ?", u"Do you want to delete the message in progress?"},  // 203
    {u"Vous allez perdre les attributs de votre texte.\r\nVoulez-vous passer en texte brut ?", u"You will lose the attributes of your texte. Do you want to pass in plain text?"},  // 204
    {u"Vous allez perdre votre message. Voulez-vous continuer ?", u"You go to lose your message. Do want you to continue?"},  // 205
    {u"Attention les noms des images et des fichiers attachés doivent être uniques.", u"Caution the names of the pictures or attached files must be unique ."},  // 206
    {u"Voulez-vous écraser le fichier existant ?", u"Do you want to crush the existing file?"},  // 207
    {u"Le message sélectionné est corrompu, ou n'est pas un message enregistré avec Kirvane", u"The selected message is corrupt, or is not a message saved with Kirvane"},  // 208
    {u"Attention les images devant être incluses dans le message doivent être dans le même répertoire que celui-ci, et ne doivent comporter ni espace, ni '%20' dans leur nom.\n\rVeuillez vérifier votre fichier html.", u"Caution the picture included in the message must be in the same repertory that this one, and should not contain space, or %20 in their name.\n\rYou should check your HTML file."},  // 209
    {u"Vous devez ajouter un annuaire pour visualiser le courrier.", u"You must add a directory to preview the mail."},  // 210
    {u"Vous n'avez pas rempli le sujet.\r\nVoulez-vous continuer malgré tout ?", u"You did not fill the subject. Do you still want to continue?"},  // 211
    {u"Le message ne peut être envoyé, vous n'avez pas rempli les paramètres de connexion (menu Configuration).", u"The message cannot be sent, you did not complete the set-up (go to configuration menu)."},  // 212
    {u"Vous n'avez pas choisi le ou les annuaires de destination.", u"You did not choose the destination directories."},  // 213
    {u"Annuaires des destinataires", u"Directories of the recipients"},  // 214
    {u"Annuaires des exclus", u"Directories of excluded"},  // 215
    // Placeholders of the message view, in the order of the insert-field menu (placeholders())
    {u"&titre&", u"&title&"},  // 216
    {u"&nom&", u"&name&"},  // 217
    {u"&prenom&", u"&lastname&"},  // 218
    {u"&companie&", u"&company&"},  // 219
    {u"&email&", u"&email&"},  // 220
    {u"&adresse1&", u"&address1&"},  // 221
    {u"&adresse2&", u"&address2&"},  // 222
    {u"&codepostal&", u"&zip&"},  // 223
    {u"&ville&", u"&city&"},  // 224
    {u"&pays&", u"&country&"},  // 225
    {u"&telephone&", u"&phone&"},  // 226
    {u"&fax&", u"&fax&"},  // 227
    {u"&url&", u"&url&"},  // 228
    {u"&champ_1&", u"&Field_1&"},  // 229
    {u"&champ_2&", u"&Field_2&"},  // 230
    {u"&champ_3&", u"&Field_3&"},  // 231
    {u"&champ_4&", u"&Field_4&"},  // 232
    // Main window MainWindow: the five texts of its own dialogs
    {u"\r\nVoulez-vous enregistrer le contact en cours ?", u"\r\nDo you want to save the contact ?"},  // 233
    {u"\r\nVoulez-vous enregistrer le message en cours ?", u"\r\nDo you want to save the message ?"},  // 234
    {u"Erreur pendant la création de la sauvegarde.", u"Error during the backup"},  // 235
    {u"Pour effectuer une recherche ou un remplacement, passez en mode source.", u"For find or replace, u should be on source mode"},  // 236
    {u"Chaîne recherchée non trouvée", u"String not found"},  // 237
    // Sending run: refused recipients and invalid addresses in the log, the end-of-run counts,
    // the settings file that cannot be written, a run a crash cut short, its history not written
    {u"Message refusé pour ", u"Message refused for "},  // 238
    {u"Adresse e-mail invalide pour le contact ", u"Invalid e-mail address for the contact "},  // 239
    {u"Envoyés : %1, refusés : %2, exclus : %3, sans adresse : %4, adresses invalides : %5", u"Sent: %1, refused: %2, excluded: %3, without an address: %4, invalid addresses: %5"},  // 240
    {u"Destinataires refusés :", u"Refused recipients:"},  // 241
    {u"La configuration n'a pas pu être enregistrée : ", u"The configuration could not be saved: "},  // 242
    {u"Un envoi a été interrompu par l'arrêt du programme.\n\rIl a été enregistré sous le nom « %1 ».\n\rVoulez-vous le reprendre maintenant ?", u"A sending was cut short when the program stopped.\n\rIt has been saved as \"%1\".\n\rDo you want to resume it now?"},  // 243
    {u"L'historique de cet envoi n'a pas pu être enregistré : ", u"The history of this sending could not be recorded: "},  // 244
    // Settings window SettingsWindow, its security and headers tab (continued from 326)
    {u"Sélecteur DKIM", u"DKIM selector"},  // 245
    {u"Domaine DKIM", u"DKIM domain"},  // 246
    {u"Clé privée DKIM (fichier)", u"DKIM private key (file)"},  // 247
    {u"Joindre une version texte aux messages HTML", u"Add a plain-text version to HTML messages"},  // 248
    {u"Attention : l'adresse d'abonnement est incorrecte.", u"Caution: the subscription address is incorrect."},  // 249
    // Not used by any window.
    // Address-books view: a book file no name can reach
    {u"Le fichier d'annuaire « %1 » ne peut pas être ouvert : son nom n'est pas en UTF-8. Renommez-le dans le dossier %2.", u"The directory file \"%1\" cannot be opened: its name is not valid UTF-8. Rename it in the folder %2."},  // 250
    {u"", u""},  // 251
    // Contacts view ContactsView (its other labels are the field names above)
    {u"Ajouter ou supprimer des titres de la liste", u"Add or remove titles of the list"},  // 252, English wording chosen here; no fixed one exists
    {u"Code post.", u"Zip code"},  // 253
    {u"Adresse", u"Address"},  // 254
    {u"Tél.", u"Phone"},  // 255
    {u"Notes", u"Notes"},  // 256
    {u"Nom de l'annuaire actif", u"Active directory name"},  // 257
    {u"Membres de l'annuaire", u"Directory members"},  // 258
    // Address-books view DirectoryView
    {u"Nombre d'adresses", u"Num. of addresses"},  // 259
    {u"Nom du champ 1", u"Name of field 1"},  // 260
    {u"Nom du champ 2", u"Name of field 2"},  // 261
    {u"Nom du champ 3", u"Name of field 3"},  // 262
    {u"Nom du champ 4", u"Name of field 4"},  // 263
    {u"Détails de l'annuaire :", u"Directory details"},  // 264
    {u"an_nouveau", u"an_New"},  // 265
    {u"an_Copie de", u"an_Copy of "},  // 266
    {u"Le nom d'un annuaire ne peut contenir un des caractères suivants: \n\r \\ / : * ' ? \" < > |", u"The name of a directory cannot contain one of the following characters/items: \n\r \\ /: * '? \"< > |"},  // 267
    // History view HistoryFrame
    {u"liste des sujets", u"Subjects list"},  // 268
    {u"Sujet", u"Subject"},  // 269
    {u"Date", u"Date"},  // 270
    {u"Fichier(s) joint(s)", u"Attached file(s)"},  // 271
    {u"Vous devez sélectionner des sujets dans la liste pour pouvoir supprimer", u"You must select subjects in the list to be able to remove (one of them)"},  // 272
    {u"Voulez-vous supprimer de l'historique des messages sélectionnés ?", u"Do you want to remove the history of the selected messages?"},  // 273
    // Contact search window SearchWindow
    {u"Rechercher un contact", u"Search a contact"},  // 274
    {u"Détails de la recherche", u"Search details:"},  // 275
    // Settings window SettingsWindow, the refusals of the checks of its security and
    // headers tab (continued from 331)
    {u"L'adresse web de désabonnement doit commencer par https://, ne contenir aucun espace et tenir sur une ligne d'en-tête.", u"The unsubscribe web address must start with https://, hold no blank and fit on a header line."},  // 276
    {u"Pour signer les messages avec DKIM, indiquez le sélecteur, le domaine et le fichier de la clé privée.", u"To sign the messages with DKIM, give the selector, the domain and the private key file."},  // 277
    {u"Le sélecteur ou le domaine DKIM est incorrect.", u"The DKIM selector or domain is incorrect."},  // 278
    {u"La clé privée DKIM ne peut pas être utilisée : ", u"The DKIM private key cannot be used: "},  // 279
    {u"Le fichier de certificats ne peut pas être lu : ", u"The certificate file cannot be read: "},  // 280
    // Settings that cannot be read or saved
    {u"impossible de lire %1 : %2", u"cannot read %1: %2"},  // 281
    {u"Le paramètre %1 contient un caractère de contrôle.", u"The setting %1 holds a control character."},  // 282
    {u"Le port %1 doit être un nombre de 1 à 65535.", u"The port %1 must be a number from 1 to 65535."},  // 283
    // Menus of the main window: menu titles and the items of MainMenu1 to MainMenu4
    {u"&Fichier", u"&File"},  // 284
    {u"&Quitter", u"Exit"},  // 285
    {u"&Edition", u"Edit"},  // 286
    {u"Couper", u"Cut"},  // 287
    {u"Copier", u"Copy"},  // 288
    {u"Coller", u"Paste"},  // 289
    {u"Fonc&tions", u"&Tools"},  // 290
    {u"Dédou&blonner", u"Double checks"},  // 291
    {u"&Rechercher un contact", u"Search a contact"},  // 292
    {u"&Ajouter", u"Add"},  // 293
    {u"&Copier", u"Copy"},  // 294
    {u"&Déplacer", u"Move"},  // 295
    {u"&Modifier", u"Modify"},  // 296
    {u"&Supprimer", u"Delete"},  // 297
    {u"&Imprimer", u"Print"},  // 298
    {u"&Configuration", u"Configuration"},  // 299
    {u"&Titres", u"Title"},  // 300
    {u"&Connexion", u"Connection"},  // 301
    {u"Aide", u"Help"},  // 302
    {u"Aide Kirvane", u"Kirvane Help"},  // 303
    {u"A Propos", u"About"},  // 304
    {u"&Dupliquer", u"Duplicate"},  // 305
    {u"&Renommer", u"Rename"},  // 306
    {u"Renommer les champs", u"Rename fields"},  // 307
    {u"&Synchroniser", u"Synchronize"},  // 308
    {u"I&mporter", u"Import"},  // 309
    {u"Ex&porter", u"Export"},  // 310
    {u"C&hercher vers le bas", u"Search"},  // 311
    {u"Occurence suivante", u"Next"},  // 312
    {u"Remplacer vers le bas", u"Replace"},  // 313
    {u"&Nouveau", u"New"},  // 314
    {u"&Ouvrir", u"Open"},  // 315
    {u"&Enregistrer", u"Save"},  // 316
    {u"Envo&yer", u"Send"},  // 317
    {u"Précedent", u"Previous message"},  // 318
    // Settings window SettingsWindow, its security and headers tab: caption, labels,
    // the check box, the first refusal of its checks
    {u"Sécurité et en-têtes", u"Security and headers"},  // 319
    {u"Messages envoyés", u"Messages sent"},  // 320
    {u"Sécurité", u"Security"},  // 321
    {u"Aucune", u"None"},  // 322
    {u"%1 par défaut", u"%1 by default"},  // 323
    {u"Certificats de confiance (fichier)", u"Trusted certificates (file)"},  // 324
    {u"Adresse d'abonnement", u"Subscription address"},  // 325
    {u"Adresse web de désabonnement", u"Unsubscribe web address"},  // 326
    // Import wizard ImportWizard: the kinds added after the seven, the counts
    // told at the end of an import
    {u"Excel 2007 et suivants (*.xlsx)", u"Excel 2007 and later (*.xlsx)"},  // 327
    {u"OpenDocument (*.ods)", u"OpenDocument (*.ods)"},  // 328
    {u"vCard (*.vcf)", u"vCard (*.vcf)"},  // 329
    {u"%1 contact(s) ajouté(s).", u"%1 contact(s) added."},  // 330
    {u"%1 ligne(s) refusée(s) :", u"%1 row(s) refused:"},  // 331
    // Caption of the error dialog
    {u"Erreur.", u"Error"},  // 332
    // Import wizard ImportWizard: rows whose address the book already held, the
    // file chooser's filter of every kind
    {u"%1 contact(s) mis à jour.", u"%1 contact(s) updated."},  // 333
    {u"%1 ligne(s) ignorée(s) : adresse déjà dans l'annuaire.", u"%1 row(s) skipped: address already in the book."},  // 334
    {u"Lignes dont l'adresse e-mail est déjà dans l'annuaire :", u"Rows whose e-mail address the book already holds:"},  // 335
    {u"Les ajouter quand même", u"Add them anyway"},  // 336
    {u"Les ignorer", u"Skip them"},  // 337
    {u"Mettre à jour le contact avec les valeurs non vides de la ligne", u"Update the contact with the row's non-empty values"},  // 338
    {u"Tous les fichiers importables", u"Every file that can be imported"},  // 339
    // The sending run: a stopped run that cannot be written, the confirmation
    // before a run, the end of a stopped run, a sender the server refuses,
    // the columns of the stopped runs' list
    {u"impossible d'enregistrer l'envoi interrompu dans %1 : %2", u"cannot save the stopped run in %1: %2"},  // 340
    {u"Envoyer « %1 » à %2 contacts de %3 annuaires (%4 exclus) ?", u"Send '%1' to %2 contacts of %3 books (%4 excluded)?"},  // 341
    {u"Arrêté après %1 sur %2 ; reprenez-le depuis Gérer les envois", u"Stopped after %1 of %2; resume it from Manage sendings"},  // 342
    {u"Le serveur refuse l'expéditeur : %1", u"The server refuses the sender: %1"},  // 343
    {u"Sujet\tDate\tAnnuaire\tPosition\tRestants", u"Subject\tDate\tBook\tPosition\tRemaining"},  // 344
    {u"Envoi de « %1 » à %2 contacts de %3 annuaires (%4 exclus)", u"Sending '%1' to %2 contacts of %3 books (%4 excluded)"},  // 345
    {u"Prochain paquet dans %1", u"Next packet in %1"},  // 346
    {u"Envoyer un test à moi-même", u"Send a test to myself"},  // 347
    {u"Message de test envoyé à %1", u"Test message sent to %1"},  // 348
    // Import: what the readers say of a file they refuse or of its records they refuse, where
    // those records stand; the export's note on control characters
    {u"Le fichier est vide.", u"The file is empty."},  // 349
    {u"ligne %1", u"line %1"},  // 350
    {u"enregistrement %1", u"record %1"},  // 351
    {u"carte %1", u"card %1"},  // 352
    {u"un guillemet ouvert sur cette ligne n'est jamais fermé", u"a quote opened on this line is never closed"},  // 353
    {u"enregistrement de plus de %1 caractères", u"a record of more than %1 characters"},  // 354
    {u"octets qui ne sont pas de l'UTF-8", u"bytes that are not UTF-8"},  // 355
    {u"la feuille %1 dépasse %2 lignes ou %3 colonnes", u"sheet %1 goes past %2 rows or %3 columns"},  // 356
    {u"la partie %1 du classeur dépasse %2 Mo", u"part %1 of the workbook is larger than %2 MB"},  // 357
    {u"le fichier tient plus de %1 cellules", u"the file holds more than %1 cells"},  // 358
    {u"la lecture dure plus de %1 s", u"reading takes more than %1 s"},  // 359
    {u"le champ %1 est d'un type que l'import ne lit pas (%2)", u"field %1 is of a type the import does not read (%2)"},  // 360
    {u"le fichier est coupé avant sa fin", u"the file is cut short before its end"},  // 361
    {u"enregistrement illisible", u"the record cannot be read"},  // 362
    {u"la liste des textes partagés du classeur est endommagée", u"the workbook's list of shared strings is damaged"},  // 363
    {u"%1 caractère(s) de contrôle retiré(s) des valeurs", u"%1 control character(s) left out of the values"},  // 364
    {u"l'en-tête de la table ne correspond pas à la taille du fichier", u"the table's header does not match the file's size"},  // 365
    // Texts of this program's own: examples and units of the settings window, file
    // filters, notices, the formatting and link buttons, the preview's heading
    {u"Ex : Ma lettre d'information", u"e.g. My newsletter"},  // 366
    {u"Ex : lettre@mon-site.fr", u"e.g. letter@my-site.com"},  // 367
    {u"Ex : moi@mon-site.fr", u"e.g. me@my-site.com"},  // 368
    {u"Ex : smtp.mon-fournisseur.fr", u"e.g. smtp.my-provider.com"},  // 369
    {u"Ex : pop.mon-fournisseur.fr", u"e.g. pop.my-provider.com"},  // 370
    {u"Ex : inscription_newsletter", u"e.g. newsletter_signup"},  // 371
    {u"Ex : 25", u"e.g. 25"},  // 372
    {u"Ex : 110", u"e.g. 110"},  // 373
    {u"minute(s)", u"minute(s)"},  // 374
    {u"Ex : inscription@mon-site.fr", u"e.g. signup@my-site.com"},  // 375
    {u"Ex : https://mon-site.fr/desabonner?adresse=&email&", u"e.g. https://my-site.com/unsubscribe?address=&email&"},  // 376
    {u"Ex : lettre2026", u"e.g. letter2026"},  // 377
    {u"Ex : mon-site.fr", u"e.g. my-site.com"},  // 378
    {u"Fichiers textes (*.txt);;Tous les fichiers (*)", u"Text files (*.txt);;All files (*)"},  // 379
    {u"Fichier HTML (*.html *.htm);;Tous les fichiers (*)", u"HTML file (*.html *.htm);;All files (*)"},  // 380
    {u"Messages enregistrés (*.MNL *.mnl)", u"Saved messages (*.MNL *.mnl)"},  // 381
    {u"L'annuaire « %1 » est endommagé ou illisible : %2", u"The directory \"%1\" is damaged or cannot be read: %2"},  // 382
    {u"Les messages sont supprimés, mais ces dossiers n'ont pas pu l'être :", u"The messages are deleted, but these folders could not be removed:"},  // 383
    {u"Éditeur et développement : le projet Kirvane", u"Publisher and developer: the Kirvane project"},  // 384
    {u"Fichier CSV (*.csv)", u"CSV file (*.csv)"},  // 385
    {u"G", u"B"},  // 386
    {u"I", u"I"},  // 387
    {u"S", u"U"},  // 388
    {u"Lien", u"Link"},  // 389
    {u"Faire du texte sélectionné un lien (Ctrl+K)", u"Make the selected text a link (Ctrl+K)"},  // 390
    {u"Adresse du lien (vide pour l'ôter) :", u"Link address (empty to remove it):"},  // 391
    {u"Destinataire", u"Recipient"},  // 392
    {u"Contact %1 sur %2", u"Contact %1 of %2"},  // 393
    {u"message(s)", u"message(s)"},  // 394
    // Start-up: the tables of a data folder in the earlier format brought across
    {u"%1 annuaires, %2 contacts et %3 messages de l'historique ont été repris de l'ancien format ; les fichiers d'origine sont conservés dans %4.", u"%1 address books, %2 contacts and %3 history records were brought across from the earlier format; the original files are kept in %4."},  // 395
    {u"La table %1 n'a pas pu être reprise de l'ancien format : %2. Elle reste où elle était ; le prochain démarrage essaiera à nouveau.", u"The table %1 could not be brought across from the earlier format: %2. It is kept where it was; the next start tries again."},  // 396
    // Import wizard: an import stopped by the user
    {u"Importation annulée : l'annuaire est resté tel qu'il était.", u"Import cancelled: the address book was left as it was."},  // 397
    // A store that fails under an act (%1 the store's reason, or the book and the reason)
    {u"Le contact n'a pas été enregistré : %1", u"The contact was not saved: %1"},  // 398
    {u"Le contact ne peut pas être lu : %1", u"The contact cannot be read: %1"},  // 399
    {u"Les contacts n'ont pas été supprimés : %1", u"The contacts were not deleted: %1"},  // 400
    {u"Les contacts n'ont pas été copiés dans « %1 » : %2", u"The contacts were not copied to \"%1\": %2"},  // 401
    {u"Les contacts n'ont pas été déplacés dans « %1 » : %2", u"The contacts were not moved to \"%1\": %2"},  // 402
    {u"La page des contacts à imprimer n'a pas pu être faite : %1", u"The page of the contacts to print could not be made: %1"},  // 403
    {u"Les contacts de l'annuaire « %1 » ne peuvent pas être comptés : %2", u"The contacts of the directory \"%1\" cannot be counted: %2"},  // 404
    {u"L'historique ne peut pas être lu : %1", u"The history cannot be read: %1"},  // 405
    {u"Les messages n'ont pas été supprimés de l'historique : %1", u"The messages were not deleted from the history: %1"},  // 406
    // Sending run: the server puts a message off twice
    {u"Le serveur ne prend pas le message pour l'instant (%1 : %2) ; l'envoi s'arrête à %3, reprenez-le plus tard", u"The server does not take the message for now (%1: %2); the run stopped at %3, resume it later"},  // 407
    // Sending run: the black list cannot be read any more
    {u"La liste des exclus ne peut plus être lue (%1) ; l'envoi s'arrête à %2", u"The list of excluded addresses cannot be read any more (%1); the run stopped at %2"},  // 408
    // MainWindow: no program opened the help page
    {u"Aucun programme n'a pu ouvrir la page d'aide :\n%1", u"No program could open the help page:\n%1"},  // 409
    // The view shown where a window has none of its own
    {u"Cette vue n'est pas encore disponible dans cette version.", u"This view is not available in this version yet."},  // 410
    // kirvane-cli send and resume: the end of a stopped run, the command that goes on with it
    {u"Arrêté après %1 sur %2 ; reprenez-le avec : kirvane-cli resume \"%3\"", u"Stopped after %1 of %2; resume it with: kirvane-cli resume \"%3\""},  // 411
}};
// clang-format on

constexpr std::array<int, 19> kMappingChoices{
    FieldUnused, FieldAddress1, FieldAddress2, FieldTitle, FieldZipCode, FieldComment, FieldEmail,
    FieldFax, FieldName, FieldCountry, FieldFirstName, FieldCompany, FieldPhone, FieldUrl, FieldCity,
    FieldFree1, FieldFree2, FieldFree3, FieldFree4,
};

constexpr std::array<PlaceholderEntries, 17> kPlaceholders{{
    {FieldTitle, PlaceholderTitle, 12},
    {FieldName, PlaceholderName, 1},
    {FieldFirstName, PlaceholderFirstName, 2},
    {FieldCompany, PlaceholderCompany, 11},
    {FieldEmail, PlaceholderEmail, 10},
    {FieldAddress1, PlaceholderAddress1, 5},
    {FieldAddress2, PlaceholderAddress2, 6},
    {FieldZipCode, PlaceholderZipCode, 3},
    {FieldCity, PlaceholderCity, 4},
    {FieldCountry, PlaceholderCountry, 7},
    {FieldPhone, PlaceholderPhone, 8},
    {FieldFax, PlaceholderFax, 9},
    {FieldUrl, PlaceholderUrl, 14},
    {FieldFree1, PlaceholderFree1, 15},
    {FieldFree2, PlaceholderFree2, 16},
    {FieldFree3, PlaceholderFree3, 17},
    {FieldFree4, PlaceholderFree4, 18},
}};

constexpr std::array<ButtonTemplate, 26> kTemplates{{
    {"Btn_Valider_fr", "Btn_Valider_uk", ButtonOk},
    {"Btn_Annuler_fr", "Btn_Annuler_uk", ButtonCancel},
    {"Btn_Oui_fr", "Btn_Oui_uk", ButtonYes},
    {"Btn_Non_fr", "Btn_Non_uk", ButtonNo},
    {"Btn_Fermer_fr", "Btn_Fermer_uk", ButtonClose},
    {"Btn_Ajouter_fr", "Btn_Ajouter_uk", ButtonAdd},
    {"Btn_Supprimer_fr", "Btn_Supprimer_uk", ButtonDelete},
    {"Btn_envoyer_fr", "Btn_envoyer_uk", ButtonSend},
    {"Btn_Enregistrer_fr", "Btn_Enregistrer_uk", ButtonSave},
    {"Btn_arret_sauvegarde_fr", "Btn_arret_sauvegarde_uk", ButtonStopAndSave},
    {"Btn_Tout_remplacer_fr", "Btn_Tout_remplacer_uk", ReplaceAll},
    {"btn_precedent_fr", "btn_precedent_uk", ButtonPrevious},
    {"btn_suivant_fr", "btn_suivant_uk", ButtonNext},
    {"btn_Importer_fr", "btn_Importer_uk", ButtonImport},
    {"btn_Mettre_a_jour_fr", "btn_Mettre_a_jour_uk", ButtonUpdate},
    {"Btn_Supprimer_contact_fr", "Btn_Supprimer_contact_uk", RemoveThisContact},
    {"btn_supprimer_tout_fr", "btn_supprimer_tout_uk", RemoveOtherOccurrences},
    {"btn_HTML_fr", "btn_HTML_uk", ButtonHtml},
    {"Btn_txt_fr", "Btn_txt_uk", ButtonText},
    {"Btn_importerhtml_fr", "Btn_importerhtml_uk", ButtonImportHtml},
    {"Btn_importertxt_fr", "Btn_importertxt_uk", ButtonImportText},
    {"btn_modif_src_fr", "btn_modif_src_uk", ButtonModifySource},
    {"btn_visualiser_html_fr", "btn_visualiser_html_uk", ButtonShowHtml},
    {"btn_inserer_info_fr", "btn_inserer_info_uk", ButtonInsertField},
    {"Btn_Visualiser_msg_fr", "Btn_Visualiser_msg_uk", ButtonPreview},
    {"Btn_Joindre_fr", "Btn_Joindre_uk", ButtonAttach},
}};

constexpr std::array<TemplateCopy, 10> kPreparation{{
    {"Btn_Ajouter_fr", "Btn_Ajouter_uk"},
    {"Btn_Supprimer_fr", "Btn_Supprimer_uk"},
    {"Btn_Valider_fr", "Btn_Valider_uk"},
    {"Btn_Annuler_fr", "Btn_Annuler_uk"},
    {"Btn_Valider_fr", "Btn_Oui_fr"},
    {"Btn_Oui_fr", "Btn_Oui_uk"},
    {"Btn_Non_fr", "Btn_Non_uk"},
    {"Btn_Non_fr", "Btn_Fermer_fr"},
    {"Btn_envoyer_fr", "Btn_envoyer_uk"},
    {"Btn_Fermer_fr", "Btn_Fermer_uk"},
}};

bool isEntry(int entry)
{
    return entry >= 0 && entry < EntryCount;
}

// Design texts break lines with CR LF, the table with LF CR; both become LF.
QString withPlainLineFeeds(QStringView text)
{
    QString result = text.toString();
    result.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    result.replace(QLatin1String("\n\r"), QLatin1String("\n"));
    return result;
}

} // namespace

QString text(int entry)
{
    return text(entry, ActiveLanguage);
}

QString text(int entry, int language)
{
    if (!isEntry(entry))
        return {};
    const Pair &pair = kTable[static_cast<std::size_t>(entry)];
    switch (language) {
    case French:
        return QString::fromUtf16(pair.french);
    case English:
        return QString::fromUtf16(pair.english);
    default:
        return {};
    }
}

QStringList lines(int entry, int language)
{
    return text(entry, language).split(LineSeparator.toString());
}

bool isUsed(int entry)
{
    if (!isEntry(entry))
        return false;
    const Pair &pair = kTable[static_cast<std::size_t>(entry)];
    return pair.french[0] != u'\0' || pair.english[0] != u'\0';
}

int findFrench(QStringView designText)
{
    // Built on first use; the first entry of a French text wins.
    static const QHash<QString, int> byFrench = [] {
        QHash<QString, int> index;
        for (int entry = 0; entry < EntryCount; ++entry) {
            const QStringView french(kTable[static_cast<std::size_t>(entry)].french);
            const QString key = withPlainLineFeeds(french);
            if (!french.isEmpty() && !index.contains(key))
                index.insert(key, entry);
        }
        return index;
    }();
    if (designText.isEmpty())
        return -1;
    return byFrench.value(withPlainLineFeeds(designText), -1);
}

QString translate(const QString &designText, int language)
{
    const int entry = findFrench(designText);
    return entry < 0 ? designText : text(entry, language);
}

std::span<const int> mappingChoices()
{
    return kMappingChoices;
}

std::span<const PlaceholderEntries> placeholders()
{
    return kPlaceholders;
}

std::span<const ButtonTemplate> buttonTemplates()
{
    return kTemplates;
}

const char *templateFor(const char *frenchTemplate, int language)
{
    if (!frenchTemplate)
        return nullptr;
    for (const ButtonTemplate &t : kTemplates) {
        if (std::strcmp(t.french, frenchTemplate) == 0)
            return language == French ? t.french : language == English ? t.english : nullptr;
    }
    return nullptr;
}

const ButtonTemplate *templateForButton(QStringView designCaption)
{
    int entry = findFrench(designCaption);
    // The pause window spells its stop button with an accent; same role.
    if (entry == PauseStopAndSave)
        entry = ButtonStopAndSave;
    for (const ButtonTemplate &t : kTemplates) {
        if (entry >= 0 && t.caption == entry)
            return &t;
    }
    return nullptr;
}

std::span<const TemplateCopy> templatePreparation()
{
    return kPreparation;
}

} // namespace kirvane::texts
