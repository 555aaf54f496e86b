// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "stats/netstats.h"

#include <QWidget>

class QComboBox;
class QDateEdit;
class QLabel;
class QPlainTextEdit;
class QTabWidget;
class QTableWidget;

namespace rollcall {

// Net Statistics: the nets (a net folder's name or a pattern) and the dates
// chosen, the sessions and the stations as sortable tables, the month's net
// report, and saving as CSV, HTML or PDF.
class StatsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit StatsWindow(QWidget *parent = nullptr);

    // Reads the nets again with what is chosen.
    void refresh();
    void setSelection(const stats::Selection &selection);
    const stats::StatsResult &result() const { return m_result; }
    QString monthReportText() const;

    // The table shown (sessions or stations) into a file the operator names.
    void saveAs();
    // Radiogram entry with the month's report as its text.
    void startRadiogram();

private:
    void fillNets();
    void showResult();

    QComboBox *m_nets = nullptr;
    QDateEdit *m_from = nullptr;
    QDateEdit *m_to = nullptr;
    QTabWidget *m_tabs = nullptr;
    QTableWidget *m_sessions = nullptr;
    QTableWidget *m_stations = nullptr;
    QPlainTextEdit *m_report = nullptr;
    QLabel *m_totals = nullptr;
    QPlainTextEdit *m_skipped = nullptr;
    stats::StatsResult m_result;
};

} // namespace rollcall
