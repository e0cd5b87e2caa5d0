// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/LocaleQuery.h"

#include "platform/windows/WindowsLocaleQuery.h"

std::unique_ptr<LocaleQuery> LocaleQuery::createForPlatform()
{
    return std::make_unique<WindowsLocaleQuery>();
}
