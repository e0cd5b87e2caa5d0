// KVR516_UPDATE, GPL-3.0-or-later.
#include "platform/InterfaceQuery.h"

#include "platform/LinuxInterfaceQuery.h"

std::unique_ptr<InterfaceQuery> InterfaceQuery::createForPlatform()
{
    return std::make_unique<LinuxInterfaceQuery>();
}
