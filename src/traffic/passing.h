// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace rollcall::traffic {

// What the view windows fill in and ask while a radiogram is passed on.

// "Passed Time:": UTC hh:mm:ss, whatever the local zone.
QString passedTime(const QDateTime &utc);

// The "Passed Via:" choices; the delivered view offers the first six only.
QStringList passedViaChoices(bool delivered);
// Passing by packet writes the packet file; the comparison ignores case and
// surrounding blanks.
bool passesByPacket(const QString &passedVia);

// The delete question of the undelivered and delivered views.
QString deleteQuestionTitle();
QString deleteQuestion(bool delivered);

} // namespace rollcall::traffic
