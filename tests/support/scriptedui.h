#pragma once

// A scripted UserInterface for tests: answers come from queues filled by the test, and every
// alert, question and panel request is recorded. A question or panel without a queued answer
// fails the current test (QTest::qFail) and is answered as cautiously as possible (question:
// -1, panels: cancelled). Header-only; include it from tests that link ventara_toolkit.

#include "toolkit/userinterface.h"

#include <QHash>
#include <QList>
#include <QQueue>
#include <QStringList>
#include <QTest>
#include <QUrl>

#include <optional>

namespace ventara::test {

// User defaults held in memory. Several ScriptedUi objects may share one, as the windows of
// the application share the real user defaults.
class MemoryUserDefaults : public toolkit::UserDefaults {
public:
    std::optional<QString> value(const QString &key) const override {
        const auto found = values.constFind(key);
        return found == values.cend() ? std::nullopt : std::optional<QString>(*found);
    }

    void setValue(const QString &key, const QString &value) override {
        values.insert(key, value);
        writes << key;
    }

    QHash<QString, QString> values;
    QStringList writes; // every key written, in order
};

class ScriptedUi : public toolkit::Prompts, public toolkit::FilePanels, public toolkit::Desktop {
public:
    // The aggregate to hand to the code under test, with this object's own user defaults or
    // `sharedDefaults`.
    toolkit::UserInterface ui(toolkit::UserDefaults *sharedDefaults = nullptr) {
        return {this, this, sharedDefaults ? sharedDefaults : &defaults, this};
    }

    // --- The script -----------------------------------------------------------------------

    // The next question is answered with button `button`; when `expectedText` is not empty
    // the question's text must equal it.
    void answer(int button, const QString &expectedText = QString()) {
        m_answers.enqueue({button, false, expectedText, QString()});
    }

    // The next question is answered with the button whose text is `buttonText`.
    void answerButton(const QString &buttonText, const QString &expectedText = QString()) {
        m_answers.enqueue({-2, false, expectedText, buttonText});
    }

    // The next question with a suppression box is answered with `button` and the box state.
    void answerSuppressible(int button, bool suppress) {
        m_answers.enqueue({button, suppress, QString(), QString()});
    }

    void queueOpenFiles(const std::optional<QStringList> &files) { m_openFiles.enqueue(files); }
    void queueSaveFile(const std::optional<QString> &file) { m_saveFiles.enqueue(file); }
    void queueFolder(const std::optional<QString> &folder) { m_folders.enqueue(folder); }

    // Everything queued has been used.
    bool scriptDone() const {
        return m_answers.isEmpty() && m_openFiles.isEmpty() && m_saveFiles.isEmpty() &&
               m_folders.isEmpty();
    }

    // --- What happened --------------------------------------------------------------------

    QStringList alerts;
    QList<QStringList> alertDetails; // one per alert, empty for alerts without details
    QStringList questions;
    QList<QStringList> questionButtons;
    QList<OpenFilesRequest> openRequests;
    QList<SaveFileRequest> saveRequests;
    QList<QUrl> openedUrls;
    MemoryUserDefaults defaults;

    // --- The interfaces -------------------------------------------------------------------

    void alert(const QString &text) override {
        alerts << text;
        alertDetails << QStringList();
    }

    void alertWithDetails(const QString &text, const QStringList &details) override {
        alerts << text;
        alertDetails << details;
    }

    int question(const QString &text, const QStringList &buttons) override {
        return ask(text, buttons).button;
    }

    SuppressibleAnswer questionWithSuppression(const QString &text,
                                               const QStringList &buttons) override {
        return ask(text, buttons);
    }

    std::optional<QStringList> openFiles(const OpenFilesRequest &request) override {
        openRequests << request;
        return next(m_openFiles, "open panel");
    }

    std::optional<QString> saveFile(const SaveFileRequest &request) override {
        saveRequests << request;
        return next(m_saveFiles, "save panel");
    }

    std::optional<QString> chooseFolder(const ChooseFolderRequest &) override {
        return next(m_folders, "folder panel");
    }

    bool openUrl(const QUrl &url) override {
        openedUrls << url;
        return true;
    }

private:
    struct Answer {
        int button;
        bool suppress;
        QString expectedText;
        QString buttonText;
    };

    SuppressibleAnswer ask(const QString &text, const QStringList &buttons) {
        questions << text;
        questionButtons << buttons;
        if (m_answers.isEmpty()) {
            fail("unexpected question: " + text.toStdString());
            return {-1, false};
        }
        const Answer answer = m_answers.dequeue();
        if (!answer.expectedText.isEmpty() && answer.expectedText != text)
            fail("expected the question \"" + answer.expectedText.toStdString() + "\", got \"" +
                 text.toStdString() + "\"");
        int button = answer.button;
        if (!answer.buttonText.isEmpty()) {
            button = int(buttons.indexOf(answer.buttonText));
            if (button < 0)
                fail("no button \"" + answer.buttonText.toStdString() + "\" in the question \"" +
                     text.toStdString() + "\"");
        } else if (button >= buttons.size()) {
            fail("answer " + std::to_string(button) + " to a question with " +
                 std::to_string(buttons.size()) + " buttons");
        }
        return {button, answer.suppress};
    }

    template <typename T> std::optional<T> next(QQueue<std::optional<T>> &queue, const char *what) {
        if (queue.isEmpty()) {
            fail(std::string("unexpected ") + what);
            return std::nullopt;
        }
        return queue.dequeue();
    }

    static void fail(const std::string &message) {
        QTest::qFail(message.c_str(), __FILE__, __LINE__);
    }

    QQueue<Answer> m_answers;
    QQueue<std::optional<QStringList>> m_openFiles;
    QQueue<std::optional<QString>> m_saveFiles;
    QQueue<std::optional<QString>> m_folders;
};

} // namespace ventara::test
