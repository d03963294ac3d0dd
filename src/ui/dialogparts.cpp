#include "ui/dialogparts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace kirvane::ui {

QPushButton *namedButton(const char *objectName, QWidget *parent)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(QString::fromLatin1(objectName));
    return b;
}

QLabel *namedLabel(const char *objectName, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(objectName));
    return l;
}

QHBoxLayout *buttonRow(std::initializer_list<QPushButton *> buttons, QPushButton *defaultButton)
{
    auto *row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton *b : buttons)
        row->addWidget(b);
    if (defaultButton)
        defaultButton->setDefault(true);
    return row;
}

QStringList selectedTexts(const QListWidget &list)
{
    QStringList texts;
    for (int row = 0; row < list.count(); ++row)
        if (list.item(row)->isSelected())
            texts << list.item(row)->text();
    return texts;
}

} // namespace kirvane::ui
