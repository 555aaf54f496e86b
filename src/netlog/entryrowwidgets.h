// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "netlog/checkin.h"

#include <QModelIndex>
#include <QObject>
#include <QPointer>
#include <array>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QKeyEvent;
class QLineEdit;
class QListView;
class QStringListModel;
class QTimer;
class QWidget;

namespace rollcall {
namespace callsigns {
class MasterCallsignDb;
}

namespace netlog {

// The entry row of the net window: the five fields, the option boxes, the
// in-net traffic rows and the callsign suggestion list, with the keyboard
// rules an operator types by (space as Tab, Enter stores, option letters
// tick boxes, PageDown into the list, a count field offers 1). The window
// places fields() and traffic() in its layout and stores the check-in when
// enterPressed() is signalled.
class EntryRowWidgets : public QObject
{
    Q_OBJECT
public:
    // The widgets are children of parent (the window's central widget).
    explicit EntryRowWidgets(QWidget *parent);

    // Captions over the fields, the fields, then the option boxes on row 2;
    // the window may add its own rows under them.
    QGridLayout *fields() const { return m_fields; }
    QGroupBox *traffic() const { return m_traffic; }

    // Where suggestions and the name lookup come from; null for none.
    void setMaster(callsigns::MasterCallsignDb *master) { m_master = master; }

    CheckInEntry entry() const;
    void setEntry(const CheckInEntry &entry);

    QLineEdit *callsign() const { return m_callsign; }
    QLineEdit *name() const { return m_name; }
    QLineEdit *location() const { return m_location; }
    QLineEdit *state() const { return m_state; }
    QLineEdit *options() const { return m_options; }
    QListView *suggestions() const { return m_suggestions; }

    // "&Update Call": the name, location and state typed for the station the
    // master database last found under this callsign are written there. The
    // error, or empty.
    QString updateMasterRecord();

    void setOptionBoxesEnabled(bool enabled);
    void clearOptionBoxes();

    // Leaving the callsign for the name: the list closes, and a station the
    // master database knows fills name, location, state and comments.
    void fillFromMaster();
    // Hides the suggestion list; false when it was not showing.
    bool closeSuggestions();

    // What the operator has in the row, the caret and the open list, so that a
    // check-in from outside can be stored through the row and all of it put back.
    struct Typing
    {
        CheckInEntry entry;
        QPointer<QWidget> focus;
        int caret = 0;
        int selectionStart = -1;
        int selectionLength = 0;
        bool listShown = false;
        QModelIndex listRow;
    };
    Typing typing(QWidget *focus) const;
    void restore(const Typing &typing);

Q_SIGNALS:
    // Enter in a field of the row (not in a precedence list).
    void enterPressed();
    // The operator moved into the callsign or the name field (Tab, Backtab, a
    // click, an access key); focus coming back with the window, a menu or a
    // pop-up is no entering, so what was typed there stays.
    void callsignEntered();
    void nameEntered();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildFields(QWidget *parent);
    void buildTraffic(QWidget *parent);
    void buildSuggestions(QWidget *parent);
    void callsignEdited(const QString &text);
    void fillSuggestions();
    void showSuggestions();
    void suggestionChosen(const QModelIndex &index);
    void suggestionClicked(const QModelIndex &index);
    void optionsEdited(const QString &text);
    bool spaceMoves(QObject *watched, Qt::KeyboardModifiers modifiers) const;
    bool focusEntered(QObject *watched, Qt::FocusReason reason);
    bool suggestionKey(QKeyEvent *key);

    callsigns::MasterCallsignDb *m_master = nullptr;
    QGridLayout *m_fields = nullptr;
    QGroupBox *m_traffic = nullptr;
    QLineEdit *m_callsign = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_location = nullptr;
    QLineEdit *m_state = nullptr;
    QLineEdit *m_options = nullptr;
    QLineEdit *m_comments = nullptr;
    std::array<QCheckBox *, kOptionCount> m_boxes {};
    std::array<QComboBox *, kTrafficRows> m_precedence {};
    std::array<QLineEdit *, kTrafficRows> m_count {};
    std::array<QLineEdit *, kTrafficRows> m_destination {};
    QListView *m_suggestions = nullptr;
    QStringListModel *m_suggestionModel = nullptr;
    QTimer *m_fillRest = nullptr;
    bool m_nameEdited = false;
};

} // namespace netlog
} // namespace rollcall
