// KVR516_UPDATE, GPL-3.0-or-later.
#include "app/RepaintPump.h"

RepaintPump::~RepaintPump() = default;

void RepaintPump::start() {}

void RepaintPump::stop() {}

void RepaintPump::timerCallback() {}
