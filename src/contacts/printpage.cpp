#include "contacts/printpage.h"

#include "contacts/contactform.h"
#include "store/addressbookstore.h"
#include "store/bookfiles.h"
#include "texts/texttable.h"

namespace kirvane::contacts {

using namespace kirvane::store;
using namespace kirvane::texts;

QString printPage(AddressBookStore &store, const QString &book, const QList<qint64> &ids, int language)
{
    QStringList page{QStringLiteral("<HTML>"), QStringLiteral("<BODY>"),
                     QStringLiteral("<H3>%1 : %2</H3>").arg(text(BookColumn, language), book.toHtmlEscaped())};
    ContactRecord labels = emptyContact();
    readLabels(store.files().labelPath(book), labels);
    // A book that cannot be opened is a failure; a contact gone is left out.
    (void)store.files().openBook(book);
    const auto line = [&page](const QString &caption, const QString &value) {
        page << QStringLiteral("<BR><B>%1 : </B>%2").arg(caption.toHtmlEscaped(), value.toHtmlEscaped());
    };
    for (qint64 id : ids) {
        ContactRecord c = labels;
        try {
            store.contacts().readContact(id, book, c);
        } catch (const StoreError &) {
            continue;
        }
        for (int k : {F_nom, F_prenom, F_societe, F_adresse1})
            line(fieldCaption(k, language), c[k].value);
        if (!c[F_adresse2].value.isEmpty())
            page << QStringLiteral("<BR><B>             </B>") + c[F_adresse2].value.toHtmlEscaped();
        for (int k : {F_code_postal, F_ville, F_pays, F_tel, F_fax, F_url, F_email})
            line(fieldCaption(k, language), c[k].value);
        for (int k = F_champ16; k <= F_champ19; ++k)
            page << QStringLiteral("<BR><B>%1: </B>%2").arg(c[k].label.toHtmlEscaped(), c[k].value.toHtmlEscaped());
        page << QStringLiteral("<BR><B>%1 : </B>").arg(text(LabelNotes, language));
        QString notes = c[F_commentaire].value;
        notes.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        if (!notes.isEmpty())
            for (const QString &l : notes.split(u'\n'))
                page << QStringLiteral("<BR> ") + l.toHtmlEscaped();
        page << QStringLiteral("<BR><HR>");
    }
    page << QStringLiteral("</BODY>") << QStringLiteral("</HTML>");
    return page.join(QLatin1String("\r\n")) + QLatin1String("\r\n");
}

} // namespace kirvane::contacts
