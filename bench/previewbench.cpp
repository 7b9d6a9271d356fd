// Benchmark helper for bench/preview.sh: how long a page preview takes to appear once the
// debounce has fired, measured as a window sees it: from PreviewController::refresh() (what
// the debounce timer calls) to the imageChanged() signal on the GUI thread.
//
//   ventara-preview-bench RUNS FILE:PAGE...
//
// Prints, per page, the first refresh (the renderer's fonts and caches still cold) and the
// median and slowest of the RUNS refreshes after it, in milliseconds.

#include "toolkit/preview/previewcontroller.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

using ventara::toolkit::PreviewController;

namespace {

// One refresh of `controller`'s current page, in milliseconds; -1 when no image came.
double timedRefresh(PreviewController &controller) {
    QEventLoop loop;
    bool shown = false;
    const auto connection =
        QObject::connect(&controller, &PreviewController::refreshed, &loop, [&] {
            shown = true;
            loop.quit();
        });
    QElapsedTimer timer;
    timer.start();
    controller.refresh();
    if (controller.isBuilding())
        loop.exec();
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    QObject::disconnect(connection);
    return shown && controller.hasImage() ? elapsed : -1;
}

} // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    bool numeric = false;
    const int runs = arguments.value(0).toInt(&numeric);
    if (arguments.size() < 2 || !numeric || runs < 1) {
        std::fprintf(stderr, "usage: ventara-preview-bench RUNS FILE:PAGE...\n");
        return 2;
    }
    QTextStream out(stdout);
    for (const QString &argument : arguments.mid(1)) {
        const qsizetype colon = argument.lastIndexOf(u':');
        const QString file = QFileInfo(argument.left(colon)).absoluteFilePath();
        const int page = argument.mid(colon + 1).toInt();
        PreviewController controller(PreviewController::Variant::Convert);
        controller.setImageBuilder(PreviewController::renderedPageBuilder());
        controller.selectDocument(file);
        for (int i = 1; i < page; ++i)
            controller.nextPage();
        if (controller.page() != page) {
            std::fprintf(stderr, "%s: no page %d\n", qPrintable(file), page);
            return 1;
        }
        const double first = timedRefresh(controller);
        std::vector<double> times;
        for (int i = 0; i < runs && first >= 0; ++i)
            times.push_back(timedRefresh(controller));
        if (first < 0 || std::count(times.begin(), times.end(), -1.0) > 0) {
            std::fprintf(stderr, "%s: page %d could not be previewed\n", qPrintable(file), page);
            return 1;
        }
        std::sort(times.begin(), times.end());
        const QImage image = controller.image();
        out << QFileInfo(file).fileName() << u':' << page << u'\t' << image.width() << u'x'
            << image.height() << u'\t' << QString::number(first, 'f', 1) << u'\t'
            << QString::number(times[times.size() / 2], 'f', 1) << u'\t'
            << QString::number(times.back(), 'f', 1) << Qt::endl;
    }
    return 0;
}
