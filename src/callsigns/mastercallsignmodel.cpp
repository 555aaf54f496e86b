// SPDX-License-Identifier: GPL-3.0-or-later
#include "callsigns/mastercallsignmodel.h"

#include "callsigns/mastercallsigndb.h"
#include "store/keyedrowsmodel.h"

namespace rollcall::callsigns {

namespace {
const std::pair<QString, QString MasterRecord::*> kFields[] = {
    { QStringLiteral("callsign"), &MasterRecord::callsign },
    { QStringLiteral("fname"), &MasterRecord::fname },
    { QStringLiteral("location"), &MasterRecord::location },
    { QStringLiteral("state"), &MasterRecord::state },
    { QStringLiteral("comments"), &MasterRecord::comments },
};

bool editField(MasterCallsignDb &db, qint64 rowid, const QString &field, const QVariant &value)
{
    if (!db.setCurrentRowId(rowid))
        return false;
    MasterRecord r = *db.current();
    QString text = value.toString();
    if (field == kFields[0].first) {
        text = text.toUpper();
        // One record per callsign: an edit may not make a second one.
        if (text.compare(r.callsign, Qt::CaseInsensitive) != 0 && !text.isEmpty()
            && db.exists(text))
            return false;
    }
    for (const auto &[name, member] : kFields)
        if (name == field)
            r.*member = text;
    return db.editRecord(r);
}
} // namespace

store::KeyedRowsModel *newMasterCallsignModel(MasterCallsignDb &db, QObject *parent)
{
    QStringList fields;
    for (const auto &f : kFields)
        fields << f.first;
    auto *model = new store::KeyedRowsModel(
        db.database(), store::names::callmastTable, QStringLiteral("rowid"), fields, parent);
    model->setEditHook([&db](qint64 rowid, const QString &field, const QVariant &value) {
        return editField(db, rowid, field, value);
    });
    model->setKeys(db.viewRowIds());
    return model;
}

} // namespace rollcall::callsigns
