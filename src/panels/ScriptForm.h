#pragma once

#include <QAction>
#include <QStringList>
#include <QWidget>
#include <functional>

class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QToolBar;
class TKXScript;
class TScriptHighlighter;

// The script window: an editor with the language's colours, the compiler's and the run's
// messages under it, the file of the script, and the macro recorder. The recorded lines come
// from the application manager through AppendRecordedLine while RecordingTarget is set.
class TScriptForm : public QWidget {
    Q_OBJECT
public:
    TScriptForm(TKXScript& script, QWidget* parent = nullptr);

    QPlainTextEdit* Editor;
    QPlainTextEdit* Memo;
    QStatusBar* StatusBar;
    QLabel* FileLabel;
    QLabel* StateLabel;
    QToolBar* ToolBar;
    QGroupBox* MacroGroup;
    QPushButton* StartButton;
    QPushButton* StopButton;
    QPushButton* RunButton;

    // The window's own actions (al_script).
    QAction* naStartMacro;
    QAction* naStopMacro;
    QAction* naExecuteMacro;
    QAction* acNew;
    QAction* acOpen;
    QAction* acPaste;
    QAction* acSave;
    QAction* acSaveAs;
    QAction* acClose;
    QAction* acParentFolder;
    QMenu* RecentMenu;

    // Copies the editor into the script, compiles, shows the messages, runs, shows them again.
    // While it runs, Execute and Start are disabled and a second call does nothing.
    void ExecuteMacro();
    bool running() const { return m_running; }
    // Recording: the editor becomes the target, cleared, with its header and "begin".
    void StartMacro();
    void StopMacro();
    bool recording() const { return m_recording; }
    void AppendRecordedLine(const QString& line);

    // Files. New holds the two comment lines and an empty program.
    void NewFile();
    bool OpenFile(const QString& fileName);
    bool SaveFile(const QString& fileName);
    QString fileName() const { return m_fileName; }
    bool modified() const { return m_modified; }
    // Asks whether unsaved changes may go (the question of confirmDiscard); true when there
    // are none.
    bool mayDiscard();
    // The 50 files opened or saved last, newest first.
    QStringList recentFiles() const { return m_recent; }
    void setRecentFiles(const QStringList& files);
    static constexpr int kRecentCount = 50;

    // Asks what to do with unsaved changes (tests answer it); true when the file may go.
    std::function<bool()> confirmDiscard;
    // Opens a folder in the desktop's file manager (the program's own way).
    std::function<void(const QString& folder)> openFolder;

signals:
    void recordingChanged(bool recording);
    void runFinished();
    void recentFilesChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void setState(const QString& state);
    void noteRecent(const QString& fileName);
    void fillRecentMenu();
    void layoutChildren();
    void setRunning(bool running);

    TKXScript& m_script;
    TScriptHighlighter* m_highlighter;
    QString m_fileName;
    QStringList m_recent;
    bool m_modified = false;
    bool m_loading = false;
    bool m_recording = false;
    bool m_running = false;
};
