#include "toolkit/displaycheck.h"

#include <QByteArray>
#include <QStringList>
#include <QtGlobal>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace ventara::toolkit {

namespace {

enum class Answer { Yes, No, Unknown };

// Connects to the Unix socket `name` (a leading '\0' makes it an abstract one) without
// waiting: a listening server takes the connection or puts it in its queue.
Answer connects(const QByteArray &name) {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (name.isEmpty() || std::size_t(name.size()) > sizeof(address.sun_path))
        return Answer::Unknown;
    std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
    const int handle = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (handle < 0)
        return Answer::Unknown;
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + std::size_t(name.size()));
    const int result = ::connect(handle, reinterpret_cast<const sockaddr *>(&address), length);
    const int error = errno;
    ::close(handle);
    // EAGAIN: the server's queue is full, it is there.
    if (result == 0 || error == EAGAIN || error == EINPROGRESS)
        return Answer::Yes;
    return Answer::No;
}

// Whether the X server of `display` ("[host]:number[.screen]") answers: the socket of a local
// display, abstract (as Xorg and Xwayland make it) or in /tmp/.X11-unix. Unknown for a display
// on another host or one that does not parse.
Answer xServerAnswers(const QString &display) {
    const qsizetype colon = display.lastIndexOf(u':');
    if (colon < 0)
        return Answer::Unknown;
    const QString host = display.left(colon);
    if (!host.isEmpty() && host != u"unix")
        return Answer::Unknown;
    const QString number = display.mid(colon + 1).section(u'.', 0, 0);
    bool isNumber = false;
    number.toUInt(&isNumber);
    if (!isNumber)
        return Answer::Unknown;
    const QByteArray path = "/tmp/.X11-unix/X" + number.toLatin1();
    if (connects(QByteArray(1, '\0') + path) == Answer::Yes)
        return Answer::Yes;
    return connects(path);
}

// Whether the Wayland compositor of `display` (a socket name or absolute path) answers.
Answer waylandAnswers(const QString &display) {
    QByteArray path = display.toLocal8Bit();
    if (!display.startsWith(u'/')) {
        const QByteArray folder = qgetenv("XDG_RUNTIME_DIR");
        if (folder.isEmpty())
            return Answer::No; // the compositor's library looks nowhere else
        path = folder + '/' + path;
    }
    return connects(path);
}

} // namespace

QString missingDisplayReason() {
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    bool wantsX = platform.isEmpty();
    bool wantsWayland = platform.isEmpty();
    // A list of platforms ("wayland;xcb") is tried in order; options follow a colon.
    for (const QString &entry : platform.split(u';', Qt::SkipEmptyParts)) {
        const QString name = entry.section(u':', 0, 0).trimmed();
        if (name == u"xcb")
            wantsX = true;
        else if (name.startsWith(u"wayland"))
            wantsWayland = true;
        else if (!name.isEmpty())
            return {}; // offscreen, minimal, vnc, eglfs...: nothing to connect to here
    }

    const QString x = qEnvironmentVariable("DISPLAY");
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    QStringList silent;
    if (wantsWayland && !wayland.isEmpty()) {
        if (waylandAnswers(wayland) != Answer::No)
            return {};
        silent << QStringLiteral("no Wayland compositor answers at WAYLAND_DISPLAY \"%1\"")
                      .arg(wayland);
    }
    if (wantsX && !x.isEmpty()) {
        if (xServerAnswers(x) != Answer::No)
            return {};
        silent << QStringLiteral("no X server answers at DISPLAY \"%1\"").arg(x);
    }
    if (!silent.isEmpty())
        return QStringLiteral("no display to show the window on (%1)")
            .arg(silent.join(QStringLiteral("; ")));
    if (platform.isEmpty())
        return QStringLiteral("no display to show the window on (DISPLAY and WAYLAND_DISPLAY "
                              "are not set)");
    return QStringLiteral("no display to show the window on (QT_QPA_PLATFORM is \"%1\", but %2 "
                          "is not set)")
        .arg(platform, wantsX ? QStringLiteral("DISPLAY") : QStringLiteral("WAYLAND_DISPLAY"));
}

} // namespace ventara::toolkit
