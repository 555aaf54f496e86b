// SPDX-License-Identifier: GPL-3.0-or-later
// The net window's check-ins that do not come from the keyboard: stations
// heard over the network or PSK31, logged through the entry row as if typed,
// or kept as heard while the net takes none.
#include "netlog/netwindow.h"

#include "app/session.h"
#include "callsigns/mastercallsigndb.h"
#include "netlog/entryrowwidgets.h"
#include "netlog/netlogstore.h"
#include "netlog/netstatuswidget.h"
#include "netlog/netwindowmenus.h"

#include <QAction>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace rollcall {

void NetWindow::showHeard()
{
    const bool running = m_state == netlog::NetState::Started;
    m_status->showHeard(m_heard, m_utc, m_offerHeard && running);
    m_menu.logHeard->setEnabled(running && !m_heard.isEmpty());
}

bool NetWindow::checkInAsTyped(const QString &callsign, netlog::HeardFrom from, QString *failure)
{
    if (!m_buttons.add->isEnabled()) {
        if (m_heard.add(callsign, from, session().clock->now()))
            showHeard();
        return false;
    }
    netlog::CheckInEntry e;
    e.callsign = callsign;
    return addAsTyped(e, session().clock->now(), failure);
}

bool NetWindow::checkInAsTyped(const netlog::CheckInEntry &entry, netlog::HeardFrom from,
    QString *failure, const QString &sentBy)
{
    if (!m_buttons.add->isEnabled()) {
        if (m_heard.addRow(entry, from, session().clock->now(), sentBy))
            showHeard();
        return false;
    }
    return addAsTyped(entry, session().clock->now(), failure);
}

void NetWindow::checkOutHeard(const QString &callsign)
{
    m_heard.checkOut(callsign);
    showHeard();
}

bool NetWindow::addAsTyped(const netlog::CheckInEntry &add, const QDateTime &when, QString *failure)
{
    const netlog::EntryRowWidgets::Typing typed = m_row->typing(focusWidget());
    m_row->setEntry(add);
    QPointer<NetWindow> self(this); // a message box inside Add Record may close the net
    OutsideAdd outcome;
    outcome.quiet = failure != nullptr;
    m_outside = &outcome;
    const bool stored = storeEntry(when);

    if (failure)
        *failure = outcome.error;
    if (!self)
        return stored;
    m_outside = nullptr; // when Add Record did not run
    m_row->restore(typed);
    return stored;
}

void NetWindow::logHeardCheckIns()
{
    if (!m_buttons.add->isEnabled())
        return;
    m_offerHeard = false;
    // The station being typed right now is logged by that entry, once.
    const QString typing = callsigns::normalizedCallsign(m_row->callsign()->text());
    QPointer<NetWindow> self(this);
    const QList<netlog::HeardCheckIn> waiting = m_heard.all();
    for (const netlog::HeardCheckIn &h : waiting) {
        if (h.callsign == typing)
            continue;
        // A failure has been reported; the rest keep waiting.
        if (!addAsTyped(netlog::HeardCheckIns::entryFor(h), h.heardAt) || !self)
            break;
        if (!h.sentBy.isEmpty() && m_store) {
            Q_EMIT heardCheckInLogged(m_store->lastRecno(), h.sentBy);
            if (!self)
                return;
        }
    }
    if (self)
        showHeard();
}

} // namespace rollcall
