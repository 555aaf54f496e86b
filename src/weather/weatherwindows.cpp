#include "weather/weatherwindows.h"

#include "app/windowregistry.h"

namespace rollcall {

void registerWeatherWindows()
{
}

} // namespace rollcall
