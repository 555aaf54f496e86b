// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/aboutbox.h"

#include "app/programicon.h"
#include "app/session.h"
#include "app/version.h"
#include "store/recordfile.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace rollcall {

namespace {
QLabel *label(QWidget *parent, const char *name, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setWordWrap(true);
    return l;
}
} // namespace

AboutBox::AboutBox(QWidget *parent) : QDialog(parent)
{
    const QString title = QStringLiteral("Rollcall");
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + title);

    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("picIcon"));
    icon->setPixmap(programIcon().pixmap(48, 48));

    QLabel *titleLabel = label(this, "lblTitle", title);
    QFont big = titleLabel->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    titleLabel->setFont(big);
    QLabel *version = label(this, "lblVersion", QStringLiteral("Version ") + versionText());

    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("fraCallsign"));
    frame->setFrameShape(QFrame::Box);
    auto *frameLayout = new QVBoxLayout(frame);
    QLabel *callLabel = label(frame, "lblCallsign", store::trimTrailingBlanks(session().mycall));
    callLabel->setAlignment(Qt::AlignCenter);
    frameLayout->addWidget(callLabel);

    QLabel *description = label(this, "lblDescription",
        QStringLiteral("Rollcall logs directed amateur-radio nets: check-ins, net control "
                       "changes and NTS radiogram traffic, with reports, PSK31 and packet."));
    QLabel *credits = label(this, "lblCredits",
        QStringLiteral("Thanks to the net control operators whose nets, "
                       "questions and patience shaped this program."));
    QLabel *disclaimer = label(this, "lblDisclaimer",
        QStringLiteral("Warning: ...There is no warranty on this sofware, expressed or implied.  "
                       "Use at your own risk and as always, MAKE BACKUP COPIES OF YOUR DATA!"));

    QLabel *licence = label(this, "lblLicense",
        QStringLiteral("Rollcall is free software: you can redistribute it and/or modify it under "
                       "the terms of the GNU General Public License, version 3 or (at your "
                       "option) any later version (GPL-3.0-or-later)."));

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(titleLabel, 0, 1);
    grid->addWidget(version, 1, 1);
    grid->addWidget(frame, 2, 1);
    grid->addWidget(description, 3, 1);
    grid->addWidget(credits, 4, 1);
    grid->addWidget(licence, 5, 0, 1, 2);
    grid->addWidget(disclaimer, 6, 0, 1, 2);
    grid->addWidget(ok, 7, 1, Qt::AlignRight);
    setMinimumWidth(420);
}

} // namespace rollcall
