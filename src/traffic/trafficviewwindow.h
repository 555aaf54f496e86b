// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "traffic/radiogram.h"
#include "traffic/trafficlists.h"

#include <QHash>
#include <QMainWindow>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace rollcall::callsigns {
class MasterCallsignDb;
}

namespace rollcall::traffic {

class TrafficStore;

// One stored radiogram in the entry window's layout. "trafficformview" opens an
// undelivered one to pass it on (Manual Send), correct, print, save or delete
// it; "oldtrafficformview" a delivered one to read, print, save or delete.
// Both open on selectedmessageid.
class TrafficViewWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit TrafficViewWindow(TrafficList list, QWidget *parent = nullptr);
    ~TrafficViewWindow() override;

    bool isDelivered() const { return m_list == TrafficList::Delivered; }
    qint64 messageid() const { return m_shown.messageid; }
    // The radiogram as the boxes show it now.
    Radiogram shownRadiogram() const;

    QLineEdit *box(const QString &field) const { return m_boxes.value(field); }
    QPlainTextEdit *messageBox() const { return m_text; }
    QComboBox *passedVia() const { return m_via; }
    QListWidget *passedToList() const { return m_passedToList; }

public Q_SLOTS:
    void manualSend();
    void editMessage();
    void updateMessage();
    void cancel();
    void ok();
    void deleteMessage();
    void printMessage();
    void saveMessage();
    // The delivered view's navigation bar.
    void navigate(Move move);

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildBoxes(QWidget *central);
    void buildMenus();
    // Positions the window on selectedmessageid.
    void loadSelected();
    void display(const Radiogram &r);
    void setRadiogramBoxesEditable(bool editable);
    void passedToChanged(const QString &text);
    void pickPassedTo(const QString &callsign);
    void placeChanged(const QString &text);
    bool writePacketFile(const Radiogram &r);
    void storeFailed(const QString &what);
    // Shows a list (loading it if needed) on top, after trafficChanged() re-read it.
    static void bringForward(const QString &list);
    QString windowName() const { return trafficViewWindowName(m_list); }

    TrafficList m_list;
    std::unique_ptr<TrafficStore> m_store;
    std::unique_ptr<callsigns::MasterCallsignDb> m_master;
    Radiogram m_shown;
    bool m_loaded = false;

    QHash<QString, QLineEdit *> m_boxes;
    QPlainTextEdit *m_text = nullptr;
    QLabel *m_check = nullptr;
    QComboBox *m_via = nullptr;
    QCheckBox *m_sent = nullptr;
    QListWidget *m_passedToList = nullptr;
    QListWidget *m_precedenceList = nullptr;
    QPushButton *m_manualSend = nullptr;
    QPushButton *m_edit = nullptr;
    QPushButton *m_update = nullptr;
};

} // namespace rollcall::traffic
