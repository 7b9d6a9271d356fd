#pragma once

#include "toolkit/fieldtable.h"
#include "toolkit/textnumber.h"

#include <QString>
#include <QStringList>
#include <QStringView>

// The split tool's settings: its field table and profile format ("vxs"), its defaults, the
// user-defaults keys of its window, and the logic of the window's settings actions, written
// without widgets so that the window, a profile file and the command line build the same
// value. Everything here is pure and thread-safe.
namespace ventara::tools::split {

// Field keys: the object names of the controls, in profile order.
inline constexpr QStringView kConsecutiveKey = u"radioConsecutivePageSplit";      // State
inline constexpr QStringView kPagesPerIntervalKey = u"textFieldPagesPerInterval"; // Text
inline constexpr QStringView kStepperKey = u"stepperPagesPerInterval";            // Float
inline constexpr QStringView kIntervalKey = u"radioIntervalSplit";                // State
inline constexpr QStringView kPageIntervalsKey = u"textFieldPagesIntervals";      // Text
inline constexpr QStringView kNamesKey = u"textFieldNames";                       // Text

// Limits and increment of the pages-per-file stepper.
inline constexpr double kStepperMinimum = 1;
inline constexpr double kStepperMaximum = 100000;
inline constexpr double kStepperIncrement = 1;

// The split profile: six values, base title "Split PDF Documents", extension "vxs".
const toolkit::ProfileFormat &profileFormat();

// User-defaults keys of the split window.
QString addFolderKey();         // "AddPDFSplitPath": folder of the add-documents panel
QString destinationFolderKey(); // "SplitPDFDestinationPath": output folder last chosen
// The four keys the window creates (empty) when they are absent.
QStringList userDefaultsKeys();

// The two ways of cutting a document.
enum class SplitMode {
    Consecutive, // chunks of a fixed number of pages
    Interval,    // the ranges of the page-interval text
    None,        // neither radio on (only a hand-edited profile can say so): documents skipped
};

// The number typed into the pages-per-file field, as a text field reads it.
using toolkit::floatValue;

// The text the field shows for a stepper value: plain decimal, no trailing ".0" ("3",
// "2.5").
QString textForStepperValue(float value);

// The split tool's settings value: the six profile fields plus the output folder, which is
// not part of a profile. A plain copyable value; the run takes a copy as its snapshot.
class SplitSettings {
public:
    SplitSettings(); // the window's defaults: consecutive mode, 1 page per file

    toolkit::FieldValues fields;
    QString folder; // the output folder exactly as chosen; empty when none

    int consecutiveState() const { return fields.state(kConsecutiveKey); }
    int intervalState() const { return fields.state(kIntervalKey); }
    QString pagesPerIntervalText() const { return fields.text(kPagesPerIntervalKey); }
    float stepperValue() const { return fields.number(kStepperKey); }
    QString pageIntervals() const { return fields.text(kPageIntervalsKey); }
    QString names() const { return fields.text(kNamesKey); }

    // Consecutive when the consecutive radio's state is 1, else interval when the interval
    // radio's state is 1, else none.
    SplitMode mode() const;

    // The pages-per-file value as the run reads it: floatValue() of the field's text (the
    // stepper only mirrors it).
    float pagesPerChunkValue() const { return floatValue(pagesPerIntervalText()); }

    // --- The window's settings actions, without widgets ------------------------------------

    // The consecutive radio was chosen: the interval radio goes off and the name template
    // becomes "[FileName](Page[IntervalIndex])", whatever was typed before.
    void selectConsecutiveMode();
    // The interval radio was chosen: the consecutive radio goes off and the name template
    // becomes "[FileName]([IntervalStart]-[IntervalEnd])".
    void selectIntervalMode();

    // The pages-per-file text was edited: the text is kept as typed and the stepper takes
    // its floatValue(), held within the stepper's limits.
    void setPagesPerIntervalText(const QString &text);
    // The stepper was moved: the stepper takes `value` (held within its limits) and the text
    // field shows it (textForStepperValue()).
    void setStepperValue(float value);

    void setPageIntervals(const QString &text) { fields.setText(kPageIntervalsKey, text); }
    void setNames(const QString &text) { fields.setText(kNamesKey, text); }

    friend bool operator==(const SplitSettings &, const SplitSettings &) = default;
};

} // namespace ventara::tools::split
