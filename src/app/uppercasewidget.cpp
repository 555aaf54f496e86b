// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/uppercasewidget.h"

#include <QLineEdit>

namespace rollcall {

void forceUpperCase(QLineEdit *edit)
{
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString &text) {
        const QString upper = text.toUpper();
        if (upper != text) {
            edit->setText(upper);
            edit->setCursorPosition(int(upper.size()));
        }
    });
}

} // namespace rollcall
