#pragma once

#include "toolkit/userinterface.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace ventara::cli {

// What the command line does with an output file that already exists.
enum class OverwritePolicy {
    Yes, // replace it
    No,  // keep it (the output is skipped)
    Ask, // ask on the terminal, reading the answer from the standard input
};

// The toolkit's user interfaces answered on a terminal, for the tool commands:
// - alerts are printed: `successText` (the run's success alert) on the standard output,
//   every other alert on the standard error as "ventara: <command>: <text>"; an alert's
//   details (the files that failed and why) come first, one "ventara: <command>: <line>"
//   each;
// - the overwrite question is answered from the policy: Yes and No answer every file alike
//   (never "to All", so that each existing file is seen), Ask shows the question on the
//   standard error and reads the answer from the input stream (a number, a button's text
//   or the start of one, any case: "y", "yes to all", "n"...; the end of input answers
//   "No");
// - any other question is asked the same way when the policy is Ask, else dismissed (the
//   caller then takes the most cautious answer);
// - file panels are cancelled (commands take paths from their arguments), no URL is opened;
// - user defaults are kept in memory only, so a command never changes the remembered
//   folders or prompt flags of the windows.
// Use it from one thread.
class TerminalUi : public toolkit::Prompts,
                   public toolkit::FilePanels,
                   public toolkit::Desktop,
                   public toolkit::UserDefaults {
public:
    TerminalUi(const QString &command, OverwritePolicy policy, QTextStream &in, QTextStream &out,
               QTextStream &err);

    toolkit::UserInterface ui() { return {this, this, this, this}; }

    // The alert that goes to the standard output instead of the error output.
    void setSuccessText(const QString &text) { m_successText = text; }

    // Prompts
    void alert(const QString &text) override;
    void alertWithDetails(const QString &text, const QStringList &details) override;
    int question(const QString &text, const QStringList &buttons) override;
    SuppressibleAnswer questionWithSuppression(const QString &text,
                                               const QStringList &buttons) override;

    // FilePanels
    std::optional<QStringList> openFiles(const OpenFilesRequest &request) override;
    std::optional<QString> saveFile(const SaveFileRequest &request) override;
    std::optional<QString> chooseFolder(const ChooseFolderRequest &request) override;

    // Desktop
    bool openUrl(const QUrl &url) override;

    // UserDefaults
    std::optional<QString> value(const QString &key) const override;
    void setValue(const QString &key, const QString &value) override;

    // The index of the button that `answer` names among `buttons`: a 1-based number, a
    // button's text, or the start of one (the shortest button it starts wins, so "y" is
    // "Yes" and "yes to" is "Yes to All"); case and surrounding blanks are ignored. -1 when
    // it names none.
    static int buttonForAnswer(const QString &answer, const QStringList &buttons);

private:
    int ask(const QString &text, const QStringList &buttons);
    static bool isOverwriteQuestion(const QStringList &buttons);

    QString m_command;
    OverwritePolicy m_policy;
    QTextStream &m_in;
    QTextStream &m_out;
    QTextStream &m_err;
    QString m_successText;
    QHash<QString, QString> m_defaults;
};

} // namespace ventara::cli
