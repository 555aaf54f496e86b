#pragma once

#include <QString>

// One net, one running copy: a copy claims the net it opens with a lock file in
// the user's runtime directory (not in the net folder, which may be shared or
// read only), named after the net folder's real path. A lock whose copy is no
// longer running (it crashed) is taken over.
namespace rollcall {

// The lock file that stands for netpath.
QString netLockPath(const QString &netpath);

// Claims netpath for this copy, giving up the net it held before. Claiming the
// net already held succeeds at once. False, with a message naming the net and
// the copy that holds it, when another running copy has it open.
bool claimNet(const QString &netpath, QString *message = nullptr);
// Gives the net back (the net window closed).
void releaseNet();
// The net this copy holds, empty when none.
QString claimedNet();

} // namespace rollcall
