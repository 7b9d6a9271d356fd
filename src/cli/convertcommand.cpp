// `ventara convert`: the convert-to-images tool on the command line.

#include "cli/toolcommand.h"
#include "tools/convert/convertfields.h"
#include "tools/convert/convertsettings.h"
#include "tools/convert/converttool.h"

#include <algorithm>

namespace ventara::cli {

namespace {

using namespace tools::convert;

const QString formatOption = QStringLiteral("format");
const QString qualityOption = QStringLiteral("quality");
const QString percentOption = QStringLiteral("percent");
const QString boxOption = QStringLiteral("box");
const QString dpiOption = QStringLiteral("dpi");
const QString multipageOption = QStringLiteral("multipage");
const QString pagesOption = QStringLiteral("pages");
const QString namesOption = QStringLiteral("names");
const QString outputOption = QStringLiteral("output");

// The --pages value that turns the page intervals off.
const QString allPages = QStringLiteral("all");

QStringList formatNames() {
    QStringList names;
    for (const QString &title : formatTitles())
        names << title.toLower();
    return names;
}

const ToolCommandSpec &convertSpec() {
    static const ToolCommandSpec spec = [] {
        ToolCommandSpec s;
        // Name, synopsis and summary as `ventara` lists them.
        for (const Command &entry : renderCommandEntries()) {
            if (entry.name == u"convert") {
                s.name = entry.name;
                s.synopsis = entry.synopsis;
                s.summary = entry.summary;
            }
        }
        s.description = QStringLiteral(
            "Render every page of the PDF files (or the pages of --pages) to image files: one "
            "file per page, or multipage TIFF and GIF files, one per document or one for all. "
            "Images are sized by a percentage of the page size (100: one pixel per point) or "
            "fitted into a box of pixels, and carry the resolution of --dpi.");
        s.profile = &profileFormat();
        s.options = {
            {formatOption, QChar(), QStringLiteral("FMT"),
             QStringLiteral("Image format: ") + formatNames().join(QStringLiteral(", ")) +
                 QStringLiteral(" (default: jpg)"),
             QString(), ValueKind::Word, formatNames()},
            {qualityOption, QChar(), QStringLiteral("Q"), QString(), kQualityKey.toString()},
            {percentOption, QChar(), QStringLiteral("P"),
             QStringLiteral("Size the images by this percentage of the page size, a whole "
                            "number from 1 to 1000 (100: one pixel per point)"),
             kPercentKey.toString()},
            {boxOption, QChar(), QStringLiteral("WxH"),
             QStringLiteral("Fit each page into a box of W x H pixels, whole numbers from 1 to "
                            "10000; the box turns with the page, so the longer side of the box "
                            "bounds the longer side of the page (instead of --percent)"),
             QString()},
            {dpiOption, QChar(), QStringLiteral("N"), QString(), kDpiKey.toString()},
            {multipageOption, QChar(), QStringLiteral("MODE"),
             QStringLiteral("For tiff, tif and gif: none (one file per page), per-document (one "
                            "multipage file per document) or all (one file for all documents) "
                            "(default: per-document)"),
             QString(), ValueKind::Word,
             QStringList{QStringLiteral("none"), QStringLiteral("per-document"),
                         QStringLiteral("all")}},
            {pagesOption, QChar(), QStringLiteral("TEXT"),
             QStringLiteral("Convert only these pages, e.g. \"[1-3],5,[7-9]\"; \"all\" converts "
                            "every page (default: all)"),
             QString()},
            {namesOption, QChar(), QStringLiteral("TEMPLATE"),
             QStringLiteral("Output file name template: [FileName], [FileIndex], [PageNumber]; "
                            "it follows the multipage mode unless given (default: "
                            "[FileName](Page[PageNumber]), [FileName] per document, Multipage "
                            "for all documents)"),
             QString()},
            {outputOption, u'o', QStringLiteral("FOLDER"),
             QStringLiteral("The folder the images are written to (required)"), QString(),
             ValueKind::Folder},
        };
        return s;
    }();
    return spec;
}

// Applies the command's options to `settings` (which may come from a profile) in the order
// the window's actions would; returns false with `problem` set for a bad value.
bool applyOptions(const ToolArguments &args, ConvertSettings &settings, QString *problem) {
    if (args.has(formatOption)) {
        const int index = choiceOption(formatOption, args.value(formatOption), formatNames(),
                                       problem, Qt::CaseInsensitive);
        if (index < 0)
            return false;
        settings.selectImageFormat(index);
    }
    if (args.has(multipageOption)) {
        const QString mode = args.value(multipageOption);
        if (mode == u"none") {
            settings.setOutputMode(OutputMode::SingleImages);
        } else if (mode == u"per-document" || mode == u"all") {
            if (!multipageControlsEnabled(settings.formatIndex())) {
                *problem = QStringLiteral("--multipage ") + mode +
                           QStringLiteral(" needs the format tiff, tif or gif");
                return false;
            }
            settings.setOutputMode(mode == u"all" ? OutputMode::MultipageAllDocuments
                                                  : OutputMode::MultipagePerDocument);
        } else {
            *problem = QStringLiteral("--multipage takes none, per-document or all, not ") + mode;
            return false;
        }
    }
    if (args.has(qualityOption)) {
        const auto text = wholeNumberOption(qualityOption, args.value(qualityOption),
                                              kQualityMinimum, kQualityMaximum, problem);
        if (!text)
            return false;
        settings.setQualityText(*text);
    }
    if (args.has(percentOption) && args.has(boxOption)) {
        *problem = QStringLiteral("--percent and --box exclude each other");
        return false;
    }
    if (args.has(percentOption)) {
        const auto text = wholeNumberOption(percentOption, args.value(percentOption), 1,
                                              kPercentMaximum, problem);
        if (!text)
            return false;
        settings.selectPercentOfSourcePdf();
        settings.setPercentText(*text);
    }
    if (args.has(boxOption)) {
        const QString value = args.value(boxOption);
        const QStringList sides = value.toLower().split(u'x');
        double width = 0;
        double height = 0;
        if (sides.size() == 2) {
            width = wholeNumberValue(sides.at(0)).value_or(0);
            height = wholeNumberValue(sides.at(1)).value_or(0);
        }
        if (width < 1 || height < 1 || width > kBoxMaximum || height > kBoxMaximum) {
            *problem =
                QStringLiteral("--box takes WxH, two whole numbers from 1 to 10000, not ") + value;
            return false;
        }
        settings.selectFixedWidthAndHeight();
        // Entered upright, as the window keeps it: the size rule turns the box to each page's
        // orientation, so 800x600 and 600x800 give the same images.
        settings.setWidthText(wholeNumberText(std::min(width, height)));
        settings.setHeightText(wholeNumberText(std::max(width, height)));
    }
    if (args.has(dpiOption)) {
        const auto text = wholeNumberOption(dpiOption, args.value(dpiOption), kDpiMinimum,
                                              kDpiMaximum, problem);
        if (!text)
            return false;
        settings.setDpiText(*text);
    }
    if (args.has(pagesOption)) {
        const QString pages = args.value(pagesOption);
        settings.setPageIntervalsState(pages != allPages);
        if (pages != allPages)
            settings.setPageIntervals(pages);
    }
    if (args.has(namesOption))
        settings.setNames(args.value(namesOption));
    return true;
}

int runConvert(const QStringList &arguments, CommandIo &io) {
    const ToolCommandSpec &spec = convertSpec();
    int exitCode = ExitSuccess;
    const std::optional<ToolArguments> args = parseToolCommand(spec, arguments, io, &exitCode);
    if (!args)
        return exitCode;

    ConvertSettings settings;
    if (!args->profilePath.isEmpty()) {
        if (!loadProfile(spec, args->profilePath, settings.fields, io))
            return ExitUsage;
        settings.afterProfileLoad();
    }
    QString problem;
    if (!applyOptions(*args, settings, &problem))
        return toolUsageError(spec, io, problem);

    settings.folder = outputFolderArgument(spec, *args, io, &exitCode);
    if (settings.folder.isEmpty())
        return exitCode;

    ConvertTool tool(settings);
    return runToolCommand(spec, tool, args->files, args->overwritePolicy(), io);
}

} // namespace

Command convertCommand() {
    return toolCommand(convertSpec(), runConvert);
}

} // namespace ventara::cli
