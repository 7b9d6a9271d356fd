#pragma once

#include "toolkit/batchjob.h"
#include "tools/crop/cropsettings.h"

#include <QStringList>

#include <memory>

namespace ventara::tools::crop {

// The run texts of the crop tool: "There are no PDF documents to crop.", "PDF document(s)
// cropped successfully." and "Could not crop PDF document(s).".
toolkit::RunTexts runTexts();

// One crop run over a snapshot of the settings: one output per document, named by the
// template ("[FileName]_Cropped" unless set) in the output folder.
//
// processStep() crops one document into its output (PDFTools::CropPDF) unless the overwrite
// pass declined it. With the interval check on, only the pages the intervals name are
// cropped (the others are copied as they are); plan() reads the page counts and abandons the
// run when the intervals name no page of a document. A document that cannot be read fails
// its step, and so does the only document of a list whose output would replace it; the other
// documents are still cropped.
class CropJob : public toolkit::BatchJob {
public:
    CropJob(const CropSettings &settings, const QStringList &documents);

    toolkit::RunPlan plan() override;
    bool processStep(toolkit::StepContext &context) override;

    const CropSettings &settings() const { return m_settings; }

private:
    const CropSettings m_settings;
    const QStringList m_documents;
    QList<int> m_pageCounts; // with the interval check on, from plan()
};

// The crop tool as the batch runner sees it: the window (or the command line) keeps its
// settings here; each run takes a snapshot of them.
class CropTool : public toolkit::BatchTool {
public:
    CropTool() = default;
    explicit CropTool(const CropSettings &settings)
        : m_settings(settings) {}

    CropSettings &settings() { return m_settings; }
    const CropSettings &settings() const { return m_settings; }
    void setSettings(const CropSettings &settings) { m_settings = settings; }

    toolkit::RunTexts runTexts() const override { return crop::runTexts(); }
    std::optional<QString> outputFolder() const override { return m_settings.folder; }
    std::shared_ptr<toolkit::BatchJob> createJob(const QStringList &documents) override;

private:
    CropSettings m_settings;
};

} // namespace ventara::tools::crop
