#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

// The fonts that draw watermark text. A family name (one of the watermark tool's list, such as
// "Arial" or "Impact", or any other) is drawn with the family itself when it is installed;
// otherwise with a similar installed family: first from a small table of our own for the names
// that fontconfig matches badly (Impact would become a dingbat font, Comic Sans MS a
// calligraphic italic, Monaco and Menlo a proportional font, serif and typewriter faces a plain
// sans), then fontconfig's own match, never a symbol font. Text in scripts the family lacks is
// drawn with fontconfig's fallback fonts glyph by glyph (CJK text included, with the CJK font
// of the setup).
//
// Needs a QGuiApplication (the font database); thread-safe once it exists.
namespace ventara::engine {

// What draws a family name.
struct FontSubstitution {
    QString requested; // the name asked for
    QString family;    // the installed family that draws it
    QFont::Weight weight = QFont::Normal;
    bool substituted = false; // true when `family` is not the requested family itself

    // "Liberation Sans" or "Liberation Sans (bold)": how the window names it.
    QString description() const;
};

// The installed family that draws `name` (an empty name gives the default sans-serif family).
FontSubstitution watermarkFontSubstitution(const QString &name);

// A font of `name` (through watermarkFontSubstitution()) at `pointSize` points, unhinted, as it
// is embedded in PDF files.
QFont watermarkFont(const QString &name, double pointSize);

// The installed font families, without foundry suffixes (so "Nimbus Sans [urw]" and
// "Nimbus Sans [UKWN]" are one "Nimbus Sans"), sorted, each once.
QStringList installedFontFamilies();

// The installed family of that name, compared without regard to case and foundry suffix; empty
// when none is installed.
QString installedFontFamily(const QString &name);

} // namespace ventara::engine
