// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal/propertiesdialog.h"

#include "app/placementwidget.h"
#include "app/session.h"
#include "terminal/terminalwindow.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QTabWidget>
#include <QVBoxLayout>

namespace rollcall::terminal {

namespace {
void exclaim(const QString &text)
{
    if (Prompts *p = session().prompts)
        p->exclamation(QStringLiteral("CommPort Properties"), text);
}

QComboBox *combo(QWidget *parent, const char *name, const QStringList &items)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->addItems(items);
    return box;
}

QButtonGroup *options(QGroupBox *frame, const char *name, const QStringList &captions)
{
    auto *group = new QButtonGroup(frame);
    group->setObjectName(QLatin1String(name));
    auto *layout = new QVBoxLayout(frame);
    for (int i = 0; i < captions.size(); ++i) {
        auto *b = new QRadioButton(captions[i], frame);
        b->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(i));
        group->addButton(b, i);
        layout->addWidget(b);
    }
    return group;
}
} // namespace

PropertiesDialog::PropertiesDialog(TerminalWindow &terminal, QWidget *parent)
    : QDialog(parent), m_terminal(terminal)
{
    setObjectName(QStringLiteral("frmProperties"));
    setWindowTitle(QStringLiteral("CommPort Properties"));
    setModal(true);

    auto *tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabSettings"));
    auto *settings = new QWidget(tabs);
    settings->setObjectName(QStringLiteral("fraSettings"));
    tabs->addTab(settings, QStringLiteral("Settings"));

    auto *speedFrame = new QGroupBox(QStringLiteral("Port Speed"), settings);
    speedFrame->setObjectName(QStringLiteral("Frame1"));
    m_speed = combo(speedFrame, "cboSpeed",
        { "110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "28800", "38400",
            "56000", "57600", "115200", "128000", "256000" });
    m_speed->setEditable(true);
    (new QVBoxLayout(speedFrame))->addWidget(m_speed);

    auto *connection = new QGroupBox(QStringLiteral("Port Preferences"), settings);
    connection->setObjectName(QStringLiteral("fraConnection"));
    QStringList ports;
    for (int i = 1; i <= 16; ++i)
        ports << QStringLiteral("Com%1").arg(i);
    m_port = combo(connection, "cboPort", ports);
    // The serial devices this system has beyond the first sixteen (USB, ACM,
    // Bluetooth); a device path or HOST:PORT may also be typed.
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        if (!commForDevicePath(info.systemLocation()))
            m_port->addItem(info.systemLocation());
    m_port->setEditable(true);
    m_port->setMinimumContentsLength(18); // room for /dev/ttyUSB0 or a host:port
    m_dataBits = combo(connection, "cboDataBits", { "4", "5", "6", "7", "8" });
    m_parity = combo(connection, "cboParity", { "Even", "Odd", "None", "Mark", "Space" });
    m_stopBits = combo(connection, "cboStopBits", { "1", "1.5", "2" });
    auto *form = new QFormLayout(connection);
    form->addRow(QStringLiteral("Port:"), m_port);
    form->addRow(QStringLiteral("Data Bits:"), m_dataBits);
    form->addRow(QStringLiteral("Parity:"), m_parity);
    form->addRow(QStringLiteral("Stop Bits:"), m_stopBits);

    auto *echoFrame = new QGroupBox(QStringLiteral("&Echo"), settings);
    echoFrame->setObjectName(QStringLiteral("Frame7"));
    m_echo = options(echoFrame, "optEcho", { QStringLiteral("Off"), QStringLiteral("On") });
    auto *flowFrame = new QGroupBox(QStringLiteral("&Flow"), settings);
    flowFrame->setObjectName(QStringLiteral("Frame5"));
    m_flow = options(flowFrame, "optFlow",
        { QStringLiteral("None"), QStringLiteral("Xon/Xoff"), QStringLiteral("RTS"),
            QStringLiteral("Xon/RTS") });
    connect(m_echo, &QButtonGroup::idClicked, this, [this](int id) { m_chosenEcho = id == 1; });
    connect(m_flow, &QButtonGroup::idClicked, this, [this](int id) { m_chosenFlow = id; });
    connect(m_port, &QComboBox::currentTextChanged, this, [this] { showNetworkState(); });

    auto *grid = new QGridLayout(settings);
    grid->addWidget(speedFrame, 0, 0);
    grid->addWidget(connection, 1, 0, 2, 1);
    grid->addWidget(echoFrame, 0, 1);
    grid->addWidget(flowFrame, 1, 1);

    auto *buttons = new QDialogButtonBox(this);
    auto *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto *cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &PropertiesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PropertiesDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    LoadPropertySettings();
    placeOnScreen(this);
}

void PropertiesDialog::LoadPropertySettings()
{
    PortLink &link = m_terminal.link();
    const SettingsFields f = splitSettings(link.settings());
    m_speed->setCurrentText(f.speed);
    m_parity->setCurrentIndex(f.parityIndex);
    m_dataBits->setCurrentText(f.dataBits);
    m_stopBits->setCurrentText(f.stopBits);
    if (const int n = link.commPort())
        m_port->setCurrentIndex(n - 1);
    else
        m_port->setCurrentText(link.portName());
    if (QAbstractButton *b = m_flow->button(link.handshaking()))
        b->click();
    m_echo->button(m_terminal.echo() ? 1 : 0)->click();
    showNetworkState();
}

void PropertiesDialog::showNetworkState()
{
    // Speed, framing and flow control mean nothing on a TCP connection.
    const bool serial = !isNetworkPort(m_port->currentText().trimmed());
    for (QWidget *w :
        std::initializer_list<QWidget *> { m_speed, m_dataBits, m_parity, m_stopBits })
        w->setEnabled(serial);
    for (QAbstractButton *b : m_flow->buttons())
        b->setEnabled(serial);
}

void PropertiesDialog::accept()
{
    PortLink &link = m_terminal.link();
    m_terminal.setEcho(m_chosenEcho);

    const QString chosenText = m_port->currentText().trimmed();
    const int chosenComm = commFromLabel(chosenText);
    const QString chosen = chosenComm ? devicePathForComm(chosenComm) : chosenText;
    if (chosen != link.portName()) {
        const QString old = link.portName();
        const bool wasOpen = link.isOpen();
        link.close();
        QString error;
        bool ok = link.setPortName(chosen, &error);
        if (ok && wasOpen)
            ok = link.open(&error);
        if (!ok) {
            exclaim(error);
            link.close();
            link.setPortName(old);
            if (wasOpen && !link.open(&error))
                exclaim(error);
        }
        m_terminal.showPortState();
    }

    QString error;
    if (!link.setSettings(joinSettings(m_speed->currentText(), m_parity->currentText(),
                              m_dataBits->currentText(), m_stopBits->currentText()),
            &error))
        exclaim(error);
    if (!link.setHandshaking(m_chosenFlow, &error))
        exclaim(error);
    m_terminal.showPortState();

    // What is stored is what the port holds now.
    StoredProperties stored = StoredProperties::load();
    stored.settings = link.settings();
    if (link.commPort()) {
        stored.commPort = QString::number(link.commPort());
        stored.portName.clear();
    } else {
        if (stored.commPort.isEmpty())
            stored.commPort = QStringLiteral("1");
        stored.portName = link.portName();
    }
    stored.handshaking = QString::number(link.handshaking());
    stored.echo = m_terminal.echo() ? QStringLiteral("True") : QStringLiteral("False");
    if (!stored.save())
        exclaim(QStringLiteral("The settings could not be stored in %1.")
                    .arg(StoredProperties::filePath()));
    QDialog::accept();
}

} // namespace rollcall::terminal
