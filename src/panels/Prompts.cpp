#include "Prompts.h"

#include "AppPaths.h"
#include "Log.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace {

bool g_unattended = false;
// The boxes on screen, innermost last (a box may open while another waits).
QList<QPointer<QMessageBox>> g_open;

// A message the user must read, kept for the next start: one line per message, its own line
// breaks written as U+2028.
void keepForNextStart(const QString& text) {
    const QString path = AppPaths::pendingMessagesPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::Append))
        return;
    QString block = text;
    block.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace('\n', QChar(0x2028));
    f.write(block.toUtf8() + "\n");
}

int run(QMessageBox& box) {
    g_open.append(&box);
    const int result = box.exec();
    g_open.removeAll(&box);
    return result;
}

class MessageBoxPrompts : public IPrompts {
public:
    Answer question(QWidget* parent, const QString& text, bool withAll, bool defaultNo) override {
        if (g_unattended) {
            qCWarning(lcVidorra) << "closing: question answered no:" << text;
            return No;
        }
        QMessageBox box(QMessageBox::Question, title(), text, QMessageBox::NoButton, parent);
        QPushButton* yes = box.addButton(QStringLiteral("Oui"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("Non"), QMessageBox::NoRole);
        QPushButton* all =
            withAll ? box.addButton(QStringLiteral("Tous"), QMessageBox::YesRole) : nullptr;
        box.setDefaultButton(defaultNo ? no : yes);
        box.setEscapeButton(no);
        run(box);
        if (box.clickedButton() == yes)
            return Yes;
        if (all && box.clickedButton() == all)
            return All;
        return box.clickedButton() == no ? No : Cancel;
    }
    void information(QWidget* parent, const QString& text) override {
        if (g_unattended) {
            qCInfo(lcVidorra) << "closing:" << text;
            return;
        }
        show(parent, QMessageBox::Information, text);
    }
    void warning(QWidget* parent, const QString& text) override {
        show(parent, QMessageBox::Warning, text);
    }
    void error(QWidget* parent, const QString& text) override {
        show(parent, QMessageBox::Critical, text);
    }
    QString openFile(QWidget* parent, const QString& caption, const QString& filter) override {
        if (g_unattended)
            return {};
        return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
    }

private:
    static QString title() { return QApplication::applicationName(); }
    static void show(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
        if (g_unattended) {
            qCWarning(lcVidorra) << "closing: kept for the next start:" << text;
            keepForNextStart(text);
            return;
        }
        QMessageBox box(icon, title(), text, QMessageBox::NoButton, parent);
        box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        run(box);
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

void setPromptsUnattended() {
    g_unattended = true;
    for (const QPointer<QMessageBox>& box : std::as_const(g_open))
        if (box) {
            // Read later, at the next start, as if it had come now.
            if (box->icon() == QMessageBox::Warning || box->icon() == QMessageBox::Critical)
                keepForNextStart(box->text());
            box->reject();
        }
}

bool promptsUnattended() {
    return g_unattended;
}

QStringList takePendingMessages() {
    QFile f(AppPaths::pendingMessagesPath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList messages;
    // A file of ours stays small; more is not ours.
    for (const QByteArray& line : f.read(1 << 20).split('\n')) {
        QString text = QString::fromUtf8(line).trimmed();
        if (!text.isEmpty())
            messages << text.replace(QChar(0x2028), QStringLiteral("\r\n"));
    }
    f.close();
    f.remove();
    return messages;
}
