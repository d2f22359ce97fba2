#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Every question and message box of the program goes through here, so that tests answer
// them without a display, and so that a program closing with nobody in front of it (a
// signal, the session's end) never waits on a box.
class IPrompts {
public:
    enum Answer { Yes, No, All, Cancel };
    virtual ~IPrompts() = default;
    // A question with "Oui" and "Non" (and "Tous" when withAll); "Oui" is the default button,
    // "Non" when defaultNo (the answer that keeps what exists).
    virtual Answer question(QWidget* parent, const QString& text, bool withAll = false,
                            bool defaultNo = false) = 0;
    virtual void information(QWidget* parent, const QString& text) = 0;
    virtual void warning(QWidget* parent, const QString& text) = 0;
    virtual void error(QWidget* parent, const QString& text) = 0;
    // A file to open, chosen by the user among those filter names ("Fichiers DV (*.dv)");
    // empty when none was chosen.
    virtual QString openFile(QWidget* parent, const QString& caption, const QString& filter) {
        (void)parent, (void)caption, (void)filter;
        return {};
    }
};

// The prompts in use (message boxes unless a test installed others).
IPrompts& prompts();
// Installs p (nullptr = the message boxes) and returns the previous one.
IPrompts* setPrompts(IPrompts* p);

// From now on nobody answers: the open message boxes are closed (a question closed so is
// answered Cancel, which no caller takes for a yes), a question is answered No, which keeps
// what exists (no file overwritten or deleted), and warnings and errors are logged and kept
// for the next start. Information is only logged.
void setPromptsUnattended();
bool promptsUnattended();

// The messages kept for the next start, oldest first; reading them removes them.
QStringList takePendingMessages();
