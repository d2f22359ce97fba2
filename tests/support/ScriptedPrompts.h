#pragma once

#include "Prompts.h"

#include <QStringList>

// Answers every question as told and keeps what was asked or said.
struct ScriptedPrompts : IPrompts {
    Answer answer = Yes;
    QStringList asked;
    Answer question(QWidget*, const QString& text, bool) override {
        asked << text;
        return answer;
    }
    void information(QWidget*, const QString& text) override { asked << text; }
    void warning(QWidget*, const QString& text) override { asked << text; }
    void error(QWidget*, const QString& text) override { asked << text; }
};

// Installs prompts for the life of the guard.
struct PromptsGuard {
    explicit PromptsGuard(IPrompts* p) : previous(setPrompts(p)) {}
    ~PromptsGuard() { setPrompts(previous); }
    IPrompts* previous;
};
