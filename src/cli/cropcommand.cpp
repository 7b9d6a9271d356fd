// `ventara crop`: the crop tool on the command line.

#include "cli/toolcommand.h"
#include "tools/crop/croptool.h"

#include <cmath>

namespace ventara::cli {

namespace {

using namespace tools::crop;

// The values of --unit and --corner, in the order of the window's pop-ups.
QStringList unitNames() {
    return {QStringLiteral("percent"), QStringLiteral("points")};
}

QStringList cornerNames() {
    return {QStringLiteral("bottom-left"), QStringLiteral("bottom-right"),
            QStringLiteral("top-left"), QStringLiteral("top-right")};
}

const ToolCommandSpec &cropSpec() {
    static const ToolCommandSpec spec = [] {
        ToolCommandSpec s;
        s.name = QStringLiteral("crop");
        s.synopsis =
            QStringLiteral("[--auto 1:1|4:3|3:2|16:9 | --rect X,Y,W,H] [--unit percent|points] "
                           "[--corner bottom-left|bottom-right|top-left|top-right] [--pages TEXT] "
                           "[--names TEMPLATE] -o FOLDER FILE...");
        s.summary = QStringLiteral("Give pages a new page box: a rectangle or an aspect ratio");
        s.description = QStringLiteral(
            "Crop the pages of every PDF file to a rectangle, written as one new PDF file per "
            "input. Only the page boxes change: the page content, links, form fields and "
            "bookmarks stay as they are, and the hidden parts can be brought back. The "
            "rectangle is measured on the page as it is shown (its crop box, turned by its "
            "rotation), from the chosen corner. By default each page is cropped to 80 percent "
            "of its width and height, 10 percent in from the bottom-left corner.");
        s.profile = &profileFormat();
        s.options = {
            {QStringLiteral("auto"), QChar(), QStringLiteral("RATIO"),
             QStringLiteral("Crop to the largest centred rectangle of this aspect ratio (1:1, "
                            "4:3, 3:2 or 16:9), turned with the page: 4:3 is 3 wide by 4 high on "
                            "a portrait page"),
             QString(), ValueKind::Word, formatTitles()},
            {QStringLiteral("rect"), QChar(), QStringLiteral("X,Y,W,H"),
             QStringLiteral("Crop to a rectangle: offsets from the corner, then width and "
                            "height, in the unit of --unit"),
             QString()},
            {QStringLiteral("unit"), QChar(), QStringLiteral("UNIT"),
             QStringLiteral("What the --rect values are: percent of the page's width (X, W) and "
                            "height (Y, H), 0 to 100, or points, 1/72 inch (default: percent)"),
             QString(), ValueKind::Word, unitNames()},
            {QStringLiteral("corner"), QChar(), QStringLiteral("CORNER"),
             QStringLiteral("The corner the offsets are measured from: bottom-left, "
                            "bottom-right, top-left or top-right (default: bottom-left)"),
             QString(), ValueKind::Word, cornerNames()},
            {QStringLiteral("pages"), QChar(), QStringLiteral("TEXT"),
             QStringLiteral("Crop only these pages, e.g. \"[1-3],5,[7-9]\"; the others are "
                            "copied as they are (default: every page)"),
             QString()},
            {QStringLiteral("names"), QChar(), QStringLiteral("TEMPLATE"), QString(),
             kNamesKey.toString()},
            {QStringLiteral("output"), u'o', QStringLiteral("FOLDER"),
             QStringLiteral("The folder the output files are written to (required)"), QString(),
             ValueKind::Folder},
        };
        return s;
    }();
    return spec;
}

// The four numbers of --rect, or nothing.
std::optional<QList<double>> rectangleValues(const QString &text) {
    const QStringList parts = text.split(u',');
    if (parts.size() != 4)
        return std::nullopt;
    QList<double> values;
    for (const QString &part : parts) {
        bool ok = false;
        const double value = part.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(value))
            return std::nullopt;
        values << value;
    }
    return values;
}

// A number as a text field would show it: plain decimal, no exponent, no trailing zeros.
QString numberText(double value) {
    QString text = QString::number(value, 'f', 6);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
}

} // namespace

int runCrop(const QStringList &arguments, CommandIo &io) {
    const ToolCommandSpec &spec = cropSpec();
    int exitCode = ExitSuccess;
    const std::optional<ToolArguments> args = parseToolCommand(spec, arguments, io, &exitCode);
    if (!args)
        return exitCode;

    CropSettings settings;
    if (!args->profilePath.isEmpty() && !loadProfile(spec, args->profilePath, settings.fields, io))
        return ExitUsage;
    settings.afterProfileLoad();

    const bool automatic = args->has(QStringLiteral("auto"));
    const bool rectangle = args->has(QStringLiteral("rect"));
    if (automatic && rectangle)
        return toolUsageError(spec, io, QStringLiteral("--auto and --rect exclude each other"));
    if (args->has(QStringLiteral("unit")) && !rectangle)
        return toolUsageError(spec, io, QStringLiteral("--unit applies to --rect values"));

    if (automatic) {
        const QString ratio = args->value(QStringLiteral("auto"));
        const qsizetype format = formatTitles().indexOf(ratio);
        if (format < 0)
            return toolUsageError(
                spec, io, QStringLiteral("--auto takes 1:1, 4:3, 3:2 or 16:9, not ") + ratio);
        settings.selectAutoCrop();
        settings.setAutoCropFormat(int(format));
    }
    if (rectangle) {
        const QString unitText = args->has(QStringLiteral("unit"))
                                     ? args->value(QStringLiteral("unit"))
                                     : QStringLiteral("percent");
        const qsizetype unit = unitNames().indexOf(unitText);
        if (unit < 0)
            return toolUsageError(
                spec, io, QStringLiteral("--unit takes percent or points, not ") + unitText);
        const std::optional<QList<double>> values =
            rectangleValues(args->value(QStringLiteral("rect")));
        if (!values)
            return toolUsageError(spec, io,
                                  QStringLiteral("--rect takes four numbers X,Y,W,H, not ") +
                                      args->value(QStringLiteral("rect")));
        if (values->at(2) <= 0 || values->at(3) <= 0)
            return toolUsageError(spec, io,
                                  QStringLiteral("--rect needs a width and a height above 0"));
        if (unit == Percents) {
            for (const double value : *values) {
                if (value < 0 || value > 100)
                    return toolUsageError(
                        spec, io, QStringLiteral("--rect percentages lie between 0 and 100"));
            }
        }
        settings.selectCustomCrop();
        // A profile's values stay in the window's units (four preview pixels to the point);
        // points given here are PDF points.
        settings.fields.setIndex(kDefineUsingKey, int(unit));
        settings.fields.setIndex(kDefineUsingSelectionKey, int(unit));
        const double scale = unit == Points ? engine::kPreviewPixelsPerPoint : 1.0;
        for (int i = 0; i < 4; ++i) {
            const double value = values->at(i) * scale;
            settings.setValueText(kValues[i], numberText(value));
        }
    }
    if (args->has(QStringLiteral("corner"))) {
        const QString corner = args->value(QStringLiteral("corner"));
        const qsizetype index = cornerNames().indexOf(corner);
        if (index < 0)
            return toolUsageError(spec, io,
                                  QStringLiteral("--corner takes bottom-left, bottom-right, "
                                                 "top-left or top-right, not ") +
                                      corner);
        settings.setOriginCorner(int(index));
    }
    if (args->has(QStringLiteral("pages")))
        settings.cropOnlyPages(args->value(QStringLiteral("pages")));
    if (args->has(QStringLiteral("names")))
        settings.setNames(args->value(QStringLiteral("names")));

    settings.folder = outputFolderArgument(spec, *args, io, &exitCode);
    if (settings.folder.isEmpty())
        return exitCode;

    CropTool tool(settings);
    return runToolCommand(spec, tool, args->files, args->overwritePolicy(), io);
}

Command cropCommand() {
    return toolCommand(cropSpec(), runCrop);
}

} // namespace ventara::cli
