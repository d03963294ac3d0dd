#include "store/tableschemas.h"

#include "store/contactrecord.h"

namespace kirvane::store {

const QString &bookValueColumns()
{
    static const QString columns = QStringLiteral(
        "nom,prenom,code_postal,ville,adresse1,adresse2,pays,tel,fax,email,societe,civilite,"
        "commentaire,url,champ16,champ17,champ18,champ19");
    return columns;
}

QString bookTableSql()
{
    QString sql = QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT");
    for (int k = 1; k < kContactFields; ++k)
        sql += QStringLiteral(", %1 TEXT NOT NULL DEFAULT ''").arg(contactColumns()[k]);
    sql += QStringLiteral(", nom_annuaire TEXT NOT NULL DEFAULT '', cle_tri BLOB);"
                          "CREATE INDEX t_name ON t(nom COLLATE NOCASE, prenom COLLATE NOCASE);"
                          "CREATE INDEX t_tri ON t(cle_tri, id);");
    return sql;
}

QString historyTableSql()
{
    return QStringLiteral(
        "CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, sujet TEXT NOT NULL DEFAULT '', "
        "texte TEXT NOT NULL DEFAULT '', date_msg TEXT NOT NULL DEFAULT '', nom_annuaire TEXT NOT NULL DEFAULT '', "
        "fichiers TEXT NOT NULL DEFAULT '', images TEXT NOT NULL DEFAULT '', html TEXT NOT NULL DEFAULT '', "
        "chemin_page_html TEXT NOT NULL DEFAULT '');");
}

QString nameOrder(bool descending)
{
    return descending ? QStringLiteral(" ORDER BY cle_tri DESC, id DESC") : QStringLiteral(" ORDER BY cle_tri, id");
}

QString insertContactSql()
{
    return QStringLiteral("INSERT INTO t (%1) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)").arg(bookValueColumns());
}

} // namespace kirvane::store
