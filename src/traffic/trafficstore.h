// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/database.h"
#include "traffic/radiogram.h"

#include <memory>
#include <optional>

namespace rollcall::traffic {

// The radiograms of dbfiles/Traffic.mdb (table trafficpassed). Windows that need a
// grid use the named views through a RecordSourceModel on database().
class TrafficStore
{
public:
    static std::unique_ptr<TrafficStore> open(const QString &path, QString *error = nullptr);
    ~TrafficStore();

    store::Database &database() { return *m_db; }

    // Stores a new row; r.messageid receives the database's key. False on failure.
    bool add(Radiogram &r);
    // Writes every field of the row r.messageid. False when it failed or the row is gone.
    bool update(const Radiogram &r);
    bool remove(qint64 messageid);
    std::optional<Radiogram> byId(qint64 messageid) const;
    // Rows of notsent.
    int undeliveredCount() const;

    QString lastError() const { return m_error; }

private:
    explicit TrafficStore(std::unique_ptr<store::Database> db);
    std::unique_ptr<store::Database> m_db;
    QString m_error;
};

} // namespace rollcall::traffic
