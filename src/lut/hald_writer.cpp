#include "lut/lut_writers.h"

#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <new>
#include <vector>

uint32_t HaldLevelForSize(uint32_t size) {
    for (uint32_t level = 2; level <= 16; ++level)
        if (level * level == size)
            return level;
    return 0;
}

namespace {

uint16_t HaldCode(float value) {
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return 65535;
    return static_cast<uint16_t>(std::lround(static_cast<double>(value) * 65535.0));
}

// libpng reports write failures through these; the sink's failure is kept so
// that the writer can end through the library's own error path.
struct PngTarget {
    ByteSink* out = nullptr;
    bool failed = false;
};

void AppendPngBytes(png_structp png, png_bytep data, size_t size) {
    auto* target = static_cast<PngTarget*>(png_get_io_ptr(png));
    if (!target->out->Append(data, size)) {
        target->failed = true;
        png_error(png, "write failed");
    }
}

void FlushNothing(png_structp /*png*/) {}

// libpng's messages are not ours to print.
void IgnoreWarning(png_structp /*png*/, png_const_charp /*message*/) {}
[[noreturn]] void LeaveOnError(png_structp png, png_const_charp /*message*/) {
    png_longjmp(png, 1);
}

// One image row of big-endian 16-bit samples: width entries of the lattice,
// starting at entry `first`.
void FillRow(const LutTable& lattice, uint64_t first, uint32_t width, uint8_t* row) {
    for (uint32_t x = 0; x < width; ++x) {
        const float* rgb = lattice.Entry(first + x);
        for (int c = 0; c < 3; ++c) {
            const uint16_t code = HaldCode(rgb[c]);
            row[(x * 3 + c) * 2] = static_cast<uint8_t>(code >> 8);
            row[(x * 3 + c) * 2 + 1] = static_cast<uint8_t>(code & 0xFF);
        }
    }
}

// Everything between setjmp and its longjmp is plain data or owned outside.
bool WritePng(png_structp png, png_infop info, const LutTable& lattice, uint32_t width,
              uint8_t* row) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_IHDR(png, info, width, width, 16, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Before the image data, where a run that looks for its mark finds it.
    char key[] = "Software";
    char name[16];
    std::snprintf(name, sizeof name, "%s", kWriterName);
    png_text software{};
    software.compression = PNG_TEXT_COMPRESSION_NONE;
    software.key = key;
    software.text = name;
    png_set_text(png, info, &software, 1);
    png_write_info(png, info);
    for (uint32_t y = 0; y < width; ++y) {
        FillRow(lattice, static_cast<uint64_t>(y) * width, width, row);
        png_write_row(png, row);
    }
    png_write_end(png, info);
    return true;
}

} // namespace

bool WriteHaldClut(const LutTable& lattice, ByteSink& out) {
    const uint32_t level = HaldLevelForSize(lattice.size);
    if (level == 0 || lattice.IsEmpty() || !lattice.is3D || !lattice.HasUnitDomain() ||
        (lattice.channels != 3 && lattice.channels != 4))
        return false;
    const uint32_t width = level * level * level;
    std::vector<uint8_t> row;
    try {
        row.resize(static_cast<size_t>(width) * 6);
    } catch (const std::bad_alloc&) {
        return false;
    }
    PngTarget target{&out, false};
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, LeaveOnError, IgnoreWarning);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    png_set_write_fn(png, &target, AppendPngBytes, FlushNothing);
    const bool written = WritePng(png, info, lattice, width, row.data());
    png_destroy_write_struct(&png, &info);
    return written && !target.failed;
}
