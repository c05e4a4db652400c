#pragma once

#include "converter/catalogue/ConvertQuality.h"

// What every conversion and estimate is handed besides its input and target.
struct ConvertOptions {
    ConvertQuality quality = ConvertQuality::balanced;
    // Largest output dimension in pixels, 0 = keep the source's size. Video: the height in lines;
    // pictures: the longest side. Nothing is ever enlarged (the animated GIF's width excepted).
    int maxSize = 0;

    bool operator==(const ConvertOptions& other) const = default;
};
