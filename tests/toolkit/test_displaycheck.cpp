#include "toolkit/displaycheck.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

// Which sessions can show a window, with display servers played by listening sockets.
class TestDisplayCheck : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QList<int> m_sockets;
    int m_display = 0; // an X display number served by an abstract socket of this test

    bool listen(const QByteArray &name) {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
        const int handle = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + std::size_t(name.size()));
        if (handle < 0 ||
            ::bind(handle, reinterpret_cast<const sockaddr *>(&address), length) != 0 ||
            ::listen(handle, 4) != 0) {
            if (handle >= 0)
                ::close(handle);
            return false;
        }
        m_sockets << handle;
        return true;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        for (m_display = 5310; m_display < 5400; ++m_display) {
            if (listen(QByteArray(1, '\0') + "/tmp/.X11-unix/X" + QByteArray::number(m_display)))
                break;
        }
        QVERIFY(m_display < 5400);
        QVERIFY(listen(QFile::encodeName(m_dir.filePath(u"wayland-live"_s))));
    }

    void cleanupTestCase() {
        for (int handle : std::as_const(m_sockets))
            ::close(handle);
    }

    void reason_data() {
        QTest::addColumn<QString>("platform");
        QTest::addColumn<QString>("x");       // {live}: the test's display; {dead}: the next one
        QTest::addColumn<QString>("wayland"); // a socket name in the runtime folder
        QTest::addColumn<bool>("refused");

        QTest::newRow("nothing named") << u""_s << u""_s << u""_s << true;
        QTest::newRow("X server running") << u""_s << u":{live}"_s << u""_s << false;
        QTest::newRow("X server running, screen 0") << u""_s << u":{live}.0"_s << u""_s << false;
        QTest::newRow("X server not running") << u""_s << u":{dead}"_s << u""_s << true;
        QTest::newRow("X over the network left to Qt")
            << u""_s << u"example.org:{dead}"_s << u""_s << false;
        QTest::newRow("display that does not parse left to Qt")
            << u""_s << u"nonsense"_s << u""_s << false;
        QTest::newRow("compositor running, X not")
            << u""_s << u":{dead}"_s << u"wayland-live"_s << false;
        QTest::newRow("compositor not running") << u""_s << u""_s << u"wayland-gone"_s << true;
        QTest::newRow("offscreen needs no display") << u"offscreen"_s << u""_s << u""_s << false;
        QTest::newRow("vnc with options")
            << u"vnc:size=800x600"_s << u":{dead}"_s << u""_s << false;
        QTest::newRow("xcb asked for, only a compositor")
            << u"xcb"_s << u":{dead}"_s << u"wayland-live"_s << true;
        QTest::newRow("wayland, then xcb")
            << u"wayland;xcb"_s << u":{live}"_s << u"wayland-gone"_s << false;
    }

    void reason() {
        QFETCH(QString, platform);
        QFETCH(QString, x);
        QFETCH(QString, wayland);
        QFETCH(bool, refused);
        const auto set = [](const char *name, const QString &value) {
            if (value.isEmpty())
                qunsetenv(name);
            else
                qputenv(name, value.toLocal8Bit());
        };
        set("QT_QPA_PLATFORM", platform);
        set("DISPLAY", QString(x)
                           .replace(u"{live}"_s, QString::number(m_display))
                           .replace(u"{dead}"_s, QString::number(m_display + 1)));
        set("WAYLAND_DISPLAY", wayland);
        set("XDG_RUNTIME_DIR", m_dir.path());
        const QString reason = ventara::toolkit::missingDisplayReason();
        QCOMPARE(!reason.isEmpty(), refused);
        if (refused)
            QVERIFY2(reason.startsWith(u"no display to show the window on ("_s),
                     qPrintable(reason));
    }
};

QTEST_GUILESS_MAIN(TestDisplayCheck)
#include "test_displaycheck.moc"
