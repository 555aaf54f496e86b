// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QComboBox;
class QFileSystemModel;
class QTreeView;

namespace rollcall {

// Folder chooser `Form5`: pick the folder to create a new net in, name it,
// and the net folder is built from the templates.
class NewNetWindow : public QWidget
{
    Q_OBJECT
public:
    explicit NewNetWindow(QWidget *parent = nullptr);

    QString highlightedFolder() const;
    void setHighlightedFolder(const QString &folder);

    void createNewNet(); // "&Create New Net"
    void createFolder(); // "New Net &Folder"
    void back(); // "&Back"

private:
    void setDrive(const QString &root);

    QComboBox *m_drives;
    QTreeView *m_folders;
    QFileSystemModel *m_model;
    QString m_fallback;
};

} // namespace rollcall
