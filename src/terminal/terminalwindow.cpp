// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal/terminalwindow.h"

#include "app/placementwidget.h"
#include "app/session.h"
#include "app/windowregistry.h"
#include "store/recordfile.h"
#include "terminal/cancelsenddialog.h"
#include "terminal/commevents.h"
#include "terminal/propertiesdialog.h"
#include "terminal/texttransmit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <optional>

namespace rollcall::terminal {

namespace {
const QString kCaption = QStringLiteral("TNC Terminal");

Prompts *prompts()
{
    return session().prompts;
}

void exclaim(const QString &text)
{
    if (prompts())
        prompts()->exclamation(kCaption, text);
}

// The leading number of an answer, as the old input conversion read it:
// blanks skipped, an optional sign, then digits; none gives 0.
std::optional<int> leadingNumber(const QString &answer, QString *error)
{
    const QString t = answer.trimmed();
    qsizetype i = 0;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+'))
        ++i;
    while (i < t.size() && t[i].isDigit())
        ++i;
    bool ok = false;
    const qlonglong n = t.left(i).toLongLong(&ok);
    if (!ok)
        return 0;
    if (n < -32768 || n > 32767) {
        *error = QStringLiteral("Overflow");
        return std::nullopt;
    }
    return int(n);
}
} // namespace

TerminalWindow::TerminalWindow(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmTerminal"));
    setWindowTitle(kCaption);
    setAttribute(Qt::WA_DeleteOnClose);

    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("txtTerm"));
    m_text->setUndoRedoEnabled(false);
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QPalette pal = m_text->palette();
    pal.setColor(QPalette::Base, QColor(0, 0, 255));
    pal.setColor(QPalette::Text, QColor(255, 255, 0));
    m_text->setPalette(pal);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_text->setFont(mono);
    m_text->installEventFilter(this);
    setCentralWidget(m_text);

    auto *bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("sbrStatus"));
    setStatusBar(bar);
    m_status = new QLabel(QStringLiteral("Status: "), bar);
    m_status->setObjectName(QStringLiteral("Status"));
    m_settings = new QLabel(QStringLiteral("Settings: "), bar);
    m_settings->setObjectName(QStringLiteral("Settings"));
    m_connectTime = new QLabel(bar);
    m_connectTime->setObjectName(QStringLiteral("ConnectTime"));
    // A long status (an error with the system's words) is cut, never widens the window.
    for (QLabel *label : { m_status, m_settings })
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar->addWidget(m_status, 2);
    bar->addWidget(m_settings, 1);
    bar->addPermanentWidget(m_connectTime);

    auto add = [this](QMenu *menu, const QString &caption, const char *name, auto slot) {
        QAction *a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    add(file, QStringLiteral("&Open Log File..."), "mnuOpenLog", [this] { openLogFile(); });
    add(file, QStringLiteral("&Close Log File"), "mnuCloseLog", [this] {
        closeLogFile();
    })->setEnabled(false);
    add(file, QStringLiteral("&Transmit Text File..."), "mnuSendText", [this] {
        transmitTextFile();
    })->setEnabled(false);
    file->addSeparator();
    add(file, QStringLiteral("E&xit"), "mnuExit", [this] { close(); });

    QMenu *port = menuBar()->addMenu(QStringLiteral("&Port "));
    add(port, QStringLiteral("Port &Open"), "mnuOpen", [this] {
        togglePort();
    })->setCheckable(true);
    add(port, QStringLiteral("Properties..."), "mnuProperties", [this] {
        PropertiesDialog dialog(*this, this);
        dialog.exec();
    });

    QMenu *mscomm = menuBar()->addMenu(QStringLiteral("&MSComm"));
    add(mscomm, QStringLiteral("&InputLen..."), "mnuInputLen", [this] { askValue("InputLen"); });
    add(mscomm, QStringLiteral("&RThreshold..."), "mnuRThreshold",
        [this] { askValue("RThreshold"); });
    add(mscomm, QStringLiteral("&SThreshold..."), "mnuSThreshold",
        [this] { askValue("SThreshold"); });
    add(mscomm, QStringLiteral("P&arityReplace..."), "mnuParRep",
        [this] { askValue("ParityReplace"); });
    add(mscomm, QStringLiteral("&DTREnable"), "mnuDTREnable", [this] {
        toggleDtr();
    })->setCheckable(true);
    mscomm->addSeparator();
    add(mscomm, QStringLiteral("&CDHolding..."), "mnuCDHolding", [this] { showHolding("CD"); });
    add(mscomm, QStringLiteral("CTSH&olding..."), "mnuCTSHolding", [this] { showHolding("CTS"); });
    add(mscomm, QStringLiteral("DSRHo&lding..."), "mnuDSRHolding", [this] { showHolding("DSR"); });

    QMenu *call = menuBar()->addMenu(QStringLiteral("C&all"));
    add(call, QStringLiteral("&Dial Phone Number..."), "mnuDial", [this] { dialPhoneNumber(); });
    add(call, QStringLiteral("&Hang Up Phone"), "mnuHangUp", [this] {
        hangUpPhone();
    })->setEnabled(false);

    m_timer1.setInterval(1000);
    connect(&m_timer1, &QTimer::timeout, this, &TerminalWindow::showConnectTime);
    m_timer2.setInterval(2000);
    m_timer2.setSingleShot(true);
    connect(&m_timer2, &QTimer::timeout, this,
        [this] { m_status->setText(QStringLiteral("Status: ")); });

    connect(&m_link, &PortLink::commEventRaised, this, &TerminalWindow::onCommEvent);
    // A port that closes by itself (device unplugged, connection ended) shows closed.
    connect(&m_link, &PortLink::openChanged, this, [this](bool) { showPortState(); });
    traffic::setPacketTransport(this);

    resize(601, 231);
    placeOnScreen(this);
    loadSettings();
}

TerminalWindow::~TerminalWindow()
{
    if (traffic::packetTransport() == this)
        traffic::setPacketTransport(nullptr);
    m_link.blockSignals(true);
    m_link.close();
}

QAction *TerminalWindow::menuAction(const QString &name) const
{
    return findChild<QAction *>(name);
}

void TerminalWindow::loadSettings()
{
    const StoredProperties stored = StoredProperties::load();
    QString error;
    if (!stored.settings.isEmpty() && !m_link.setSettings(stored.settings, &error)) {
        exclaim(error);
        return;
    }
    if (!stored.portName.isEmpty()) {
        if (!m_link.setPortName(stored.portName, &error))
            exclaim(error);
    } else if (!stored.commPort.isEmpty() && !m_link.setCommPort(stored.commPort.toInt(), &error)) {
        exclaim(error);
    }
    if (!stored.handshaking.isEmpty()
        && !m_link.setHandshaking(stored.handshaking.toInt(), &error)) {
        exclaim(error);
        return;
    }
    m_echo = stored.echo.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0;
    if (session().screenwidth >= 1024) {
        // Top 0, left 6000, 9015 by 3465 twips; the frame's top, so the title bar shows.
        resize(601, 231);
        move(400, 0);
    }
    menuAction(QStringLiteral("mnuDTREnable"))->setChecked(m_link.dtrEnable());
    togglePort();
}

void TerminalWindow::showPortState()
{
    const bool open = m_link.isOpen();
    // However the port came to be open (the menu, dialling, another port chosen
    // in the properties), its connect clock runs.
    if (open && !m_timer1.isActive())
        startClock();
    menuAction(QStringLiteral("mnuOpen"))->setChecked(open);
    menuAction(QStringLiteral("mnuSendText"))->setEnabled(open && !m_transmitting);
    menuAction(QStringLiteral("mnuHangUp"))->setEnabled(open);
    if (open) {
        m_settings->setText(QStringLiteral("Settings: ") + m_link.settings());
    } else {
        m_settings->setText(QStringLiteral("Settings: "));
        stopClock();
    }
}

void TerminalWindow::togglePort()
{
    QString error;
    if (m_link.isOpen()) {
        m_link.close();
    } else if (!m_link.open(&error)) {
        exclaim(error);
    }
    showPortState();
}

void TerminalWindow::startClock()
{
    m_connectStart = QDateTime::currentDateTime();
    m_timer1.start();
    showConnectTime();
}

void TerminalWindow::showConnectTime()
{
    const qint64 secs = m_connectStart.secsTo(QDateTime::currentDateTime());
    m_connectTime->setText(QStringLiteral("%1:%2:%3 ")
                               .arg(secs / 3600, 2, 10, QLatin1Char('0'))
                               .arg(secs / 60 % 60, 2, 10, QLatin1Char('0'))
                               .arg(secs % 60, 2, 10, QLatin1Char('0')));
}

void TerminalWindow::stopClock()
{
    m_timer1.stop();
    m_connectTime->clear();
}

void TerminalWindow::setStatus(const QString &text)
{
    m_status->setText(QStringLiteral("Status: ") + text);
}

void TerminalWindow::onCommEvent(int code, const QString &detail)
{
    QString eventText;
    QString errorText;
    switch (commEventKind(code)) {
    case CommEventKind::Send:
        return;
    case CommEventKind::Receive:
        showReceived(m_link.input());
        break;
    case CommEventKind::Event:
        eventText = commEventText(code);
        break;
    case CommEventKind::Error:
        errorText = commEventMessage(code, m_link.portName(), detail);
        break;
    }
    if (!eventText.isEmpty()) {
        setStatus(eventText);
        m_timer2.start();
    } else if (!errorText.isEmpty()) {
        setStatus(errorText);
        m_timer2.start();
        // One box at a time: errors that come while it is up only show in the panel.
        if (m_errorBoxShown || !prompts())
            return;
        QApplication::beep();
        m_errorBoxShown = true;
        if (code == CommEvent::DeviceLost) {
            // Closed already: nothing to quit or ignore, only to be told.
            exclaim(errorText);
            m_errorBoxShown = false;
            return;
        }
        const auto answer
            = prompts()->ask(QStringLiteral("Click Cancel to quit, OK to ignore."), errorText,
                Prompts::Icon::Exclamation, { Prompts::Button::Ok, Prompts::Button::Cancel });
        m_errorBoxShown = false;
        if (answer == Prompts::Button::Cancel && m_link.isOpen()) {
            m_link.close();
            showPortState();
        }
    }
}

void TerminalWindow::showReceived(const QByteArray &data)
{
    if (data.isEmpty())
        return;
    const TerminalScreen::Change change = m_screen.receive(data);
    applyChange(change);
    if (m_log.isOpen())
        writeLog(change.logged);
}

void TerminalWindow::applyChange(const TerminalScreen::Change &change)
{
    showChange(*m_text->document(), m_screen, change);
    QTextCursor end = m_text->textCursor();
    end.movePosition(QTextCursor::End);
    m_text->setTextCursor(end);
    m_text->ensureCursorVisible();
}

void TerminalWindow::writeLog(const QByteArray &bytes)
{
    while (m_log.isOpen()) {
        // Unbuffered, so a failed write leaves nothing behind to be written twice.
        if (m_log.write(bytes) == bytes.size())
            return;
        const QString why = m_log.errorString();
        const auto answer = prompts() ? prompts()->ask(kCaption, why, Prompts::Icon::Critical,
                                { Prompts::Button::Retry, Prompts::Button::Cancel })
                                      : Prompts::Button::Cancel;
        if (answer != Prompts::Button::Retry)
            closeLogFile();
    }
}

bool TerminalWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_text || event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    char c = 0;
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
        c = '\r';
    else if (key->key() == Qt::Key_Backspace)
        c = '\b';
    else if (key->key() == Qt::Key_Tab)
        c = '\t';
    else if (key->key() == Qt::Key_Escape)
        c = 27;
    else if (!key->text().isEmpty() && !(key->modifiers() & Qt::AltModifier)) {
        const QByteArray bytes = store::toWindows1252(key->text().left(1));
        // Control keys (Ctrl+C, Ctrl+Z ...) go to the TNC as their control codes.
        c = bytes.isEmpty() ? 0 : bytes.at(0);
    }
    if (c == 0)
        return QMainWindow::eventFilter(watched, event); // arrows, copy shortcuts and the like
    typeKey(c);
    return true;
}

void TerminalWindow::typeKey(char key)
{
    if (m_link.isOpen()) {
        QString error;
        if (!m_link.write(QByteArray(1, key), &error))
            exclaim(error);
        if (!m_echo) {
            QTextCursor end = m_text->textCursor();
            end.movePosition(QTextCursor::End);
            m_text->setTextCursor(end);
            return; // the TNC's echo shows it
        }
    }
    applyChange(m_screen.type(key));
}

void TerminalWindow::openLogFile()
{
    if (!prompts())
        return;
    const QString folder
        = session().netpath.isEmpty() ? session().home : QDir(session().netpath).absolutePath();
    Prompts::FileDialog d;
    d.title = QStringLiteral("Open Communications Log File");
    d.filter = QStringLiteral("Log Files (*.LOG)|*.log|All Files (*.*)|*.*");
    d.defaultExtension = QStringLiteral(".log");
    d.initialFolder = folder;
    d.proposedName = QStringLiteral("packet.log");
    const QString picked = prompts()->saveFile(d);
    if (picked.isEmpty())
        return;
    const QString logFile = folder + QStringLiteral("/packet.log");
    bool restart = false;
    if (QFileInfo::exists(picked)) {
        const auto answer = prompts()->ask(kCaption,
            QStringLiteral("Replace existing file - ") + QFileInfo(picked).fileName() + u'?',
            Prompts::Icon::Question,
            { Prompts::Button::Yes, Prompts::Button::No, Prompts::Button::Cancel });
        if (answer == Prompts::Button::Cancel)
            return;
        // Only the log itself is ever replaced; another file picked just names the log.
        restart = answer == Prompts::Button::Yes
            && QFileInfo(picked).absoluteFilePath() == QFileInfo(logFile).absoluteFilePath();
    }
    m_log.setFileName(logFile);
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered
        | (restart ? QIODevice::Truncate : QIODevice::Append);
    if (!m_log.open(mode)) {
        exclaim(QStringLiteral("%1: %2").arg(logFile, m_log.errorString()));
        return;
    }
    setWindowTitle(kCaption + QStringLiteral(" - ") + QFileInfo(picked).fileName());
    menuAction(QStringLiteral("mnuOpenLog"))->setEnabled(false);
    menuAction(QStringLiteral("mnuCloseLog"))->setEnabled(true);
}

void TerminalWindow::closeLogFile()
{
    m_log.close();
    // Another log may be opened afterwards.
    menuAction(QStringLiteral("mnuOpenLog"))->setEnabled(true);
    menuAction(QStringLiteral("mnuCloseLog"))->setEnabled(false);
    setWindowTitle(kCaption);
}

void TerminalWindow::transmitTextFile()
{
    if (m_transmitting || !prompts())
        return;
    QAction *item = menuAction(QStringLiteral("mnuSendText"));
    item->setEnabled(false);
    Prompts::FileDialog d;
    d.title = QStringLiteral("Send Text File");
    d.filter = QStringLiteral("Text (*.txt)|*.txt|NTS  (*.nts)|*.nts");
    d.initialFolder = session().home;
    QString path;
    for (;;) {
        path = prompts()->openFile(d);
        if (path.isEmpty()) {
            showPortState();
            return;
        }
        if (QFileInfo::exists(path))
            break;
        exclaim(path + QStringLiteral(" not found!"));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        exclaim(QStringLiteral("%1: %2").arg(path, file.errorString()));
        showPortState();
        return;
    }
    m_transmitting = true;
    cancelSend() = false;
    auto *dialog = windows().window<CancelSendDialog>(QStringLiteral("frmCancelSend"));
    if (dialog)
        dialog->showSending(QStringLiteral("Transmitting Text File - ") + path);
    TransmitOptions options;
    options.pauseMs = m_pauseMs;
    options.reportError = [](const QString &text) { exclaim(text); };
    terminal::transmitTextFile(m_link, file, options);
    file.close();
    m_transmitting = false;
    cancelSend() = true;
    if (QWidget *cancel = windows().loaded(QStringLiteral("frmCancelSend")))
        cancel->hide();
    showPortState();
}

void TerminalWindow::dialPhoneNumber()
{
    if (!prompts())
        return;
    const QString number = prompts()->input(
        QStringLiteral("Enter Phone Number:"), QStringLiteral("Dial Number"), m_dialNumber);
    if (number.isEmpty())
        return;
    m_dialNumber = number;
    QString error;
    if (!m_link.isOpen()) {
        if (!m_link.open(&error)) {
            exclaim(error);
            showPortState();
            return;
        }
        showPortState();
    }
    menuAction(QStringLiteral("mnuHangUp"))->setEnabled(true);
    if (!m_link.write(QByteArrayLiteral("ATDT") + store::toWindows1252(number) + "\r\n", &error))
        exclaim(error);
    startClock();
}

void TerminalWindow::hangUpPhone()
{
    QString error;
    // A modem takes a command only with its CR; without it "ATH" would sit in its
    // buffer and spoil the next command.
    if (m_link.isOpen() && !m_link.write(QByteArrayLiteral("ATH\r"), &error))
        exclaim(error);
    // Dropping DTR hangs up a modem whatever it is doing.
    const bool dtr = m_link.dtrEnable();
    m_link.setDtrEnable(true);
    m_link.setDtrEnable(false);
    m_link.setDtrEnable(dtr);
    if (m_link.isOpen()) {
        m_link.waitForOutput(2000);
        m_link.close();
    }
    showPortState();
    menuAction(QStringLiteral("mnuSendText"))->setEnabled(false);
    menuAction(QStringLiteral("mnuHangUp"))->setEnabled(false);
    m_settings->setText(QStringLiteral("Settings: "));
    stopClock();
    m_status->setText(QStringLiteral("Status: "));
}

void TerminalWindow::toggleDtr()
{
    QString error;
    if (!m_link.setDtrEnable(!m_link.dtrEnable(), &error))
        exclaim(error);
    menuAction(QStringLiteral("mnuDTREnable"))->setChecked(m_link.dtrEnable());
}

void TerminalWindow::showHolding(const char *which)
{
    const QString line = QLatin1String(which);
    const bool on = line == QLatin1String("CD") ? m_link.cdHolding()
        : line == QLatin1String("CTS")          ? m_link.ctsHolding()
                                                : m_link.dsrHolding();
    if (prompts())
        prompts()->information(
            kCaption, line + QStringLiteral("Holding = ") + (on ? u"True" : u"False"));
}

void TerminalWindow::askValue(const char *which)
{
    if (!prompts())
        return;
    const QString name = QLatin1String(which);
    QString prompt, current;
    if (name == QLatin1String("InputLen")) {
        prompt = QStringLiteral("Enter New InputLen:");
        current = QString::number(m_link.inputLen());
    } else if (name == QLatin1String("RThreshold")) {
        prompt = QStringLiteral("Enter New RThreshold:");
        current = QString::number(m_link.rThreshold());
    } else if (name == QLatin1String("SThreshold")) {
        prompt = QStringLiteral("Enter New SThreshold Value");
        current = QString::number(m_link.sThreshold());
    } else {
        prompt = QStringLiteral("Enter Replace Character");
        current = m_link.parityReplace();
    }
    const QString answer = prompts()->input(prompt, name, current);
    if (answer.isEmpty())
        return;
    QString error;
    bool ok = true;
    if (name == QLatin1String("ParityReplace")) {
        ok = m_link.setParityReplace(answer.at(0), &error);
    } else if (const auto n = leadingNumber(answer, &error)) {
        ok = name == QLatin1String("InputLen")    ? m_link.setInputLen(*n, &error)
            : name == QLatin1String("RThreshold") ? m_link.setRThreshold(*n, &error)
                                                  : m_link.setSThreshold(*n, &error);
    } else {
        ok = false;
    }
    if (!ok)
        exclaim(error);
}

bool TerminalWindow::send(const QStringList &chunks)
{
    for (const QString &chunk : chunks) {
        if (!m_link.write(store::toWindows1252(chunk)))
            return false;
    }
    // Written means out of the port, not just queued.
    return m_link.waitForOutput() == PortLink::Wait::Done;
}

bool TerminalWindow::waitBeforeClosing()
{
    while (m_link.isOpen()) {
        const PortLink::Wait w = m_link.waitForOutput(m_closeWaitMs);
        if (w != PortLink::Wait::TimedOut)
            return true;
        const auto answer = prompts()
            ? prompts()->ask(kCaption, QStringLiteral("Data cannot be sent"),
                Prompts::Icon::Question,
                { Prompts::Button::Abort, Prompts::Button::Retry, Prompts::Button::Ignore })
            : Prompts::Button::Ignore;
        if (answer == Prompts::Button::Abort)
            return false;
        if (answer == Prompts::Button::Ignore)
            return true;
    }
    return true;
}

void TerminalWindow::closeEvent(QCloseEvent *event)
{
    if (m_transmitting) {
        // The transmission stops after its block and sends the end command first.
        cancelSend() = true;
        event->ignore();
        QTimer::singleShot(200, this, [this] { close(); });
        return;
    }
    if (!waitBeforeClosing()) {
        event->ignore();
        return;
    }
    m_link.close();
    if (m_log.isOpen())
        m_log.close();
    if (QWidget *cancel = windows().loaded(QStringLiteral("frmCancelSend")))
        cancel->hide();
    event->accept();
}

} // namespace rollcall::terminal
