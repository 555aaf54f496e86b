// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "stats/regulars.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace rollcall {

class NetWindow;
namespace stats {
class StatsReader;
}

// "Regulars Not Yet Heard" beside the net window: the stations heard in at
// least K of the net's last M sessions that are not in tonight's log yet. A
// station leaves the list as it checks in; a double click puts its callsign in
// the entry row. Toggled from the net window's View menu; whether it shows
// with the next net is kept in the settings file, with K and M.
class RegularsWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr QSize kSize { 300, 260 };
    static constexpr QSize kMinimumSize { 220, 140 };

    explicit RegularsWindow(QWidget *parent = nullptr);

    // Follows this net window (the one of the net just opened).
    void attach(NetWindow *net);
    // Reads the net's earlier sessions again (on a thread of their own) and
    // then shows who is missing.
    void reload();
    bool isReading() const;
    // Stops the reading under way; the list keeps what it showed.
    void cancelReading();
    // The callsigns listed, top first.
    QStringList listed() const;

public Q_SLOTS:
    // Beside the net window, clear of its entry rows, of Traffic Held and of
    // the windows that must stay clear; small screens: over the grid's last columns.
    void place();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fill();
    void read(const QList<stats::Regular> &regulars, const QList<stats::SkippedNet> &skipped);
    void heard(const QString &callsign);
    void pick(int row);

    QPointer<NetWindow> m_net;
    // The same window, for telling its events apart: compared only, never used,
    // so it stays sound while the window is being destroyed.
    const QObject *m_netEvents = nullptr;
    QTableWidget *m_table = nullptr;
    QSpinBox *m_atLeast = nullptr;
    QSpinBox *m_ofLast = nullptr;
    QLabel *m_note = nullptr;
    QPushButton *m_cancel = nullptr;
    stats::StatsReader *m_reader = nullptr;
    QList<stats::Regular> m_regulars;
    QStringList m_tonight;
    bool m_stale = true;
    bool m_quiet = false; // hidden with the net, not by the operator
};

} // namespace rollcall
