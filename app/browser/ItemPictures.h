#pragma once
// The tree's item pictures at the size of the system's small icons: the program's 16x16
// pictures scaled smoothly, their transparent colour turned into an alpha channel.

#include "win32/ScopedHandle.h"

#include <cstdint>
#include <vector>

// Pixels are 0xAARRGGBB with the colour premultiplied by the alpha, top row first. Each pixel
// of the result is the average of the part of the picture it covers, so that edges blend
// instead of stepping at sizes that are no whole multiple; the same size gives the same pixels.
std::vector<uint32_t> ScalePixels(const std::vector<uint32_t>& pixels, int width, int height, int newWidth,
                                  int newHeight);

// A 32-bit picture of the program's resources at `size` x `size` pixels, with an alpha channel
// in which the pixels of `transparent` colour are see-through; null when it cannot be made.
UniqueBitmap LoadScaledPicture(UINT id, int size, COLORREF transparent);
