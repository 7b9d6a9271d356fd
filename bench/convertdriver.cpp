// Benchmark driver: converts PDF pages to images through the engine's conversion pipeline with
// the options of `ventara convert`, for bench/convert.sh with DRIVER=1 (the engine's cost
// without the command line's). Not installed.
//
//   ventara-convert-bench --format FMT [--quality Q] [--percent P | --box WxH] [--dpi N]
//                         [--multipage none|per-document|all] [--threads N]
//                         [--renderer automatic|splash|cairo] -o FOLDER FILE...

#include "engine/drawing/imageconversion.h"
#include "engine/drawing/renderer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <optional>

using namespace ventara::engine;

namespace {

int usage(const QString &message) {
    QTextStream(stderr) << message
                        << "\nusage: ventara-convert-bench --format FMT [--quality Q] "
                           "[--percent P | --box WxH] [--dpi N] [--multipage "
                           "none|per-document|all] [--threads N] [--renderer "
                           "automatic|splash|cairo] -o FOLDER FILE...\n";
    return 2;
}

std::optional<ImageFormat> formatNamed(const QString &name) {
    for (int i = 0; i < imageFormatCount; ++i) {
        const ImageFormat format = *imageFormatFromIndex(i);
        if (imageFormatExtension(format) == name.toLower())
            return format;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    ConversionJob job;
    QString folder;
    QStringList files;
    bool formatGiven = false;
    while (!args.isEmpty()) {
        const QString arg = args.takeFirst();
        const auto value = [&]() {
            return args.isEmpty() ? QString() : args.takeFirst();
        };
        if (arg == u"--format") {
            const auto format = formatNamed(value());
            if (!format)
                return usage(QStringLiteral("unknown format"));
            job.format = *format;
            formatGiven = true;
        } else if (arg == u"--quality") {
            job.quality = value().toFloat();
        } else if (arg == u"--percent") {
            job.sizeRule.mode = SizeRule::Percent;
            job.sizeRule.percent = value().toFloat();
        } else if (arg == u"--box") {
            const QStringList box = value().split(u'x');
            if (box.size() != 2)
                return usage(QStringLiteral("--box needs WxH"));
            job.sizeRule.mode = SizeRule::Box;
            job.sizeRule.boxWidth = box[0].toFloat();
            job.sizeRule.boxHeight = box[1].toFloat();
        } else if (arg == u"--dpi") {
            job.dpi = value().toInt();
        } else if (arg == u"--threads") {
            job.threads = value().toInt();
        } else if (arg == u"--renderer") {
            const QString backend = value();
            if (backend == u"automatic")
                job.renderer = RendererBackend::Automatic;
            else if (backend == u"splash")
                job.renderer = RendererBackend::Splash;
            else if (backend == u"cairo")
                job.renderer = RendererBackend::Cairo;
            else
                return usage(QStringLiteral("unknown renderer"));
        } else if (arg == u"--multipage") {
            const QString mode = value();
            if (mode == u"none")
                job.multipage = MultipageMode::None;
            else if (mode == u"per-document")
                job.multipage = MultipageMode::PerDocument;
            else if (mode == u"all")
                job.multipage = MultipageMode::AllDocuments;
            else
                return usage(QStringLiteral("unknown multipage mode"));
        } else if (arg == u"-o") {
            folder = value();
        } else if (arg.startsWith(u'-')) {
            return usage(QStringLiteral("unknown option ") + arg);
        } else {
            files << arg;
        }
    }
    if (!formatGiven || folder.isEmpty() || files.isEmpty())
        return usage(QStringLiteral("--format, -o and files are needed"));
    if (!QDir().mkpath(folder))
        return usage(QStringLiteral("cannot create the output folder"));

    const QString extension = imageFormatExtension(job.format);
    const QString outputFolder = QDir(folder).absolutePath() + u'/';
    const auto renderer = createPageRenderer();
    for (const QString &file : files) {
        ConversionDocument document;
        document.path = QFileInfo(file).absoluteFilePath();
        const QString base = QFileInfo(file).completeBaseName();
        document.output = {outputFolder + base + u'.' + extension, OverwriteAction::Replace};
        const int pages = renderer->open(document.path) ? renderer->pageCount() : 0;
        for (int page = 0; page < pages; ++page)
            document.pages.append(ConversionPage{
                page,
                {outputFolder + base + QStringLiteral("(Page%1).").arg(page + 1) + extension,
                 OverwriteAction::Replace}});
        job.documents.append(document);
    }
    job.combinedOutput = {outputFolder + QStringLiteral("Multipage.") + extension,
                          OverwriteAction::Replace};

    const ConversionResult result = convertPagesToImages(job);
    int failed = 0;
    for (const ConversionPageResult &page : result.pages)
        failed += page.outcome == PageOutcome::Failed;
    QTextStream(stdout) << result.pages.size() << " pages, " << failed << " failed\n";
    return result.success() ? 0 : 1;
}
