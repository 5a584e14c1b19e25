#include "inspect/png_image.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

// What the libpng callbacks share with the reader and writer: the bytes read
// or the sink written, and libpng's reason when it stops.
struct PngSession {
    std::string_view source;
    size_t offset = 0;
    ByteSink* sink = nullptr;
    char reason[128] = {};
};

PngSession& SessionOf(png_structp png) {
    return *static_cast<PngSession*>(png_get_io_ptr(png));
}

[[noreturn]] void StopOnError(png_structp png, png_const_charp message) {
    auto* session = static_cast<PngSession*>(png_get_error_ptr(png));
    std::snprintf(session->reason, sizeof session->reason, "%s", message);
    png_longjmp(png, 1);
}

// libpng's warnings are not ours to print.
void IgnoreWarning(png_structp /*png*/, png_const_charp /*message*/) {}

void ReadFromMemory(png_structp png, png_bytep data, size_t size) {
    PngSession& session = SessionOf(png);
    if (size > session.source.size() - session.offset)
        png_error(png, "the file ends early");
    std::memcpy(data, session.source.data() + session.offset, size);
    session.offset += size;
}

void WriteToSink(png_structp png, png_bytep data, size_t size) {
    if (!SessionOf(png).sink->Append(data, size))
        png_error(png, "write failed");
}

void FlushNothing(png_structp /*png*/) {}

// Reads the header and sets the transforms that give 8- or 16-bit RGB or RGBA.
bool ReadHeader(png_structp png, png_infop info, uint32_t& width, uint32_t& height) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    width = png_get_image_width(png, info);
    height = png_get_image_height(png, info);
    const int colourType = png_get_color_type(png, info);
    if (colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_expand_gray_1_2_4_to_8(png);
        png_set_gray_to_rgb(png);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return true;
}

bool ReadRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

// The decoded rows of a picture of megabytes, in large pages like the picture.
using RawRows = std::vector<uint8_t, platform::LargePageAllocator<uint8_t>>;

void Convert(const RawRows& raw, size_t rowBytes, int channels, bool sixteen, FloatImage& image) {
    const float top = sixteen ? 65535.0f : 255.0f;
    const size_t sampleBytes = sixteen ? 2 : 1;
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = raw.data() + y * rowBytes;
        float* out = image.Pixel(0, y);
        for (uint32_t x = 0; x < image.width; ++x, row += channels * sampleBytes)
            for (int c = 0; c < 3; ++c) {
                const uint8_t* sample = row + c * sampleBytes;
                const unsigned code = sixteen ? unsigned(sample[0]) << 8 | sample[1] : sample[0];
                *out++ = static_cast<float>(code) / top;
            }
    }
}

PngReadResult Failure(std::string error) {
    PngReadResult result;
    result.error = std::move(error);
    return result;
}

} // namespace

PngReadResult ReadPng(std::string_view bytes) {
    if (bytes.size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, 8))
        return Failure("not a PNG file");
    PngSession session{bytes};
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &session, StopOnError, IgnoreWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return Failure("out of memory");
    }
    png_set_read_fn(png, &session, ReadFromMemory);
    PngReadResult result;
    uint32_t width = 0, height = 0;
    if (!ReadHeader(png, info, width, height)) {
        result.error = std::string("the PNG file is damaged: ") + session.reason;
    } else if (size_t(width) * height > kMaxPngPixels) {
        result.error = "the PNG image is too large";
    } else {
        const size_t rowBytes = png_get_rowbytes(png, info);
        const int channels = png_get_channels(png, info);
        const bool sixteen = png_get_bit_depth(png, info) == 16;
        try {
            RawRows raw(rowBytes * height);
            std::vector<png_bytep> rows(height);
            for (uint32_t y = 0; y < height; ++y)
                rows[y] = raw.data() + y * rowBytes;
            if (ReadRows(png, rows.data())) {
                result.image = FloatImage(width, height);
                Convert(raw, rowBytes, channels, sixteen, result.image);
            } else {
                result.error = std::string("the PNG file is damaged: ") + session.reason;
            }
        } catch (const std::bad_alloc&) {
            result = Failure("out of memory");
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return result;
}

namespace {

uint16_t Code(float value, float top) {
    if (!(value > 0.0f))
        return 0;
    // value * top and the half added are exact in double, so this rounds as
    // std::lround does, half away from zero, without its cost.
    return value >= 1.0f ? static_cast<uint16_t>(top)
                         : static_cast<uint16_t>(double(value) * top + 0.5);
}

bool WriteRows(png_structp png, png_infop info, uint32_t width, uint32_t height,
               const PngRows& rows, const PngWriteOptions& options, std::vector<uint8_t>& row) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    const bool sixteen = options.bitDepth == 16;
    png_set_IHDR(png, info, width, height, sixteen ? 16 : 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_text text{};
    if (!options.textKey.empty()) {
        text.compression = PNG_TEXT_COMPRESSION_NONE;
        text.key = const_cast<char*>(options.textKey.c_str());
        text.text = const_cast<char*>(options.textValue.c_str());
        png_set_text(png, info, &text, 1);
    }
    // Flat patches and smooth ramps compress well at the fastest level.
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_write_info(png, info);
    const float top = sixteen ? 65535.0f : 255.0f;
    for (uint32_t y = 0; y < height; ++y) {
        const float* values = rows(y);
        uint8_t* out = row.data();
        for (size_t i = 0; i < size_t(width) * 3; ++i) {
            const uint16_t code = Code(values[i], top);
            if (sixteen)
                *out++ = static_cast<uint8_t>(code >> 8);
            *out++ = static_cast<uint8_t>(code);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    return true;
}

} // namespace

bool WritePng(const FloatImage& image, const PngWriteOptions& options, ByteSink& out) {
    return WritePngRows(
        image.width, image.height, [&](uint32_t y) { return image.Pixel(0, y); }, options, out);
}

bool WritePngRows(uint32_t width, uint32_t height, const PngRows& rows,
                  const PngWriteOptions& options, ByteSink& out) {
    if (width == 0 || height == 0 || (options.bitDepth != 8 && options.bitDepth != 16))
        return false;
    std::vector<uint8_t> row;
    try {
        row.resize(size_t(width) * 3 * (options.bitDepth / 8));
    } catch (const std::bad_alloc&) {
        return false;
    }
    PngSession session;
    session.sink = &out;
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &session, StopOnError, IgnoreWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    png_set_write_fn(png, &session, WriteToSink, FlushNothing);
    const bool written = WriteRows(png, info, width, height, rows, options, row);
    png_destroy_write_struct(&png, &info);
    return written;
}
