// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/InterfaceQuery.h"

#include "platform/windows/WindowsInterfaceQuery.h"

std::unique_ptr<InterfaceQuery> InterfaceQuery::createForPlatform()
{
    return std::make_unique<WindowsInterfaceQuery>();
}
