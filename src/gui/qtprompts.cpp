#include "qtprompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

#include <memory>

namespace ventara::gui {

namespace {

// Lets Escape and the window's close button dismiss a question without choosing any of its
// buttons (the answer is then -1, which callers take as the cautious one). QMessageBox
// itself ignores both unless one of the buttons is a "cancel" button.
class DismissFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        auto *box = qobject_cast<QMessageBox *>(watched);
        if (!box)
            return false;
        const bool escape = event->type() == QEvent::KeyPress &&
                            static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape &&
                            static_cast<QKeyEvent *>(event)->modifiers() == Qt::NoModifier;
        if (escape || event->type() == QEvent::Close) {
            box->reject();
            return true;
        }
        return false;
    }
};

// A message box centred on the window it belongs to. QMessageBox takes its final size only
// when it is shown, after QDialog placed it by its earlier size, which leaves it off-centre.
class CenteredMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent *event) override {
        QMessageBox::showEvent(event); // sets the final size
        const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
        if (owner && owner->isVisible())
            move(owner->frameGeometry().center() - QPoint(width() / 2, height() / 2));
    }
};

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
    auto *box = new CenteredMessageBox(parent);
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
    if (buttons.size() > 1)
        box->installEventFilter(new DismissFilter(box));
    keepWide(box, 380);
    return box;
}

// Qt sizes a box without main text to its words, wrapping even short sentences; a minimum
// width keeps one-line messages on one line. Qt lays a box out anew when details are set, so
// this comes after them.
void QtPrompts::keepWide(QMessageBox *box, int width) {
    if (auto *grid = qobject_cast<QGridLayout *>(box->layout())) {
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
}

void QtPrompts::alert(const QString &text) {
    std::unique_ptr<QMessageBox> box(createBox(m_window, text, {QStringLiteral("OK")}));
    box->setEscapeButton(box->buttons().constFirst());
    box->exec();
}

void QtPrompts::alertWithDetails(const QString &text, const QStringList &details) {
    std::unique_ptr<QMessageBox> box(createBox(m_window, text, {QStringLiteral("OK")}));
    box->setEscapeButton(box->buttons().constFirst());
    box->setDetailedText(details.join(u'\n'));
    keepWide(box.get(), 520); // room for a file's path and its reason on a line or two
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
