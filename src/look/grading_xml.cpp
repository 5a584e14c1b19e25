#include "look/grading_params.h"

#include "foundation/xml_reader.h"
#include "foundation/xml_writer.h"
#include "look/look_elements.h"

// The grading's own XML form: its layers in the element forms of a look.

void CVxGradingParamStorage::WriteXML(CVxString& out, uint32_t indent) const {
    if (IsIdentity())
        return;
    WriteXMLOpen(out, indent, "Grading");
    WriteXMLUInt(out, indent + 2, "selectedlayer", m_data->selectedLayer);
    WriteGradingLayers(out, *this, indent + 2);
    WriteXMLClose(out, indent, "Grading");
}

IVxXMLObject* CVxGradingParamStorage::CreateFromXML(CVxXMLReader& reader) {
    CVxGradingParamStorage* grading = new CVxGradingParamStorage();
    try {
        uint32_t depth = reader.Depth();
        while (reader.NextChild(depth)) {
            if (reader.TagIs("base")) {
                if (!ReadBaseElement(reader, *grading, nullptr)) {
                    grading->Release();
                    return nullptr;
                }
            } else if (reader.TagIs("selectedlayer")) {
                uint32_t selected = 0;
                if (ParseXMLUInt32(reader.Value().c_str(), selected))
                    grading->SetSelectedLayer(selected);
            } else if (reader.TagIs("shader")) {
                LayerHolder layer(new CVxShaderParamStorage());
                ReadShaderBody(reader, *layer);
                if (!layer->Name().IsEmpty() && grading->AddLayer(layer.get()) != kNone)
                    layer.release();
            }
        }
    } catch (...) {
        grading->Release();
        throw;
    }
    return grading;
}
