#include "engine/CancelFlag.h"

#include <windows.h>

bool StopRequested(const CancelFlag* cancel)
{
    if (!cancel)
        return false;
    uint8_t state;
    while ((state = cancel->load()) == kCancelHold)
        ::Sleep(10);
    return state == kCancelRequested;
}
