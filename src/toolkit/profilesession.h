#pragma once

#include "toolkit/fieldtable.h"
#include "toolkit/userinterface.h"

#include <QObject>
#include <QString>

#include <optional>

namespace ventara::toolkit {

// What a ProfileSession needs from its window. Called on the session's thread.
class ProfileHost {
public:
    virtual ~ProfileHost() = default;

    // The window's settings now, built from the session's format.
    virtual FieldValues currentValues() const = 0;

    // Shows `values` in the controls without running their actions. A change signal that a
    // control emits meanwhile may still reach ProfileSession::markChanged(): it is ignored.
    virtual void applyValues(const FieldValues &values) = 0;

    // Puts every setting back to its default, empties the document list and clears the
    // preview (the window's ResetInterface).
    virtual void resetToDefaults() = 0;

    // After a load: re-derives which controls are enabled and refreshes the preview.
    virtual void refreshAfterLoad() = 0;
};

// The profile side of a tool window: the current profile file, the change mark and the
// window title, the profile commands (new, save, save as, load) and the questions before
// unsaved settings are lost (new, load, close, quit). It talks to the user through the
// UserInterface and to the window through its ProfileHost, and reports the title through
// titleChanged(). Profile files are written atomically: a failed save leaves the old file.
//
// The title is the base title, then " - " and the profile name when a profile has been
// saved or loaded, then "*" while settings have changed since the last save, load or new.
//
// A QObject used from the thread that owns it; it keeps no reference to a running job.
class ProfileSession : public QObject {
    Q_OBJECT

public:
    // `host` must outlive the session.
    ProfileSession(const ProfileFormat &format, ProfileHost &host, const UserInterface &ui,
                   QObject *parent = nullptr);

    const ProfileFormat &format() const { return m_format; }
    QString title() const;
    bool isChanged() const { return m_changed; }

    // The file "save" writes to; empty when the window has no profile yet. Set as soon as a
    // file is chosen in the save-as or load panel, even when writing or reading it then fails.
    QString currentProfilePath() const { return m_currentProfilePath; }

    // Stores the empty string under the format's save-as and load folder keys when absent.
    void createMissingDefaults();

    // Adds the change mark (once). Every settings action calls it after its own work; it is
    // ignored while the session applies a profile or the defaults.
    void markChanged();

    // The new-profile command: asks when settings are unsaved ("No" stops), then the defaults,
    // no profile file, no change mark. True when done.
    bool newProfile();

    // The save command: nothing when nothing changed; save as when there is no profile file;
    // otherwise writes the current file. True when a file was written.
    bool save();

    // The save-as command: the save panel (the format's extension and default name, started in
    // the remembered save-as folder), remembers the chosen folder, then writes the file. On a
    // failed write shows "Could not save profile." and keeps the change mark. True when written.
    bool saveAs();

    // The load command: asks when settings are unsaved, the open panel (one file of the
    // format's extension, started in the remembered load folder), remembers the folder and the
    // path, then reads the file. A file that cannot be read or does not decode shows "Could
    // not load profile." and changes no setting. True when loaded.
    bool load();

    // Whether the window may close / the application may quit: true when nothing is unsaved
    // or the user answers "Yes" to the question.
    bool confirmClose();
    bool confirmQuit();

    static QString discardQuestion(); // new, load
    static QString quitQuestion();
    static QString closeQuestion();
    static QString saveFailedText();
    static QString loadFailedText();

    // Reads the profile file at `path` over `current` (the same rules as load()), without any
    // panel or prompt, for the command line. nullopt with `error` set when it cannot be used.
    static std::optional<FieldValues> readProfileFile(const ProfileFormat &format,
                                                      const QString &path,
                                                      const FieldValues &current,
                                                      QString *error = nullptr);

    // Writes `values` as the profile file at `path`, atomically. False when the values hold a
    // text that a profile cannot store (a line break) or the file could not be written.
    static bool writeProfileFile(const ProfileFormat &format, const QString &path,
                                 const FieldValues &values);

Q_SIGNALS:
    void titleChanged(const QString &title);

private:
    bool writeCurrentProfile();
    void setState(const QString &titleProfilePath, bool changed);
    bool askBeforeDiscarding(const QString &question);

    ProfileFormat m_format;
    ProfileHost &m_host;
    UserInterface m_ui;
    QString m_currentProfilePath;
    QString m_titleProfilePath; // the profile whose name the title shows
    bool m_changed = false;
    bool m_applying = false;
};

} // namespace ventara::toolkit
