#pragma once
// The parts of the small windows of the message and history views: named
// labels and buttons, and the button row, right aligned, the first button the
// default.

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include <initializer_list>

namespace kirvane::message {

inline QPushButton *dialogButton(const char *objectName, QWidget *parent)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(QString::fromLatin1(objectName));
    return b;
}

// A label found by its objectName.
inline QLabel *namedLabel(const char *objectName, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(objectName));
    return l;
}

inline QHBoxLayout *buttonRow(std::initializer_list<QPushButton *> buttons)
{
    auto *row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton *b : buttons)
        row->addWidget(b);
    (*buttons.begin())->setDefault(true);
    return row;
}

} // namespace kirvane::message
