// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace rollcall::incident {
// Hands the posts' tactical calls to the ICS-309, which is made where posts
// cannot be seen: each log looks its net folder's posts file up once.
void provideTacticalCalls();
} // namespace rollcall::incident
