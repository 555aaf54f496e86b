// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: `psk decode` over any file: WAV or FLAC headers, odd rates
// and channel counts, NaN samples. Decoded text goes to /dev/null.
// Standard error stays: libFuzzer reports there.
#include "fuzzsupport.h"
#include "psk/pskcommand.h"

#include <QStringList>

#include <fcntl.h>
#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
        ::dup2(null, 1);
        ::close(null);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = rollcall::fuzz::scratch(QStringLiteral("in.wav"));
    rollcall::fuzz::writeScratch(path, rollcall::fuzz::bytesOf(data, size));
    rollcall::psk::runPskCommand({ QStringLiteral("decode"), path });
    return 0;
}
