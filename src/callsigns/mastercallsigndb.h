#pragma once

#include "store/database.h"
#include "store/schema.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace rollcall::callsigns {

// The five fields every window shows and writes; the profile fields are only read.
struct MasterRecord
{
    QString callsign;
    QString fname;
    QString location;
    QString state;
    QString comments;
};

// The master callsign table as an ordered view with a current record. Each window
// holds its own. The view starts in stored order (the net window's lookups);
// openOrdered switches it to one of the sort views (the callmaster grid).
// Every text goes to the database as a bound parameter: an apostrophe, % or _
// in a callsign is an ordinary character.
class MasterCallsignDb
{
public:
    // path is dbfiles/callmast.mdb; a missing file is created with the schema.
    static std::unique_ptr<MasterCallsignDb> open(const QString &path, QString *error = nullptr);
    ~MasterCallsignDb();

    store::Database &database() { return *m_db; }

    // field: callsign, fname, location or state. False for an unknown field.
    // The first record of the new order becomes current.
    bool openOrdered(const QString &field, store::SortOrder order);
    // The view's current record source: "Callmast" or "qry:<field>:<direction>".
    QString recordSource() const { return m_source; }

    // Finds the first record (view order) whose callsign equals callsign, case
    // ignored; it becomes current.
    bool lookupExact(const QString &callsign);
    // Callsigns containing text (case ignored), upper case, in view order, up to
    // the first record with an empty callsign. limit < 0: all of them.
    QStringList lookupContaining(const QString &text, int limit = -1);
    // Like lookupContaining but only the first match, which becomes current
    // (the callmaster search). False when nothing matches; the current record
    // then stays where it was.
    bool findFirstContaining(const QString &text);

    // The current record, if any.
    std::optional<MasterRecord> current() const;
    qint64 currentRowId() const { return m_current; }

    // Appends a record (callsign upper-cased); it becomes current.
    bool appendRecord(const MasterRecord &record);
    // Writes the five fields into the current record. False when there is none.
    bool editRecord(const MasterRecord &record);
    // Empties the table and leaves one record whose fields are all empty.
    bool deleteAll();

    qint64 count() const;

    QString lastError() const { return m_error; }

private:
    explicit MasterCallsignDb(std::unique_ptr<store::Database> db);
    std::optional<MasterRecord> recordAt(qint64 rowid) const;

    std::unique_ptr<store::Database> m_db;
    QString m_source;
    QString m_orderBy; // ORDER BY clause of the view, rowid for stored order
    qint64 m_current = -1;
    QString m_error;
};

} // namespace rollcall::callsigns
