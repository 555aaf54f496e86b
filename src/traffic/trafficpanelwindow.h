// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QKeyCombination>
#include <QWidget>
#include <functional>
#include <memory>

class QPushButton;

namespace rollcall::traffic {

class TrafficStore;

// The traffic panel "trafficlist": three buttons, the undelivered count on the
// list button, and the program's traffic hot keys while it exists.
class TrafficPanelWindow : public QWidget
{
    Q_OBJECT
public:
    explicit TrafficPanelWindow(QWidget *parent = nullptr);
    ~TrafficPanelWindow() override;

    QPushButton *listButton() const { return m_list; }

public Q_SLOTS:
    // Counts the undelivered radiograms into trafficcount and shows it; windows
    // that store or remove a radiogram call this (by name: "recount").
    void recount();
    // Shows trafficcount as it stands.
    void showCount();
    // Puts the panel in its place, clear of the windows it must not cover
    // (the net window calls it by name, "place", when it shows).
    void place();

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void addHotKey(QKeyCombination key, std::function<void()> action);
    void toggleVoxRecorder();

    QPushButton *m_add;
    QPushButton *m_list;
    QPushButton *m_old;
    QPushButton *m_quit;
    std::unique_ptr<TrafficStore> m_store;
    qint64 m_voxPid = 0;
    QHash<int, std::function<void()>> m_hotKeys; // by QKeyCombination::toCombined()
};

// F6 and friends: unload (or hide) the window when it is visible, else show it.
// Nothing happens for a window this build does not have.
void toggleWindow(const QString &name, bool unloadWhenVisible);

} // namespace rollcall::traffic
