#include "engine/pdf/temporaryfiles.h"

#include <QFile>
#include <QRandomGenerator>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace ventara::engine {

namespace {

// The guarded paths, in fixed storage that the signal handler can read without allocating
// or locking. A slot is free (0), being filled (1) or guarding its path (2).
constexpr int kSlots = 1024;
constexpr size_t kPathBytes = 4096;
std::atomic<int> g_slotStates[kSlots];
char g_slotPaths[kSlots][kPathBytes];

std::atomic<int> g_deferrals{0};
std::atomic<int> g_pendingSignal{0};

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

int guard(const QByteArray &path) {
    if (path.size() >= qsizetype(kPathBytes))
        return -1;
    for (int slot = 0; slot < kSlots; ++slot) {
        int expected = 0;
        if (!g_slotStates[slot].compare_exchange_strong(expected, 1))
            continue;
        std::memcpy(g_slotPaths[slot], path.constData(), size_t(path.size()) + 1);
        g_slotStates[slot].store(2);
        return slot;
    }
    return -1;
}

void unguard(int slot) {
    if (slot >= 0)
        g_slotStates[slot].store(0);
}

// Async-signal-safe: atomics, unlink(), signal() and raise() only.
void removeGuardedFiles() {
    for (int slot = 0; slot < kSlots; ++slot) {
        if (g_slotStates[slot].load() == 2)
            ::unlink(g_slotPaths[slot]);
    }
}

[[noreturn]] void endBySignal(int signal) {
    removeGuardedFiles();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    // The signal is blocked while its handler runs: it ends the process once this returns to
    // the kernel; outside a handler raise() has already ended it.
    ::_exit(128 + signal);
}

extern "C" void onInterrupt(int signal) {
    const int savedErrno = errno;
    // Stored before the deferrals are read: an InterruptDeferral ending meanwhile sees it.
    g_pendingSignal.store(signal);
    if (g_deferrals.load() > 0) {
        errno = savedErrno;
        return;
    }
    removeGuardedFiles();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    errno = savedErrno;
}

} // namespace

void installInterruptCleanup() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const int signal : kSignals) {
            struct sigaction current {};
            if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
                continue;
            struct sigaction action {};
            action.sa_handler = onInterrupt;
            sigemptyset(&action.sa_mask);
            for (const int other : kSignals)
                sigaddset(&action.sa_mask, other);
            action.sa_flags = SA_RESTART;
            ::sigaction(signal, &action, nullptr);
        }
    });
}

TemporaryFile::TemporaryFile(const QString &folder, const QString &prefix, const QString &suffix,
                             Name name) {
    const QByteArray end = QFile::encodeName(suffix);
    if (name == Name::WhenPlaced) {
        m_folder = QFile::encodeName(folder);
        m_fd = ::open(m_folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        const QByteArray reopened = "/proc/self/fd/" + QByteArray::number(m_fd);
        if (m_fd >= 0 && ::access(reopened.constData(), W_OK) == 0) {
            m_path = reopened;
            m_prefix = QFile::encodeName(prefix);
            m_suffix = end;
            return;
        }
        // The file system has no unnamed files (or /proc is missing): a named one.
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    QByteArray pattern =
        QFile::encodeName(folder) + '/' + QFile::encodeName(prefix) + "XXXXXX" + end;
    const int fd = ::mkostemps(pattern.data(), int(end.size()), O_CLOEXEC);
    if (fd < 0) {
        m_error = errno;
        return;
    }
    m_path = pattern;
    m_slot = guard(m_path);
    ::close(fd);
}

TemporaryFile::~TemporaryFile() {
    if (m_fd >= 0)
        ::close(m_fd); // an unnamed file ends with its last handle
    else if (!m_path.isEmpty())
        ::unlink(m_path.constData());
    unguard(m_slot);
}

QString TemporaryFile::path() const {
    return QFile::decodeName(m_path);
}

void TemporaryFile::release() {
    unguard(m_slot);
    m_slot = -1;
    m_path.clear();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

int TemporaryFile::placeAt(const QByteArray &target) {
    if (m_path.isEmpty())
        return ENOENT;
    if (m_fd < 0) {
        if (std::rename(m_path.constData(), target.constData()) != 0)
            return errno;
        release();
        return 0;
    }
    // A new file gets its name at once; one that replaces a file is linked under a hidden
    // name first (link() never replaces), guarded meanwhile, then renamed over it.
    if (::linkat(AT_FDCWD, m_path.constData(), AT_FDCWD, target.constData(), AT_SYMLINK_FOLLOW) ==
        0) {
        release();
        return 0;
    }
    if (errno != EEXIST)
        return errno;
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = m_folder + '/' + m_prefix;
        for (int i = 0; i < 6; ++i)
            name += letters[QRandomGenerator::global()->bounded(int(sizeof letters) - 1)];
        name += m_suffix;
        const int slot = guard(name);
        if (::linkat(AT_FDCWD, m_path.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) !=
            0) {
            const int error = errno;
            unguard(slot);
            if (error == EEXIST)
                continue;
            return error;
        }
        const int error = std::rename(name.constData(), target.constData()) == 0 ? 0 : errno;
        if (error != 0)
            ::unlink(name.constData());
        unguard(slot);
        if (error == 0)
            release();
        return error;
    }
    return EEXIST;
}

InterruptDeferral::InterruptDeferral() {
    g_deferrals.fetch_add(1);
}

InterruptDeferral::~InterruptDeferral() {
    if (g_deferrals.fetch_sub(1) == 1) {
        if (const int signal = g_pendingSignal.exchange(0); signal != 0)
            endBySignal(signal);
    }
}

void holdWriteForTests() {
    static const QByteArray marker = qgetenv("VENTARA_TEST_HOLD_WRITES");
    if (marker.isEmpty())
        return;
    const int fd = ::open(marker.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
    for (int second = 0; second < 60; ++second)
        ::sleep(1);
}

} // namespace ventara::engine
