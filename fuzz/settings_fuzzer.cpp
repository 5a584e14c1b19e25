// Parses the bytes as a settings file and reads keys of every type, plain and
// recording, including keys the text itself names.
#include "fuzz_support.h"

#include "foundation/settings.h"

namespace {

const char* const kKeys[] = {
    "ColorTransforms.LUTPath1",
    "ColorTransforms.AlwaysUpsampleToPoT",
    "ResourcePath",
    "ShadersPath",
    "a",
    "a.b",
    "a.b.c",
    "",
    ".",
    "Size",
};

void ReadEveryType(SettingsStore& store, const char* key) {
    store.GetString(key, "default");
    store.GetBool(key, true);
    store.GetInt32(key, -1);
    store.GetUInt32(key, 1);
    store.GetInt64(key, -1);
    store.GetUInt64(key, 1);
    store.GetDouble(key, 0.5);
}

void RecordEveryType(SettingsStore& store, const char* key) {
    store.GetStringRecorded(key, "default");
    store.GetBoolRecorded(key, true);
    store.GetInt32Recorded(key, -1);
    store.GetUInt32Recorded(key, 1);
    store.GetInt64Recorded(key, -1);
    store.GetUInt64Recorded(key, 1);
    store.GetDoubleRecorded(key, 0.5);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SettingsStore store("Z:\\nowhere\\Global_Settings.xml", "values");
    if (!store.LoadText(fuzz::TextOf(data, size)))
        return 0;
    for (const char* key : kKeys)
        ReadEveryType(store, key);
    for (const char* key : kKeys)
        RecordEveryType(store, key);
    for (const char* key : kKeys)
        ReadEveryType(store, key);
    return 0;
}
