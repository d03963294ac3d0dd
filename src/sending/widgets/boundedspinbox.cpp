#include "sending/widgets/boundedspinbox.h"

#include <QLineEdit>

namespace kirvane::sending {

BoundedSpinBox::BoundedSpinBox(int minimum, int maximum, int maxLength, QWidget *parent)
    : QSpinBox(parent), m_maxLength(maxLength)
{
    setRange(minimum, maximum);
    lineEdit()->setMaxLength(maxLength);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

QValidator::State BoundedSpinBox::validate(QString &input, int &) const
{
    if (input.size() > m_maxLength)
        return QValidator::Invalid;
    bool ok = false;
    const int v = input.toInt(&ok);
    if (!ok)
        return input.isEmpty() ? QValidator::Intermediate : QValidator::Invalid;
    return v >= minimum() && v <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

void BoundedSpinBox::fixup(QString &input) const
{
    bool ok = false;
    const int v = input.toInt(&ok);
    if (!ok || v > maximum())
        input = QString::number(maximum());
    else if (v < minimum())
        input = QString::number(minimum());
}

} // namespace kirvane::sending
