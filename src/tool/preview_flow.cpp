#include "tool/preview_flow.h"

#include "foundation/paths.h"
#include "inspect/previews.h"
#include "render/file_lattice.h"

#include <string>

void PreviewFlow::Convert(const FilePaths& paths, bool /*isLutFile*/) {
    // The transform as -to evaluates it, through a lattice of the run's size.
    const FileLattice lattice = LatticeOfFile(m_render, paths.input, m_settings.size);
    if (!lattice.fallbackReasons.empty()) {
        m_report->SetCause(lattice.fallbackReasons.front());
        m_report->FallBackToStoredLut(lattice.fallbackReasons);
        ReportRenderFailure(lattice.renderFailure);
    }
    if (!lattice.rgb) {
        m_report->SetCause(FailureCause(lattice));
        m_report->Say("  " + lattice.failure + "\n");
        return;
    }
    std::string what = WhatIsWritten(paths.exportPath, "preview");
    const std::unique_ptr<FileOutput> file = ReplaceOutput(paths.exportPath);
    if (WriteBeforeAndAfterPng(*m_settings.previewPicture, lattice.rgb.get(), m_settings.size,
                               *file) &&
        file->Commit()) {
        m_report->SetWritten(PathForPeople(paths.exportPath), std::move(what));
        m_report->Say("  Preview written successfully\n");
        // The report's thumbnail through the same lattice, rather than one rendered anew.
        if (!m_settings.reportFile.IsEmpty())
            m_report->SetThumbnail(ThumbnailPng(lattice.rgb.get(), m_settings.size));
        return;
    }
    ReportWriteFailure(*file, paths.exportPath);
}

bool PreviewFlow::MayReplaceExisting(const FilePaths& paths) {
    if (OutputCarriesOurMark(PreviewPictureFormat(), paths.exportPath))
        return true;
    RefuseToReplace(paths.exportPath, "a preview that Gradeshift wrote");
    return false;
}
