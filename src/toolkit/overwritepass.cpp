#include "overwritepass.h"

#include <QDir>
#include <QFileInfo>

namespace ventara::toolkit {

OverwritePass::OverwritePass(Prompts &prompts, OverwriteButtons buttons)
    : m_prompts(prompts)
    , m_buttons(buttons) {}

QString OverwritePass::questionText(const QString &path) {
    return QStringLiteral("The file ") + path +
           QStringLiteral(" already exists. Do you want to overwrite it?");
}

QStringList OverwritePass::buttonTexts(OverwriteButtons buttons) {
    if (buttons == OverwriteButtons::YesNo)
        return yesNoButtons();
    return {QStringLiteral("Yes"), QStringLiteral("Yes to All"), QStringLiteral("No"),
            QStringLiteral("No to All")};
}

OverwriteDecision OverwritePass::decide(const QString &path) {
    const QString key = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const auto seen = m_seen.constFind(key);
    if (seen != m_seen.cend())
        return *seen;

    OverwriteDecision decision = OverwriteDecision::Write;
    const QFileInfo info(path);
    // A dangling symbolic link is something the write would replace too.
    if (info.exists() || info.isSymLink()) {
        if (m_mode == OverwriteMode::YesToAll) {
            decision = OverwriteDecision::Overwrite;
        } else if (m_mode == OverwriteMode::NoToAll) {
            decision = OverwriteDecision::Skip;
        } else {
            const int button = m_prompts.question(questionText(path), buttonTexts(m_buttons));
            if (m_buttons == OverwriteButtons::YesNo) {
                decision = button == 0 ? OverwriteDecision::Overwrite : OverwriteDecision::Skip;
            } else {
                switch (button) {
                case 0:
                    decision = OverwriteDecision::Overwrite;
                    break;
                case 1:
                    decision = OverwriteDecision::Overwrite;
                    m_mode = OverwriteMode::YesToAll;
                    break;
                case 3:
                    decision = OverwriteDecision::Skip;
                    m_mode = OverwriteMode::NoToAll;
                    break;
                default: // "No", or dismissed
                    decision = OverwriteDecision::Skip;
                    break;
                }
            }
        }
    }
    m_seen.insert(key, decision);
    return decision;
}

QList<QList<OverwriteDecision>> OverwritePass::decideAll(const QList<QStringList> &outputs) {
    QList<QList<OverwriteDecision>> decisions;
    decisions.reserve(outputs.size());
    for (const QStringList &group : outputs) {
        QList<OverwriteDecision> groupDecisions;
        groupDecisions.reserve(group.size());
        for (const QString &path : group)
            groupDecisions << decide(path);
        decisions << groupDecisions;
    }
    return decisions;
}

} // namespace ventara::toolkit
