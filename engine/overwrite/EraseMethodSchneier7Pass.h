#pragma once

#include "engine/overwrite/EraseMethod.h"

// 0x00, then 0x01, then random data in every further pass.
class CEraseMethodSchneier7Pass final : public CEraseMethod {
public:
    Outcome Erase(EraseContext* context) override;
};
