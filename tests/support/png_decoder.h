#pragma once

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

// The tests' own PNG decoder for 8- and 16-bit images: every sample of every
// row as the file stores it, without gamma or any other conversion.
struct DecodedPng {
    uint32_t width = 0, height = 0;
    int bitDepth = 0, colorType = 0;
    std::vector<uint16_t> samples;
};

struct PngSource {
    const std::string* bytes;
    size_t offset = 0;
};

inline void ReadPngBytes(png_structp png, png_bytep data, size_t size) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (source->offset + size > source->bytes->size())
        png_error(png, "truncated");
    std::copy_n(source->bytes->data() + source->offset, size, data);
    source->offset += size;
}

inline DecodedPng DecodePng(const std::string& bytes) {
    DecodedPng image;
    PngSource source{&bytes};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return {};
    }
    png_set_read_fn(png, &source, ReadPngBytes);
    png_read_info(png, info);
    image.width = png_get_image_width(png, info);
    image.height = png_get_image_height(png, info);
    image.bitDepth = png_get_bit_depth(png, info);
    image.colorType = png_get_color_type(png, info);
    std::vector<uint8_t> row(png_get_rowbytes(png, info));
    for (uint32_t y = 0; y < image.height; ++y) {
        png_read_row(png, row.data(), nullptr);
        if (image.bitDepth == 8)
            image.samples.insert(image.samples.end(), row.begin(), row.end());
        else
            for (size_t i = 0; i + 1 < row.size(); i += 2)
                image.samples.push_back(static_cast<uint16_t>(row[i] << 8 | row[i + 1]));
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return image;
}
