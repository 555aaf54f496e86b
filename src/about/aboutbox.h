// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

namespace rollcall {

// The about box `frmAbout`: program, version, the operator's callsign and the
// no-warranty notice.
class AboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit AboutBox(QWidget *parent = nullptr);
};

} // namespace rollcall
