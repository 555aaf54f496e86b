// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic/trafficviewwindow.h"

#include "app/clock.h"
#include "app/external.h"
#include "app/session.h"
#include "app/uppercasewidget.h"
#include "app/windowregistry.h"
#include "callsigns/mastercallsigndb.h"
#include "traffic/passing.h"
#include "traffic/radiogramentry.h"
#include "traffic/radiogramprinting.h"
#include "traffic/trafficstore.h"
#include "traffic/trafficwindows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace rollcall::traffic {

namespace {
// The radiogram's own fields; the undelivered view keeps them locked until
// "&Edit Message".
const QStringList &radiogramFields()
{
    static const QStringList fields = { QStringLiteral("sendingstation"),
        QStringLiteral("originmessagenumber"), QStringLiteral("precedence"),
        QStringLiteral("handling"), QStringLiteral("originsation"), QStringLiteral("originplace"),
        QStringLiteral("origintime"), QStringLiteral("origindate"), QStringLiteral("toname"),
        QStringLiteral("tostreet"), QStringLiteral("tocity"), QStringLiteral("tostate"),
        QStringLiteral("tozip"), QStringLiteral("tophone"), QStringLiteral("signature") };
    return fields;
}
} // namespace

TrafficViewWindow::TrafficViewWindow(TrafficList list, QWidget *parent)
    : QMainWindow(parent), m_list(list)
{
    setObjectName(windowName());
    setWindowTitle(isDelivered() ? QStringLiteral("List Old Traffic Editor")
                                 : QStringLiteral("Traffic View/Forward"));
    auto *central = new QWidget(this);
    buildBoxes(central);
    setCentralWidget(central);
    buildMenus();
    resize(900, 600);

    m_store = TrafficStore::open(session().dbfile(QStringLiteral("Traffic.mdb")));
    m_master = callsigns::MasterCallsignDb::open(session().dbfile(QStringLiteral("callmast.mdb")));
    if (!m_store)
        statusBar()->showMessage(QStringLiteral("The traffic database could not be opened."));
}

TrafficViewWindow::~TrafficViewWindow() = default;

void TrafficViewWindow::buildBoxes(QWidget *central)
{
    auto *outer = new QVBoxLayout(central);
    auto addBox = [this](const QString &field, const QString &tip = QString()) {
        auto *edit = new QLineEdit;
        edit->setObjectName(field);
        if (!tip.isEmpty())
            edit->setToolTip(tip);
        m_boxes.insert(field, edit);
        return edit;
    };
    auto label = [](const char *text) { return new QLabel(QString::fromUtf8(text)); };

    // Preamble, in the order it is sent.
    auto *preamble = new QGridLayout;
    preamble->addWidget(label("Station Sending:"), 0, 0);
    preamble->addWidget(addBox(QStringLiteral("sendingstation")), 0, 1, 1, 2);
    const struct
    {
        const char *label, *field, *tip;
    } preambleBoxes[] = {
        { "Message#:", "originmessagenumber", "Enter the original message number here." },
        { "Precedence:", "precedence", "" },
        { "Handling:", "handling", "" },
        { "Station of Origin:", "originsation",
            "Enter the station that first put the NTS message into the system." },
        { "Check:", nullptr, "Word count of message text." },
        { "Place of Origin:", "originplace",
            "The place that the message originally came from - not the originating stations "
            "location." },
        { "Time Filed:", "origintime", "The time in UTC the message was enterd into the NTS." },
        { "Date Filed:", "origindate",
            "The date the message was first entered into the NTS in UTC" },
    };
    int column = 0;
    for (const auto &b : preambleBoxes) {
        preamble->addWidget(label(b.label), 1, column);
        if (b.field) {
            preamble->addWidget(
                addBox(QLatin1String(b.field), QString::fromUtf8(b.tip)), 2, column);
        } else {
            m_check = new QLabel(QStringLiteral("0"));
            m_check->setObjectName(QStringLiteral("check"));
            m_check->setToolTip(QString::fromUtf8(b.tip));
            m_check->setFrameShape(QFrame::Panel);
            m_check->setFrameShadow(QFrame::Sunken);
            m_check->setMinimumWidth(40);
            preamble->addWidget(m_check, 2, column);
        }
        ++column;
    }
    preamble->setColumnStretch(5, 2);
    m_precedenceList = new QListWidget;
    m_precedenceList->setObjectName(QStringLiteral("precedenceList"));
    m_precedenceList->addItems({ QStringLiteral("Routine"), QStringLiteral("Emergency"),
        QStringLiteral("Priority"), QStringLiteral("Welfare") });
    m_precedenceList->setMaximumHeight(m_precedenceList->sizeHintForRow(0) * 4 + 6);
    m_precedenceList->hide();
    preamble->addWidget(m_precedenceList, 3, 1);
    outer->addLayout(preamble);

    auto *to = new QGroupBox(QStringLiteral("TO:"));
    auto *toGrid = new QGridLayout(to);
    const struct
    {
        const char *label, *field, *tip;
        int row, column, span;
    } toBoxes[] = {
        { "Name:", "toname",
            "The name of the person or organization the message is being sent to .", 0, 0, 5 },
        { "Street:", "tostreet", "The street adress the message is being sent to.", 1, 0, 5 },
        { "City:", "tocity", "The city the message is being sent to.", 2, 0, 1 },
        { "State/Prov:", "tostate", "The state the message is being sent to.", 2, 2, 1 },
        { "Zip/Postal:", "tozip", "The zip code the message is being sent to.", 2, 4, 1 },
        { "Phone:", "tophone",
            "VERY IMPORTANT!! - The phone number with area code that that the message is being "
            "delivered to.",
            3, 0, 1 },
    };
    for (const auto &b : toBoxes) {
        toGrid->addWidget(label(b.label), b.row, b.column);
        toGrid->addWidget(addBox(QLatin1String(b.field), QString::fromUtf8(b.tip)), b.row,
            b.column + 1, 1, b.span);
    }
    outer->addWidget(to);

    outer->addWidget(label("Message:"));
    m_text = new QPlainTextEdit;
    m_text->setObjectName(QStringLiteral("messagetext"));
    m_text->setToolTip(QStringLiteral("Keep the message short: use ARL numbers where they fit "
                                      "and the letter X for a period."));
    m_text->setMinimumHeight(90);
    outer->addWidget(m_text, 1);
    auto *signatureRow = new QHBoxLayout;
    signatureRow->addWidget(label("Signature:"));
    signatureRow->addWidget(addBox(QStringLiteral("signature"),
        QStringLiteral("The name of the person sending the message - not the originating "
                       "staions name.")));
    signatureRow->addWidget(label("Received:"));
    signatureRow->addWidget(addBox(QStringLiteral("recdate")));
    signatureRow->addWidget(addBox(QStringLiteral("rectime")));
    m_boxes[QStringLiteral("recdate")]->setMaximumWidth(110);
    m_boxes[QStringLiteral("rectime")]->setMaximumWidth(110);
    outer->addLayout(signatureRow);

    // How and to whom it was passed on.
    auto *passing = new QGridLayout;
    passing->addWidget(label("Passed to:"), 0, 0);
    passing->addWidget(addBox(QStringLiteral("sentto")), 0, 1);
    passing->addWidget(label("Passed Date:"), 0, 2);
    passing->addWidget(addBox(QStringLiteral("sentdate")), 0, 3);
    passing->addWidget(label("Passed Time:"), 0, 4);
    passing->addWidget(addBox(QStringLiteral("senttime")), 0, 5);
    passing->addWidget(label("Passed Via:"), 0, 6);
    m_via = new QComboBox;
    m_via->setObjectName(QStringLiteral("sentvia"));
    m_via->setEditable(true);
    m_via->addItems(passedViaChoices(isDelivered()));
    m_via->setCurrentIndex(-1);
    m_via->setMinimumWidth(170);
    passing->addWidget(m_via, 0, 7);
    m_sent = new QCheckBox(QStringLiteral("Sent"));
    m_sent->setObjectName(QStringLiteral("sent"));
    passing->addWidget(m_sent, 0, 8);
    m_boxes[QStringLiteral("sentto")]->setMinimumWidth(110);
    m_boxes[QStringLiteral("sentdate")]->setMinimumWidth(100);
    m_boxes[QStringLiteral("senttime")]->setMinimumWidth(80);
    m_passedToList = new QListWidget;
    m_passedToList->setObjectName(QStringLiteral("sentToList"));
    m_passedToList->setMaximumHeight(110);
    m_passedToList->setFocusPolicy(Qt::ClickFocus);
    m_passedToList->hide();
    passing->addWidget(m_passedToList, 1, 1);
    outer->addLayout(passing);
    // The passing fields in the order they are filled in.
    setTabOrder(m_boxes[QStringLiteral("sentto")], m_boxes[QStringLiteral("sentdate")]);
    setTabOrder(m_boxes[QStringLiteral("sentdate")], m_boxes[QStringLiteral("senttime")]);
    setTabOrder(m_boxes[QStringLiteral("senttime")], m_via);
    setTabOrder(m_via, m_sent);

    auto *buttons = new QHBoxLayout;
    auto button = [&](const char *name, const char *caption, void (TrafficViewWindow::*slot)()) {
        auto *b = new QPushButton(QString::fromUtf8(caption));
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
        return b;
    };
    buttons->addStretch(1);
    if (isDelivered()) {
        // The navigation bar over the delivered radiograms.
        auto *bar = new QWidget;
        bar->setObjectName(QStringLiteral("Data1"));
        auto *barLayout = new QHBoxLayout(bar);
        barLayout->setContentsMargins(0, 0, 0, 0);
        const struct
        {
            const char *name, *text;
            Move move;
        } moves[] = { { "moveFirst", "|<", Move::First }, { "movePrevious", "<", Move::Previous } };
        for (const auto &m : moves) {
            auto *b = new QToolButton;
            b->setObjectName(QLatin1String(m.name));
            b->setText(QLatin1String(m.text));
            connect(b, &QToolButton::clicked, this, [this, move = m.move] { navigate(move); });
            barLayout->addWidget(b);
        }
        barLayout->addWidget(new QLabel(QStringLiteral("Navigate Database")));
        const struct
        {
            const char *name, *text;
            Move move;
        } moves2[] = { { "moveNext", ">", Move::Next }, { "moveLast", ">|", Move::Last } };
        for (const auto &m : moves2) {
            auto *b = new QToolButton;
            b->setObjectName(QLatin1String(m.name));
            b->setText(QLatin1String(m.text));
            connect(b, &QToolButton::clicked, this, [this, move = m.move] { navigate(move); });
            barLayout->addWidget(b);
        }
        buttons->insertWidget(0, bar);
        button("Ok", "&Ok", &TrafficViewWindow::ok);
        // Delivered radiograms are read, not corrected: nothing here stores the boxes.
        for (QLineEdit *edit : std::as_const(m_boxes))
            edit->setReadOnly(true);
        m_text->setReadOnly(true);
        m_via->setEnabled(false);
        m_sent->setEnabled(false);
    } else {
        m_manualSend = button("ManualSend", "&Manual Send", &TrafficViewWindow::manualSend);
        m_edit = button("EditMessage", "&Edit Message", &TrafficViewWindow::editMessage);
        m_update = button("UpdateMessage", "&Update Message", &TrafficViewWindow::updateMessage);
        m_update->setEnabled(false);
        button("Cancel", "&Cancel", &TrafficViewWindow::cancel);
        setRadiogramBoxesEditable(false);
        m_boxes[QStringLiteral("recdate")]->setReadOnly(true);
        m_boxes[QStringLiteral("rectime")]->setReadOnly(true);
    }
    outer->addLayout(buttons);

    connect(m_text, &QPlainTextEdit::textChanged, this,
        [this] { m_check->setText(QString::number(CountWords(m_text->toPlainText()))); });
    forceUpperCase(m_boxes[QStringLiteral("sendingstation")]);
    forceUpperCase(m_boxes[QStringLiteral("originsation")]);
    forceUpperCase(m_boxes[QStringLiteral("sentto")]);
    connect(m_boxes[QStringLiteral("originplace")], &QLineEdit::textEdited, this,
        &TrafficViewWindow::placeChanged);
    connect(m_boxes[QStringLiteral("sentto")], &QLineEdit::textEdited, this,
        &TrafficViewWindow::passedToChanged);
    connect(m_passedToList, &QListWidget::itemClicked, this,
        [this](QListWidgetItem *item) { pickPassedTo(item->text()); });
    connect(m_passedToList, &QListWidget::itemActivated, this,
        [this](QListWidgetItem *item) { pickPassedTo(item->text()); });
    connect(m_precedenceList, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        m_boxes[QStringLiteral("precedence")]->setText(item->text());
        m_precedenceList->hide();
        m_boxes[QStringLiteral("handling")]->setFocus();
    });
    for (const char *field : { "sentdate", "senttime", "precedence" })
        m_boxes[QLatin1String(field)]->installEventFilter(this);
}

void TrafficViewWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    const struct
    {
        const char *name, *text;
        void (TrafficViewWindow::*slot)();
    } items[] = {
        { "mnuDeleteMessage", "&Delete Message", &TrafficViewWindow::deleteMessage },
        { "mnuPrint", "&Print", &TrafficViewWindow::printMessage },
        { "mnuSaveMessage", "&Save Message", &TrafficViewWindow::saveMessage },
    };
    for (const auto &i : items) {
        QAction *a = file->addAction(QString::fromUtf8(i.text));
        a->setObjectName(QLatin1String(i.name));
        connect(a, &QAction::triggered, this, i.slot);
    }
    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelpMenu"));
    QAction *guide = help->addAction(QStringLiteral("&Help"));
    guide->setObjectName(QStringLiteral("mnuHelp"));
    connect(guide, &QAction::triggered, this, [] { openUserGuide(); });
}

void TrafficViewWindow::setRadiogramBoxesEditable(bool editable)
{
    // Read only, not disabled: the operator reads the message on the air, so it
    // keeps the normal text colour.
    for (const QString &field : radiogramFields())
        m_boxes[field]->setReadOnly(!editable);
    m_text->setReadOnly(!editable);
}

void TrafficViewWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // The undelivered view takes its row once, so corrections in progress stay.
    if (!m_loaded || isDelivered())
        loadSelected();
    if (!isDelivered())
        m_boxes[QStringLiteral("sentto")]->setFocus();
}

void TrafficViewWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && isDelivered())
        loadSelected();
}

void TrafficViewWindow::loadSelected()
{
    m_loaded = true;
    std::optional<Radiogram> r;
    if (m_store)
        r = m_store->byId(session().selectedmessageid);
    if (!r) {
        // Nothing to show: a radiogram deleted meanwhile, or none chosen.
        Radiogram empty;
        display(empty);
        if (m_manualSend)
            m_manualSend->setEnabled(false);
        statusBar()->showMessage(QStringLiteral("Radiogram %1 is not in the traffic database.")
                                     .arg(session().selectedmessageid));
        return;
    }
    display(*r);
}

void TrafficViewWindow::display(const Radiogram &r)
{
    m_shown = r;
    for (auto it = m_boxes.cbegin(); it != m_boxes.cend(); ++it)
        it.value()->setText(r.text(it.key()));
    m_text->setPlainText(r.messagetext);
    m_via->setCurrentText(r.sentvia);
    m_sent->setChecked(r.sent);
    m_passedToList->hide();
}

Radiogram TrafficViewWindow::shownRadiogram() const
{
    Radiogram r = m_shown;
    for (auto it = m_boxes.cbegin(); it != m_boxes.cend(); ++it)
        r.setText(it.key(), it.value()->text());
    r.messagetext = m_text->toPlainText();
    r.sentvia = m_via->currentText();
    r.sent = m_sent->isChecked();
    return r;
}

bool TrafficViewWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        auto *edit = qobject_cast<QLineEdit *>(watched);
        const QString field = edit ? edit->objectName() : QString();
        if (field == QLatin1String("sentdate")) {
            m_passedToList->hide();
            edit->setText(localDateText(session().clock->now()));
            QMetaObject::invokeMethod(edit, &QLineEdit::selectAll, Qt::QueuedConnection);
        } else if (field == QLatin1String("senttime")) {
            edit->setText(passedTime(session().clock->utcNow()));
            QMetaObject::invokeMethod(edit, &QLineEdit::selectAll, Qt::QueuedConnection);
        } else if (field == QLatin1String("precedence") && edit->isEnabled()) {
            // A pick from the list replaces the precedence; tabbing through keeps it.
            if (QListWidgetItem *item = m_precedenceList->currentItem(); item && item->isSelected())
                edit->setText(item->text());
            m_precedenceList->show();
            QMetaObject::invokeMethod(
                m_boxes[QStringLiteral("handling")],
                [this] { m_boxes[QStringLiteral("handling")]->setFocus(); }, Qt::QueuedConnection);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TrafficViewWindow::passedToChanged(const QString &text)
{
    if (text.isEmpty() || !m_master) {
        m_passedToList->hide();
        return;
    }
    m_passedToList->clear();
    m_passedToList->addItems(m_master->lookupContaining(text.toUpper()));
    // An empty list would only cover the boxes below.
    m_passedToList->setVisible(m_passedToList->count() > 0);
}

void TrafficViewWindow::pickPassedTo(const QString &callsign)
{
    QLineEdit *box = m_boxes[QStringLiteral("sentto")];
    box->setText(callsign);
    box->setCursorPosition(int(callsign.size()));
    m_boxes[QStringLiteral("sentdate")]->setFocus();
    m_passedToList->hide();
}

void TrafficViewWindow::placeChanged(const QString &text)
{
    QLineEdit *box = m_boxes[QStringLiteral("originplace")];
    const QString formatted = formatPlaceOfOrigin(text);
    if (formatted != text) {
        box->setText(formatted);
        box->setCursorPosition(int(formatted.size()));
    }
}

void TrafficViewWindow::manualSend()
{
    m_sent->setChecked(true);
    Radiogram r = shownRadiogram();
    if (passesByPacket(r.sentvia) && writePacketFile(r)
        && windows().isAvailable(QStringLiteral("frmTerminal")))
        showWindow(QStringLiteral("frmTerminal"));
    if (!m_store || !m_store->update(r)) {
        // The radiogram stays undelivered and the window open, so nothing is lost.
        m_sent->setChecked(m_shown.sent);
        storeFailed(QStringLiteral("marked as sent"));
        return;
    }
    trafficChanged();
    bringForward(QStringLiteral("listtraffic"));
    if (QWidget *terminal = windows().loaded(QStringLiteral("frmTerminal"));
        terminal && terminal->isVisible())
        terminal->activateWindow();
    windows().unload(windowName());
}

void TrafficViewWindow::editMessage()
{
    setRadiogramBoxesEditable(true);
    m_boxes[QStringLiteral("sendingstation")]->setFocus();
    m_edit->setEnabled(false);
    m_update->setEnabled(true);
}

void TrafficViewWindow::updateMessage()
{
    m_edit->setEnabled(true);
    const Radiogram r = shownRadiogram();
    if (!m_store || !m_store->update(r)) {
        storeFailed(QStringLiteral("updated"));
        return;
    }
    m_shown = r;
    trafficChanged();
    m_update->setEnabled(false);
}

void TrafficViewWindow::cancel()
{
    windows().unload(windowName());
}

void TrafficViewWindow::ok()
{
    showWindow(QStringLiteral("oldtraffic"));
    windows().unload(windowName());
}

void TrafficViewWindow::deleteMessage()
{
    Prompts &prompts = *session().prompts;
    if (!prompts.askYesNo(deleteQuestionTitle(), deleteQuestion(isDelivered()),
            Prompts::Icon::Critical, Prompts::Default::No))
        return;
    if (!m_store || !m_store->remove(m_shown.messageid)) {
        storeFailed(QStringLiteral("deleted"));
        return;
    }
    trafficChanged();
    bringForward(isDelivered() ? QStringLiteral("oldtraffic") : QStringLiteral("listtraffic"));
    windows().unload(windowName());
}

void TrafficViewWindow::navigate(Move move)
{
    if (!m_store)
        return;
    if (const auto id = deliveredNeighbour(m_store->database(), m_shown.messageid, move)) {
        session().selectedmessageid = qint32(*id);
        loadSelected();
    }
}

void TrafficViewWindow::storeFailed(const QString &what)
{
    session().prompts->exclamation(windowTitle(),
        QStringLiteral("The radiogram could not be %1: %2")
            .arg(what, m_store ? m_store->lastError() : QStringLiteral("no traffic database")));
}

void TrafficViewWindow::bringForward(const QString &list)
{
    if (QWidget *w = windows().window(list)) {
        w->show();
        w->raise();
        w->activateWindow();
    }
}

void TrafficViewWindow::printMessage()
{
    printRadiogram(shownRadiogram());
}

void TrafficViewWindow::saveMessage()
{
    saveRadiogramMessage(shownRadiogram(),
        isDelivered() ? MessageSource::DeliveredView : MessageSource::UndeliveredView);
}

bool TrafficViewWindow::writePacketFile(const Radiogram &r)
{
    return !savePacketFile(r).isEmpty();
}

} // namespace rollcall::traffic
