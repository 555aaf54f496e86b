// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QPdfWriter;

namespace rollcall::reports {

// A PDF of letter-size pages, as the program's printed reports are made:
// no margins, one unit a point, the title given and "Rollcall" as its
// creator. paint draws the pages; the finished file comes back.
QByteArray letterPdf(const QString &title, const std::function<void(QPdfWriter &)> &paint);

} // namespace rollcall::reports
