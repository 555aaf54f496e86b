// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace rollcall {

// Every window is a single instance, created ("loaded") on first use and
// addressed by its name. The registry keeps the load order, so quitting can
// unload the most recently loaded window first. Windows a later release adds
// register a factory here; menu items stay disabled until their window exists.
class WindowRegistry : public QObject
{
    Q_OBJECT
public:
    using Factory = std::function<QWidget *()>;

    static WindowRegistry &instance();

    void registerWindow(const QString &name, Factory factory);
    bool isAvailable(const QString &name) const { return m_factories.contains(name); }

    // The window, loading it first when needed; nullptr when no factory exists.
    QWidget *window(const QString &name);
    template<class T> T *window(const QString &name) { return qobject_cast<T *>(window(name)); }
    // The window when loaded, without loading it.
    QWidget *loaded(const QString &name) const;

    bool isFormLoaded(const QString &name) const { return loaded(name) != nullptr; }
    QStringList loadOrder() const;
    int loadedCount() const { return int(m_loaded.size()); }

    // Closes and unloads one window; false when it refused to close.
    bool unload(const QString &name);

    // Unloads every window, most recently loaded first. Without force it stops
    // at the first window that refuses. Ends the program when force is set or
    // windows are still loaded; the caller's "close every file" is implicit,
    // since no file stays open between operations.
    void UnloadAllForms(bool force);

    // What ending the program does (tests replace it).
    void setEndProgram(std::function<void()> endProgram) { m_endProgram = std::move(endProgram); }

    // Tests: unload everything without ending and forget the factories' windows.
    void reset();

Q_SIGNALS:
    void windowLoaded(const QString &name);
    void windowUnloaded(const QString &name);

private:
    struct Entry
    {
        QString name;
        QPointer<QWidget> widget;
    };
    void forget(QObject *widget);
    qsizetype indexOf(const QString &name) const;

    QHash<QString, Factory> m_factories;
    QList<Entry> m_loaded;
    std::function<void()> m_endProgram;
};

inline WindowRegistry &windows()
{
    return WindowRegistry::instance();
}

// Loads (when needed) and shows a window; false when this build has none of that name.
inline bool showWindow(const QString &name)
{
    QWidget *w = windows().window(name);
    if (w)
        w->show();
    return w != nullptr;
}

// Loads a registered dialog and shows it application-modal over owner (the
// Preferences and About boxes); nothing when this build has none of that name.
void showDialogOver(QWidget *owner, const QString &name);

} // namespace rollcall
