#include "engine/drawing/watermarkfonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>

#include <algorithm>

namespace ventara::engine {

namespace {

// Names that fontconfig matches badly, with the families that stand in for them, best first.
struct Substitute {
    const char *name;
    std::initializer_list<const char *> families;
    QFont::Weight weight;
};

const Substitute kSubstitutes[] = {
    // A heavy condensed sans; fontconfig picks the dingbats of URW.
    {"Impact",
     {"Nimbus Sans Narrow", "Liberation Sans Narrow", "DejaVu Sans Condensed"},
     QFont::Bold},
    // A rounded upright sans; fontconfig picks Zapf Chancery's italic.
    {"Comic Sans MS", {"Comic Neue", "DejaVu Sans"}, QFont::Normal},
    // Monospaced faces; fontconfig picks a proportional sans.
    {"Monaco", {"DejaVu Sans Mono", "Liberation Mono", "Nimbus Mono PS"}, QFont::Normal},
    {"Menlo", {"DejaVu Sans Mono", "Liberation Mono", "Nimbus Mono PS"}, QFont::Normal},
    // A typewriter face; fontconfig picks a plain sans.
    {"American Typewriter",
     {"Nimbus Mono PS", "Liberation Mono", "DejaVu Sans Mono"},
     QFont::Normal},
    // A serif face; fontconfig picks a plain sans.
    {"Didot", {"C059", "Nimbus Roman", "DejaVu Serif"}, QFont::Normal},
    // A geometric sans; fontconfig picks a humanist one.
    {"Futura", {"URW Gothic", "DejaVu Sans"}, QFont::Normal},
};

const char kDefaultFamily[] = "DejaVu Sans";

QString withoutFoundry(const QString &family) {
    const qsizetype bracket = family.indexOf(QLatin1String(" ["));
    return bracket > 0 && family.endsWith(u']') ? family.left(bracket) : family;
}

bool isSymbolFont(const QString &family) {
    return QFontDatabase::writingSystems(family).contains(QFontDatabase::Symbol);
}

FontSubstitution resolve(const QString &name) {
    FontSubstitution result;
    result.requested = name;
    if (const QString installed = installedFontFamily(name); !installed.isEmpty()) {
        result.family = installed;
        return result;
    }
    result.substituted = true;
    for (const Substitute &entry : kSubstitutes) {
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) != 0)
            continue;
        for (const char *candidate : entry.families) {
            const QString installed = installedFontFamily(QLatin1String(candidate));
            if (!installed.isEmpty()) {
                result.family = installed;
                result.weight = entry.weight;
                return result;
            }
        }
    }
    // fontconfig's match, unless it is a symbol font (which would draw the text as dingbats).
    if (!name.isEmpty()) {
        const QString matched = withoutFoundry(QFontInfo(QFont(name)).family());
        if (!matched.isEmpty() && !isSymbolFont(matched)) {
            result.family = matched;
            return result;
        }
    }
    result.family = installedFontFamily(QLatin1String(kDefaultFamily));
    if (result.family.isEmpty())
        result.family =
            withoutFoundry(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    return result;
}

} // namespace

QString FontSubstitution::description() const {
    return weight >= QFont::Bold ? family + QStringLiteral(" (bold)") : family;
}

QStringList installedFontFamilies() {
    QStringList families;
    for (const QString &family : QFontDatabase::families())
        families << withoutFoundry(family);
    families.removeDuplicates();
    std::sort(families.begin(), families.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return families;
}

QString installedFontFamily(const QString &name) {
    const QString wanted = withoutFoundry(name.trimmed());
    if (wanted.isEmpty())
        return {};
    for (const QString &family : QFontDatabase::families()) {
        if (withoutFoundry(family).compare(wanted, Qt::CaseInsensitive) == 0)
            return withoutFoundry(family);
    }
    return {};
}

FontSubstitution watermarkFontSubstitution(const QString &name) {
    // The font database does not change while the program runs (no fonts are added).
    static QMutex mutex;
    static QHash<QString, FontSubstitution> known;
    QMutexLocker lock(&mutex);
    const auto found = known.constFind(name);
    if (found != known.cend())
        return found.value();
    const FontSubstitution result = resolve(name);
    known.insert(name, result);
    return result;
}

QFont watermarkFont(const QString &name, double pointSize) {
    const FontSubstitution substitution = watermarkFontSubstitution(name);
    QFont font(substitution.family);
    font.setWeight(substitution.weight);
    font.setPointSizeF(pointSize > 0 ? pointSize : 1);
    // Outlines as designed: the PDF carries the font, a viewer hints it for its own screen.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);
    return font;
}

} // namespace ventara::engine
