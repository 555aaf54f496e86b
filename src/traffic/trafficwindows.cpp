#include "traffic/trafficwindows.h"

#include "app/windowregistry.h"

namespace rollcall {

void registerTrafficWindows()
{
}

} // namespace rollcall
