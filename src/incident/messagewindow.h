// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "incident/ics213.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;

namespace rollcall {

// General Messages (`ics213`): the net's ICS-213 messages listed on the left,
// the one chosen (or a new one) in the form on the right. Saved in the net
// folder as flmsg's .213 files; a .213 from elsewhere opens here and is
// added to the net; printed as PDF or text; sent as plain text.
class MessageWindow : public QWidget
{
    Q_OBJECT
public:
    explicit MessageWindow(QWidget *parent = nullptr);

    incident::GeneralMessage message() const; // as the form holds it
    void setMessage(const incident::GeneralMessage &m);
    QString currentPath() const { return m_path; }

    void newMessage(); // "&New"
    bool save(); // "&Save": into the net folder
    void openFile(); // "&Open .213...": a message from elsewhere, added to the net
    void saveForm(); // "&Print...": PDF, text or a .213 where the operator chooses
    // "Sen&d": the text to the PSK31 terminal when it is open, else to the
    // packet terminal when its port is open, else to the clipboard. What was
    // done comes back (and shows in the window).
    QString send();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void fill();
    void choose(int row);
    QLineEdit *field(const QString &name, const QString &placeholder = QString());

    QListWidget *m_list;
    QLineEdit *m_incident, *m_to, *m_toPosition, *m_from, *m_fromPosition, *m_subject, *m_date,
        *m_time, *m_approvedBy, *m_approvedPosition, *m_repliedBy, *m_repliedPosition, *m_replyDate,
        *m_replyTime;
    QPlainTextEdit *m_message, *m_reply;
    QLabel *m_status;
    QString m_path; // the net's file shown; empty for a new message
    QByteArray m_source; // the file the message shown was read from, written again on save
    QList<incident::StoredMessage> m_stored;
};

} // namespace rollcall
