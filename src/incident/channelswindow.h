// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "incident/ics205.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QTableWidget;

namespace rollcall {

// Radio Channels (`channels`): the net's ICS-205 plan, a row a channel,
// edited in place, and its special instructions below; Save writes the plan
// file, Save Form writes the form as PDF or CSV.
class ChannelsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit ChannelsWindow(QWidget *parent = nullptr);

    QList<incident::Channel> channels() const; // as the table holds them
    QString instructions() const; // as the box holds them
    void addChannel(); // "&Add Channel"
    void removeChannel(); // "&Remove"
    bool save(); // "&Save"
    void saveForm(); // "Save &Form..." (PDF or CSV)

protected:
    void showEvent(QShowEvent *event) override;

private:
    void fill();

    QTableWidget *m_table;
    QPlainTextEdit *m_instructions;
    QLabel *m_problem;
};

} // namespace rollcall
