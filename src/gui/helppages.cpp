#include "helppages.h"

#include "engine/pdf/atomicfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace ventara::gui {

namespace {

QString resourceFolder() {
    return QStringLiteral(":/help");
}

// Copies every resource help file (pages, style sheet, images) into the cache folder, so
// that links between the pages work. Files already there with the same content stay.
bool extractResources(const QString &target) {
    if (!QDir().mkpath(target))
        return false;
    bool ok = true;
    QDirIterator it(resourceFolder(), QDir::Files);
    while (it.hasNext()) {
        const QString source = it.next();
        QFile in(source);
        if (!in.open(QIODevice::ReadOnly)) {
            ok = false;
            continue;
        }
        const QByteArray content = in.readAll();
        const QString destination = target + u'/' + QFileInfo(source).fileName();
        QFile existing(destination);
        if (existing.open(QIODevice::ReadOnly) && existing.readAll() == content)
            continue;
        ok = engine::writeFileAtomically(destination, content) && ok;
    }
    return ok;
}

} // namespace

QString HelpPages::cacheFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
           QStringLiteral("/help");
}

QUrl HelpPages::url(const QString &page) {
    const QString beside = QCoreApplication::applicationDirPath() +
                           QStringLiteral("/" VENTARA_DATA_FROM_BIN "/help/") + page;
    if (QFileInfo(beside).isFile())
        return QUrl::fromLocalFile(QFileInfo(beside).canonicalFilePath());

    const QString installed = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                                     QStringLiteral("ventara/help/") + page);
    if (!installed.isEmpty())
        return QUrl::fromLocalFile(installed);

    if (QFileInfo::exists(resourceFolder() + u'/' + page)) {
        const QString folder = cacheFolder();
        const QString copy = folder + u'/' + page;
        if (extractResources(folder) || QFileInfo(copy).isFile())
            return QUrl::fromLocalFile(copy);
    }
    return {};
}

} // namespace ventara::gui
