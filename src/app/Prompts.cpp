#include "Prompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

class MessageBoxPrompts : public IPrompts {
public:
    Answer question(QWidget* parent, const QString& text, bool withAll) override {
        QMessageBox box(QMessageBox::Question, title(), text, QMessageBox::NoButton, parent);
        QPushButton* yes = box.addButton(QStringLiteral("Oui"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("Non"), QMessageBox::NoRole);
        QPushButton* all =
            withAll ? box.addButton(QStringLiteral("Tous"), QMessageBox::YesRole) : nullptr;
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
        box.exec();
        if (box.clickedButton() == yes)
            return Yes;
        if (all && box.clickedButton() == all)
            return All;
        return box.clickedButton() == no ? No : Cancel;
    }
    void information(QWidget* parent, const QString& text) override {
        show(parent, QMessageBox::Information, text);
    }
    void warning(QWidget* parent, const QString& text) override {
        show(parent, QMessageBox::Warning, text);
    }
    void error(QWidget* parent, const QString& text) override {
        show(parent, QMessageBox::Critical, text);
    }

private:
    static QString title() { return QApplication::applicationName(); }
    static void show(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
        QMessageBox box(icon, title(), text, QMessageBox::NoButton, parent);
        box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box.exec();
    }
};

MessageBoxPrompts g_boxes;
IPrompts* g_prompts = &g_boxes;

} // namespace

IPrompts& prompts() {
    return *g_prompts;
}

IPrompts* setPrompts(IPrompts* p) {
    IPrompts* previous = g_prompts;
    g_prompts = p ? p : &g_boxes;
    return previous;
}
