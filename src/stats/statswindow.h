// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "stats/netstats.h"

#include <QWidget>

class QComboBox;
class QDateEdit;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;

namespace rollcall {

class MonthReportWidget;
namespace stats {
class StatsReader;
}

// Net Statistics: the nets (a net folder's name or a pattern) and the dates
// chosen, the sessions and the stations as sortable tables, the month's net
// report, the attendance of the last 12 months and the regulars not heard
// for some weeks, and saving as text, CSV, HTML or PDF. The nets are read on
// a thread of their own, with progress and Cancel.
class StatsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit StatsWindow(QWidget *parent = nullptr);

    // Reads the nets again with what is chosen; the tables follow when read.
    void refresh();
    void setSelection(const stats::Selection &selection);
    bool isReading() const;
    // Stops the reading under way; the tables keep what they showed.
    void cancelReading();
    // The sessions from the From to the To date, as last read.
    const stats::StatsResult &result() const { return m_result; }
    QString monthReportText() const;
    MonthReportWidget *monthReport() const { return m_month; }

    // The table shown (or the month report) into a file the operator names.
    void saveAs();
    // The month's report as a radiogram of the traffic database, opened to look at.
    void startRadiogram();

private:
    void read(const stats::StatsResult &all);
    void readingEnded(bool cancelled);
    void showResult();
    void showLapsed();

    QComboBox *m_nets = nullptr;
    QDateEdit *m_from = nullptr;
    QDateEdit *m_to = nullptr;
    QPushButton *m_show = nullptr;
    QTabWidget *m_tabs = nullptr;
    QTableWidget *m_sessions = nullptr;
    QTableWidget *m_stations = nullptr;
    MonthReportWidget *m_month = nullptr;
    QTableWidget *m_trends = nullptr;
    QWidget *m_lapsedPage = nullptr;
    QTableWidget *m_lapsed = nullptr;
    QSpinBox *m_weeks = nullptr;
    QLabel *m_totals = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_cancel = nullptr;
    QPlainTextEdit *m_skipped = nullptr;
    stats::StatsReader *m_reader = nullptr;
    stats::Selection m_chosen; // what the reading under way (or the last) was asked for
    stats::StatsResult m_all; // everything read: a year before To too, for the trends
    stats::StatsResult m_result; // of those, From to To
};

} // namespace rollcall
