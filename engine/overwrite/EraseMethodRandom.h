#pragma once

#include "engine/overwrite/EraseMethod.h"

// Every chunk of every pass is random data.
class CEraseMethodRandom final : public CEraseMethod {
public:
    Outcome Erase(EraseContext* context) override;
};
