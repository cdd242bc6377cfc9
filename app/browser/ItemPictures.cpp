#include "app/browser/ItemPictures.h"

#include "framework/WinApp.h"
#include "win32/BitmapInfo.h"

#include <algorithm>

namespace {

// How much of [targetStart, targetStart + targetLength) falls on source pixel `index`, all in
// units of 1 / (source length * target length) of the whole.
int Overlap(int index, int sourceUnit, int targetStart, int targetLength)
{
    const int from = std::max(index * sourceUnit, targetStart);
    const int to = std::min((index + 1) * sourceUnit, targetStart + targetLength);
    return std::max(0, to - from);
}

} // namespace

std::vector<uint32_t> ScalePixels(const std::vector<uint32_t>& pixels, int width, int height, int newWidth,
                                  int newHeight)
{
    std::vector<uint32_t> scaled;
    if (width <= 0 || height <= 0 || newWidth <= 0 || newHeight <= 0
        || pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height))
        return scaled;
    scaled.reserve(static_cast<size_t>(newWidth) * static_cast<size_t>(newHeight));
    // In these units a source pixel is newWidth (newHeight) long, a target pixel width (height).
    const uint64_t area = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    for (int y = 0; y < newHeight; ++y) {
        const int top = y * height;
        for (int x = 0; x < newWidth; ++x) {
            const int left = x * width;
            uint64_t sums[4] = {};
            for (int sy = top / newHeight; sy < height && sy * newHeight < top + height; ++sy) {
                const int wy = Overlap(sy, newHeight, top, height);
                for (int sx = left / newWidth; sx < width && sx * newWidth < left + width; ++sx) {
                    const uint64_t weight = static_cast<uint64_t>(wy) * Overlap(sx, newWidth, left, width);
                    const uint32_t pixel = pixels[static_cast<size_t>(sy) * width + sx];
                    for (int channel = 0; channel < 4; ++channel)
                        sums[channel] += weight * ((pixel >> (8 * channel)) & 0xFF);
                }
            }
            uint32_t pixel = 0;
            for (int channel = 0; channel < 4; ++channel)
                pixel |= static_cast<uint32_t>((sums[channel] + area / 2) / area) << (8 * channel);
            scaled.push_back(pixel);
        }
    }
    return scaled;
}

UniqueBitmap LoadScaledPicture(UINT id, int size, COLORREF transparent)
{
    UniqueBitmap source(static_cast<HBITMAP>(
        ::LoadImageW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    BITMAP info = {};
    UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    if (!source || !dc || !::GetObjectW(source.Get(), sizeof(info), &info) || info.bmWidth <= 0 || info.bmHeight <= 0)
        return UniqueBitmap();
    std::vector<uint32_t> pixels(static_cast<size_t>(info.bmWidth) * static_cast<size_t>(info.bmHeight));
    BITMAPINFO format = TopDownBitmapInfo(info.bmWidth, info.bmHeight);
    if (::GetDIBits(dc.Get(), source.Get(), 0, static_cast<UINT>(info.bmHeight), pixels.data(), &format,
                    DIB_RGB_COLORS)
        != info.bmHeight)
        return UniqueBitmap();
    const uint32_t clear = (GetRValue(transparent) << 16) | (GetGValue(transparent) << 8) | GetBValue(transparent);
    for (uint32_t& pixel : pixels)
        pixel = (pixel & 0xFFFFFF) == clear ? 0 : (pixel | 0xFF000000);
    std::vector<uint32_t> scaled = ScalePixels(pixels, info.bmWidth, info.bmHeight, size, size);
    if (scaled.empty())
        return UniqueBitmap();

    // Image lists take the colour as it is, not premultiplied, and weigh it by the alpha when
    // they draw.
    for (uint32_t& pixel : scaled) {
        const uint32_t alpha = pixel >> 24;
        if (alpha == 0 || alpha == 0xFF)
            continue;
        uint32_t straight = alpha << 24;
        for (int channel = 0; channel < 3; ++channel) {
            const uint32_t value = (pixel >> (8 * channel)) & 0xFF;
            straight |= std::min<uint32_t>(0xFF, (value * 0xFF + alpha / 2) / alpha) << (8 * channel);
        }
        pixel = straight;
    }
    format = TopDownBitmapInfo(size, size);
    void* bits = nullptr;
    UniqueBitmap picture(::CreateDIBSection(dc.Get(), &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (picture)
        std::copy(scaled.begin(), scaled.end(), static_cast<uint32_t*>(bits));
    return picture;
}
