// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic/trafficentrywindow.h"
#include "traffic/trafficwindows.h"

#include "app/external.h"
#include "app/clock.h"
#include "app/session.h"
#include "app/uppercasewidget.h"
#include "app/windowregistry.h"
#include "callsigns/mastercallsigndb.h"
#include "store/recordfile.h"
#include "traffic/netcheckins.h"
#include "traffic/packettransport.h"
#include "traffic/radiogramentry.h"
#include "traffic/radiogramformats.h"
#include "traffic/radiogramprinting.h"
#include "traffic/trafficstore.h"

#include <QAction>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace rollcall::traffic {

namespace {
const QString kWindowName = QStringLiteral("trafficform");
const QString kCallsignListTip = QStringLiteral("Choose callsign of station sending you traffic.");

QString mycall()
{
    return store::trimTrailingBlanks(session().mycall);
}

QString operatorName()
{
    return store::trimTrailingBlanks(session().prefsrec.name);
}

QDateTime localNow()
{
    return session().clock ? session().clock->now() : QDateTime::currentDateTime();
}

bool movesOn(int key)
{
    return key == Qt::Key_Space;
}

bool isEnter(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}
} // namespace

TrafficEntryWindow::TrafficEntryWindow(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(kWindowName);
    setAttribute(Qt::WA_DeleteOnClose, false);

    m_store = TrafficStore::open(session().dbfile(QStringLiteral("Traffic.mdb")), &m_storeError);
    m_master = callsigns::MasterCallsignDb::open(session().dbfile(QStringLiteral("callmast.mdb")));

    auto *central = new QWidget(this);
    setCentralWidget(central);

    m_number = addBox(QStringLiteral("originmessagenumber"),
        QStringLiteral("Enter the original message number here."));
    m_precedence = addBox(QStringLiteral("precedence"));
    m_handling = addBox(QStringLiteral("handling"));
    m_origin = addBox(QStringLiteral("originsation"),
        QStringLiteral("Enter the station that first put the NTS message into the system."));
    m_place = addBox(QStringLiteral("originplace"),
        QStringLiteral("The place that the message originally came from - not the originating "
                       "stations location."));
    m_time = addBox(QStringLiteral("origintime"),
        QStringLiteral("The time in UTC the message was enterd into the NTS."));
    m_date = addBox(QStringLiteral("origindate"),
        QStringLiteral("The date the message was first entered into the NTS in UTC"));
    m_sending = addBox(QStringLiteral("sendingstation"));
    QLineEdit *name = addBox(QStringLiteral("toname"),
        QStringLiteral("The name of the person or organization the message is being sent to ."));
    QLineEdit *street = addBox(QStringLiteral("tostreet"),
        QStringLiteral("The street adress the message is being sent to."));
    QLineEdit *city = addBox(
        QStringLiteral("tocity"), QStringLiteral("The city the message is being sent to."));
    QLineEdit *state = addBox(
        QStringLiteral("tostate"), QStringLiteral("The state the message is being sent to."));
    QLineEdit *zip = addBox(
        QStringLiteral("tozip"), QStringLiteral("The zip code the message is being sent to."));
    QLineEdit *phone = addBox(QStringLiteral("tophone"),
        QStringLiteral("VERY IMPORTANT!! - The phone number with area code that that the message "
                       "is being delivered to."));
    m_signature = addBox(QStringLiteral("signature"),
        QStringLiteral("The name of the person sending the message - not the originating staions "
                       "name."));
    state->setFixedWidth(80);
    zip->setFixedWidth(120);
    phone->setFixedWidth(220);
    for (QLineEdit *wide : { name, street, city })
        wide->setMinimumWidth(420);
    forceUpperCase(m_sending);
    forceUpperCase(m_origin);

    m_text = new QPlainTextEdit(central);
    m_text->setObjectName(QStringLiteral("messagetext"));
    m_text->setToolTip(QStringLiteral("Keep the message text short: use ARL numbers where you "
                                      "can, and write the letter X for a period."));
    m_text->setTabChangesFocus(true);
    m_text->installEventFilter(this);

    const QString checkTip = QStringLiteral("Word count of message text.");
    m_check = new QLabel(QStringLiteral("0"), central);
    m_check->setObjectName(QStringLiteral("check"));
    m_check->setToolTip(checkTip);
    m_checkSpace = new QLineEdit(central);
    m_checkSpace->setObjectName(QStringLiteral("checkspace"));
    m_checkSpace->setToolTip(checkTip);
    m_checkSpace->installEventFilter(this);

    m_prompt = new QLabel(central);
    m_prompt->setObjectName(QStringLiteral("handlingprompt"));
    m_parameter = new QLineEdit(central);
    m_parameter->setObjectName(QStringLiteral("handlingparameter"));
    m_parameter->installEventFilter(this);
    m_parameter->hide();

    // The preamble in its on-air order.
    auto *preamble = new QGridLayout;
    const QList<QPair<QString, QWidget *>> columns {
        { QStringLiteral("Message#:"), m_number },
        { QStringLiteral("Precedence:"), m_precedence },
        { QStringLiteral("Handling:"), m_handling },
        { QStringLiteral("Station of Origin:"), m_origin },
        { QStringLiteral("Check:"), m_check },
        { QStringLiteral("Place of Origin:"), m_place },
        { QStringLiteral("Time Filed:"), m_time },
        { QStringLiteral("Date Filed:"), m_date },
    };
    for (int c = 0; c < columns.size(); ++c) {
        auto *label = new QLabel(columns[c].first, central);
        label->setBuddy(columns[c].second);
        preamble->addWidget(label, 0, c);
        preamble->addWidget(columns[c].second, 1, c);
    }
    m_check->setAlignment(Qt::AlignCenter);
    m_checkSpace->setMaximumWidth(60);
    m_number->setMaximumWidth(80);
    m_precedence->setMaximumWidth(110);
    m_handling->setMaximumWidth(110);
    m_time->setMaximumWidth(70);
    m_date->setMaximumWidth(80);
    preamble->setColumnStretch(5, 2);
    preamble->setColumnStretch(3, 1);
    auto *promptRow = new QHBoxLayout;
    promptRow->addWidget(m_prompt);
    promptRow->addWidget(m_parameter);
    promptRow->addStretch();
    preamble->addLayout(promptRow, 2, 0, 1, 4);
    preamble->addWidget(m_checkSpace, 2, 4);

    auto *sendingRow = new QHBoxLayout;
    auto *sendingLabel = new QLabel(QStringLiteral("Station Sending:"), central);
    sendingLabel->setBuddy(m_sending);
    m_sending->setMaximumWidth(160);
    sendingRow->addWidget(sendingLabel);
    sendingRow->addWidget(m_sending);
    sendingRow->addStretch();

    auto *to = new QGroupBox(QStringLiteral("TO:"), central);
    auto *address = new QGridLayout(to);
    const QList<QPair<QString, QWidget *>> addressRows {
        { QStringLiteral("Name:"), name },
        { QStringLiteral("Street:"), street },
        { QStringLiteral("City:"), city },
        { QStringLiteral("State/Prov:"), state },
        { QStringLiteral("Zip/Postal:"), zip },
        { QStringLiteral("Phone:"), phone },
    };
    for (int row = 0; row < addressRows.size(); ++row) {
        auto *label = new QLabel(addressRows[row].first, to);
        label->setBuddy(addressRows[row].second);
        address->addWidget(label, row, 0);
        address->addWidget(addressRows[row].second, row, 1, Qt::AlignLeft);
    }
    address->setColumnStretch(1, 1);

    auto *messageLabel = new QLabel(QStringLiteral("Message:"), central);
    messageLabel->setBuddy(m_text);
    auto *signatureRow = new QHBoxLayout;
    auto *signatureLabel = new QLabel(QStringLiteral("Signature:"), central);
    signatureLabel->setBuddy(m_signature);
    signatureRow->addWidget(signatureLabel);
    signatureRow->addWidget(m_signature, 1);

    auto *saveButton = new QPushButton(QStringLiteral("&Save"), central);
    saveButton->setObjectName(QStringLiteral("save"));
    saveButton->setToolTip(QStringLiteral("Save message and update Traffic List."));
    auto *cancelButton = new QPushButton(QStringLiteral("&Cancel"), central);
    cancelButton->setObjectName(QStringLiteral("cancel"));
    cancelButton->setToolTip(QStringLiteral("Abort message and return to previous screen."));
    auto *winpackButton = new QPushButton(QStringLiteral("&Winpack Send"), central);
    winpackButton->setObjectName(QStringLiteral("winpacksend"));
    for (QPushButton *b : { saveButton, cancelButton, winpackButton })
        b->setAutoDefault(false);
    connect(saveButton, &QPushButton::clicked, this, [this] { save(); });
    connect(cancelButton, &QPushButton::clicked, this, &TrafficEntryWindow::cancel);
    connect(winpackButton, &QPushButton::clicked, this, [this] { winpackSend(); });
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(saveButton);
    buttons->addWidget(cancelButton);
    buttons->addWidget(winpackButton);

    auto *layout = new QVBoxLayout(central);
    layout->addLayout(sendingRow);
    layout->addLayout(preamble);
    layout->addWidget(to);
    layout->addWidget(messageLabel);
    layout->addWidget(m_text, 1);
    layout->addLayout(signatureRow);
    layout->addLayout(buttons);

    // Pick lists float over the form below their box, hidden until wanted.
    m_checkinList = addPickList(QStringLiteral("checkinlist"), kCallsignListTip);
    m_sendingList = addPickList(QStringLiteral("sendinglist"), kCallsignListTip);
    m_originList = addPickList(QStringLiteral("originlist"), kCallsignListTip);
    m_precedenceList = addPickList(QStringLiteral("precedencelist"));
    m_precedenceList->addItems(precedenceItems());
    m_handlingList = addPickList(QStringLiteral("handlinglist"));
    m_handlingList->addItems(handlingItems());
    for (QListWidget *list : { m_checkinList, m_sendingList, m_originList })
        connect(list, &QListWidget::itemDoubleClicked, this, [this, list] { pickCallsign(list); });
    connect(m_precedenceList, &QListWidget::itemDoubleClicked, this,
        [this] { commitPrecedence(true); });
    connect(
        m_handlingList, &QListWidget::itemDoubleClicked, this, [this] { commitHandling(true); });

    connect(m_sending, &QLineEdit::textEdited, this, [this] {
        if (!fromNet())
            lookUp(m_sending, m_sendingList);
    });
    connect(m_origin, &QLineEdit::textEdited, this, [this] { lookUp(m_origin, m_originList); });
    connect(m_place, &QLineEdit::textEdited, this, [this] {
        const QString formatted = formatPlaceOfOrigin(m_place->text());
        if (formatted != m_place->text())
            m_place->setText(formatted);
        m_place->setCursorPosition(int(formatted.size()));
    });
    connect(m_text, &QPlainTextEdit::textChanged, this,
        [this] { m_check->setText(QString::number(CountWords(m_text->toPlainText()))); });

    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction *print = file->addAction(QStringLiteral("&Print"));
    print->setObjectName(QStringLiteral("mnuPrint"));
    connect(print, &QAction::triggered, this, &TrafficEntryWindow::printMessage);
    QAction *saveMessage = file->addAction(QStringLiteral("&Save Message"));
    saveMessage->setObjectName(QStringLiteral("mnuSaveMessage"));
    connect(saveMessage, &QAction::triggered, this, &TrafficEntryWindow::saveMessage);
    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    QAction *helpItem = help->addAction(QStringLiteral("&Help"));
    helpItem->setObjectName(QStringLiteral("mnuHelpHelp"));
    connect(helpItem, &QAction::triggered, this, [] { openUserGuide(); });

    // Tab follows the preamble, then the address and the text.
    const QList<QWidget *> order { m_sending, m_number, m_precedence, m_handling, m_parameter,
        m_origin, m_checkSpace, m_place, m_time, m_date, name, street, city, state, zip, phone,
        m_text, m_signature, saveButton, cancelButton, winpackButton };
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    applySource();
    resize(900, 620);
}

TrafficEntryWindow::~TrafficEntryWindow() = default;

QLineEdit *TrafficEntryWindow::addBox(const QString &field, const QString &toolTip)
{
    auto *box = new QLineEdit(centralWidget());
    box->setObjectName(field);
    box->setToolTip(toolTip);
    box->installEventFilter(this);
    m_boxes.insert(field, box);
    return box;
}

QListWidget *TrafficEntryWindow::addPickList(const QString &name, const QString &toolTip)
{
    auto *list = new QListWidget(centralWidget());
    list->setObjectName(name);
    list->setToolTip(toolTip);
    list->setFocusPolicy(Qt::ClickFocus); // reached through its box, never by Tab
    list->installEventFilter(this);
    list->hide();
    return list;
}

void TrafficEntryWindow::showPickList(QListWidget *list, QWidget *under)
{
    if (list->count() == 0) {
        list->hide(); // an empty box under the field would only hide the form
        return;
    }
    const QPoint at = under->mapTo(centralWidget(), QPoint(0, under->height()));
    const int width = qMax(under->width(), 140);
    const int rows = list->sizeHintForRow(0) * int(list->count()) + 2 * list->frameWidth();
    const int height = std::min({ rows, 200, centralWidget()->height() - at.y() });
    list->setGeometry(at.x(), at.y(), width, qMax(height, 40));
    list->raise();
    list->show();
}

void TrafficEntryWindow::applySource()
{
    const QString source = session().trafficsource.trimmed();
    m_fromNet = source == QLatin1String("1");
    if (m_fromNet)
        setWindowTitle(QStringLiteral("Traffic Entry for Net:  ") + session().netpath);
    else if (source == QLatin1String("0"))
        setWindowTitle(QStringLiteral("Traffic Entry Direct / Not From Net"));
    else
        setWindowTitle(QStringLiteral("Traffic Entry Form"));
    if (m_fromNet)
        m_originList->hide();
}

void TrafficEntryWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (event->spontaneous())
        return;
    applySource();
    // The cursor starts in the sending station box, with its lists and default.
    QTimer::singleShot(0, m_sending, [this] {
        if (m_sending->hasFocus()) {
            if (m_lastEntered != m_sending) {
                m_lastEntered = m_sending;
                enterBox(m_sending);
            }
        } else {
            m_sending->setFocus(Qt::OtherFocusReason);
        }
    });
}

Radiogram TrafficEntryWindow::radiogram() const
{
    Radiogram r;
    for (auto it = m_boxes.cbegin(); it != m_boxes.cend(); ++it)
        r.setText(it.key(), it.value()->text());
    r.messagetext = m_text->toPlainText();
    return r;
}

void TrafficEntryWindow::moveCursorTo(QWidget *widget)
{
    // After the current focus change has finished, not inside it.
    QTimer::singleShot(0, widget, [widget] { widget->setFocus(Qt::OtherFocusReason); });
}

bool TrafficEntryWindow::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::FocusIn: {
        // Coming back from another window, a message box or a menu is no entry into a box.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if ((reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
            && watched == m_lastEntered)
            break;
        m_lastEntered = qobject_cast<QWidget *>(watched);
        if (watched == m_skipEntry) {
            m_skipEntry = nullptr;
            break;
        }
        enterBox(m_lastEntered);
        break;
    }
    case QEvent::FocusOut:
        focusLost(watched, static_cast<QFocusEvent *>(event)->reason());
        break;
    case QEvent::KeyPress: {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
            break;
        if (watched == m_handlingList && !key->text().isEmpty() && key->key() != Qt::Key_Tab
            && key->key() != Qt::Key_Backtab && key->key() != Qt::Key_Escape) {
            // A letter picks its code; any typed key commits the choice.
            const QChar c = key->text().at(0).toUpper();
            if (c >= u'A' && c <= u'G')
                m_handlingList->setCurrentRow(c.unicode() - 'A');
            commitHandling(true);
            return true;
        }
        if (keyPressed(watched, key->key()))
            return true;
        break;
    }
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TrafficEntryWindow::enterBox(QWidget *box)
{
    auto fill = [](QLineEdit *edit, const QString &text) {
        edit->setText(text);
        edit->selectAll();
        // A mouse click places the caret after the focus change; select again after it.
        QTimer::singleShot(0, edit, [edit] {
            if (edit->hasFocus())
                edit->selectAll();
        });
    };
    if (box == m_sending) {
        if (fromNet()) {
            m_checkinList->clear();
            m_checkinList->addItems(
                netCheckinCallsigns(session().netpath + QStringLiteral("net.mdb")));
            fill(m_sending, mycall());
            showPickList(m_checkinList, m_sending);
            m_checkinList->setCurrentRow(0);
            moveCursorTo(m_checkinList);
        } else {
            m_sendingList->clear();
            if (m_master)
                m_sendingList->addItems(m_master->lookupContaining(QString()));
            showPickList(m_sendingList, m_sending);
            fill(m_sending, mycall());
        }
    } else if (box == m_number) {
        m_sendingList->hide();
        m_checkinList->hide();
        session().msgnumber = session().messageNumbers().read();
        fill(m_number, QString::number(session().msgnumber));
    } else if (box == m_precedence) {
        showPickList(m_precedenceList, m_precedence);
        moveCursorTo(m_precedenceList);
    } else if (box == m_precedenceList) {
        m_precedenceList->setCurrentRow(0); // Routine unless the operator picks another
    } else if (box == m_handling) {
        showPickList(m_handlingList, m_handling);
        moveCursorTo(m_handlingList);
    } else if (box == m_origin) {
        m_handlingList->hide();
        m_originList->clear();
        if (m_master)
            m_originList->addItems(m_master->lookupContaining(QString()));
        showPickList(m_originList, m_origin);
        fill(m_origin, mycall());
    } else if (box == m_checkSpace) {
        m_originList->hide();
    } else if (box == m_place) {
        fill(m_place, store::trimTrailingBlanks(session().prefsrec.location));
    } else if (box == m_time) {
        fill(m_time, filedTime(localNow().toUTC()));
    } else if (box == m_date) {
        fill(m_date, filedDate(localNow().toUTC()));
    } else if (box == m_signature) {
        fill(m_signature, mycall() + QStringLiteral(" - ") + operatorName());
    }
}

bool TrafficEntryWindow::keyPressed(QObject *watched, int key)
{
    auto go = [](QWidget *to) {
        to->setFocus(Qt::OtherFocusReason);
        return true;
    };
    if (watched == m_number && movesOn(key))
        return go(m_precedence);
    if (watched == m_sending) {
        if (movesOn(key))
            return go(m_number);
        if (key == Qt::Key_PageDown) {
            QListWidget *list = fromNet() ? m_checkinList : m_sendingList;
            if (!list->isVisible() || list->count() == 0)
                return true;
            if (list->currentRow() < 0)
                list->setCurrentRow(0);
            return go(list);
        }
    }
    if (watched == m_origin) {
        if (movesOn(key))
            return go(m_checkSpace);
        if (key == Qt::Key_PageDown) {
            if (!m_originList->isVisible() || m_originList->count() == 0)
                return true;
            if (m_originList->currentRow() < 0)
                m_originList->setCurrentRow(0);
            return go(m_originList);
        }
    }
    if (watched == m_parameter && movesOn(key))
        return go(m_origin);
    // The lists stand outside the Tab order, so Tab from a list means "on to the next box".
    if (watched == m_handlingList && key == Qt::Key_Tab) {
        commitHandling(true);
        return true;
    }
    if (watched == m_precedenceList && (movesOn(key) || isEnter(key) || key == Qt::Key_Tab)) {
        commitPrecedence(true);
        return true;
    }
    for (QListWidget *list : { m_checkinList, m_sendingList, m_originList }) {
        if (watched != list)
            continue;
        if (isEnter(key)) {
            pickCallsign(list);
            return true;
        }
        if (key == Qt::Key_Tab) {
            (list == m_originList ? static_cast<QWidget *>(m_checkSpace) : m_number)
                ->setFocus(Qt::TabFocusReason);
            list->hide();
            return true;
        }
        if (key == Qt::Key_Escape) {
            // Back to the box to type a callsign the list does not hold.
            QLineEdit *box = list == m_originList ? m_origin : m_sending;
            m_skipEntry = box;
            box->setFocus(Qt::OtherFocusReason);
            m_skipEntry = nullptr;
            list->hide();
            return true;
        }
    }
    return false;
}

void TrafficEntryWindow::focusLost(QObject *watched, Qt::FocusReason reason)
{
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return; // another window or a menu took the keyboard; the cursor stays put
    const bool moveCursor = reason != Qt::MouseFocusReason;
    if (watched == m_precedenceList)
        QTimer::singleShot(0, this, [this, moveCursor] { commitPrecedence(moveCursor); });
    else if (watched == m_handlingList)
        QTimer::singleShot(0, this, [this, moveCursor] { commitHandling(moveCursor); });
    else if (watched == m_parameter)
        applyHandlingParameter();
}

void TrafficEntryWindow::lookUp(QLineEdit *box, QListWidget *list)
{
    const QString text = box->text();
    if (text.isEmpty()) {
        list->hide();
        return;
    }
    list->clear();
    if (m_master)
        list->addItems(m_master->lookupContaining(text));
    showPickList(list, box);
}

void TrafficEntryWindow::pickCallsign(QListWidget *list)
{
    const QListWidgetItem *item = list->currentItem();
    if (!item)
        return;
    QLineEdit *box = list == m_originList ? m_origin : m_sending;
    box->setText(item->text());
    (list == m_originList ? static_cast<QWidget *>(m_checkSpace) : m_number)
        ->setFocus(Qt::OtherFocusReason);
    list->hide();
}

void TrafficEntryWindow::commitPrecedence(bool moveCursor)
{
    if (m_committing || !m_precedenceList->isVisible())
        return;
    const QScopedValueRollback guard(m_committing, true);
    if (const QListWidgetItem *item = m_precedenceList->currentItem())
        m_precedence->setText(item->text());
    if (moveCursor)
        m_handling->setFocus(Qt::OtherFocusReason);
    m_precedenceList->hide();
}

void TrafficEntryWindow::commitHandling(bool moveCursor)
{
    if (m_committing || !m_handlingList->isVisible())
        return;
    const QScopedValueRollback guard(m_committing, true);
    // The selected code, not the current row: the list makes its first row current on
    // entry, but the blank bar with nothing picked means no handling.
    const QList<QListWidgetItem *> picked = m_handlingList->selectedItems();
    m_handlingCode = picked.isEmpty() ? QString() : picked.first()->text();
    m_handling->setText(m_handlingCode);
    const QString prompt = handlingPrompt(m_handlingCode);
    m_prompt->setText(prompt);
    m_parameter->clear();
    m_parameter->setVisible(!prompt.isEmpty());
    if (moveCursor)
        (prompt.isEmpty() ? m_origin : m_parameter)->setFocus(Qt::OtherFocusReason);
    m_handlingList->hide();
}

void TrafficEntryWindow::applyHandlingParameter()
{
    if (m_handlingCode.isEmpty())
        return;
    // Built from the code each time, so leaving the box twice does not repeat the parameter.
    m_handling->setText(handlingWithParameter(m_handlingCode, m_parameter->text()));
}

void TrafficEntryWindow::mark(QWidget *box, bool missing)
{
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, missing ? QColor(255, 0, 0) : QColor(Qt::white));
    palette.setColor(QPalette::Text, Qt::black);
    box->setPalette(palette);
}

bool TrafficEntryWindow::checkRequiredFields()
{
    const Radiogram r = radiogram();
    for (const QString &field : requiredPacketFields()) {
        QWidget *box = field == QLatin1String("messagetext") ? static_cast<QWidget *>(m_text)
                                                             : m_boxes.value(field);
        const bool missing = r.text(field).trimmed().isEmpty();
        mark(box, missing);
        if (missing) {
            // The cursor goes there to fill it in, without the box's default.
            m_skipEntry = box;
            box->setFocus(Qt::OtherFocusReason);
            m_skipEntry = nullptr;
            if (box == m_signature)
                m_signature->selectAll();
            return false;
        }
    }
    return true;
}

bool TrafficEntryWindow::save()
{
    Radiogram r = receivedRadiogram();
    r.sent = false;
    if (!m_store || !m_store->add(r)) {
        // Nothing is lost: the window stays open with everything typed.
        if (session().prompts)
            session().prompts->exclamation(QStringLiteral("Save"),
                QStringLiteral("The message could not be stored in the traffic database.\n")
                    + (m_store ? m_store->lastError() : m_storeError));
        return false;
    }
    session().trafficcount = qint16(qMin(m_store->undeliveredCount(), 32767));
    trafficChanged();
    if (QWidget *panel = windows().loaded(QStringLiteral("trafficlist"))) {
        panel->raise();
        panel->activateWindow();
    }
    if (const auto next = session().messageNumbers().consume())
        session().msgnumber = *next;
    else if (session().prompts)
        session().prompts->exclamation(QStringLiteral("Save"),
            QStringLiteral("The message was stored, but the next message number could not be "
                           "written to %1.")
                .arg(session().messageNumberPath));
    closeWindow();
    return true;
}

void TrafficEntryWindow::cancel()
{
    closeWindow();
}

void TrafficEntryWindow::closeWindow()
{
    if (windows().loaded(kWindowName) == this)
        windows().unload(kWindowName);
    else
        close();
}

bool TrafficEntryWindow::winpackSend()
{
    if (!checkRequiredFields())
        return false;
    PacketTransport *link = packetTransport();
    Prompts *prompts = session().prompts;
    if (!link || !link->isOpen()) {
        if (prompts)
            prompts->exclamation(QStringLiteral("Winpack Send"),
                QStringLiteral("No packet terminal port is open. The message was not sent."));
        return false;
    }
    if (!link->send(packetProgramChunks(radiogram(), m_check->text()))) {
        if (prompts)
            prompts->exclamation(QStringLiteral("Winpack Send"),
                QStringLiteral("The packet terminal could not send the message."));
        return false;
    }
    if (const auto next = session().messageNumbers().consume())
        session().msgnumber = *next;
    return true;
}

Radiogram TrafficEntryWindow::receivedRadiogram() const
{
    // Printed or saved before Save stamps it, the radiogram is being received now.
    Radiogram r = radiogram();
    const QDateTime now = localNow();
    r.recdate = localDateText(now);
    r.rectime = localTimeText(now);
    return r;
}

void TrafficEntryWindow::printMessage()
{
    printRadiogram(receivedRadiogram());
}

void TrafficEntryWindow::saveMessage()
{
    saveRadiogramMessage(receivedRadiogram(), MessageSource::EntryWindow);
}

} // namespace rollcall::traffic
