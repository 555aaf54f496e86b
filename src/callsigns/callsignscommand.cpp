#include "callsigns/callsignscommand.h"

#include <QTextStream>

namespace rollcall::callsigns {

int runCallsignsCommand(const QStringList &)
{
    QTextStream(stderr) << "rollcall: callsigns is not available yet\n";
    return 1;
}

} // namespace rollcall::callsigns
