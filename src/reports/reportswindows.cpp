#include "reports/reportswindows.h"

#include "app/windowregistry.h"

namespace rollcall {

void registerReportWindows()
{
}

namespace reports {

bool reportActionAvailable(ReportAction)
{
    return false;
}

void runReportAction(ReportAction, QWidget *)
{
}

} // namespace reports
} // namespace rollcall
