#pragma once

#include "engine/drawing/imageformat.h"
#include "toolkit/textnumber.h"
#include "tools/convert/convertsettings.h"

#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <optional>

// The convert window's numeric fields and labels, without widgets: the validation table the
// text fields go through when editing ends, the upright box, the image-size and print-size
// labels, the DPI that a print size gives, and the previewed page's output name. The window
// calls these and copies the results into its controls. All functions are pure and
// thread-safe.
namespace ventara::tools::convert {

// The text fields that are validated when editing ends.
enum class ValidatedField {
    Quality,     // textFieldQuality: whole number 1 to 100, else "80"
    Percent,     // textFieldPercentOfSourcePDF: whole number 0 to 1000, else "100"
    Width,       // textFieldWidth: whole number 0 to 10000, else the previous text
    Height,      // textFieldHeight: as Width
    Dpi,         // textFieldDPI: whole number 1 to 1000000, else the previous text
    PrintWidth,  // textFieldPrintWidth: number 0.01 to 9999 (inches), else the previous text
    PrintHeight, // textFieldPrintHeight: as PrintWidth
};

// One row of the validation table.
struct FieldRule {
    ValidatedField field;
    QString key;         // the control's object name
    bool wholeNumber;    // true: sign and digits only; false: any decimal number
    QString fallback;    // the text for an entry that is not such a number; empty: restore
    double minimum;      // below it the text becomes minimumText
    double maximum;      // above it the text becomes maximumText
    QString minimumText; // "1", "0", "0.01"
    QString maximumText; // "100", "1000", "10000", "1000000", "9999"
};

// The validation table, one row per ValidatedField in enum order.
const QList<FieldRule> &validationTable();
const FieldRule &fieldRule(ValidatedField field);

// The number parsers the validation uses (toolkit/textnumber.h).
using toolkit::numberValue;
using toolkit::wholeNumberValue;

// The text a field keeps when editing ends: `typed` when it is a number of the field's kind
// within its limits (unchanged, so "00" stays "00"); the limit's text when it lies outside
// them; otherwise the fallback, or `previous` (the field's last accepted text) for the fields
// that restore. A field counts as changed only when this result differs from `previous`.
QString validatedText(ValidatedField field, const QString &typed, const QString &previous);

// The box width and height texts after a valid edit of one of them while a page with a
// positive size is previewed: when the width's value is then greater than the height's, an
// edit of the width copies the width into the height, and an edit of the height copies the
// height into the width, so the box is always entered upright. Otherwise both unchanged.
struct BoxTexts {
    QString width;
    QString height;
    friend bool operator==(const BoxTexts &, const BoxTexts &) = default;
};
BoxTexts uprightBox(const QString &width, const QString &height, bool widthEdited);

// The labels that follow the previewed page: after a preview refresh, a change of the size
// rule and a change of the DPI.
struct ImageLabels {
    engine::PixelSize size;    // the window's `width` and `height`; 0 x 0 without a page size
    QString dimensions;        // labelImageDimensions: "612 x 792", or "0 x 0"
    QString printWidth;        // textFieldPrintWidth: size / DPI in inches, "%.2f", or "0"
    QString printHeight;       // textFieldPrintHeight
    double printWidthStepper;  // stepperPrintWidth: the print width in hundredths, or 0
    double printHeightStepper; // stepperPrintHeight
};

// The labels for a page of displayed size `pageSize` (points) under the settings' size rule
// and DPI (ConvertSettings::sizeRule(), dpi()). A size that is not positive in both
// directions gives "0 x 0" and print sizes "0".
ImageLabels imageLabels(QSizeF pageSize, const ConvertSettings &settings);

// What an edit of a print dimension changes.
struct PrintSizeChange {
    QString dpi;        // textFieldDPI and stepperDPI ("%.0f"); unchanged without a size
    QString printWidth; // both print fields; "0" without a size
    QString printHeight;
};

// A print dimension was edited (its text already validated). With an output size above 0 in
// both directions and a preview image of positive size, the DPI becomes the output width /
// print width (or height / print height), "%.0f", held within 1 to 1000000, and the other
// print dimension follows the preview's aspect ratio, "%.2f"; the edited text stays as it is.
// Without them, both print fields become "0" and the DPI stays `currentDpi`. The pixel size
// never follows the print size.
PrintSizeChange printSizeChanged(bool widthEdited, const QString &editedText,
                                 engine::PixelSize size, QSizeF previewSize,
                                 const QString &currentDpi);

// The stepper value of a print text: its value in hundredths of an inch (0 for "0" or a text
// that is not a number).
double printStepperValue(const QString &printText);
// The print text a print stepper's value (hundredths of an inch) gives: inches, "%.2f".
QString printTextForStepper(double hundredths);

// The output path that page `pageIndex` (0-based) of document `pdfIndex` (0-based) of
// `documents`, a document of `pageCount` pages, gets in the settings' output mode: one image
// per page, one file per document or one file for all documents (nametemplates.h). Empty when
// the index is outside the list.
QString outputPathFor(const ConvertSettings &settings, const QStringList &documents, int pdfIndex,
                      int pageIndex, qint64 pageCount);

// labelImageName: the file name (last path component) of the output of the previewed page,
// page `previewPage` (1-based) of document `pdfIndex` whose page count is `pageCount`; empty
// when no document is previewed (`pdfIndex` outside the list).
QString labelImageName(const ConvertSettings &settings, const QStringList &documents, int pdfIndex,
                       int previewPage, qint64 pageCount);

} // namespace ventara::tools::convert
