#include "traffic/trafficwindows.h"

#include "app/windowregistry.h"

namespace rollcall {

void registerTrafficWindows()
{
    // The traffic panel, the two lists and their view windows.
    registerTrafficListWindows();
}

} // namespace rollcall
