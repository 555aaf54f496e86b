// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "stats/monthreport.h"

#include <QWidget>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

namespace rollcall {

// The Month report page of Net Statistics: the report of the net and month
// picked, the net manager, the radiogram's precedence and addressee (kept in
// the settings file), and the radiogram made of it.
class MonthReportWidget : public QWidget
{
    Q_OBJECT
public:
    explicit MonthReportWidget(QWidget *parent = nullptr);

    // One report per net and month of these sessions; the first is picked.
    void setSessions(const QList<stats::SessionFigures> &sessions);
    const QList<stats::MonthReport> &reports() const { return m_reports; }
    // The report picked, as text (empty when there is none).
    QString text() const;
    void pick(int index);

    // Stores the report picked as a new radiogram, numbered from the message
    // number file, and opens it in the radiogram view. False, with a message,
    // when there is no report or it could not be stored.
    bool makeRadiogram();

private:
    void settingsChanged();
    void rebuild();

    QComboBox *m_pick = nullptr;
    QPlainTextEdit *m_text = nullptr;
    QLineEdit *m_manager = nullptr;
    QComboBox *m_precedence = nullptr;
    QLineEdit *m_sendTo = nullptr;
    QList<stats::SessionFigures> m_sessions;
    QList<stats::MonthReport> m_reports;
};

} // namespace rollcall
