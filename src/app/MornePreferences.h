#pragma once

#include "ActionStore.h"
#include "Preferences.h"
#include "PreferencesMan.h"

#include <QObject>
#include <QRect>
#include <functional>
#include <memory>
#include <optional>

class QWidget;
class TSavePrefsForm;

// The preference component of the main window: decides where preferences live when the
// window is first shown, asks the user at the first close when nothing is stored yet,
// erases the store no longer used, and lends a store manager to the action list.
class TMornePreferences : public QObject, public IActionStore {
    Q_OBJECT
public:
    explicit TMornePreferences(QWidget* owner);
    ~TMornePreferences() override;

    QString titre; // the program's bare name
    // False when the program closes by a signal or the session's end: with nothing stored,
    // nothing is asked, stored or erased.
    bool askWhenNothingStored = true;
    QString version; // product title and maker credit

    // The owner's own show and close-query handlers, which the component calls at its
    // place in the sequence.
    std::function<void()> ownerShowHandler;
    std::function<bool()> ownerCloseQueryHandler; // false refuses the close
    // Around the store question at the first close: the owner makes itself ready for it, and
    // is put back as it was when the question is cancelled.
    std::function<void()> ownerBeforeQuestion;
    std::function<void()> ownerQuestionCancelled;

    TSavePreferences mode() const { return m_mode; }
    TSavePreferences DetectMode() const;
    void SetMode(TSavePreferences mode);
    TPreferencesMan& manager() { return *m_manager; }
    TSavePrefsForm* dialog() const { return m_dialog; }
    // Called by an OnSavePrefs handler whose store could not be written; the user is told
    // once the save is over.
    void NoteSaveFailure() { m_saveFailed = true; }

    // Values of persistent actions, by name at the root key.
    bool ReadBool(const QString& name, bool def) override;
    QString ReadText(const QString& name, const QString& def) override;
    QRect ReadRect(const QString& name, const QRect& def) override;
    bool WriteBool(const QString& name, bool value) override;
    bool WriteText(const QString& name, const QString& value) override;
    bool WriteRect(const QString& name, const QRect& value) override;

    // Where the product's registry key and the INI file are (from titre).
    QString productKeyPath() const;
    QString iniFilePath() const;

signals:
    void OnChangeMode(TSavePreferences aMode);
    void OnLoadPrefs(TMornePreferences* sender);
    void OnSavePrefs(TMornePreferences* sender);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ownerShown();
    bool ownerCloseQuery();
    void eraseRegistryStore();

    QWidget* m_owner;
    TSavePreferences m_mode = spNone;
    std::unique_ptr<TPreferencesMan> m_manager;
    TSavePrefsForm* m_dialog;
    bool m_showDone = false;
    bool m_closeDone = false;
    bool m_saveFailed = false;
    bool m_asking = false;                      // the store question is open
    bool m_starting = false;                    // the mode the start finds is being set
    std::optional<TSavePreferences> m_answered; // the answer of a close that waits
};
