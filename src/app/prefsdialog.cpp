// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/prefsdialog.h"

#include "app/session.h"
#include "app/uppercasewidget.h"
#include "app/windowregistry.h"
#include "store/programfiles.h"
#include "store/recordfile.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValidator>

namespace rollcall {

namespace {
// Digits only, and never more than the largest message number.
class MessageNumberValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        if (input.isEmpty())
            return Intermediate;
        bool ok = false;
        const int value = input.toInt(&ok);
        if (!ok || input.startsWith(u'+') || input.startsWith(u'-')
            || value > store::MessageNumberFile::kMaximum)
            return Invalid;
        return Acceptable;
    }
};
} // namespace

PrefsDialog::PrefsDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("prefs"));
    setWindowTitle(QStringLiteral("Preferences"));

    m_callsign = new QLineEdit(this);
    m_callsign->setObjectName(QStringLiteral("txtCallsign"));
    m_callsign->setToolTip(QStringLiteral("Your Callsign"));
    m_callsign->setMaxLength(store::PrefsRecord::kCallsignWidth);
    forceUpperCase(m_callsign);
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("txtName"));
    m_name->setToolTip(QStringLiteral("Your Name"));
    m_name->setMaxLength(store::PrefsRecord::kNameWidth);
    m_location = new QLineEdit(this);
    m_location->setObjectName(QStringLiteral("txtLocation"));
    m_location->setToolTip(QStringLiteral("Your City and State, for example: Springfield,IL"));
    m_location->setMaxLength(store::PrefsRecord::kLocationWidth);
    m_msgnumber = new QLineEdit(this);
    m_msgnumber->setObjectName(QStringLiteral("txtMsgNumber"));
    m_msgnumber->setToolTip(QStringLiteral(
        "The next message number to assign to NTS messages - increments automagically!"));
    // Message numbers are 16-bit: the field takes 0 to 32767.
    m_msgnumber->setValidator(new MessageNumberValidator(this));

    m_splash = new QCheckBox(QStringLiteral("Splash on startup"), this);
    m_splash->setObjectName(QStringLiteral("chkSplash"));
    m_splash->setToolTip(QStringLiteral("Displays the Rollcall title screen when enabled."));
    m_splash->setTristate(true);
    m_options = new QCheckBox(QStringLiteral("Option checkboxes"), this);
    m_options->setObjectName(QStringLiteral("chkOptions"));
    m_options->setToolTip(QStringLiteral("Turns on the Option check boxes in the net entry mode."));
    m_spaceTab = new QCheckBox(QStringLiteral("Spacebar=Tab"), this);
    m_spaceTab->setObjectName(QStringLiteral("chkSpaceTab"));
    m_spaceTab->setToolTip(QStringLiteral("Makes the spacebar act the same as the Tab key in net "
                                          "netry mode.  Use <SHIFT><SPACE> for a space"));

    auto *saveButton = new QPushButton(QStringLiteral("&Save"), this);
    saveButton->setObjectName(QStringLiteral("cmdSave"));
    saveButton->setDefault(true);
    connect(saveButton, &QPushButton::clicked, this, &PrefsDialog::save);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("My Callsign:"), m_callsign);
    form->addRow(QStringLiteral("My Name:"), m_name);
    form->addRow(QStringLiteral("My Location:"), m_location);
    form->addRow(QStringLiteral("Next Message #"), m_msgnumber);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_splash);
    layout->addWidget(m_options);
    layout->addWidget(m_spaceTab);
    auto *buttons = new QHBoxLayout;
    // The web server keeps its own settings in its own window, when the build has one.
    if (windows().isAvailable(QStringLiteral("webserver"))) {
        auto *web = new QPushButton(QStringLiteral("&Web Server..."), this);
        web->setObjectName(QStringLiteral("cmdWebServer"));
        web->setToolTip(QStringLiteral("Serve the open net's live page and logger page on the "
                                       "station's network"));
        // Over this modal box, and modal itself: a window of its own would be
        // shut out (and hidden behind the net window) until this one closes.
        connect(web, &QPushButton::clicked, this,
            [this] { showDialogOver(this, QStringLiteral("webserver")); });
        buttons->addWidget(web);
    }
    buttons->addStretch();
    buttons->addWidget(saveButton);
    layout->addLayout(buttons);

    load();
}

void PrefsDialog::load()
{
    Session &s = session();
    store::readPrefs(s.prefsPath(), s.prefsrec);
    const store::PrefsRecord &p = s.prefsrec;
    m_callsign->setText(p.callsign);
    using Splash = store::PrefsRecord::Splash;
    const Splash splash = p.splashState();
    m_splash->setCheckState(splash == Splash::Off ? Qt::Unchecked
            : splash == Splash::On                ? Qt::Checked
                                                  : Qt::PartiallyChecked);
    m_options->setChecked(p.optionCheckboxes != 0);
    m_spaceTab->setChecked(p.spaceBarTab != 0);
    m_name->setText(p.name);
    m_location->setText(p.location);
    s.msgnumber = s.messageNumbers().read();
    m_msgnumber->setText(QString::number(s.msgnumber));
}

void PrefsDialog::save()
{
    Session &s = session();
    store::PrefsRecord &p = s.prefsrec;
    using Splash = store::PrefsRecord::Splash;
    const Qt::CheckState splash = m_splash->checkState();
    p.setSplashState(splash == Qt::Unchecked ? Splash::Off
            : splash == Qt::Checked          ? Splash::On
                                             : Splash::Unset);
    p.callsign = store::trimTrailingBlanks(m_callsign->text());
    p.optionCheckboxes = m_options->isChecked() ? 1 : 0;
    p.spaceBarTab = m_spaceTab->isChecked() ? 1 : 0;
    p.name = m_name->text();
    p.location = m_location->text();
    QString error;
    if (!store::writePrefs(s.prefsPath(), p, &error))
        s.prompts->exclamation(QStringLiteral("Preferences"),
            QStringLiteral("The preferences could not be saved: %1").arg(error));

    // An open net makes its option boxes usable (or not) at once.
    if (QWidget *net = windows().loaded(QStringLiteral("rollcall")))
        QMetaObject::invokeMethod(
            net, "setOptionCheckboxesEnabled", Q_ARG(bool, m_options->isChecked()));

    if (const auto stored = s.messageNumbers().set(m_msgnumber->text()))
        s.msgnumber = *stored;
    else
        s.prompts->exclamation(QStringLiteral("Preferences"),
            QStringLiteral("The message number could not be saved to %1.")
                .arg(s.messageNumberPath));
    s.setMycallFrom(p.callsign);
    accept();
    close();
}

} // namespace rollcall
