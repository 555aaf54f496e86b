// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/windowregistry.h"

#include "app/placementwidget.h"

#include <QCoreApplication>
#include <QDialog>

namespace rollcall {

WindowRegistry &WindowRegistry::instance()
{
    static WindowRegistry registry;
    return registry;
}

void WindowRegistry::registerWindow(const QString &name, Factory factory)
{
    m_factories.insert(name, std::move(factory));
}

qsizetype WindowRegistry::indexOf(const QString &name) const
{
    for (qsizetype i = 0; i < m_loaded.size(); ++i)
        if (m_loaded[i].name == name)
            return i;
    return -1;
}

QWidget *WindowRegistry::loaded(const QString &name) const
{
    const qsizetype i = indexOf(name);
    return i < 0 ? nullptr : m_loaded[i].widget.data();
}

QWidget *WindowRegistry::window(const QString &name)
{
    if (QWidget *w = loaded(name))
        return w;
    const auto factory = m_factories.constFind(name);
    if (factory == m_factories.constEnd())
        return nullptr;
    QWidget *w = (*factory)();
    if (!w)
        return nullptr;
    if (w->objectName().isEmpty())
        w->setObjectName(name);
    // Closing a window unloads it; hiding keeps it and its contents.
    w->setAttribute(Qt::WA_DeleteOnClose);
    keepOnScreen(w);
    connect(w, &QObject::destroyed, this, &WindowRegistry::forget);
    m_loaded.append({ name, w });
    Q_EMIT windowLoaded(name);
    return w;
}

QStringList WindowRegistry::loadOrder() const
{
    QStringList names;
    for (const Entry &e : m_loaded)
        if (e.widget)
            names << e.name;
    return names;
}

void WindowRegistry::forget(QObject *widget)
{
    for (qsizetype i = 0; i < m_loaded.size(); ++i) {
        if (m_loaded[i].widget == widget || m_loaded[i].widget.isNull()) {
            const QString name = m_loaded[i].name;
            m_loaded.removeAt(i);
            Q_EMIT windowUnloaded(name);
            return;
        }
    }
}

bool WindowRegistry::unload(const QString &name)
{
    qsizetype i = indexOf(name);
    if (i < 0)
        return true;
    QPointer<QWidget> w = m_loaded[i].widget;
    if (w && !w->close())
        return false;
    // Gone from the registry at once (closing may have changed the list); the
    // object itself goes at the next event loop pass.
    if ((i = indexOf(name)) >= 0)
        m_loaded.removeAt(i);
    if (w) {
        disconnect(w, nullptr, this, nullptr);
        if (!w->testAttribute(Qt::WA_DeleteOnClose))
            w->deleteLater();
    }
    Q_EMIT windowUnloaded(name);
    return true;
}

void WindowRegistry::UnloadAllForms(bool force)
{
    while (!m_loaded.isEmpty()) {
        const int before = loadedCount();
        unload(m_loaded.last().name);
        if (loadedCount() == before && !force)
            return; // a window refused; nothing else happens
        if (loadedCount() == before)
            m_loaded.removeLast(); // forced: forget a window that would not close
    }
    if (m_endProgram)
        m_endProgram();
    else
        QCoreApplication::quit();
}

void WindowRegistry::reset()
{
    const QList<Entry> entries = m_loaded;
    m_loaded.clear();
    for (const Entry &e : entries) {
        if (!e.widget)
            continue;
        disconnect(e.widget, nullptr, this, nullptr);
        e.widget->hide();
        delete e.widget.data();
    }
}

void showDialogOver(QWidget *owner, const QString &name)
{
    auto *dialog = qobject_cast<QDialog *>(windows().window(name));
    if (!dialog)
        return;
    dialog->setParent(owner, dialog->windowFlags() | Qt::Dialog);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->show();
}

} // namespace rollcall
