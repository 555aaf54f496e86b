// SPDX-License-Identifier: GPL-3.0-or-later
#include "traffic/passing.h"

namespace rollcall::traffic {

QString passedTime(const QDateTime &utc)
{
    return utc.toUTC().time().toString(QStringLiteral("HH:mm:ss"));
}

QStringList passedViaChoices(bool delivered)
{
    QStringList choices { QStringLiteral("Voice Net"), QStringLiteral("CW Net"),
        QStringLiteral("HF Digital"), QStringLiteral("Packet"), QStringLiteral("Telephone"),
        QStringLiteral("Internet") };
    if (!delivered)
        choices << QStringLiteral("Returned Undeliverable") << QStringLiteral("In Person");
    return choices;
}

bool passesByPacket(const QString &passedVia)
{
    return passedVia.trimmed().compare(QLatin1String("packet"), Qt::CaseInsensitive) == 0;
}

QString deleteQuestionTitle()
{
    return QStringLiteral("Delete Record?");
}

QString deleteQuestion(bool delivered)
{
    // The undelivered view has always had two blanks after the question mark.
    return delivered ? QStringLiteral("Are you sure you want to delete this record? This "
                                      "permanently removes it from the database!")
                     : QStringLiteral("Are you sure you want to delete this record?  This "
                                      "permanently removes it from the database!");
}

} // namespace rollcall::traffic
