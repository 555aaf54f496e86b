// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>
#include <functional>

class QPushButton;

namespace rollcall {

// The launcher `Form1`: opens an existing net, creates a new one, or quits;
// its menus reach the preferences, the traffic and tool windows and help.
class LauncherWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit LauncherWindow(QWidget *parent = nullptr);

    static QString loadedCaption();

    // The button actions, public so the net window and tests can run them.
    void openNet();
    void newNet();
    void quit();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void load();
    // A menu item that shows a window (or runs `action`), disabled while the
    // window is not part of the build.
    QAction *addWindowItem(QMenu *menu, const QString &text, const QKeySequence &key,
        const QString &window, const QString &objectName, std::function<void()> action = {});
    void toggleWindow(const QString &name);
    void startProgram(const QString &program, const QString &what);

    bool m_loaded = false;
};

} // namespace rollcall
