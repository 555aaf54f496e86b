// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "callsigns/stationcolumns.h"
#include "store/database.h"
#include "store/schema.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QSqlQuery;

namespace rollcall::callsigns {

// A callsign as it is looked up and stored: blanks around it are no part of
// it ("w1aw " is W1AW), upper case.
QString normalizedCallsign(const QString &text);

// The five fields every window shows and writes; the profile fields are only read.
struct MasterRecord
{
    QString callsign;
    QString fname;
    QString location;
    QString state;
    QString comments;

    bool operator==(const MasterRecord &) const = default;
};

// The master callsign table as an ordered view with a current record. Each window
// holds its own. The view starts in stored order (the net window's lookups);
// openOrdered switches it to one of the sort views (the callmaster grid).
// Every text goes to the database as a bound parameter: an apostrophe, % or _
// in a callsign is an ordinary character.
//
// Substring lookups run against an in-memory copy of the callsigns in view
// order (a few megabytes for a million stations): scanning that is far faster
// than any SQL plan for one- and two-letter needles. The copy follows this
// object's own writes and is read again when another connection has committed.
// warmUp() reads it on another thread, so a window that opens on a large table
// answers at once; lookups meanwhile go to the database's index.
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
    // Reads the view again (after writes this object cannot follow, such as a
    // rolled-back batch); the first record becomes current.
    void reread();
    // The view's current record source: "Callmast" or "qry:<field>:<direction>".
    QString recordSource() const { return m_source; }

    // Finds the first record (view order) whose callsign equals callsign, case
    // ignored; it becomes current.
    bool lookupExact(const QString &callsign);
    // True when some record holds this callsign (case ignored); moves nothing.
    bool exists(const QString &callsign);
    // Callsigns containing text (case ignored), upper case, in view order.
    // Records without a callsign are no stations and never match a text; an
    // empty text gives every callsign up to the first record without one.
    // limit < 0: all of them.
    QStringList lookupContaining(const QString &text, int limit = -1);
    // Starts reading the in-memory copy on another thread (about a second for
    // a million stations; a table of a few thousand is read at once), e.g.
    // when a window opens. Until it is there, a
    // lookup with a limit gets the callsigns that BEGIN with the text, found
    // at once through the database's index (a search anywhere in them would
    // read every record); any other use of the copy waits for it.
    void warmUp();
    // Whether the copy warmUp() started is in place.
    bool isWarm();
    // Like lookupContaining but only the first match, which becomes current
    // (the callmaster search). An empty text finds the first record that has a
    // callsign. False when nothing matches; the current record then stays.
    bool findFirstContaining(const QString &text);

    // The current record, if any.
    std::optional<MasterRecord> current() const;
    // Any fields of the current record by name (the profile a remote station
    // asks for); nothing when there is no current record or a name is unknown.
    std::optional<QStringList> currentValues(const QStringList &fields) const;
    qint64 currentRowId() const { return m_current; }
    // Makes the record with this key current; false when there is none.
    bool setCurrentRowId(qint64 rowid);
    std::optional<MasterRecord> recordAt(qint64 rowid) const;

    // Keys of every record in view order, read now (the callmaster grid's rows).
    std::vector<qint64> viewRowIds();
    // Hands every record to visit in view order until visit returns false.
    // False when the table could not be read.
    bool forEachRecord(const std::function<bool(const MasterRecord &)> &visit);

    // Appends a record (callsign upper-cased); it becomes current.
    bool appendRecord(const MasterRecord &record);
    // Writes the five fields into the current record. False when there is none.
    bool editRecord(const MasterRecord &record);
    // Hands the key and callsign of every record to visit, in stored order.
    bool forEachCallsign(const std::function<void(qint64 rowid, const QString &callsign)> &visit);
    // Writes name, location and state of the record with this key (a batch
    // ends with reread()); its
    // callsign, comments and profile fields stay. Moves nothing.
    bool updateStation(
        qint64 rowid, const QString &fname, const QString &location, const QString &state);
    // A bulk write of a million stations in one transaction keeps its pages in
    // memory (256 MB) instead of spilling them to the file before the commit.
    void setBulkCache(bool on);
    // Empties the table and leaves one record whose fields are all empty.
    bool deleteAll();

    qint64 count() const;

    QString lastError() const { return m_error; }

private:
    explicit MasterCallsignDb(std::unique_ptr<store::Database> db);
    bool fail(const QSqlQuery &query);
    qint64 firstRowId() const;

    // The callsigns in view order: upper-case UTF-8, each followed by a NUL.
    struct CallIndex
    {
        bool valid = false;
        qint64 dataVersion = -1;
        std::vector<qint64> rowids;
        std::vector<qsizetype> starts; // offset of each callsign in text, plus the end
        QByteArray text;
        // For every pair of adjacent bytes, the records whose callsign holds it,
        // ascending: a needle of two or more bytes only looks at the records of
        // its rarest pair. Built on the first such search.
        std::vector<std::vector<quint32>> pairs;
        // A sorted view knows its order at once; the callsign text follows on
        // the first search (copying it in a random order is the slow part).
        std::vector<quint32> pendingRows;
        bool textPending = false;

        qsizetype size() const { return qsizetype(rowids.size()); }
        QByteArray callsign(qsizetype i) const
        {
            return text.mid(starts[i], starts[i + 1] - starts[i] - 1);
        }
        void append(qint64 rowid, const QByteArray &upper);
        void append(qint64 rowid, const QString &callsign); // any case
        void buildPairs();
        void addPairs(qsizetype i);
        void removePairs(qsizetype i);
        void replace(qsizetype i, const QByteArray &upper);
        // Index of the first record at or after from whose callsign holds needle
        // (non-empty); -1 when none.
        qsizetype find(const QByteArray &needle, qsizetype from) const;
    };
    CallIndex &callIndex();
    // callIndex() with its callsign text.
    CallIndex &callText();
    // The sort fields of every record, read once and then kept in step with
    // this object's writes; read again when another connection has committed.
    StationColumns &columns();
    void columnsChanged(qint64 rowid, const MasterRecord &record, bool appended);
    qint64 dataVersion() const;
    void indexChanged(qint64 rowid, const QString &callsign, bool appended);
    // Takes the copy warmUp() started once it is read (wait: until then), when
    // nothing was written since it began; otherwise it is read again. True
    // when no copy is being read any more.
    bool settleLoader(bool wait);
    QStringList lookupInDatabase(const QByteArray &needle, int limit);

    std::unique_ptr<store::Database> m_db;
    QString m_source;
    QString m_orderBy; // ORDER BY clause of the view, rowid for stored order
    bool m_storedOrder = true;
    int m_sortField = 0; // index into store::callsignSortFields() of a sorted view
    bool m_ascending = true;
    StationColumns m_columns;
    qint64 m_current = -1;
    QString m_error;
    CallIndex m_index;
    struct Loader;
    std::unique_ptr<Loader> m_loader;
    qint64 m_writes = 0; // this object's writes, so a copy read meanwhile is known stale
    // Prepared once: the import calls these a million times.
    std::unique_ptr<QSqlQuery> m_existsQuery;
    std::unique_ptr<QSqlQuery> m_insertQuery;
    std::unique_ptr<QSqlQuery> m_updateStationQuery;
};

} // namespace rollcall::callsigns
