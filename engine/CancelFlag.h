#pragma once
// The job's cancel flag, written by the interface thread and read by the worker at its
// check points: between files, between folders and after every written chunk.

#include <atomic>
#include <cstdint>

using CancelFlag = std::atomic<uint8_t>;

constexpr uint8_t kCancelNone = 0;
constexpr uint8_t kCancelRequested = 1;
// The interface asks the user whether to cancel: the worker waits at its next check point,
// where it holds no lock anyone else could need.
constexpr uint8_t kCancelHold = 2;

// Waits while the flag says hold; true when the job is to stop.
bool StopRequested(const CancelFlag* cancel);
