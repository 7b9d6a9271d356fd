// The edit-properties window: the two columns of labels follow the selection and the typed
// templates; a run asks the warning, rewrites the documents and shows their new values.

#include "gui/documenttable.h"
#include "gui/properties/propertiespanel.h"
#include "gui/toolwindow.h"
#include "pdffixtures.h"
#include "scriptedui.h"
#include "toolkit/executor.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace ventara;
using test::ScriptedUi;

class TestPropertiesWindow : public QObject {
    Q_OBJECT

private:
    static QString label(gui::ToolWindow &window, const QString &name) {
        auto *found = window.findChild<QLabel *>(name);
        return found ? found->text() : u"(missing)"_s;
    }

private Q_SLOTS:
    void labelsAndRun() {
        QTemporaryDir dir;
        const QString minutes = dir.filePath(u"Minutes.pdf"_s);
        const QString other = dir.filePath(u"Other.pdf"_s);
        test::FixtureSpec spec;
        spec.pages = {test::FixturePage{}};
        spec.info = {{u"Title"_s, u"Old title"_s}, {u"Author"_s, u"Ann"_s}};
        QVERIFY(test::writeFixturePdf(minutes, spec));
        QVERIFY(test::writeFixturePdf(other, spec));

        ScriptedUi ui;
        std::unique_ptr<gui::ToolWindow> window(gui::createPropertiesWindow(ui.ui()));
        window->runner()->setExecutor(toolkit::inlineExecutor());
        window->show();
        QCOMPARE(label(*window, u"labelOriginalTitle"_s), u"Title: "_s);
        QCOMPARE(label(*window, u"labelOutputAuthor"_s), u"Author: "_s);

        window->documents()->append({minutes, other});
        window->table()->selectDocument(0);
        // Read on a worker thread.
        QTRY_COMPARE(label(*window, u"labelOriginalTitle"_s), u"Title: Old title"_s);
        QCOMPARE(label(*window, u"labelOutputTitle"_s), u"Title: Minutes"_s);
        QCOMPARE(label(*window, u"labelOutputAuthor"_s), u"Author: Ann"_s);

        auto *author = window->findChild<QLineEdit *>(u"textFieldAuthor"_s);
        author->selectAll();
        QTest::keyClicks(author, u"[Original] & Bob"_s);
        QCOMPARE(label(*window, u"labelOutputAuthor"_s), u"Author: Ann & Bob"_s);
        QCOMPARE(window->windowTitle(), u"Edit PDF Properties*"_s);

        // The warning's answers and its suppression box are the properties tool's own rules.
        ui.answerSuppressible(0, false);
        QTest::mouseClick(window->runButton(), Qt::LeftButton);
        QCOMPARE(ui.questions.size(), 1);
        QCOMPARE(ui.alerts, QStringList{u"Properties updated successfully."_s});
        QCOMPARE(test::readInfo(minutes).value(u"Title"_s), u"Minutes"_s);
        QCOMPARE(test::readInfo(other).value(u"Title"_s), u"Other"_s);
        QCOMPARE(test::readInfo(other).value(u"Author"_s), u"Ann & Bob"_s);
        // The current column shows the values just written.
        QTRY_COMPARE(label(*window, u"labelOriginalTitle"_s), u"Title: Minutes"_s);
        QCOMPARE(label(*window, u"labelOriginalAuthor"_s), u"Author: Ann & Bob"_s);

        window->table()->selectDocument(-1);
        QCOMPARE(label(*window, u"labelOriginalTitle"_s), u"Title: "_s);
    }
};

QTEST_MAIN(TestPropertiesWindow)
#include "test_propertieswindow.moc"
