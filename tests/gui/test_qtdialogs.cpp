// The Qt dialogs behind the toolkit's interfaces: the alert's look and button order, and the
// file panels' configuration.

#include "gui/qtfilepanels.h"
#include "gui/qtprompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace ventara;

class TestQtDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Warning icon, empty main text, the words as informative text, the buttons in the given
    // order from left to right whatever the desktop's button layout, the first one default.
    void promptBox() {
        const QStringList buttons{u"Yes"_s, u"Yes to All"_s, u"No"_s, u"No to All"_s};
        std::unique_ptr<QMessageBox> box(
            gui::QtPrompts::createBox(nullptr, u"The file x already exists."_s, buttons));
        box->show();
        QCOMPARE(box->icon(), QMessageBox::Warning);
        QCOMPARE(box->text(), QString());
        QCOMPARE(box->informativeText(), u"The file x already exists."_s);
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        QList<QAbstractButton *> shown = box->buttons();
        std::sort(shown.begin(), shown.end(), [](QAbstractButton *a, QAbstractButton *b) {
            return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
        });
        QStringList texts;
        for (QAbstractButton *button : shown)
            texts << button->text();
        QCOMPARE(texts, buttons);
        QCOMPARE(box->defaultButton()->text(), u"Yes"_s);
    }

    // The answer is the index of the button pressed, and the suppression box is reported.
    void promptAnswers() {
        gui::QtPrompts prompts;
        QTimer::singleShot(0, this, [] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            QCOMPARE(box->checkBox()->text(), u"Do not show this message again"_s);
            box->checkBox()->setChecked(true);
            box->buttons().at(1)->click();
        });
        const toolkit::Prompts::SuppressibleAnswer answer =
            prompts.questionWithSuppression(u"Sure?"_s, {u"Yes"_s, u"No"_s});
        QCOMPARE(answer.button, 1);
        QVERIFY(answer.suppress);

        // Escape dismisses a question without any of its buttons.
        QTimer::singleShot(0, this, [] {
            QWidget *box = QApplication::activeModalWidget();
            QVERIFY(box);
            QTest::keyClick(box, Qt::Key_Escape);
            if (box->isVisible()) // not dismissed: answer, so that the test fails, not hangs
                qobject_cast<QMessageBox *>(box)->buttons().constFirst()->click();
        });
        QCOMPARE(prompts.question(u"Sure?"_s, {u"Yes"_s, u"No"_s}), -1);
    }

    // An alert stands centred on the window it belongs to.
    void alertIsCentred() {
        QWidget window;
        window.setGeometry(200, 150, 900, 700);
        window.show();
        gui::QtPrompts prompts(&window);
        QRect shown;
        QTimer::singleShot(0, this, [&shown] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            shown = box->frameGeometry();
            box->buttons().constFirst()->click();
        });
        prompts.alert(u"The documents were split successfully."_s);
        QVERIFY(shown.isValid());
        QVERIFY2((shown.center() - window.frameGeometry().center()).manhattanLength() <= 2,
                 qPrintable(u"%1,%2"_s.arg(shown.center().x()).arg(shown.center().y())));
    }

    // The open panel takes several PDF files from the remembered folder; the save panel asks
    // before replacing a file (merge relies on it) and adds the extension.
    void filePanels() {
        QTemporaryDir dir;
        const auto open =
            gui::QtFilePanels::createOpenDialog(nullptr, {dir.path(), {u"pdf"_s}, true});
        QCOMPARE(open->fileMode(), QFileDialog::ExistingFiles);
        QCOMPARE(open->directory().absolutePath(), dir.path());
        QCOMPARE(open->nameFilters(), QStringList{u"PDF files (*.pdf)"_s});
        QCOMPARE(gui::QtFilePanels::nameFilter({u"vxs"_s}, u"Split profiles"_s),
                 u"Split profiles (*.vxs)"_s);

        const auto save =
            gui::QtFilePanels::createSaveDialog(nullptr, {QString(), u"profile.vxs"_s, u"vxs"_s});
        QVERIFY(!save->testOption(QFileDialog::DontConfirmOverwrite));
        QCOMPARE(gui::QtFilePanels::withExtension(u"/a/b.VXS"_s, u"vxs"_s), u"/a/b.VXS"_s);
        QCOMPARE(gui::QtFilePanels::withExtension(u"/a/b.txt"_s, u"vxs"_s), u"/a/b.txt.vxs"_s);
    }
};

QTEST_MAIN(TestQtDialogs)
#include "test_qtdialogs.moc"
