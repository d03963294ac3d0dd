#pragma once
// A spin field that takes any number typed and, when the user leaves it,
// turns a number beyond its maximum (or a text that is no number) into the
// maximum, instead of refusing the keystroke.

#include <QSpinBox>

namespace kirvane::sending {

class BoundedSpinBox : public QSpinBox {
    Q_OBJECT
public:
    BoundedSpinBox(int minimum, int maximum, int maxLength, QWidget *parent = nullptr);

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;

private:
    int m_maxLength;
};

} // namespace kirvane::sending
