#include "psk/pskcommand.h"

#include <QTextStream>

namespace rollcall::psk {
int runPskCommand(const QStringList &)
{
    QTextStream(stderr) << "rollcall psk: the PSK31 modem is not built yet\n";
    return 2;
}
} // namespace rollcall::psk
