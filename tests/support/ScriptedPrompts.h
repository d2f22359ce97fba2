#pragma once

#include "Prompts.h"

#include <QStringList>

// Answers every question as told and keeps what was asked or said.
struct ScriptedPrompts : IPrompts {
    Answer answer = Yes;
    QStringList asked;
    bool lastDefaultNo = false; // the default button of the last question was "Non"
    Answer question(QWidget*, const QString& text, bool, bool defaultNo) override {
        asked << text;
        lastDefaultNo = defaultNo;
        return answer;
    }
    void information(QWidget*, const QString& text) override { asked << text; }
    void warning(QWidget*, const QString& text) override { asked << text; }
    void error(QWidget*, const QString& text) override { asked << text; }
    QString file; // the file "chosen" in a file dialog
    QString openFile(QWidget*, const QString& caption, const QString&) override {
        asked << caption;
        return file;
    }
};

// Installs prompts for the life of the guard.
struct PromptsGuard {
    explicit PromptsGuard(IPrompts* p) : previous(setPrompts(p)) {}
    ~PromptsGuard() { setPrompts(previous); }
    IPrompts* previous;
};
