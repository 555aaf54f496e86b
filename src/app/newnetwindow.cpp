// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/newnetwindow.h"

#include "app/launcherwindow.h"
#include "app/newnet.h"
#include "app/placementwidget.h"
#include "app/session.h"
#include "app/windowregistry.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>

namespace rollcall {

NewNetWindow::NewNetWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Choose directory to create new Net in:"));

    // Linux has no drive letters: the "drive list" offers the home folder and
    // the mounted volumes, and picking one re-roots the folder list there.
    m_drives = new QComboBox(this);
    m_drives->setObjectName(QStringLiteral("Drive1"));
    QStringList roots { session().home };
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady() && !roots.contains(volume.rootPath()))
            roots << volume.rootPath();
    m_drives->addItems(roots);

    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_model->setRootPath(QStringLiteral("/"));
    m_folders = new QTreeView(this);
    m_folders->setObjectName(QStringLiteral("Dir1"));
    m_folders->setModel(m_model);
    for (int c = 1; c < m_model->columnCount(); ++c)
        m_folders->hideColumn(c);
    m_folders->header()->hide();

    auto *create = new QPushButton(QStringLiteral("&Create New Net"), this);
    create->setObjectName(QStringLiteral("Command1"));
    create->setToolTip(QStringLiteral("Create a new net in the hilighted directory."));
    auto *backButton = new QPushButton(QStringLiteral("&Back"), this);
    backButton->setObjectName(QStringLiteral("Command2"));
    backButton->setToolTip(QStringLiteral("Back to previouse screen."));
    auto *newFolder = new QPushButton(QStringLiteral("New Net &Folder"), this);
    newFolder->setObjectName(QStringLiteral("Command3"));
    newFolder->setToolTip(
        QStringLiteral("Make a folder in the hilighted directory to keep a net's sessions in."));
    connect(create, &QPushButton::clicked, this, &NewNetWindow::createNewNet);
    connect(newFolder, &QPushButton::clicked, this, &NewNetWindow::createFolder);
    // Enter creates the net in the highlighted folder, as the button does.
    create->setDefault(true);
    for (const QKeySequence &key : { QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter) })
        connect(new QShortcut(key, this), &QShortcut::activated, this,
            &NewNetWindow::createNewNet);
    connect(backButton, &QPushButton::clicked, this, &NewNetWindow::back);
    connect(m_drives, &QComboBox::textActivated, this, &NewNetWindow::setDrive);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_drives);
    layout->addWidget(m_folders, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(create);
    buttons->addWidget(newFolder);
    buttons->addStretch();
    buttons->addWidget(backButton);
    layout->addLayout(buttons);
    resize(420, 420);
    placeOnScreen(this);

    m_folders->setRootIndex(m_model->index(session().home));
    m_fallback = session().netsFolder();
    setHighlightedFolder(folderOfLastNet(m_fallback));
    m_folders->setFocus();
}

void NewNetWindow::setDrive(const QString &root)
{
    m_folders->setRootIndex(m_model->index(root));
    m_fallback = root;
    setHighlightedFolder(root);
}

QString NewNetWindow::highlightedFolder() const
{
    const QModelIndex current = m_folders->currentIndex();
    return current.isValid() ? m_model->filePath(current) : m_fallback;
}

void NewNetWindow::setHighlightedFolder(const QString &folder)
{
    const QModelIndex index = m_model->index(folder);
    if (!index.isValid())
        return;
    m_folders->setCurrentIndex(index);
    m_folders->scrollTo(index);
    m_folders->expand(index);
}

void NewNetWindow::createNewNet()
{
    const QString parentFolder = highlightedFolder();
    const QString proposed = proposedNetName(parentFolder, session().clock->now().date());
    const QString name = session().prompts->input(
        QStringLiteral("Enter Name for the new Net"), QStringLiteral("Add New Net"), proposed);
    if (name.isEmpty())
        return;
    const NetCreation made = createNetFolder(parentFolder, name, session().dbfiles());
    if (!made.ok) {
        session().prompts->exclamation(QStringLiteral("Add New Net"), made.error);
        return;
    }
    session().netpath = made.netpath;
    if (QWidget *setup = windows().window(QStringLiteral("ncs"))) {
        setup->show();
    } else if (auto *launcher = windows().window<LauncherWindow>(QStringLiteral("Form1"))) {
        launcher->show();
        launcher->statusBar()->showMessage(
            QStringLiteral("Net \"%1\" created in %2.").arg(name, parentFolder));
    }
    close();
}

void NewNetWindow::createFolder()
{
    const QString parentFolder = highlightedFolder();
    const QString name = session().prompts->input(
        QStringLiteral("Enter Name for the new folder (a net's sessions are kept in it)"),
        QStringLiteral("New Net Folder"), QString());
    if (name.isEmpty())
        return;
    const NetCreation made = createSessionsFolder(parentFolder, name);
    if (!made.ok) {
        session().prompts->exclamation(QStringLiteral("New Net Folder"), made.error);
        return;
    }
    QString folder = made.netpath;
    folder.chop(1);
    setHighlightedFolder(folder);
}

void NewNetWindow::back()
{
    if (QWidget *launcher = windows().window(QStringLiteral("Form1")))
        launcher->show();
    close();
}

} // namespace rollcall
