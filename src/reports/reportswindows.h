// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace rollcall {

// Makes this subsystem's windows known to the window registry by name.
void registerReportWindows();

namespace reports {

// The net window's report menu items. netWindow is the open net window (its
// check-in grid is printed by PrintNet).
enum class ReportAction {
    PrintNet, // File > Print Net (F3)
    SummarySave, // Reports > Summary save (F5)
    ExportHtml, // Reports > Export Summary Table to HTML
    ExportNet, // Current Net > Export Net
    NetReport, // Reports > GSPN Net Summary to NTS message
    Adif, // Reports > Export Check-ins as ADIF
    Ics309, // Reports > ICS-309 Communications Log
};

// False while the action is not available (its menu item stays disabled).
bool reportActionAvailable(ReportAction action);
void runReportAction(ReportAction action, QWidget *netWindow);

} // namespace reports
} // namespace rollcall
