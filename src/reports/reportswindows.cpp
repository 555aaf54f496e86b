#include "reports/reportswindows.h"

#include "app/windowregistry.h"

namespace rollcall {

void registerReportWindows()
{
}

} // namespace rollcall
