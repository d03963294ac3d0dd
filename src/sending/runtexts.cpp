#include "sending/runtexts.h"

#include "texts/texttable.h"

namespace kirvane::sending {

using namespace kirvane::texts;

namespace {

struct Pair {
    const char16_t *french;
    const char16_t *english;
};

constexpr Pair kTexts[] = {
    {u"Message refusé pour ", u"Message refused for "},
    {u"Adresse e-mail invalide pour le contact ", u"Invalid e-mail address for the contact "},
    {u"Envoyés : %1, refusés : %2, exclus : %3, sans adresse : %4, adresses invalides : %5",
     u"Sent: %1, refused: %2, excluded: %3, without an address: %4, invalid addresses: %5"},
    {u"Destinataires refusés :", u"Refused recipients:"},
    {u"La configuration n'a pas pu être enregistrée : ", u"The configuration could not be saved: "},
    {u"Un envoi a été interrompu par l'arrêt du programme.\n\rIl a été enregistré sous le nom « %1 ».\n\rVoulez-vous le reprendre maintenant ?",
     u"A sending was cut short when the program stopped.\n\rIt has been saved as \"%1\".\n\rDo you want to resume it now?"},
    {u"L'historique de cet envoi n'a pas pu être enregistré : ", u"The history of this sending could not be recorded: "},
};

} // namespace

QString runText(RunText text)
{
    const Pair &p = kTexts[int(text)];
    return QString::fromUtf16(texts::ActiveLanguage == texts::French ? p.french : p.english);
}

} // namespace kirvane::sending
