#include "reports/reportscommand.h"

#include <QTextStream>

namespace rollcall::reports {

namespace {
int notYet(const char *what)
{
    QTextStream(stderr) << "rollcall: " << what << " is not available yet\n";
    return 1;
}
} // namespace

int runSummaryCommand(const QStringList &)
{
    return notYet("summary");
}

int runHtmlCommand(const QStringList &)
{
    return notYet("html");
}

int runExportCommand(const QStringList &)
{
    return notYet("export");
}

} // namespace rollcall::reports
