// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QWidget>
#include <optional>

class QLineEdit;

namespace rollcall::netlog {

// The net window's part of a net entered afterwards from a paper log: the
// status bar's "Log time" box the next row's time is typed in, the time of
// the last line written, and the questions Start Net and End Net ask. The
// rules for typed times are in afterwards.h; the files written are a live net's.
class PaperLogWidget : public QWidget
{
    Q_OBJECT
public:
    explicit PaperLogWidget(QWidget *parent = nullptr);

    bool isOn() const { return m_on; }
    // Shown while on; a net already started has its rows follow its start.
    void setOn(bool on, const QString &startLine, bool utc);

    // Start Net's question, proposing the day in the net's name; End Net's.
    // Nothing when cancelled, or unreadable (the operator is told why).
    std::optional<QDateTime> askStart(const QString &netname, bool utc);
    std::optional<QDateTime> askEnd();
    // The local time of the row about to be stored, from the box; nothing,
    // with the operator told and the caret in the box, when it cannot be read.
    std::optional<QDateTime> rowTime(bool utc);
    // A row was stored at that time: the next one is placed after it.
    void rowStored(const QDateTime &local) { m_last = local; }

private:
    std::optional<QDateTime> ask(
        const QString &title, const QString &prompt, const QDateTime &proposed, bool withDate);

    bool m_on = false;
    QDateTime m_last; // the last line written, local
    QLineEdit *m_logTime = nullptr;
};

} // namespace rollcall::netlog
