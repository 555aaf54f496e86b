// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlog/entryrowwidgets.h"

#include "app/session.h"
#include "app/uppercasewidget.h"
#include "callsigns/mastercallsigndb.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QStringListModel>
#include <QTimer>
#include <QVBoxLayout>

namespace rollcall::netlog {

namespace {
// Matches shown at once while the rest of a long list is read after the keystroke.
constexpr int kFirstSuggestions = 100;

bool isEnter(const QKeyEvent *key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

void firstLetterUpper(QLineEdit *edit, const QString &text)
{
    if (text.isEmpty() || !text[0].isLower())
        return;
    const int caret = edit->cursorPosition();
    edit->setText(text[0].toUpper() + text.mid(1));
    edit->setCursorPosition(caret);
}
} // namespace

EntryRowWidgets::EntryRowWidgets(QWidget *parent) : QObject(parent)
{
    buildFields(parent);
    buildTraffic(parent);
    buildSuggestions(parent);

    // Tab order: the entry row, then the traffic rows one by one.
    QList<QWidget *> order = { m_callsign, m_name, m_location, m_state, m_options };
    for (int i = 0; i < kTrafficRows; ++i)
        order << m_precedence[i] << m_count[i] << m_destination[i];
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    connect(m_callsign, &QLineEdit::textEdited, this, &EntryRowWidgets::callsignEdited);
    // Other windows put callsigns in too (remote and PSK check-ins): upper case as well.
    connect(m_callsign, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (text != text.toUpper())
            m_callsign->setText(text.toUpper());
    });
    connect(m_name, &QLineEdit::textEdited, this, [this](const QString &text) {
        firstLetterUpper(m_name, text);
        m_nameEdited = true;
    });
    connect(m_location, &QLineEdit::textEdited, this,
        [this](const QString &text) { firstLetterUpper(m_location, text); });
    connect(m_options, &QLineEdit::textEdited, this, &EntryRowWidgets::optionsEdited);
}

void EntryRowWidgets::buildFields(QWidget *parent)
{
    m_fields = new QGridLayout;
    m_fields->setHorizontalSpacing(6);
    auto field = [&](const QString &name, const QString &caption, const QString &tip, int column,
                     int width) {
        auto *label = new QLabel(caption, parent);
        auto *edit = new QLineEdit(parent);
        edit->setObjectName(name);
        if (!tip.isEmpty()) {
            label->setToolTip(tip);
            edit->setToolTip(tip);
        }
        edit->setMinimumWidth(width);
        m_fields->addWidget(label, 0, column);
        m_fields->addWidget(edit, 1, column);
        edit->installEventFilter(this);
        return edit;
    };
    m_callsign = field(QStringLiteral("callsigna"), QStringLiteral("Callsign:"),
        QStringLiteral("Callsign of the station checking in."), 0, 110);
    m_name = field(QStringLiteral("fnamea"), QStringLiteral("Name:"),
        QStringLiteral("Name of the station checking in."), 1, 120);
    m_location = field(QStringLiteral("locationa"), QStringLiteral("Location:"),
        QStringLiteral("Location of the station checking in."), 2, 150);
    m_state = field(QStringLiteral("statea"), QStringLiteral("ST/PR:"), QString(), 3, 50);
    m_options = field(QStringLiteral("options"), QStringLiteral("Options:"),
        QStringLiteral("Options: E=emergency, P=priority, R=routine, W=welfare, I=informal, "
                       "O=in/Out, F=fixed, M=mobile, T=portable"),
        4, 80);
    m_state->setMaximumWidth(70);
    forceUpperCase(m_callsign);
    forceUpperCase(m_state);
    // The master record's comments travel with the check-in; the row does not show them.
    m_comments = new QLineEdit(parent);
    m_comments->setObjectName(QStringLiteral("commentsa"));
    m_comments->hide();

    // Option boxes: five precedences under one heading, then the station kinds.
    auto *boxes = new QHBoxLayout;
    auto *precedenceBoxes = new QVBoxLayout;
    precedenceBoxes->setSpacing(0);
    auto *heading = new QLabel(QStringLiteral("Emer   Prty  Rtn Wlfr  Infml"), parent);
    heading->setObjectName(QStringLiteral("lblPrecedenceBoxes"));
    precedenceBoxes->addWidget(heading);
    auto *precedenceRow = new QHBoxLayout;
    const char *const boxNames[kOptionCount] = { "chkEmer", "chkPrty", "chkRtn", "chkWlfr",
        "chkInfml", "chkPort", "chkMobl", "chkFxd", "chkInOut" };
    const char *const boxCaptions[kOptionCount]
        = { "", "", "", "", "", "Port", "Mobl", "Fxd", "In/Out" };
    for (int i = 0; i < kOptionCount; ++i) {
        auto *box = new QCheckBox(QString::fromLatin1(boxCaptions[i]), parent);
        box->setObjectName(QLatin1String(boxNames[i]));
        box->setFocusPolicy(Qt::ClickFocus);
        m_boxes[i] = box;
        if (i < 5)
            precedenceRow->addWidget(box);
        else
            boxes->addWidget(box);
    }
    precedenceBoxes->addLayout(precedenceRow);
    boxes->insertLayout(0, precedenceBoxes);
    boxes->addStretch(1);
    m_fields->addLayout(boxes, 2, 0, 1, 5);
}

void EntryRowWidgets::buildTraffic(QWidget *parent)
{
    m_traffic = new QGroupBox(QStringLiteral("In-Net Traffic"), parent);
    m_traffic->setObjectName(QStringLiteral("frameTraffic"));
    auto *rows = new QGridLayout(m_traffic);
    rows->setVerticalSpacing(0);
    rows->setContentsMargins(6, 2, 6, 4);
    rows->addWidget(new QLabel(QStringLiteral("Prec."), m_traffic), 0, 0);
    rows->addWidget(new QLabel(QStringLiteral("#"), m_traffic), 0, 1);
    rows->addWidget(new QLabel(QStringLiteral("Traffic To:"), m_traffic), 0, 2);
    for (int i = 0; i < kTrafficRows; ++i) {
        auto *precedence = new QComboBox(m_traffic);
        precedence->setObjectName(QStringLiteral("prec%1").arg(i));
        precedence->addItems({ QStringLiteral("E"), QStringLiteral("P"), QStringLiteral("R"),
            QStringLiteral("W"), QStringLiteral(" ") });
        precedence->setCurrentIndex(4);
        precedence->installEventFilter(this);
        auto *count = new QLineEdit(m_traffic);
        count->setObjectName(QStringLiteral("count%1").arg(i));
        count->setMaximumWidth(40);
        count->installEventFilter(this);
        auto *destination = new QLineEdit(m_traffic);
        destination->setObjectName(QStringLiteral("dest%1").arg(i));
        destination->installEventFilter(this);
        forceUpperCase(destination);
        rows->addWidget(precedence, i + 1, 0);
        rows->addWidget(count, i + 1, 1);
        rows->addWidget(destination, i + 1, 2);
        m_precedence[i] = precedence;
        m_count[i] = count;
        m_destination[i] = destination;
    }
}

void EntryRowWidgets::buildSuggestions(QWidget *parent)
{
    // The suggestion list floats under the callsign field, above the rest.
    m_suggestionModel = new QStringListModel(this);
    m_suggestions = new QListView(parent);
    m_suggestions->setObjectName(QStringLiteral("lstCallsigns"));
    m_suggestions->setModel(m_suggestionModel);
    m_suggestions->setUniformItemSizes(true);
    m_suggestions->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_suggestions->installEventFilter(this);
    m_suggestions->hide();
    m_fillRest = new QTimer(this);
    m_fillRest->setSingleShot(true);
    // Long enough that a typist's next key cancels it, short enough to feel immediate.
    m_fillRest->setInterval(200);
    connect(m_fillRest, &QTimer::timeout, this, &EntryRowWidgets::fillSuggestions);
    connect(m_suggestions, &QListView::doubleClicked, this, &EntryRowWidgets::suggestionChosen);
    connect(m_suggestions, &QListView::clicked, this, &EntryRowWidgets::suggestionClicked);
}

CheckInEntry EntryRowWidgets::entry() const
{
    CheckInEntry e;
    e.callsign = callsigns::normalizedCallsign(m_callsign->text());
    e.name = m_name->text();
    e.location = m_location->text();
    e.state = m_state->text().toUpper();
    e.options = m_options->text();
    e.comments = m_comments->text();
    for (int i = 0; i < kOptionCount; ++i)
        e.boxes.ticked[i] = m_boxes[i]->isChecked();
    for (int i = 0; i < kTrafficRows; ++i) {
        e.traffic[i].precedence = m_precedence[i]->currentText();
        e.traffic[i].count = m_count[i]->text();
        e.traffic[i].destination = m_destination[i]->text();
    }
    e.nameEdited = m_nameEdited;
    return e;
}

void EntryRowWidgets::setEntry(const CheckInEntry &e)
{
    m_callsign->setText(e.callsign);
    m_name->setText(e.name);
    m_location->setText(e.location);
    m_state->setText(e.state);
    m_options->setText(e.options);
    m_comments->setText(e.comments);
    for (int i = 0; i < kOptionCount; ++i)
        m_boxes[i]->setChecked(e.boxes.ticked[i]);
    for (int i = 0; i < kTrafficRows; ++i) {
        const int item = m_precedence[i]->findText(e.traffic[i].precedence);
        m_precedence[i]->setCurrentIndex(item < 0 ? 4 : item);
        m_count[i]->setText(e.traffic[i].count);
        m_destination[i]->setText(e.traffic[i].destination);
    }
    m_nameEdited = e.nameEdited;
}

QString EntryRowWidgets::updateMasterRecord()
{
    const QString call = callsigns::normalizedCallsign(m_callsign->text());
    const auto current = m_master ? m_master->current() : std::nullopt;
    if (call.isEmpty() || !current || current->callsign.compare(call, Qt::CaseInsensitive) != 0)
        return {};
    callsigns::MasterRecord rec = *current;
    rec.fname = m_name->text();
    rec.location = m_location->text();
    rec.state = m_state->text();
    return m_master->editRecord(rec) ? QString() : m_master->lastError();
}

void EntryRowWidgets::setOptionBoxesEnabled(bool enabled)
{
    for (QCheckBox *box : m_boxes)
        box->setEnabled(enabled);
}

void EntryRowWidgets::clearOptionBoxes()
{
    for (QCheckBox *box : m_boxes)
        box->setChecked(false);
}

void EntryRowWidgets::fillFromMaster()
{
    m_name->selectAll();
    closeSuggestions();
    if (m_master && m_master->lookupExact(m_callsign->text())) {
        if (const auto rec = m_master->current()) {
            m_name->setText(rec->fname);
            m_location->setText(rec->location);
            m_state->setText(rec->state);
            if (!rec->comments.isEmpty())
                m_comments->setText(rec->comments);
        }
    }
    m_name->selectAll();
}

bool EntryRowWidgets::closeSuggestions()
{
    m_fillRest->stop();
    if (!m_suggestions->isVisible())
        return false;
    m_suggestions->hide();
    return true;
}

EntryRowWidgets::Typing EntryRowWidgets::typing(QWidget *focus) const
{
    Typing t;
    t.entry = entry();
    t.focus = focus;
    if (auto *line = qobject_cast<QLineEdit *>(focus)) {
        t.caret = line->cursorPosition();
        t.selectionStart = line->selectionStart();
        t.selectionLength = int(line->selectedText().size());
    }
    // The suggestions the operator is reading stay open, on the same row.
    t.listShown = m_suggestions->isVisible();
    t.listRow = m_suggestions->currentIndex();
    return t;
}

void EntryRowWidgets::restore(const Typing &t)
{
    if (t.listShown) {
        showSuggestions();
        if (t.listRow.isValid())
            m_suggestions->setCurrentIndex(t.listRow);
    }
    QWidget *focus = t.focus;
    if (focus && focus->window()->focusWidget() != focus)
        focus->setFocus(Qt::OtherFocusReason);
    setEntry(t.entry);
    if (auto *line = qobject_cast<QLineEdit *>(focus)) {
        if (t.selectionStart >= 0 && t.selectionLength > 0)
            line->setSelection(t.selectionStart, t.selectionLength);
        else
            line->setCursorPosition(t.caret);
    }
}

void EntryRowWidgets::callsignEdited(const QString &text)
{
    m_fillRest->stop();
    if (text.isEmpty() || !m_master) {
        m_suggestions->hide();
        return;
    }
    const QStringList first = m_master->lookupContaining(text, kFirstSuggestions);
    m_suggestionModel->setStringList(first);
    // The complete list follows when typing pauses; another keystroke cancels it.
    // Until the lookup copy is read, the first list holds only the callsigns
    // that begin with the text, so the complete one follows then in any case.
    if (first.size() >= kFirstSuggestions || !m_master->isWarm())
        m_fillRest->start();
    // An empty list would only be a blank box over the option headings.
    if (first.isEmpty()) {
        m_suggestions->hide();
        return;
    }
    showSuggestions();
}

void EntryRowWidgets::showSuggestions()
{
    // Under the callsign field, as tall as its rows up to twelve.
    const QRect field = m_callsign->geometry();
    const int rows = qBound(1, m_suggestionModel->rowCount(), 12);
    const int rowHeight = m_suggestions->fontMetrics().height() + 2;
    m_suggestions->setGeometry(field.left(), field.bottom() + 2, qMax(field.width(), 130),
        rows * rowHeight + 2 * m_suggestions->frameWidth() + 4);
    m_suggestions->show();
    m_suggestions->raise();
}

void EntryRowWidgets::fillSuggestions()
{
    if (!m_master || m_callsign->text().isEmpty())
        return;
    if (!m_master->isWarm()) {
        m_fillRest->start(); // the complete list waits for the lookup copy
        return;
    }
    const int row = m_suggestions->currentIndex().row();
    m_suggestionModel->setStringList(m_master->lookupContaining(m_callsign->text(), -1));
    if (m_suggestionModel->rowCount() == 0) {
        m_suggestions->hide();
        return;
    }
    showSuggestions(); // hidden when the first list was empty
    if (row >= 0)
        m_suggestions->setCurrentIndex(m_suggestionModel->index(row));
}

void EntryRowWidgets::suggestionChosen(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    m_callsign->setText(index.data().toString());
    m_suggestions->hide();
    m_name->setFocus(Qt::TabFocusReason); // on to the name, as Tab would
}

void EntryRowWidgets::suggestionClicked(const QModelIndex &index)
{
    if (!index.isValid() || !m_master || !m_master->lookupExact(index.data().toString()))
        return;
    // The callsign goes with the details, so the check-in never pairs a partly
    // typed callsign with another station's name (setText runs no new lookup).
    m_callsign->setText(index.data().toString());
    if (const auto rec = m_master->current()) {
        m_name->setText(rec->fname);
        m_location->setText(rec->location);
        m_state->setText(rec->state);
        m_comments->setText(rec->comments);
    }
    m_name->selectAll();
}

void EntryRowWidgets::optionsEdited(const QString &text)
{
    const OptionLetters letters = readOptionLetters(text);
    for (int i = 0; i < kOptionCount; ++i)
        m_boxes[i]->setChecked(letters.boxes.ticked[i]);
    if (!letters.firstRowPrecedence.isNull())
        m_precedence[0]->setCurrentText(QString(letters.firstRowPrecedence));
}

bool EntryRowWidgets::spaceMoves(QObject *watched, Qt::KeyboardModifiers modifiers) const
{
    if (session().prefsrec.spaceBarTab != 1)
        return false;
    // Shift+Space types a blank inside names and places.
    if ((watched == m_name || watched == m_location) && (modifiers & Qt::ShiftModifier))
        return false;
    return watched == m_callsign || watched == m_name || watched == m_location
        || watched == m_state || watched == m_options;
}

namespace {
// The operator's own move into a field, as opposed to the focus coming back to
// where it was (window activation, a menu or pop-up closing, a dialog gone).
bool operatorMovedIn(Qt::FocusReason reason)
{
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason
        || reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason;
}
} // namespace

bool EntryRowWidgets::focusEntered(QObject *watched, Qt::FocusReason reason)
{
    if (watched == m_callsign) {
        if (operatorMovedIn(reason))
            Q_EMIT callsignEntered();
    } else if (watched == m_name) {
        // A name corrected by the operator is not put back from the master record.
        if (operatorMovedIn(reason))
            Q_EMIT nameEntered();
    } else if (watched == m_location || watched == m_state) {
        auto *edit = static_cast<QLineEdit *>(watched);
        QTimer::singleShot(0, edit, [edit] { edit->selectAll(); });
    } else if (watched == m_precedence[0]) {
        // A precedence ticked in the options already filled the first row.
        if (m_boxes[int(Option::Emer)]->isChecked() || m_boxes[int(Option::Prty)]->isChecked()
            || m_boxes[int(Option::Rtn)]->isChecked() || m_boxes[int(Option::Wlfr)]->isChecked())
            QTimer::singleShot(0, m_count[0], [this] { m_count[0]->setFocus(); });
    } else {
        for (QLineEdit *count : m_count) {
            if (watched == count && count->text().isEmpty()) {
                count->setText(QStringLiteral("1"));
                QTimer::singleShot(0, count, [count] { count->selectAll(); });
            }
        }
    }
    return false;
}

bool EntryRowWidgets::suggestionKey(QKeyEvent *key)
{
    if (isEnter(key)) {
        suggestionChosen(m_suggestions->currentIndex());
        return true;
    }
    if (key->key() == Qt::Key_Escape) {
        closeSuggestions();
        m_callsign->setFocus();
        return true;
    }
    return false;
}

bool EntryRowWidgets::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn)
        return focusEntered(watched, static_cast<QFocusEvent *>(event)->reason());
    if (event->type() != QEvent::KeyPress)
        return false;

    auto *key = static_cast<QKeyEvent *>(event);
    if (watched == m_suggestions)
        return suggestionKey(key);
    if (watched == m_callsign && key->key() == Qt::Key_PageDown && m_suggestions->isVisible()
        && m_suggestionModel->rowCount() > 0) {
        m_suggestions->setFocus();
        if (!m_suggestions->currentIndex().isValid())
            m_suggestions->setCurrentIndex(m_suggestionModel->index(0));
        return true;
    }
    if (key->key() == Qt::Key_Space && spaceMoves(watched, key->modifiers())) {
        QWidget *next = watched == m_callsign ? static_cast<QWidget *>(m_name)
            : watched == m_name               ? m_location
            : watched == m_location           ? m_state
            : watched == m_state              ? m_options
                                              : m_count[0];
        next->setFocus(Qt::TabFocusReason);
        return true;
    }
    // Enter anywhere in the entry row stores the check-in ("&Add Record" is the default).
    if (isEnter(key) && !qobject_cast<QComboBox *>(watched)) {
        Q_EMIT enterPressed();
        return true;
    }
    return false;
}

} // namespace rollcall::netlog
