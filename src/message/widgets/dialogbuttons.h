#pragma once
// The button row of the message view's small windows: named buttons, right
// aligned, the first one the default.

#include <QHBoxLayout>
#include <QPushButton>

#include <initializer_list>

namespace kirvane::message {

inline QPushButton *dialogButton(const char *objectName, QWidget *parent)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(QString::fromLatin1(objectName));
    return b;
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
