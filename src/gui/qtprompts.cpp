#include "qtprompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>

#include <memory>

namespace ventara::gui {

namespace {

// The index of the button that closed `box`, or -1 when it was closed another way.
int pressedIndex(const QMessageBox &box, const QList<QAbstractButton *> &buttons) {
    return int(buttons.indexOf(box.clickedButton()));
}

} // namespace

QtPrompts::QtPrompts(QWidget *window)
    : m_window(window) {}

QString QtPrompts::suppressionText() {
    return QStringLiteral("Do not show this message again");
}

QMessageBox *QtPrompts::createBox(QWidget *parent, const QString &text,
                                  const QStringList &buttons) {
    auto *box = new QMessageBox(parent);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(QApplication::applicationDisplayName());
    box->setText(QString());
    box->setInformativeText(text);
    box->setWindowModality(Qt::ApplicationModal);
    QPushButton *first = nullptr;
    for (const QString &label : buttons) {
        // One role for every button: QDialogButtonBox keeps buttons of a role in the order
        // they were added, whatever the desktop's button layout.
        QPushButton *button = box->addButton(label, QMessageBox::ActionRole);
        if (!first)
            first = button;
    }
    if (first)
        box->setDefaultButton(first);
    // Qt sizes a box without main text to its words, wrapping even short sentences; a
    // minimum width keeps one-line messages on one line.
    if (auto *grid = qobject_cast<QGridLayout *>(box->layout())) {
        grid->addItem(new QSpacerItem(380, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    return box;
}

void QtPrompts::alert(const QString &text) {
    std::unique_ptr<QMessageBox> box(createBox(m_window, text, {QStringLiteral("OK")}));
    box->setEscapeButton(box->buttons().constFirst());
    box->exec();
}

int QtPrompts::question(const QString &text, const QStringList &buttons) {
    std::unique_ptr<QMessageBox> box(createBox(m_window, text, buttons));
    const QList<QAbstractButton *> created = box->buttons();
    box->exec();
    return pressedIndex(*box, created);
}

toolkit::Prompts::SuppressibleAnswer
QtPrompts::questionWithSuppression(const QString &text, const QStringList &buttons) {
    std::unique_ptr<QMessageBox> box(createBox(m_window, text, buttons));
    const QList<QAbstractButton *> created = box->buttons();
    box->setCheckBox(new QCheckBox(suppressionText(), box.get()));
    box->exec();
    return {pressedIndex(*box, created), box->checkBox()->isChecked()};
}

} // namespace ventara::gui
