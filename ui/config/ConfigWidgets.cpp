#include "ui/config/ConfigWidgets.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>

QCheckBox* NewCheckBox(QWidget* parent, const QString& name, const QString& caption,
                       const QString& hint)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setToolTip(hint);
    return box;
}

QRadioButton* NewRadioButton(QWidget* parent, const QString& name, const QString& caption,
                             const QString& hint)
{
    auto* radio = new QRadioButton(caption, parent);
    radio->setObjectName(name);
    radio->setToolTip(hint);
    return radio;
}

QSpinBox* NewSpinBox(QWidget* parent, const QString& name, int minimum, int maximum,
                     const QString& hint)
{
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(minimum, maximum);
    spin->setToolTip(hint);
    return spin;
}

QLabel* NewLabel(QWidget* parent, const QString& name, const QString& caption)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    return label;
}
