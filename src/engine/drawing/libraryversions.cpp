#include "engine/drawing/libraryversions.h"

#include <QRegularExpression>
#include <QtGlobal>

#include <cstdio>
#include <gif_lib.h>
#include <jpeglib.h>
#include <libdeflate.h>
#include <openjpeg.h>
#include <poppler.h>
#include <qpdf/qpdf-c.h>
#include <tiffio.h>

#define VENTARA_TEXT(x) #x
#define VENTARA_EXPANDED_TEXT(x) VENTARA_TEXT(x)

namespace ventara::engine {

namespace {

// "LIBTIFF, Version 4.5.0\nCopyright ..." gives "4.5.0".
QString tiffVersion() {
    const QString text = QString::fromLatin1(TIFFGetVersion());
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("Version ([0-9][0-9.]*)")).match(text);
    return match.hasMatch() ? match.captured(1) : text.section(u'\n', 0, 0);
}

} // namespace

QList<LibraryVersion> libraryVersions() {
    return {
        {QStringLiteral("Qt"), QString::fromLatin1(qVersion())},
        {QStringLiteral("qpdf"), QString::fromLatin1(qpdf_get_qpdf_version())},
        {QStringLiteral("poppler"), QString::fromLatin1(poppler_get_version())},
        {QStringLiteral("libjpeg-turbo"),
         QStringLiteral(VENTARA_EXPANDED_TEXT(LIBJPEG_TURBO_VERSION))},
        {QStringLiteral("libdeflate"), QStringLiteral(LIBDEFLATE_VERSION_STRING)},
        {QStringLiteral("libtiff"), tiffVersion()},
        {QStringLiteral("giflib"),
         QStringLiteral("%1.%2.%3").arg(GIFLIB_MAJOR).arg(GIFLIB_MINOR).arg(GIFLIB_RELEASE)},
        {QStringLiteral("OpenJPEG"), QString::fromLatin1(opj_version())},
    };
}

} // namespace ventara::engine
