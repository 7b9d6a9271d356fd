#pragma once

#include <QByteArray>
#include <QString>

namespace ventara::engine {

// Temporary files that an interrupted process must not leave behind.
//
// Once installInterruptCleanup() has run, a process ended by SIGINT (Ctrl-C), SIGTERM or
// SIGHUP first removes every TemporaryFile that exists at that moment, then ends as the
// signal would have ended it (the parent sees the signal in the exit status). Signals the
// process ignores when the handlers are installed (SIGHUP under nohup) stay ignored.
// Nothing can remove the files of a process killed with SIGKILL.
//
// Installs once per process; later calls do nothing. Thread-safe.
void installInterruptCleanup();

// A new, empty file `folder`/`prefix` + six random characters + `suffix`, created with mode
// 0600 without replacing anything. Until release() it is removed by the interrupt cleanup,
// and by the destructor. At most 1024 files are guarded at once (more are still created, and
// removed by the destructor, but an interruption would leave them); a path longer than 4095
// bytes is never guarded. Not copyable; thread-safe between objects.
//
// With Name::WhenPlaced the file has no name at all where the file system allows it
// (O_TMPFILE): path() is then "/proc/self/fd/N", which reopens it, and nothing is left to
// see even when the process is killed outright; it gets a name only in placeAt(). Elsewhere
// it is a named file as above.
class TemporaryFile {
public:
    enum class Name { Hidden, WhenPlaced };

    TemporaryFile(const QString &folder, const QString &prefix, const QString &suffix,
                  Name name = Name::Hidden);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    // Whether the file was created; when not, error() is the errno of the failure.
    bool isCreated() const { return !m_path.isEmpty(); }
    int error() const { return m_error; }

    QString path() const;
    const QByteArray &nativePath() const { return m_path; }

    // The file is no longer temporary (it was renamed into place) or no longer exists: it is
    // neither guarded nor removed any more.
    void release();

    // Puts the complete file at `target`, replacing what is there (the file's content and
    // mode as they are now), and releases it. Returns 0, or the errno of the failure (the
    // file then stays temporary).
    int placeAt(const QByteArray &target);

private:
    QByteArray m_path;
    QByteArray m_folder; // of an unnamed file, with the prefix and suffix of the names it takes
    QByteArray m_prefix;
    QByteArray m_suffix;
    int m_fd = -1; // an unnamed file's only handle
    int m_slot = -1;
    int m_error = 0;
};

// Holds back the interrupt cleanup while a file is overwritten in place (the content copied
// into an existing file), so that an interruption cannot leave it half old, half new: a
// signal arriving meanwhile takes effect when the last such object is destroyed.
class InterruptDeferral {
public:
    InterruptDeferral();
    ~InterruptDeferral();
    InterruptDeferral(const InterruptDeferral &) = delete;
    InterruptDeferral &operator=(const InterruptDeferral &) = delete;
};

// For the tests of interruptions only: with VENTARA_TEST_HOLD_WRITES naming a file, every
// atomic write creates that file once its temporary file is complete, then waits (up to a
// minute) before putting it in place, so that a test can interrupt it at that point.
void holdWriteForTests();

} // namespace ventara::engine
