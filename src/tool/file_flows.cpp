#include "tool/file_flows.h"

#include "tool/conversion_flows.h"
#include "tool/export_flow.h"
#include "tool/preview_flow.h"

std::unique_ptr<FlowContext> MakeFileFlow(const RunSettings& settings,
                                          const RunEnvironment& environment, FileAccess& files) {
    if (settings.exportFormat)
        return std::make_unique<ExportFlow>(settings, environment, files);
    if (settings.preview)
        return std::make_unique<PreviewFlow>(settings, environment, files);
    return std::make_unique<ConversionFlows>(settings, environment, files);
}
