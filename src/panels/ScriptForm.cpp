#include "ScriptForm.h"

#include "KXScript.h"
#include "ScriptHighlighter.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include "DateTimeFormatQt.h"

namespace {

constexpr int kMemoHeight = 120;
constexpr int kButtonPanelWidth = 130;

const QStringList kNewFile = {QStringLiteral("//Ecrivez un script entre begin et end."),
                              QStringLiteral("//N'oubliez pas de finir chaque commande par ;"),
                              QStringLiteral("begin"), QString(), QStringLiteral("end.")};

QFont editorFont() {
    // Courier New where it exists; the desktop's fixed font (metric twin) elsewhere.
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    if (!QFontInfo(font).fixedPitch())
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    return font;
}

} // namespace

TScriptForm::TScriptForm(TKXScript& script, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_script(script) {
    setObjectName(QStringLiteral("ScriptForm"));
    setWindowTitle(QStringLiteral("Script"));
    ToolBar = new QToolBar(this);
    Editor = new QPlainTextEdit(this);
    Editor->setObjectName(QStringLiteral("Editor"));
    Editor->setFont(editorFont());
    Editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_highlighter = new TScriptHighlighter(Editor->document());
    Memo = new QPlainTextEdit(this);
    Memo->setObjectName(QStringLiteral("Memo"));
    Memo->setReadOnly(true);
    // What a script writes in columns (WriteLn with widths) stays in columns.
    Memo->setFont(editorFont());
    QPalette tip = Memo->palette();
    tip.setColor(QPalette::Base, QApplication::palette().color(QPalette::ToolTipBase));
    tip.setColor(QPalette::Text, QApplication::palette().color(QPalette::ToolTipText));
    Memo->setPalette(tip);
    StatusBar = new QStatusBar(this);
    StatusBar->setSizeGripEnabled(false);
    FileLabel = new QLabel(StatusBar);
    StateLabel = new QLabel(StatusBar);
    StatusBar->addWidget(FileLabel, 1);
    StatusBar->addPermanentWidget(StateLabel);

    auto action = [this](const QString& text, const QString& shortcut = {}) {
        auto* a = new QAction(text, this);
        if (!shortcut.isEmpty()) {
            a->setShortcut(QKeySequence(shortcut));
            a->setShortcutContext(Qt::WindowShortcut);
        }
        addAction(a);
        return a;
    };
    naStartMacro = action(QStringLiteral("Démarrer"), QStringLiteral("F3"));
    naStopMacro = action(QStringLiteral("Arrêter"), QStringLiteral("F4"));
    naExecuteMacro = action(QStringLiteral("Execute"), QStringLiteral("F5"));
    naExecuteMacro->setObjectName(QStringLiteral("ExecuteMacro"));
    acNew = action(QStringLiteral("Nouveau"));
    acOpen = action(QStringLiteral("Ouvrir..."));
    acPaste = action(QStringLiteral("Coller"));
    acSave = action(QStringLiteral("Enregistrer"));
    acSaveAs = action(QStringLiteral("Enregistrer sous..."));
    acClose = action(QStringLiteral("Fermer"));
    acParentFolder = action(QStringLiteral("Dossier parent"));
    RecentMenu = new QMenu(QStringLiteral("Fichiers récents"), this);
    for (QAction* a : {acNew, acOpen, acSave, acSaveAs, acClose})
        ToolBar->addAction(a);
    ToolBar->addAction(RecentMenu->menuAction());
    ToolBar->addAction(acParentFolder);

    MacroGroup = new QGroupBox(QStringLiteral("Macro"), this);
    auto* macro = new QVBoxLayout(MacroGroup);
    StartButton = new QPushButton(naStartMacro->text(), MacroGroup);
    StopButton = new QPushButton(naStopMacro->text(), MacroGroup);
    macro->addWidget(StartButton);
    macro->addWidget(StopButton);
    RunButton = new QPushButton(QStringLiteral("Exécuter (F5)"), this);
    RunButton->setToolTip(QStringLiteral("On peut utiliser les codes suivants"));
    connect(StartButton, &QPushButton::clicked, naStartMacro, &QAction::trigger);
    connect(StopButton, &QPushButton::clicked, naStopMacro, &QAction::trigger);
    connect(RunButton, &QPushButton::clicked, naExecuteMacro, &QAction::trigger);

    // Recording replaces the editor's text: unsaved changes are asked about first.
    connect(naStartMacro, &QAction::triggered, this, [this] {
        if (!m_recording && mayDiscard())
            StartMacro();
    });
    connect(naStopMacro, &QAction::triggered, this, &TScriptForm::StopMacro);
    connect(naExecuteMacro, &QAction::triggered, this, &TScriptForm::ExecuteMacro);
    connect(acNew, &QAction::triggered, this, [this] {
        if (mayDiscard())
            NewFile();
    });
    connect(acOpen, &QAction::triggered, this, [this] {
        if (!mayDiscard())
            return;
        const QString name = QFileDialog::getOpenFileName(
            this, QStringLiteral("Ouvrir un script"), QFileInfo(m_fileName).absolutePath(),
            QStringLiteral("Fichiers textes (*.txt);;Tous Fichiers  (*.*)"));
        if (!name.isEmpty())
            OpenFile(name);
    });
    connect(acSave, &QAction::triggered, this, [this] {
        if (QFileInfo(m_fileName).isAbsolute())
            SaveFile(m_fileName);
        else
            acSaveAs->trigger();
    });
    connect(acSaveAs, &QAction::triggered, this, [this] {
        QString name =
            QFileDialog::getSaveFileName(this, QStringLiteral("Enregistrer le script"), m_fileName,
                                         QStringLiteral("Fichiers Macro (*.txt)"));
        if (name.isEmpty())
            return;
        if (QFileInfo(name).suffix().isEmpty())
            name += QStringLiteral(".txt");
        SaveFile(name);
    });
    connect(acClose, &QAction::triggered, this, [this] {
        if (mayDiscard())
            NewFile();
    });
    connect(acParentFolder, &QAction::triggered, this, [this] {
        if (openFolder && QFileInfo(m_fileName).isAbsolute())
            openFolder(QFileInfo(m_fileName).absolutePath());
    });
    // The file's text pasted as a file name opens it; text goes into the editor (Ctrl+V there).
    connect(acPaste, &QAction::triggered, this, [this] {
        const QMimeData* data = QApplication::clipboard()->mimeData();
        if (data && data->hasUrls() && !data->urls().isEmpty() &&
            data->urls().first().isLocalFile() && mayDiscard())
            OpenFile(data->urls().first().toLocalFile());
    });
    // Ctrl+V in the editor stays the editor's (it takes the key first); elsewhere in the
    // window it opens the file pasted.
    acPaste->setShortcut(QKeySequence::Paste);
    acPaste->setShortcutContext(Qt::WindowShortcut);
    ToolBar->addAction(acPaste);
    connect(Editor, &QPlainTextEdit::textChanged, this, [this] {
        if (m_loading)
            return;
        m_modified = true;
        setState(QStringLiteral("Modifié"));
    });
    NewFile();
    resize(800, 560);
}

void TScriptForm::setState(const QString& state) {
    StateLabel->setText(state);
}

bool TScriptForm::mayDiscard() {
    return !m_modified || !confirmDiscard || confirmDiscard();
}

void TScriptForm::NewFile() {
    m_loading = true;
    Editor->setPlainText(kNewFile.join(u'\n'));
    m_loading = false;
    m_fileName = QStringLiteral("script.txt");
    m_modified = false;
    FileLabel->setText(m_fileName);
    setState(QStringLiteral("Nouveau"));
}

bool TScriptForm::OpenFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QString warning;
    const QString text = TKXScript::DecodeSource(file.readAll(), &warning);
    m_loading = true;
    Editor->setPlainText(text);
    m_loading = false;
    m_fileName = QFileInfo(fileName).absoluteFilePath();
    m_modified = false;
    FileLabel->setText(m_fileName);
    setState(QStringLiteral("Ouvert"));
    noteRecent(m_fileName);
    // Said where the compiler's messages go, those of the file before gone; saving writes
    // the text in UTF-8.
    Memo->setPlainText(warning.isEmpty() ? QString()
                                         : QStringLiteral("Attention : %1 ; il sera enregistré "
                                                          "en UTF-8.")
                                               .arg(warning));
    return true;
}

bool TScriptForm::SaveFile(const QString& fileName) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    file.write(Editor->toPlainText().toUtf8());
    if (!file.commit())
        return false;
    m_fileName = QFileInfo(fileName).absoluteFilePath();
    m_modified = false;
    FileLabel->setText(m_fileName);
    setState(QStringLiteral("Enregistré"));
    noteRecent(m_fileName);
    return true;
}

void TScriptForm::setRecentFiles(const QStringList& files) {
    m_recent = files.mid(0, kRecentCount);
    fillRecentMenu();
}

void TScriptForm::noteRecent(const QString& fileName) {
    m_recent.removeAll(fileName);
    m_recent.prepend(fileName);
    while (m_recent.size() > kRecentCount)
        m_recent.removeLast();
    fillRecentMenu();
    emit recentFilesChanged();
}

void TScriptForm::fillRecentMenu() {
    RecentMenu->clear();
    for (const QString& name : m_recent)
        RecentMenu->addAction(name, this, [this, name] {
            if (mayDiscard())
                OpenFile(name);
        });
}

void TScriptForm::setRunning(bool running) {
    m_running = running;
    for (QAction* a : {naExecuteMacro, naStartMacro})
        a->setEnabled(!running);
    RunButton->setEnabled(!running);
    StartButton->setEnabled(!running);
}

void TScriptForm::ExecuteMacro() {
    // A script that runs commands may reach this window's Execute again.
    if (m_running)
        return;
    setRunning(true);
    Memo->clear();
    m_script.Script = Editor->toPlainText().split(u'\n');
    const bool compiled = m_script.Compile();
    const QStringList compileMessages = m_script.Messages;
    Memo->setPlainText(compileMessages.join(u'\n'));
    m_script.Run();
    // The run's lines replace the compiler's, but not the errors that stopped the
    // compilation: the user must see where the script is wrong.
    Memo->setPlainText(
        (compiled ? m_script.Messages : compileMessages + m_script.Messages).join(u'\n'));
    setRunning(false);
    emit runFinished();
}

void TScriptForm::StartMacro() {
    m_recording = true;
    m_loading = true;
    Editor->clear();
    const QString when =
        vrdate::qt::formatDateTime(QStringLiteral("dddddd à tt"), vrdate::nowLocal());
    Editor->appendPlainText(QStringLiteral("//Macro enregistrée le ") + when);
    Editor->appendPlainText(QString());
    Editor->appendPlainText(QStringLiteral("begin"));
    m_loading = false;
    m_modified = true;
    setState(QStringLiteral("Modifié"));
    emit recordingChanged(true);
}

void TScriptForm::StopMacro() {
    if (!m_recording)
        return;
    Editor->appendPlainText(QStringLiteral("end."));
    m_recording = false;
    emit recordingChanged(false);
}

void TScriptForm::AppendRecordedLine(const QString& line) {
    if (m_recording)
        Editor->appendPlainText(line);
}

// The window closed while its script runs: the script stops (its text stays, the window is
// only hidden).
void TScriptForm::closeEvent(QCloseEvent* event) {
    if (m_running)
        m_script.RequestStop();
    QWidget::closeEvent(event);
}

void TScriptForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutChildren();
}

void TScriptForm::layoutChildren() {
    const int toolHeight = ToolBar->sizeHint().height();
    const int statusHeight = StatusBar->sizeHint().height();
    ToolBar->setGeometry(0, 0, width(), toolHeight);
    StatusBar->setGeometry(0, height() - statusHeight, width(), statusHeight);
    const int editorWidth = std::max(50, width() - kButtonPanelWidth - 8);
    const int editorHeight = std::max(50, height() - kMemoHeight - statusHeight - toolHeight - 24);
    Editor->setGeometry(8, toolHeight + 4, editorWidth - 8, editorHeight);
    Memo->setGeometry(8, toolHeight + 8 + editorHeight, editorWidth - 8, kMemoHeight);
    const int panelLeft = editorWidth + 4;
    const int panelBottom = height() - statusHeight - kMemoHeight;
    const int runHeight = RunButton->sizeHint().height();
    const int groupHeight = MacroGroup->sizeHint().height();
    RunButton->setGeometry(panelLeft, panelBottom - runHeight, kButtonPanelWidth - 8, runHeight);
    MacroGroup->setGeometry(panelLeft, panelBottom - runHeight - 8 - groupHeight,
                            kButtonPanelWidth - 8, groupHeight);
}
