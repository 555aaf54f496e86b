#include "netlog/netlogwindows.h"

#include "app/windowregistry.h"

namespace rollcall {

void registerNetLogWindows()
{
}

} // namespace rollcall
