#include "callsigns/callsignswindows.h"

#include "app/windowregistry.h"

namespace rollcall {

void registerCallsignWindows()
{
}

} // namespace rollcall
