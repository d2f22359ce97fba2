#pragma once

#include <QString>

class QWidget;

// Every question and message box of the program goes through here, so that tests answer
// them without a display.
class IPrompts {
public:
    enum Answer { Yes, No, All, Cancel };
    virtual ~IPrompts() = default;
    // A question with "Oui" and "Non" (and "Tous" when withAll).
    virtual Answer question(QWidget* parent, const QString& text, bool withAll = false) = 0;
    virtual void information(QWidget* parent, const QString& text) = 0;
    virtual void warning(QWidget* parent, const QString& text) = 0;
    virtual void error(QWidget* parent, const QString& text) = 0;
};

// The prompts in use (message boxes unless a test installed others).
IPrompts& prompts();
// Installs p (nullptr = the message boxes) and returns the previous one.
IPrompts* setPrompts(IPrompts* p);
