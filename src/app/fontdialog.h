// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/prompts.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QLabel;
class QListWidget;

namespace rollcall {

// The font dialog of the rich-text windows: scalable fonts only, with the
// effects Qt's own font dialog lacks (a colour beside underline and strikethrough).
class FontDialog : public QDialog
{
    Q_OBJECT
public:
    explicit FontDialog(const Prompts::FontChoice &start, QWidget *parent = nullptr);

    Prompts::FontChoice choice() const;

private:
    void updateSample();

    QFontComboBox *m_family;
    QListWidget *m_style;
    QComboBox *m_size;
    QCheckBox *m_strike;
    QCheckBox *m_underline;
    QComboBox *m_color;
    QLabel *m_sample;
};

} // namespace rollcall
