#pragma once

#include "Parameters.h"

#include <QMainWindow>
#include <memory>

class TMornePreferences;

// The main window.
class TCaptureForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TCaptureForm(QWidget* parent = nullptr);
    ~TCaptureForm() override;

    TMornePreferences* gp; // preference component
    TparameterList& parameters() { return *m_parameters; }

    // Loads every parameter from the store chosen at start and applies it.
    void ApplyPreferences();
    // Copies the controls into the parameters and saves them (nothing in mode spNone).
    void SaveControlsToParameters();

private:
    void preferencesModeChanged(TSavePreferences mode);

    std::unique_ptr<TparameterList> m_parameters;
    int m_prefsItemIndex = spNone; // item of "Comment sauver les préférences en quittant"
};
