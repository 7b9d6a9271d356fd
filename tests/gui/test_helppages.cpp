// The help pages shipped with the program: one per tool of the catalogue, all linked from the
// index and from each other, no reference to a file that is not there; the Help menu reaches
// the index; without a browser the pages open in the program's own help window; the About
// box names the version, the licence and the libraries.

#include "gui/helpmenu.h"
#include "gui/helppages.h"
#include "gui/helpwindow.h"
#include "gui/toolcatalog.h"
#include "gui/viewcontroller.h"
#include "scriptedui.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>

using namespace Qt::StringLiterals;
using namespace ventara;

namespace {

// The local files a page refers to (href and src), without fragments.
QStringList references(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString html = QString::fromUtf8(file.readAll());
    QStringList found;
    static const QRegularExpression pattern(uR"((?:href|src)="([^"#:]*)(?:#[^"]*)?")"_s);
    for (const QRegularExpressionMatch &match : pattern.globalMatch(html)) {
        if (!match.captured(1).isEmpty())
            found << match.captured(1);
    }
    return found;
}

// A desktop on which no browser starts.
class NoBrowser : public toolkit::Desktop {
public:
    bool openUrl(const QUrl &url) override {
        tried << url;
        return false;
    }
    QList<QUrl> tried;
};

} // namespace

class TestHelpPages : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pagesLinkEachOther() {
        const QUrl index = gui::HelpPages::url(u"index.html"_s);
        QVERIFY(index.isValid());
        const QDir folder = QFileInfo(index.toLocalFile()).dir();
        const QStringList pages = folder.entryList({u"*.html"_s}, QDir::Files);
        QStringList toolPages;
        for (const gui::ToolEntry &tool : gui::toolCatalog())
            toolPages << tool.helpPage;
        for (const QString &page : toolPages)
            QVERIFY2(pages.contains(page), qPrintable(page));
        for (const QString &page : pages) {
            const QStringList linked = references(folder.filePath(page));
            for (const QString &reference : linked)
                QVERIFY2(QFileInfo::exists(folder.filePath(reference)),
                         qPrintable(page + u": "_s + reference));
            // Every page leads to the index and to every tool's page.
            QVERIFY2(linked.contains(u"index.html"_s), qPrintable(page));
            for (const QString &toolPage : std::as_const(toolPages))
                QVERIFY2(linked.contains(toolPage), qPrintable(page + u" -> "_s + toolPage));
        }
    }

    // "Ventara Help" opens the index; with no browser to start, the page opens in the
    // program's own window, whose links stay inside it.
    void withoutABrowser() {
        test::ScriptedUi ui;
        NoBrowser desktop;
        toolkit::UserInterface given = ui.ui();
        given.desktop = &desktop;
        gui::ViewController launcher(given);
        launcher.show();
        QAction *contents = launcher.findChild<QAction *>(u"OnHelpContents"_s);
        QVERIFY(contents);
        contents->trigger();
        QCOMPARE(desktop.tried.size(), 1);
        QCOMPARE(QFileInfo(desktop.tried.first().toLocalFile()).fileName(), u"index.html"_s);
        gui::HelpWindow *window = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *help = qobject_cast<gui::HelpWindow *>(widget))
                window = help;
        }
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->browser()->documentTitle(), u"Ventara help"_s);
        Q_EMIT window->browser()->anchorClicked(QUrl(u"split.html"_s));
        QCOMPARE(QFileInfo(window->browser()->source().toLocalFile()).fileName(), u"split.html"_s);
        window->close();
    }

    void about() {
        QCoreApplication::setApplicationVersion(u"1.2.3"_s);
        const QString text = gui::aboutText();
        for (const QString &expected :
             {u"Ventara 1.2.3"_s, u"GNU General Public License"_s, u"Qt"_s, u"qpdf"_s, u"poppler"_s,
              u"libtiff"_s, u"OpenJPEG"_s})
            QVERIFY2(text.contains(expected), qPrintable(expected));
        QVERIFY(text.contains(QString::fromLatin1(qVersion())));
        test::ScriptedUi ui;
        gui::ViewController launcher(ui.ui());
        QVERIFY(launcher.findChild<QAction *>(u"OnAbout"_s));
    }
};

QTEST_MAIN(TestHelpPages)
#include "test_helppages.moc"
