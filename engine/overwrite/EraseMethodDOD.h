#pragma once

#include "engine/overwrite/EraseMethod.h"

// Both DoD variants, told apart by the pass count: seven steps X, ~X, random, random, Y, ~Y,
// random; the three-pass variant runs the last three.
class CEraseMethodDOD final : public CEraseMethod {
public:
    Outcome Erase(EraseContext* context) override;
};
