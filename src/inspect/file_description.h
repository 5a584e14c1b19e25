#pragma once

#include "foundation/vx_string.h"
#include "inspect/json_writer.h"
#include "lut/lut_files.h"
#include "lut/lut_writers.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CVxShaderRegistry;

// What -info shows of a file: for a LUT file its format and tables, for a
// look its layers, grading, channels, LUT files and whether it renders.

struct ParameterValue {
    std::string name;
    bool isNumber = false;
    double number = 0.0;
    std::string text;
};

struct LayerDescription {
    std::string shader;
    bool enabled = true, visible = true;
    double opacity = 1.0;
    // The parameters that differ from their defaults, in the look's order.
    std::vector<ParameterValue> parameters;
};

struct NamedLutFile {
    std::string name;
    // Where the render finds it; empty when it is not found.
    std::string foundAt;
};

struct LookDescription {
    std::vector<LayerDescription> layers;
    // Per sublayer of the base grading, its values that differ from the defaults.
    std::vector<std::vector<ParameterValue>> base;
    bool perChannel = false;
    std::optional<CdlValues> cdl;
    std::string cdlRefusal;
    std::vector<NamedLutFile> lutFiles;
    uint32_t storedLutSize = 0;
    bool renders = true;
    // When it does not render: why, and whether its stored LUT is converted instead.
    std::vector<std::string> renderFailures;
    bool fallsBackToStoredLut = false;
};

struct TableDescription {
    bool is3D = false;
    uint32_t size = 0;
    float inputMin[3] = {0, 0, 0}, inputMax[3] = {1, 1, 1};
};

struct LutDescription {
    std::string format;
    TableDescription table;
    std::optional<TableDescription> shaper;
    float outputMin[3] = {0, 0, 0}, outputMax[3] = {0, 0, 0};
};

struct FileDescription {
    std::string path; // as people on this system write it
    std::optional<LookDescription> look;
    std::optional<LutDescription> lut;
    std::string error; // why the file could not be read, when it is neither
};

// Reads and describes the file: a LUT file by its extension, a look otherwise.
FileDescription DescribeFile(const CVxShaderRegistry& shaders, const LutFiles& luts,
                             const CVxString& path, const std::string& displayPath);

// The description for people, lines ended by '\n' (docs/comparing-and-previewing.md shows the
// layout).
std::string FormatDescriptionText(const FileDescription& description);
// The description as one JSON object (keys as docs/comparing-and-previewing.md lists them).
void WriteDescriptionJson(JsonWriter& json, const FileDescription& description);
