// `ventara watermark`: the watermark tool on the command line.

#include "cli/toolcommand.h"
#include "engine/drawing/watermark.h"
#include "engine/drawing/watermarkfonts.h"
#include "toolkit/textnumber.h"
#include "tools/watermark/watermarksettings.h"
#include "tools/watermark/watermarktool.h"

#include <QColor>

#include <algorithm>

namespace ventara::cli {

namespace {

using namespace tools::watermark;

// The --position values, in the order of the position list.
const QStringList &positionNames() {
    static const QStringList names = {QStringLiteral("bottom-left"), QStringLiteral("bottom-right"),
                                      QStringLiteral("top-left"),    QStringLiteral("top-right"),
                                      QStringLiteral("center"),      QStringLiteral("tile")};
    return names;
}

// The --pages value that turns the page intervals off.
const QString allPages = QStringLiteral("all");

const ToolCommandSpec &watermarkSpec() {
    static const ToolCommandSpec spec = [] {
        ToolCommandSpec s;
        // Name, synopsis and summary as `ventara` lists them.
        for (const Command &entry : renderCommandEntries()) {
            if (entry.name == u"watermark") {
                s.name = entry.name;
                s.synopsis = entry.synopsis;
                s.summary = entry.summary;
            }
        }
        s.description =
            QStringLiteral(
                "Stamp a text watermark and an image watermark on every page of the PDF files (or "
                "the pages of --pages), writing each result as a new PDF into the output folder. "
                "The text stays text (searchable, its font embedded once); the image is embedded "
                "once, its transparency kept. Sizes, offsets and spacings are in points, "
                "opacities and the scale in percent, rotations in degrees counter-clockwise. "
                "Positions: ") +
            positionNames().join(QStringLiteral(", ")) + u'.';
        s.profile = &profileFormat();
        const auto option = [](const char *name, const char *value, QStringView key,
                               const char *help = "") {
            return ToolOption{QString::fromLatin1(name), QChar(), QString::fromLatin1(value),
                              QString::fromUtf8(help), key.toString()};
        };
        ToolOption shadow =
            option("shadow", "", QStringView(), "A soft shadow under the text (default: none)");
        shadow.isSwitch = true;
        ToolOption stroke = option("stroke", "", QStringView(),
                                   "A black outline around the letters (default: none)");
        stroke.isSwitch = true;
        const auto position = [&option](const char *name, const char *help) {
            ToolOption result = option(name, "POS", QStringView(), help);
            result.choices = positionNames();
            return result;
        };
        ToolOption image = option("image", "PATH", QStringView(),
                                  "Image watermark: a JPEG, PNG, TIFF, GIF or BMP file "
                                  "(default: none)");
        image.kind = ValueKind::File;
        for (const char *extension : {"jpg", "jpeg", "png", "tiff", "tif", "gif", "bmp"})
            image.extensions << QString::fromLatin1(extension);
        ToolOption quality = option("image-quality", "1-4", kQualityKey);
        quality.choices = QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                      QStringLiteral("4")};
        ToolOption output = option("output", "FOLDER", QStringView(),
                                   "The folder the watermarked files are written to (required)");
        output.shortName = u'o';
        output.kind = ValueKind::Folder;
        s.options = {
            option("text", "TEXT", kTextKey,
                   "Watermark text; [PageNumber] becomes each page's number; '' for no text"),
            option("font", "NAME", QStringView(),
                   "Font family: one of the window's list (American Typewriter, Arial, ... "
                   "Verdana; a similar installed font stands in for those not installed) or "
                   "any installed family (default: Arial)"),
            option("size", "N", kSizeKey),
            ToolOption{QStringLiteral("color"), QChar(), QStringLiteral("#RRGGBB"),
                       QStringLiteral("Text colour (default: #000000)"), QString()},
            option("opacity", "P", kTextOpacityKey),
            position("position", "Text position: bottom-left, bottom-right, top-left, "
                                 "top-right, center or tile (default: bottom-left)"),
            option("rotate", "DEG", kTextRotateKey),
            option("offset", "X,Y", QStringView(),
                   "Shift of the text in points, + to the right and upwards, each from -10000 to "
                   "10000 (default: 0,0)"),
            option("spacing", "N", kTextSpacingKey),
            shadow,
            stroke,
            image,
            option("scale", "P", kScaleKey),
            option("image-opacity", "P", kImageOpacityKey),
            position("image-position", "Image position, as --position (default: bottom-right)"),
            option("image-rotate", "DEG", kImageRotateKey),
            option("image-offset", "X,Y", QStringView(),
                   "Shift of the image in points, as --offset (default: 0,0)"),
            quality,
            option("image-spacing", "N", kImageSpacingKey),
            option("pages", "TEXT", QStringView(),
                   "Stamp only these pages, e.g. \"[1-3],5,[7-9]\"; \"all\" stamps every page "
                   "(default: all)"),
            option("names", "TEMPLATE", kNamesKey),
            output,
        };
        return s;
    }();
    return spec;
}

// Sets a validated field (and its stepper) from a whole number option.
bool setNumber(const ToolArguments &args, const QString &option, QStringView key,
               WatermarkSettings &settings, QString *problem) {
    if (!args.has(option))
        return true;
    const NumberRule *rule = numberRule(key);
    const auto text =
        wholeNumberOption(option, args.value(option), rule->minimum, rule->maximum, problem);
    if (!text)
        return false;
    settings.setNumberText(*rule, *text);
    return true;
}

// "X,Y": two whole numbers for the two offset fields.
bool setOffset(const ToolArguments &args, const QString &option, QStringView xKey, QStringView yKey,
               WatermarkSettings &settings, QString *problem) {
    if (!args.has(option))
        return true;
    const QString value = args.value(option);
    const QStringList parts = value.split(u',');
    const NumberRule *x = numberRule(xKey);
    const NumberRule *y = numberRule(yKey);
    std::optional<QString> xText;
    std::optional<QString> yText;
    QString ignored;
    if (parts.size() == 2) {
        xText = wholeNumberOption(option, parts.at(0), x->minimum, x->maximum, &ignored);
        yText = wholeNumberOption(option, parts.at(1), y->minimum, y->maximum, &ignored);
    }
    if (!xText || !yText) {
        *problem = QStringLiteral("--%1 takes X,Y, two whole numbers from -10000 to 10000, not %2")
                       .arg(option, value);
        return false;
    }
    settings.setNumberText(*x, *xText);
    settings.setNumberText(*y, *yText);
    return true;
}

bool setPosition(const ToolArguments &args, const QString &option, QStringView key,
                 WatermarkSettings &settings, QString *problem) {
    if (!args.has(option))
        return true;
    const int index = choiceOption(option, args.value(option), positionNames(), problem);
    if (index < 0)
        return false;
    settings.fields.setIndex(key, index);
    return true;
}

// A rotation in degrees, a number from 0 to 360, for a slider.
bool setRotation(const ToolArguments &args, const QString &option, QStringView key,
                 WatermarkSettings &settings, QString *problem) {
    if (!args.has(option))
        return true;
    const std::optional<double> degrees = toolkit::numberValue(args.value(option));
    if (!degrees || *degrees < 0 || *degrees > 360) {
        *problem = QStringLiteral("--%1 takes degrees from 0 to 360, not %2")
                       .arg(option, args.value(option));
        return false;
    }
    settings.fields.setNumber(key, float(*degrees));
    return true;
}

// Applies the command's options to `settings` (which may come from a profile); returns false
// with `problem` set for a bad value. Values outside their range are refused, not clamped.
bool applyOptions(const ToolArguments &args, WatermarkSettings &settings, QString *problem) {
    if (args.has(QStringLiteral("text")))
        settings.fields.setText(kTextKey, args.value(QStringLiteral("text")));
    if (args.has(QStringLiteral("font"))) {
        const QString name = args.value(QStringLiteral("font"));
        const QStringList list = fontNames();
        const auto listed = std::find_if(list.cbegin(), list.cend(), [&name](const QString &font) {
            return font.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (listed != list.cend()) {
            settings.fields.setIndex(kFontKey, int(listed - list.cbegin()));
            settings.fontFamily.clear();
        } else if (const QString family = engine::installedFontFamily(name); !family.isEmpty()) {
            settings.fontFamily = family;
        } else {
            *problem = QStringLiteral("--font: ") + name +
                       QStringLiteral(" is neither in the font list nor an installed font family "
                                      "(see 'fc-list : family')");
            return false;
        }
    }
    if (args.has(QStringLiteral("color"))) {
        const QString value = args.value(QStringLiteral("color"));
        const QColor color = QColor::fromString(value);
        if (!value.startsWith(u'#') || value.size() != 7 || !color.isValid()) {
            *problem = QStringLiteral("--color takes #RRGGBB, not ") + value;
            return false;
        }
        settings.setColor(color);
    }
    if (!setNumber(args, QStringLiteral("size"), kSizeKey, settings, problem) ||
        !setNumber(args, QStringLiteral("opacity"), kTextOpacityKey, settings, problem) ||
        !setPosition(args, QStringLiteral("position"), kTextPositionKey, settings, problem) ||
        !setRotation(args, QStringLiteral("rotate"), kTextRotateKey, settings, problem) ||
        !setOffset(args, QStringLiteral("offset"), kTextXOffsetKey, kTextYOffsetKey, settings,
                   problem) ||
        !setNumber(args, QStringLiteral("spacing"), kTextSpacingKey, settings, problem) ||
        !setNumber(args, QStringLiteral("scale"), kScaleKey, settings, problem) ||
        !setNumber(args, QStringLiteral("image-opacity"), kImageOpacityKey, settings, problem) ||
        !setPosition(args, QStringLiteral("image-position"), kImagePositionKey, settings,
                     problem) ||
        !setRotation(args, QStringLiteral("image-rotate"), kImageRotateKey, settings, problem) ||
        !setOffset(args, QStringLiteral("image-offset"), kImageXOffsetKey, kImageYOffsetKey,
                   settings, problem) ||
        !setNumber(args, QStringLiteral("image-spacing"), kImageSpacingKey, settings, problem))
        return false;
    for (const auto &[option, key] : {std::pair{QStringLiteral("shadow"), kShadowKey},
                                      std::pair{QStringLiteral("stroke"), kStrokeKey}}) {
        if (args.has(option))
            settings.fields.setState(key, args.value(option) == u"yes" ? 1 : 0);
    }
    if (args.has(QStringLiteral("image-quality"))) {
        const auto quality =
            wholeNumberOption(QStringLiteral("image-quality"),
                        args.value(QStringLiteral("image-quality")), 1, 4, problem);
        if (!quality)
            return false;
        settings.setQuality(quality->toInt());
    }
    if (args.has(QStringLiteral("image")))
        settings.imagePath = args.value(QStringLiteral("image"));
    if (args.has(QStringLiteral("pages"))) {
        const QString pages = args.value(QStringLiteral("pages"));
        settings.fields.setState(kPageIntervalsCheckKey, pages != allPages ? 1 : 0);
        if (pages != allPages)
            settings.fields.setText(kPageIntervalsKey, pages);
    }
    if (args.has(QStringLiteral("names")))
        settings.fields.setText(kNamesKey, args.value(QStringLiteral("names")));
    return true;
}

int runWatermark(const QStringList &arguments, CommandIo &io) {
    const ToolCommandSpec &spec = watermarkSpec();
    int exitCode = ExitSuccess;
    const std::optional<ToolArguments> args = parseToolCommand(spec, arguments, io, &exitCode);
    if (!args)
        return exitCode;

    WatermarkSettings settings;
    // A command line asks for no pages unless it says so: a profile's interval check stays.
    if (!args->profilePath.isEmpty() && !loadProfile(spec, args->profilePath, settings.fields, io))
        return ExitUsage;
    QString problem;
    if (!applyOptions(*args, settings, &problem))
        return toolUsageError(spec, io, problem);

    settings.folder = outputFolderArgument(spec, *args, io, &exitCode);
    if (settings.folder.isEmpty())
        return exitCode;

    // Said once, not for every document: the text is still stamped.
    if (!settings.imagePath.isEmpty()) {
        const QString imageProblem = engine::imageWatermarkProblem(settings.imagePath);
        if (!imageProblem.isEmpty()) {
            reportError(io, spec.name + QStringLiteral(": ") + settings.imagePath +
                                QStringLiteral(": ") + imageProblem +
                                QStringLiteral("; the image watermark is left out"));
            settings.imagePath.clear();
        }
    }
    WatermarkTool tool(settings);
    return runToolCommand(spec, tool, args->files, args->overwritePolicy(), io);
}

} // namespace

Command watermarkCommand() {
    Command command = toolCommand(watermarkSpec(), runWatermark);
    command.needsGuiApplication = true;
    return command;
}

} // namespace ventara::cli
