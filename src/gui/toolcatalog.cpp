#include "toolcatalog.h"

#include "convert/convertpanel.h"
#include "crop/croppanel.h"
#include "merge/mergepanel.h"
#include "properties/propertiespanel.h"
#include "split/splitpanel.h"
#include "watermark/watermarkpanel.h"

namespace ventara::gui {

const QList<ToolEntry> &toolCatalog() {
    static const QList<ToolEntry> tools{
        {QStringLiteral("merge"), QStringLiteral("&Merge"),
         QStringLiteral("Join documents into one PDF"), QStringLiteral("document-new"),
         QStringLiteral("buttonOpenMerge"), QStringLiteral("merge.html"),
         QStringLiteral("How to Merge PDF Documents"), QStringLiteral("OnHowToMergePDFDocuments"),
         createMergeWindow},
        {QStringLiteral("split"), QStringLiteral("&Split"),
         QStringLiteral("Cut documents into smaller PDFs"), QStringLiteral("edit-cut"),
         QStringLiteral("buttonOpenSplit"), QStringLiteral("split.html"),
         QStringLiteral("How to Split PDF Documents"), QStringLiteral("OnHowToSplitPDFDocuments"),
         createSplitWindow},
        {QStringLiteral("crop"), QStringLiteral("&Crop"),
         QStringLiteral("Trim pages to a rectangle or an aspect ratio"),
         QStringLiteral("transform-crop"), QStringLiteral("buttonOpenCrop"),
         QStringLiteral("crop.html"), QStringLiteral("How to Crop PDF Documents"),
         QStringLiteral("OnHowToCropPDFDocuments"), createCropWindow},
        {QStringLiteral("watermark"), QStringLiteral("&Watermark"),
         QStringLiteral("Stamp text and an image on the pages"), QStringLiteral("insert-text"),
         QStringLiteral("buttonOpenWatermark"), QStringLiteral("watermark.html"),
         QStringLiteral("How to Watermark PDF Documents"),
         QStringLiteral("OnHowToWatermarkPDFDocuments"), createWatermarkWindow},
        {QStringLiteral("convert"), QStringLiteral("Convert to &Images"),
         QStringLiteral("Turn pages into JPEG, PNG, TIFF, GIF and other images"),
         QStringLiteral("image-x-generic"), QStringLiteral("buttonOpenConvert"),
         QStringLiteral("convert.html"), QStringLiteral("How to Convert PDF Documents to Images"),
         QStringLiteral("OnHowToConvertPDFDocumentToImage"), createConvertWindow},
        {QStringLiteral("properties"), QStringLiteral("&Edit Properties"),
         QStringLiteral("Set title, author, subject and keywords"),
         QStringLiteral("document-properties"), QStringLiteral("buttonOpenProperties"),
         QStringLiteral("properties.html"), QStringLiteral("How to Edit PDF Properties"),
         QStringLiteral("OnHowToEditPDFProperties"), createPropertiesWindow},
    };
    return tools;
}

const ToolEntry *findTool(const QString &id) {
    for (const ToolEntry &tool : toolCatalog()) {
        if (tool.id == id)
            return &tool;
    }
    return nullptr;
}

} // namespace ventara::gui
