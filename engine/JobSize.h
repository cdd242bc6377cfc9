#pragma once

#include "engine/EraseNotice.h"

// The size of a job that is counted while it runs; read on any thread.
class JobSize {
public:
    virtual JobCount Current() const = 0;

protected:
    ~JobSize() = default;
};
