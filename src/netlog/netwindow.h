// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "netlog/checkin.h"
#include "netlog/netops.h"
#include "netlog/netwindowmenus.h"

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace rollcall {
class DataGrid;
namespace store {
class KeyedRowsModel;
}
namespace callsigns {
class MasterCallsignDb;
struct MasterRecord;
} // namespace callsigns

namespace netlog {
class EntryRowWidgets;
class NetHeaderWidget;
class NetStatusWidget;
class PaperLogWidget;
class NetLogStore;
} // namespace netlog

// The net window `rollcall`: runs the net in session().netpath. Other windows
// fill its entry fields (callsigna, fnamea, locationa, statea, options) and
// call AddRecord(), exactly as the operator's "&Add Record" does.
class NetWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit NetWindow(QWidget *parent = nullptr);
    ~NetWindow() override;

    DataGrid *grid() const { return m_grid; }
    netlog::NetState netState() const { return m_state; }
    bool logsUtc() const { return m_utc; }
    QString ncsCall() const;
    QString frequencyText() const;
    netlog::NetLogStore *netLog() const { return m_store.get(); }
    bool enteredAfterwards() const;
    callsigns::MasterCallsignDb *master() const { return m_master.get(); }

    // The entry row as the window holds it, and back.
    netlog::CheckInEntry entry() const;
    void setEntry(const netlog::CheckInEntry &entry);

    // A check-in that did not come from the keyboard (the network, PSK31): the
    // callsign goes in on a clear row and Add Record is pressed, exactly as if
    // typed; the operator's half-typed row, focus, caret and open suggestion
    // list come back after. True when it was logged. A net that takes no
    // check-ins (not started, ended, locked) stores none: the check-in is kept
    // as heard, counted in the status bar and offered for logging, with the
    // time it was heard, once the net starts. With failure given, a check-in
    // that cannot be stored leaves its message there rather than in a message
    // box, so the caller can tell it once (a check-in kept as heard leaves it empty).
    bool checkInAsTyped(
        const QString &callsign, netlog::HeardFrom from, QString *failure = nullptr);
    // The same with a whole row (a second operator's, from the logger page):
    // name, location, state, options and traffic as given, the name-edited
    // flag as the row carries it. A net that takes no check-ins keeps the
    // whole row as heard, with who sent it (sentBy, a logger's name), and
    // logs it as given once the operator logs the heard check-ins.
    bool checkInAsTyped(const netlog::CheckInEntry &entry, netlog::HeardFrom from,
        QString *failure = nullptr, const QString &sentBy = {});
    // A check-out heard over PSK31: a station still waiting to be logged is
    // logged In/Out.
    void checkOutHeard(const QString &callsign);

    // What a subsystem above this one adds to every net as it opens (the remote
    // check-in listener attaches itself), under a name so that registering it
    // again replaces it. Called once the net is claimed, before its data are opened.
    using NetOpenedHook = std::function<void(NetWindow *)>;
    static void setNetOpenedHook(const QString &name, NetOpenedHook hook);

Q_SIGNALS:
    // A check-in row was stored for this callsign (typed, remote, PSK31).
    void checkInLogged(const QString &callsign);
    // A heard check-in that someone sent (sentBy, see checkInAsTyped) was
    // logged as record recno.
    void heardCheckInLogged(qint64 recno, const QString &sentBy);

public Q_SLOTS:
    // Stores the entry row as a check-in (the one way check-ins are added).
    void AddRecord();
    // "Log &Heard Check-Ins" (F11): the check-ins heard while the net took
    // none, each logged as if typed with the time it was heard.
    void logHeardCheckIns();
    void StartNet();
    void EndNet();
    void LockNet();
    void UnlockNet();
    void CloseNet();
    // "&Net Control": asks for the new NCS and records the change.
    void NetControl();
    void UpdateCall();
    // "+&Traffic": radiogram entry for traffic from a station of this net.
    void AddTraffic();
    void ChangeOptions();
    void setOptionCheckboxesEnabled(bool enabled);
    void setFrequencyText(const QString &frequency);
    // What entering the callsign and the name field does (focus events call them).
    void callsignEntered();
    void nameEntered();
    // Re-reads the check-ins and shows the last one.
    void refreshGrid();
    // A net entered afterwards from a paper log: Start Net and End Net ask for
    // their date and time, and Add Record takes the log time typed in the
    // status bar's "Log time" box instead of the clock's.
    void setEnteredAfterwards(bool on);
    // The part no other window of the program may cover, in screen
    // coordinates: the frame from its title bar down to the check-in grid.
    QRect entryArea() const;
    // Traffic Held and the traffic panel clear of the entry rows and of the
    // other windows that must stay clear, Traffic Held in front.
    void arrangeCompanions();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildWindow();
    void openNet();
    void applyState(netlog::NetState state);
    void updateClock();
    void updateCaption();
    // Start Net without moving the caret (a paper net asks its time first);
    // false when that question was cancelled.
    bool startNetHere();
    // Add Record with the log time of `when`; true when the row was stored.
    bool storeEntry(const QDateTime &when);
    // The entry goes in on a clear row and is stored as typed; everything of
    // the operator's row comes back after (see checkInAsTyped).
    bool addAsTyped(
        const netlog::CheckInEntry &entry, const QDateTime &when, QString *failure = nullptr);
    // The status bar's count of heard check-ins and, once the net runs, the offer.
    void showHeard();
    void refreshHeldTraffic();
    void shutDown();
    // True (after telling the operator) when the net is locked against writing.
    bool refuseWhenLocked(const QString &title);
    // A per-net file that could not be written (a full disk): the operator is told.
    void tellWriteFailure(const QString &title, const QString &error);

    std::unique_ptr<netlog::NetLogStore> m_store;
    std::unique_ptr<callsigns::MasterCallsignDb> m_master;
    store::KeyedRowsModel *m_checkIns = nullptr;
    // While a check-in from outside is added: what became of it.
    struct OutsideAdd
    {
        bool stored = false;
        bool quiet = false;
        QString error;
    };
    OutsideAdd *m_outside = nullptr;
    DataGrid *m_grid = nullptr;

    netlog::NetHeaderWidget *m_header = nullptr;
    netlog::EntryRowWidgets *m_row = nullptr;

    netlog::NetButtonRow m_buttons;
    netlog::NetMenuItems m_menu;
    netlog::NetStatusWidget *m_status = nullptr;

    netlog::NetState m_state = netlog::NetState::Opened;
    bool m_utc = false;
    bool m_closing = false;
    netlog::HeardCheckIns m_heard;
    // The status line offers to log the heard check-ins (from Start Net until
    // they are logged or the operator presses Esc).
    bool m_offerHeard = false;
    QString m_startLine;
    // A net entered afterwards: its times typed from the paper log.
    netlog::PaperLogWidget *m_paper = nullptr;
};

} // namespace rollcall
