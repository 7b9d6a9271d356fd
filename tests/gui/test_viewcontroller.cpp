// The launcher: one tool window at a time, application-modal, fresh at every opening; quitting
// from the launcher never asks; the How-To items open local help pages.

#include "gui/toolcatalog.h"
#include "gui/toolwindow.h"
#include "gui/viewcontroller.h"
#include "pdffixtures.h"
#include "scriptedui.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <climits>

using namespace Qt::StringLiterals;
using namespace ventara;
using test::ScriptedUi;

class TestViewController : public QObject {
    Q_OBJECT

private:
    static void closeAndWait(gui::ViewController &launcher) {
        QPointer<gui::ToolWindow> window = launcher.toolWindow();
        QVERIFY(window->close());
        QTRY_VERIFY(!window); // deleted once closed
        QVERIFY(!launcher.toolWindow());
    }

private Q_SLOTS:
    void oneToolWindowAtATime() {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(u"a.pdf"_s);
        QVERIFY(test::writeSimplePdf(pdf, 1));
        ScriptedUi ui;
        gui::ViewController launcher(ui.ui());
        launcher.show();

        QTest::mouseClick(launcher.findChild<QToolButton *>(u"buttonOpenSplit"_s), Qt::LeftButton);
        QPointer<gui::ToolWindow> split = launcher.toolWindow();
        QVERIFY(split);
        QCOMPARE(split->windowTitle(), u"Split PDF Documents"_s);
        QCOMPARE(split->windowModality(), Qt::ApplicationModal);
        QVERIFY(split->isVisible());
        QCOMPARE(QApplication::activeModalWidget(), split.data());

        // A second tool cannot open while the first is there.
        QVERIFY(!launcher.openTool(u"merge"_s));
        QCOMPARE(launcher.toolWindow(), split.data());
        int toolWindows = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            toolWindows += qobject_cast<gui::ToolWindow *>(widget) != nullptr;
        QCOMPARE(toolWindows, 1);

        split->documents()->append({pdf});
        closeAndWait(launcher);

        // Another tool opens once it is closed, and every opening starts fresh.
        for (const auto &[tool, title] :
             {std::pair(u"merge"_s, u"Merge PDF Documents"_s),
              std::pair(u"split"_s, u"Split PDF Documents"_s),
              std::pair(u"convert"_s, u"Convert PDF Documents to Images"_s)}) {
            gui::ToolWindow *window = launcher.openTool(tool);
            QVERIFY2(window, qPrintable(tool));
            QCOMPARE(window->windowTitle(), title);
            QVERIFY(window->documents()->isEmpty());
            closeAndWait(launcher);
        }
        QVERIFY(!launcher.openTool(u"no-such-tool"_s));
    }

    // At its smallest size the launcher's descriptions keep clear of the buttons and show
    // their whole text; at every size the buttons are all of one size.
    void smallestSize() {
        ScriptedUi ui;
        gui::ViewController launcher(ui.ui());
        launcher.show();
        // How far apart the buttons' sizes are (a layout shares odd pixels out one by one).
        const auto sizeSpread = [&launcher] {
            int widest = 0, narrowest = INT_MAX, tallest = 0, lowest = INT_MAX;
            for (const gui::ToolEntry &tool : gui::toolCatalog()) {
                const QSize size = launcher.findChild<QToolButton *>(tool.buttonName)->size();
                widest = std::max(widest, size.width());
                narrowest = std::min(narrowest, size.width());
                tallest = std::max(tallest, size.height());
                lowest = std::min(lowest, size.height());
            }
            return std::max(widest - narrowest, tallest - lowest);
        };
        launcher.resize(1100, 700);
        QTRY_COMPARE(launcher.size(), QSize(1100, 700));
        QCOMPARE_LE(sizeSpread(), 1);
        launcher.resize(1, 1);
        QTRY_COMPARE(launcher.size(),
                     launcher.minimumSizeHint().expandedTo(launcher.minimumSize()));
        QCOMPARE_LE(sizeSpread(), 1);
        QList<QRect> taken;
        for (const gui::ToolEntry &tool : gui::toolCatalog()) {
            auto *button = launcher.findChild<QToolButton *>(tool.buttonName);
            auto *label = launcher.findChild<QLabel *>(tool.buttonName + u"Description"_s);
            QVERIFY(button && label);
            QVERIFY2(label->height() >= label->heightForWidth(label->width()), qPrintable(tool.id));
            for (const QRect &rect : {button->geometry(), label->geometry()}) {
                for (const QRect &other : std::as_const(taken))
                    QVERIFY2(!rect.intersects(other), qPrintable(tool.id));
                taken << rect;
            }
        }
    }

    // Quitting from a tool window with unsaved settings asks; from the launcher it never does.
    void quitting() {
        ScriptedUi ui;
        gui::ViewController launcher(ui.ui());
        launcher.show();
        QSignalSpy quit(&launcher, &gui::ViewController::quitRequested);

        gui::ToolWindow *window = launcher.openTool(u"properties"_s);
        QVERIFY(window);
        auto *title = window->findChild<QLineEdit *>(u"textFieldTitle"_s);
        QTest::keyClicks(title, u"x"_s);
        QVERIFY(window->hasUnsavedChanges());
        QAction *toolQuit = window->findChild<QAction *>(u"OnAppQuit"_s);
        const QString question = u"You have unsaved changes that will be lost. Are you sure you "
                                 u"want to exit the application?"_s;
        ui.answerButton(u"No"_s, question);
        toolQuit->trigger();
        QCOMPARE(quit.count(), 0);
        ui.answerButton(u"Yes"_s, question);
        toolQuit->trigger();
        QCOMPARE(quit.count(), 1);

        // The tool window closes without asking again once quitting was confirmed.
        QVERIFY(window->close());
        QTRY_VERIFY(!launcher.toolWindow());
        launcher.findChild<QAction *>(u"OnAppQuit"_s)->trigger();
        QCOMPARE(quit.count(), 2);
        QVERIFY(ui.scriptDone());
        QCOMPARE(ui.questions.size(), 2);
    }

    // Each How-To item opens its tool's help page, a local file shipped with the program.
    void howToPages_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("page");
        QTest::newRow("merge") << u"OnHowToMergePDFDocuments"_s << u"merge.html"_s;
        QTest::newRow("split") << u"OnHowToSplitPDFDocuments"_s << u"split.html"_s;
        QTest::newRow("properties") << u"OnHowToEditPDFProperties"_s << u"properties.html"_s;
        QTest::newRow("convert") << u"OnHowToConvertPDFDocumentToImage"_s << u"convert.html"_s;
        QTest::newRow("watermark") << u"OnHowToWatermarkPDFDocuments"_s << u"watermark.html"_s;
    }

    void howToPages() {
        QFETCH(QString, action);
        QFETCH(QString, page);
        ScriptedUi ui;
        gui::ViewController launcher(ui.ui());
        QAction *item = launcher.findChild<QAction *>(action);
        QVERIFY(item);
        item->trigger();
        QCOMPARE(ui.openedUrls.size(), 1);
        const QUrl url = ui.openedUrls.first();
        QCOMPARE(QFileInfo(url.toLocalFile()).fileName(), page);
        QFile file(url.toLocalFile());
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(url.toString()));
        QVERIFY(file.readAll().contains("<h1>How to"));
    }
};

QTEST_MAIN(TestViewController)
#include "test_viewcontroller.moc"
