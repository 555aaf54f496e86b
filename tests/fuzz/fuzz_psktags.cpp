// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: characters the PSK31 receiver decoded off the air, through
// the tag state machine and the Net Control lists. Every frame that ends is
// bounded, and nothing unfit reaches the lists or the net log.
#include "fuzzsupport.h"
#include "psk/nettags.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace rollcall::psk;
    TagReceiver tags;
    NetLists lists;
    ReceiveSide side(&lists);
    QObject::connect(&side, &ReceiveSide::checkedIn, [](const QString &call) {
        if (!ReceiveSide::acceptableCall(call))
            std::abort();
    });
    for (size_t i = 0; i < size; ++i) {
        const TagReceiver::Step step = tags.feed(qint32(data[i]));
        if (step.tag && step.tag->payload.size() > TagReceiver::kMaxBody)
            std::abort();
        side.feed(qint32(data[i]));
    }
    side.flush();
    for (const QString &call : lists.checkInList())
        if (call.size() > 4 * TagReceiver::kMaxBody)
            std::abort();
    return 0;
}
