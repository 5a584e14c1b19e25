#include "tool/output_path.h"

#include "foundation/paths.h"
#include "lut/lut_format_registry.h"
#include "platform/environment.h"
#include "tool/run_settings.h"

#include <unordered_map>

bool IsLutFileUnderOwnExtension(const CVxString& path) {
    CVxString extension;
    SplitPath(path, nullptr, nullptr, nullptr, &extension);
    return extension.Compare(".lut", CVxString::ePath) != 0 && IsLutFile(path);
}

namespace {

const char* WrittenExtension(bool cubrelMode, const ExportFormat* format) {
    return format ? format->writtenExtension : cubrelMode ? ".lut" : ".look";
}

} // namespace

CVxString OutputPathFor(const CVxString& input, bool cubrelMode, const ExportFormat* format) {
    CVxString drive, folder, baseName, extension;
    SplitPath(input, &drive, &folder, &baseName, &extension);
    const char* written = WrittenExtension(cubrelMode, format);
    if (extension.Compare(written, CVxString::ePath) == 0)
        return input;
    CVxString output;
    MakePath(output, drive, folder, baseName, CVxString(written));
    return output;
}

namespace {

// What a folder really reaches, up to and including its last slash.
std::string FolderIdentity(FileAccess& files, const CVxString& folder) {
    CVxString probe = folder;
    if (!probe.IsEmpty() && !probe.EndsWith("\\") && !probe.EndsWith("/"))
        probe += "\\";
    probe += "*";
    const std::string identity = files.Identity(probe);
    return identity.substr(0, identity.rfind('/') + 1);
}

// The identities of the folders of one pass over a run's inputs, each taken
// once: a batch of thousands of files in one folder would otherwise resolve
// that folder and the output folder four times a file.
class FolderIdentities {
public:
    explicit FolderIdentities(FileAccess& files) : m_files(files) {}

    const std::string& Of(const CVxString& folder) {
        const auto [place, added] = m_identities.try_emplace(folder.c_str());
        if (added)
            place->second = FolderIdentity(m_files, folder);
        return place->second;
    }

private:
    FileAccess& m_files;
    std::unordered_map<std::string, std::string> m_identities;
};

bool WritesBeside(FolderIdentities& identities, const CVxString& input,
                  const CVxString& outFolder) {
    return outFolder.IsEmpty() || identities.Of(FolderOf(input)) == identities.Of(outFolder);
}

} // namespace

CVxString OutputPathFor(bool beside, const CVxString& input, bool cubrelMode,
                        const CVxString& outFolder, const ExportFormat* format) {
    if (beside)
        return OutputPathFor(input, cubrelMode, format);
    CVxString baseName;
    SplitPath(input, nullptr, nullptr, &baseName, nullptr);
    CVxString output;
    MakePath(output, CVxString(), outFolder, baseName,
             CVxString(WrittenExtension(cubrelMode, format)));
    return output;
}

bool WritesBesideInput(FileAccess& files, const CVxString& input, const CVxString& outFolder) {
    FolderIdentities identities(files);
    return WritesBeside(identities, input, outFolder);
}

FileStatus UseOutputFolder(FileAccess& files, RunSettings& settings) {
    if (settings.outFolder.IsEmpty())
        return FileStatus();
    FileStatus status = files.FolderWriteStatus(settings.outFolder);
    if (status)
        settings.workingFolder = platform::WorkingFolder().c_str();
    return status;
}

namespace {

struct OutputClaim {
    std::string identity;
    bool beside = true;
    // A LUT file under another extension, whose output name we chose.
    bool ownExtension = false;
};

size_t OwnerOf(const std::vector<OutputClaim>& claims, const std::vector<size_t>& group,
               size_t input) {
    const OutputClaim& claim = claims[input];
    const bool yields = claim.ownExtension && claim.beside;
    if (yields)
        for (size_t other : group)
            if (other != input && !claims[other].ownExtension && claims[other].beside)
                return other;
    for (size_t earlier : group) {
        if (earlier >= input)
            break;
        if (!claim.beside || !claims[earlier].beside || (yields && claims[earlier].ownExtension))
            return earlier;
    }
    return input;
}

} // namespace

OutputPlan PlanOutputs(FileAccess& files, const std::vector<CVxString>& inputs, bool cubrelMode,
                       const CVxString& outFolder, const ExportFormat* format) {
    std::vector<OutputClaim> claims(inputs.size());
    std::unordered_map<std::string, std::vector<size_t>> groups;
    FolderIdentities identities(files);
    for (size_t index = 0; index < inputs.size(); ++index) {
        const CVxString& input = inputs[index];
        OutputClaim& claim = claims[index];
        claim.beside = WritesBeside(identities, input, outFolder);
        claim.identity =
            files.Identity(OutputPathFor(claim.beside, input, cubrelMode, outFolder, format));
        CVxString extension;
        SplitPath(input, nullptr, nullptr, nullptr, &extension);
        claim.ownExtension =
            format != nullptr ||
            (extension.Compare(".lut", CVxString::ePath) != 0 && IsLutFileUnderOwnExtension(input));
        groups[claim.identity].push_back(index);
    }
    OutputPlan plan;
    plan.owners.resize(inputs.size());
    for (size_t index = 0; index < inputs.size(); ++index)
        plan.owners[index] = OwnerOf(claims, groups[claims[index].identity], index);
    plan.written.reserve(inputs.size());
    for (OutputClaim& claim : claims)
        plan.written.push_back(std::move(claim.identity));
    return plan;
}
