#pragma once

#include "engine/overwrite/EraseMethod.h"

// Random data over the first and the last 2 KB of the file only (the whole of a file below
// 4 KB), in one pass without a cancel check.
class CEraseMethodFirstLast2KB final : public CEraseMethod {
public:
    Outcome Erase(EraseContext* context) override;
};
