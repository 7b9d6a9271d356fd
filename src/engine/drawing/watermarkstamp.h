#pragma once

#include <QString>

#include <functional>

class QPDF;

// The stamping of an open document, shared by WatermarkPDF() and the preview. Internal to the
// engine.
namespace ventara::engine {

struct WatermarkSettings;

// Whether the application is a QGuiApplication (fonts need one); logs it when not.
bool haveGuiApplication();

// Stamps the selected pages of `pdf` with `settings`, then calls `write` while the watermark
// layer still lives (the pieces copied into `pdf` read their data from it when it is written).
// Returns false with `problem` set when the layer cannot be drawn (`pdf` is unchanged and
// `write` not called); otherwise what `write` returns. An image that cannot be read is left out
// and logged, not a problem. May throw qpdf's exceptions.
bool stampDocument(QPDF &pdf, const WatermarkSettings &settings, QString *problem,
                   const std::function<bool()> &write);

} // namespace ventara::engine
