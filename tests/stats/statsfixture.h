// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/newnet.h"
#include "netlog/checkin.h"
#include "netlog/netlogstore.h"
#include "netlog/netops.h"

#include <QDateTime>
#include <QDir>
#include <QSqlQuery>
#include <QTest>

// Nets made the way the program makes and runs them: New Net's folder from the
// templates, the set-up dialog's files, Start Net, Add Record, NCS changes, End Net.
namespace rollcall::test {

struct Station
{
    QString call, name;
};

struct NetPlan
{
    NetPlan(QString parentFolder, QString sessionName, QDateTime startAt)
        : parent(std::move(parentFolder)), name(std::move(sessionName)), start(std::move(startAt))
    {
    }
    QString parent; // the folder the net is made in
    QString name; // the session folder's name
    QDateTime start; // local
    int minutes = 60; // 0: never ended
    QString ncs = QStringLiteral("Q0NC");
    QList<Station> stations;
    QStringList laterNcs; // NCS changes during the net
    QList<std::pair<QString, bool>> traffic; // traffic# and whether it was passed
    QLocale locale = QLocale(QLocale::English, QLocale::UnitedStates);
};

// Returns the session's folder ending in "/"; empty on failure (with a test failure).
inline QString makeSession(const NetPlan &plan, const QString &dbfiles)
{
    QDir().mkpath(plan.parent);
    const NetCreation made = createNetFolder(plan.parent, plan.name, dbfiles);
    if (!made.ok) {
        qWarning() << made.error;
        return {};
    }
    const QString netpath = made.netpath;
    netlog::setUpNet(netpath, plan.ncs, QStringLiteral("146.520"), false, plan.start, plan.locale);
    if (netlog::startNet(netpath, plan.start, plan.locale).isEmpty())
        return {};
    {
        auto store = netlog::NetLogStore::open(netpath);
        if (!store)
            return {};
        QDateTime at = plan.start;
        for (const Station &s : plan.stations) {
            at = at.addSecs(30);
            netlog::CheckInRow row;
            row.callsign = s.call;
            row.name = s.name;
            row.logtime = netlog::logTimeText(at, false);
            if (!store->addCheckIn(row))
                return {};
        }
        for (const auto &[count, passed] : plan.traffic) {
            netlog::HeldTrafficRow t;
            t.count = count;
            t.callsignfrom = QStringLiteral("Q1AW");
            t.goingto = QStringLiteral("Boston");
            if (!store->addHeldTraffic(t))
                return {};
            if (passed) {
                // What ticking Passed in the Traffic Held grid writes.
                QSqlQuery q(store->trafficDatabase().connection());
                if (!q.exec(QStringLiteral("UPDATE query1 SET passed = 1 WHERE id = "
                                           "(SELECT max(id) FROM query1)")))
                    return {};
            }
        }
    }
    QDateTime at = plan.start;
    for (const QString &ncs : plan.laterNcs) {
        at = at.addSecs(60);
        netlog::changeNcs(netpath, ncs, plan.ncs, at, false, plan.locale);
    }
    if (plan.minutes > 0)
        netlog::endNet(netpath, plan.start.addSecs(plan.minutes * 60), plan.locale);
    return netpath;
}

} // namespace rollcall::test
