#include "cli/terminalui.h"

#include "toolkit/overwritepass.h"

namespace ventara::cli {

TerminalUi::TerminalUi(const QString &command, OverwritePolicy policy, QTextStream &in,
                       QTextStream &out, QTextStream &err)
    : m_command(command)
    , m_policy(policy)
    , m_in(in)
    , m_out(out)
    , m_err(err) {}

void TerminalUi::alert(const QString &text) {
    if (!m_successText.isEmpty() && text == m_successText)
        m_out << text << Qt::endl;
    else
        m_err << "ventara: " << m_command << ": " << text << Qt::endl;
}

void TerminalUi::alertWithDetails(const QString &text, const QStringList &details) {
    for (const QString &line : details)
        m_err << "ventara: " << m_command << ": " << line << Qt::endl;
    alert(text);
}

bool TerminalUi::isOverwriteQuestion(const QStringList &buttons) {
    using toolkit::OverwriteButtons;
    using toolkit::OverwritePass;
    return buttons == OverwritePass::buttonTexts(OverwriteButtons::YesYesToAllNoNoToAll) ||
           buttons == OverwritePass::buttonTexts(OverwriteButtons::YesNo);
}

int TerminalUi::question(const QString &text, const QStringList &buttons) {
    if (isOverwriteQuestion(buttons) && m_policy != OverwritePolicy::Ask) {
        return int(buttons.indexOf(m_policy == OverwritePolicy::Yes ? QStringLiteral("Yes")
                                                                    : QStringLiteral("No")));
    }
    if (m_policy != OverwritePolicy::Ask)
        return -1;
    return ask(text, buttons);
}

toolkit::Prompts::SuppressibleAnswer
TerminalUi::questionWithSuppression(const QString &text, const QStringList &buttons) {
    return {question(text, buttons), false};
}

int TerminalUi::ask(const QString &text, const QStringList &buttons) {
    QStringList choices;
    for (int i = 0; i < buttons.size(); ++i)
        choices << QStringLiteral("%1) %2").arg(i + 1).arg(buttons.at(i));
    for (;;) {
        m_err << text << '\n' << "  " << choices.join(QStringLiteral("  ")) << "\n> " << Qt::flush;
        QString line;
        if (!m_in.readLineInto(&line)) {
            m_err << Qt::endl;
            return -1;
        }
        const int button = buttonForAnswer(line, buttons);
        if (button >= 0)
            return button;
        m_err << "Please answer with one of the numbers or words shown." << Qt::endl;
    }
}

int TerminalUi::buttonForAnswer(const QString &answer, const QStringList &buttons) {
    const QString wanted = answer.trimmed().toLower();
    if (wanted.isEmpty())
        return -1;
    bool isNumber = false;
    const int number = wanted.toInt(&isNumber);
    if (isNumber)
        return number >= 1 && number <= buttons.size() ? number - 1 : -1;
    int best = -1;
    for (int i = 0; i < buttons.size(); ++i) {
        const QString button = buttons.at(i).toLower();
        if (button == wanted)
            return i;
        if (button.startsWith(wanted) && (best < 0 || button.size() < buttons.at(best).size()))
            best = i;
    }
    return best;
}

std::optional<QStringList> TerminalUi::openFiles(const OpenFilesRequest &) {
    return std::nullopt;
}

std::optional<QString> TerminalUi::saveFile(const SaveFileRequest &) {
    return std::nullopt;
}

std::optional<QString> TerminalUi::chooseFolder(const ChooseFolderRequest &) {
    return std::nullopt;
}

bool TerminalUi::openUrl(const QUrl &) {
    return false;
}

std::optional<QString> TerminalUi::value(const QString &key) const {
    const auto found = m_defaults.constFind(key);
    return found == m_defaults.cend() ? std::nullopt : std::optional<QString>(*found);
}

void TerminalUi::setValue(const QString &key, const QString &value) {
    m_defaults.insert(key, value);
}

} // namespace ventara::cli
