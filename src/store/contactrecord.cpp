#include "store/contactrecord.h"

#include "common/inifile.h"

namespace kirvane::store {

using namespace kirvane::common;

const QStringList &contactColumns()
{
    static const QStringList cols = {
        QStringLiteral("id"), QStringLiteral("nom"), QStringLiteral("prenom"),
        QStringLiteral("code_postal"), QStringLiteral("ville"), QStringLiteral("adresse1"),
        QStringLiteral("adresse2"), QStringLiteral("pays"), QStringLiteral("tel"),
        QStringLiteral("fax"), QStringLiteral("email"), QStringLiteral("societe"),
        QStringLiteral("civilite"), QStringLiteral("commentaire"), QStringLiteral("url"),
        QStringLiteral("champ16"), QStringLiteral("champ17"), QStringLiteral("champ18"),
        QStringLiteral("champ19"),
    };
    return cols;
}

int contactColumnIndex(const QString &column)
{
    const QStringList &cols = contactColumns();
    for (int i = 0; i < cols.size(); ++i)
        if (cols[i].compare(column, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

const QStringList &defaultLabels()
{
    static const QStringList labels = {
        QStringLiteral("id"), QStringLiteral("Nom"), QStringLiteral("Prenom"),
        QStringLiteral("Code_postal"), QStringLiteral("Ville"), QStringLiteral("Adresse1"),
        QStringLiteral("Adresse2"), QStringLiteral("pays"), QStringLiteral("Tel"),
        QStringLiteral("Fax"), QStringLiteral("Email"), QStringLiteral("Societe"),
        QStringLiteral("Civilite"), QStringLiteral("Commentaire"), QStringLiteral("URL"),
        QStringLiteral("Champ 1"), QStringLiteral("Champ 2"), QStringLiteral("Champ 3"),
        QStringLiteral("Champ 4"),
    };
    return labels;
}

void readLabels(const QString &path, ContactRecord &contact)
{
    IniFile ini(path);
    const QStringList &defaults = defaultLabels();
    for (int k = 0; k < kContactFields; ++k)
        contact[k].label = ini.value(QStringLiteral("nom_champs"),
                                     QStringLiteral("champs%1").arg(k + 1), defaults[k]);
}

bool writeLabels(const QString &path, const QStringList &freeLabels, QString *error)
{
    IniFile ini(path);
    const QStringList &defaults = defaultLabels();
    for (int k = 0; k < kContactFields; ++k) {
        const QString v = k < 15 ? defaults[k] : freeLabels.value(k - 15);
        ini.setValue(QStringLiteral("nom_champs"), QStringLiteral("champs%1").arg(k + 1), v);
    }
    return ini.save(path, error);
}

void newSubscriberRecord(ContactRecord &contact)
{
    for (Field &f : contact)
        f.value.clear();
    contact[F_civilite].value = QStringLiteral("Inconnu");
}

ContactRecord emptyContact()
{
    ContactRecord c;
    const QStringList &defaults = defaultLabels();
    for (int k = 0; k < kContactFields; ++k)
        c[k].label = defaults[k];
    return c;
}

QString displayName(const QString &nom, const QString &prenom)
{
    if ((nom + prenom).isEmpty())
        return QStringLiteral("<Unknow name>");
    return nom + QLatin1String("  ") + prenom;
}

} // namespace kirvane::store
