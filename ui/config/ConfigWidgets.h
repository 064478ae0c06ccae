#pragma once

#include <QString>

class QCheckBox;
class QLabel;
class QRadioButton;
class QSpinBox;
class QWidget;

// Small makers for the configuration pages: each control gets its object name (so it can
// be found by name), its caption and its hint in one call. The parent owns what is made.

QCheckBox* NewCheckBox(QWidget* parent, const QString& name, const QString& caption,
                       const QString& hint = {});
QRadioButton* NewRadioButton(QWidget* parent, const QString& name, const QString& caption,
                             const QString& hint = {});
QSpinBox* NewSpinBox(QWidget* parent, const QString& name, int minimum, int maximum,
                     const QString& hint = {});
QLabel* NewLabel(QWidget* parent, const QString& name, const QString& caption);
