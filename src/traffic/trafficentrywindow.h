// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "traffic/radiogram.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;

namespace rollcall::callsigns {
class MasterCallsignDb;
}

namespace rollcall::traffic {

class TrafficStore;

// Radiogram entry (trafficform): one new radiogram typed in preamble order,
// with defaults on entering a box, pick lists and the blank bar as "break".
// Saving stores it as an undelivered row and takes a message number.
class TrafficEntryWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit TrafficEntryWindow(QWidget *parent = nullptr);
    ~TrafficEntryWindow() override;

    // The radiogram as the boxes show it.
    Radiogram radiogram() const;
    // The same with the received date and time of this moment.
    Radiogram receivedRadiogram() const;

    // "&Save": stores the row, takes a message number, closes. False (window
    // left open, message shown) when the row could not be stored.
    bool save();
    // "&Cancel": closes without storing.
    void cancel();
    // "&Winpack Send": required fields, then the chunks to the packet link.
    bool winpackSend();
    void printMessage();
    void saveMessage();

    // Turns the first empty required field red and puts the cursor there;
    // the fields before it go white. True when all are filled.
    bool checkRequiredFields();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QLineEdit *addBox(const QString &field, const QString &toolTip = {});
    QListWidget *addPickList(const QString &name, const QString &toolTip = {});
    void showPickList(QListWidget *list, QWidget *under);
    void applySource();
    bool fromNet() const { return m_fromNet; }

    void enterBox(QWidget *box);
    bool keyPressed(QObject *watched, int key);
    void focusLost(QObject *watched, Qt::FocusReason reason);

    void lookUp(QLineEdit *box, QListWidget *list);
    void pickCallsign(QListWidget *list);
    void commitPrecedence(bool moveCursor);
    void commitHandling(bool moveCursor);
    void applyHandlingParameter();
    void closeWindow();
    void moveCursorTo(QWidget *widget);
    void mark(QWidget *box, bool missing);

    std::unique_ptr<TrafficStore> m_store;
    std::unique_ptr<callsigns::MasterCallsignDb> m_master;
    QString m_storeError;
    bool m_fromNet = false;
    bool m_committing = false;
    QWidget *m_skipEntry = nullptr; // returns from a pick list without new defaults
    QPointer<QWidget> m_lastEntered; // the box whose defaults were written last
    QString m_handlingCode;

    QHash<QString, QLineEdit *> m_boxes; // by field name
    QLineEdit *m_number = nullptr;
    QLineEdit *m_precedence = nullptr;
    QLineEdit *m_handling = nullptr;
    QLineEdit *m_origin = nullptr;
    QLineEdit *m_checkSpace = nullptr;
    QLineEdit *m_place = nullptr;
    QLineEdit *m_time = nullptr;
    QLineEdit *m_date = nullptr;
    QLineEdit *m_sending = nullptr;
    QLineEdit *m_signature = nullptr;
    QLineEdit *m_parameter = nullptr;
    QLabel *m_prompt = nullptr;
    QLabel *m_check = nullptr;
    QPlainTextEdit *m_text = nullptr;
    QListWidget *m_checkinList = nullptr;
    QListWidget *m_sendingList = nullptr;
    QListWidget *m_originList = nullptr;
    QListWidget *m_precedenceList = nullptr;
    QListWidget *m_handlingList = nullptr;
};

} // namespace rollcall::traffic
