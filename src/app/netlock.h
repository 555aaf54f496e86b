// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// One net, one running copy. A copy that opens a net holds two locks on it
// while it is open:
// - in the net folder itself (kOpenNetLockFile), so every copy that can open the
//   net sees it: another user's, one started with sudo, one on another machine
//   that shares the folder;
// - in the user's runtime directory, named after the folder's real path, which
//   still works where the net folder cannot be written (read-only media).
// A lock that no live process on this machine holds (its copy crashed, or the
// file is empty or damaged) is taken over. One that names another machine, or
// cannot be read, is shown with its machine, process and age, and the operator
// decides whether that copy is gone.
namespace rollcall {

class Prompts;

// The lock file in the net folder. Hidden, and apart from net.lck (Lock Net's flag).
inline constexpr char kOpenNetLockFile[] = ".netopen.lock";

// The lock file in the runtime directory that stands for netpath.
QString netLockPath(const QString &netpath);
// The lock file inside the net folder.
QString netFolderLockPath(const QString &netpath);

// Claims netpath for this copy, giving up the net it held before. Claiming the
// net already held succeeds at once. False, with a message naming the net and
// the copy that holds it, when another running copy has it open. A lock that
// names another machine or cannot be read is put to the operator through
// prompts (Yes takes the net over); without prompts such a net is refused.
bool claimNet(const QString &netpath, QString *message = nullptr, Prompts *prompts = nullptr);
// Gives the net back (the net window closed): both lock files go.
void releaseNet();
// The net this copy holds, empty when none.
QString claimedNet();
// Empty while the net folder holds the lock; otherwise why it could not, and the
// net is guarded against copies on this computer only.
QString claimedOnThisComputerOnly();

} // namespace rollcall
