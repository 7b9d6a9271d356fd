#include "profilesession.h"

#include "engine/pdf/atomicfile.h"
#include "toolkit/profilecodec.h"

#include <QFile>

namespace ventara::toolkit {

namespace {

// Marks the session as applying settings for the lifetime of the guard.
class ApplyingGuard {
public:
    explicit ApplyingGuard(bool &flag)
        : m_flag(flag)
        , m_old(flag) {
        m_flag = true;
    }
    ~ApplyingGuard() { m_flag = m_old; }
    ApplyingGuard(const ApplyingGuard &) = delete;
    ApplyingGuard &operator=(const ApplyingGuard &) = delete;

private:
    bool &m_flag;
    bool m_old;
};

void logError(const QString &message) {
    qWarning("Error: %s", qPrintable(message));
}

} // namespace

ProfileSession::ProfileSession(const ProfileFormat &format, ProfileHost &host,
                               const UserInterface &ui, QObject *parent)
    : QObject(parent)
    , m_format(format)
    , m_host(host)
    , m_ui(ui) {}

QString ProfileSession::discardQuestion() {
    return QStringLiteral("You have unsaved changes that will be lost. Continue?");
}

QString ProfileSession::quitQuestion() {
    return QStringLiteral("You have unsaved changes that will be lost. Are you sure you want to "
                          "exit the application?");
}

QString ProfileSession::closeQuestion() {
    return QStringLiteral("You have unsaved changes that will be lost. Are you sure you want to "
                          "close the window?");
}

QString ProfileSession::saveFailedText() {
    return QStringLiteral("Could not save profile.");
}

QString ProfileSession::loadFailedText() {
    return QStringLiteral("Could not load profile.");
}

QString ProfileSession::title() const {
    return profileWindowTitle(m_format, m_titleProfilePath, m_changed);
}

void ProfileSession::createMissingDefaults() {
    m_ui.defaults->createMissingKeys({m_format.saveAsFolderKey, m_format.loadFolderKey});
}

void ProfileSession::setState(const QString &titleProfilePath, bool changed) {
    const QString before = title();
    m_titleProfilePath = titleProfilePath;
    m_changed = changed;
    const QString after = title();
    if (after != before)
        Q_EMIT titleChanged(after);
}

void ProfileSession::markChanged() {
    if (!m_applying && !m_changed)
        setState(m_titleProfilePath, true);
}

bool ProfileSession::askBeforeDiscarding(const QString &question) {
    return !m_changed || askYesNo(*m_ui.prompts, question);
}

bool ProfileSession::confirmClose() {
    return askBeforeDiscarding(closeQuestion());
}

bool ProfileSession::confirmQuit() {
    return askBeforeDiscarding(quitQuestion());
}

bool ProfileSession::newProfile() {
    if (!askBeforeDiscarding(discardQuestion()))
        return false;
    {
        const ApplyingGuard guard(m_applying);
        m_host.resetToDefaults();
    }
    m_currentProfilePath.clear();
    setState(QString(), false);
    return true;
}

bool ProfileSession::save() {
    if (!m_changed)
        return false;
    if (m_currentProfilePath.isEmpty())
        return saveAs();
    return writeCurrentProfile();
}

bool ProfileSession::saveAs() {
    FilePanels::SaveFileRequest request;
    request.startFolder = m_ui.defaults->stringValue(m_format.saveAsFolderKey);
    request.proposedName = m_format.defaultFileName();
    request.extension = m_format.extension;
    request.title =
        QStringLiteral("Save ") + m_format.profileKindName() + QStringLiteral(" Profile");
    request.fileTypeName = m_format.profileKindName() + QStringLiteral(" profiles");
    const std::optional<QString> chosen = m_ui.panels->saveFile(request);
    if (!chosen || chosen->isEmpty())
        return false;
    m_currentProfilePath = *chosen;
    m_ui.defaults->setValue(m_format.saveAsFolderKey, folderOfFile(*chosen));
    return writeCurrentProfile();
}

bool ProfileSession::writeCurrentProfile() {
    // The old file is replaced only by a complete new one, never removed first.
    if (!writeProfileFile(m_format, m_currentProfilePath, m_host.currentValues())) {
        m_ui.prompts->alert(saveFailedText());
        return false;
    }
    setState(m_currentProfilePath, false);
    return true;
}

bool ProfileSession::load() {
    if (!askBeforeDiscarding(discardQuestion()))
        return false;
    FilePanels::OpenFilesRequest request;
    request.startFolder = m_ui.defaults->stringValue(m_format.loadFolderKey);
    request.extensions = {m_format.extension};
    request.multiple = false;
    request.title =
        QStringLiteral("Load ") + m_format.profileKindName() + QStringLiteral(" Profile");
    request.fileTypeName = m_format.profileKindName() + QStringLiteral(" profiles");
    const std::optional<QStringList> chosen = m_ui.panels->openFiles(request);
    if (!chosen || chosen->isEmpty() || chosen->first().isEmpty())
        return false;
    const QString path = chosen->first();
    m_ui.defaults->setValue(m_format.loadFolderKey, folderOfFile(path));
    m_currentProfilePath = path;

    QString error;
    const std::optional<FieldValues> values =
        readProfileFile(m_format, path, m_host.currentValues(), &error);
    if (!values) {
        logError(path + QStringLiteral(": ") + error);
        m_ui.prompts->alert(loadFailedText());
        return false;
    }
    {
        const ApplyingGuard guard(m_applying);
        m_host.applyValues(*values);
        m_host.refreshAfterLoad();
    }
    setState(path, false);
    return true;
}

std::optional<FieldValues> ProfileSession::readProfileFile(const ProfileFormat &format,
                                                           const QString &path,
                                                           const FieldValues &current,
                                                           QString *error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    if (file.size() > kMaxProfileSize) {
        if (error)
            *error = QStringLiteral("the file is too large for a profile");
        return std::nullopt;
    }
    const QByteArray bytes = file.read(kMaxProfileSize + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > kMaxProfileSize) {
        if (error)
            *error = file.error() != QFileDevice::NoError
                         ? file.errorString()
                         : QStringLiteral("the file is too large for a profile");
        return std::nullopt;
    }
    return decodeProfile(format, bytes, current, error);
}

bool ProfileSession::writeProfileFile(const ProfileFormat &format, const QString &path,
                                      const FieldValues &values) {
    const QByteArray bytes = encodeProfile(format, values);
    if (bytes.isEmpty() && !values.fields().isEmpty())
        return false;
    return engine::writeFileAtomically(path, bytes);
}

} // namespace ventara::toolkit
