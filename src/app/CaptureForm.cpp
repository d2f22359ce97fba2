#include "CaptureForm.h"

#include "AppPaths.h"
#include "MornePreferences.h"
#include "ParameterTable.h"

TCaptureForm::TCaptureForm(QWidget* parent)
    : QMainWindow(parent), m_parameters(std::make_unique<TparameterList>(AppPaths::signature())) {
    setWindowTitle(AppPaths::signature());
    resize(700, 459);

    gp = new TMornePreferences(this);
    gp->titre = QString::fromLatin1(AppPaths::kProductName);
    gp->version = AppPaths::signature();
    gp->ownerShowHandler = [this] { ApplyPreferences(); };
    connect(gp, &TMornePreferences::OnChangeMode, this, &TCaptureForm::preferencesModeChanged);
    connect(gp, &TMornePreferences::OnSavePrefs, this, [this] { SaveControlsToParameters(); });
}

TCaptureForm::~TCaptureForm() = default;

void TCaptureForm::preferencesModeChanged(TSavePreferences mode) {
    m_prefsItemIndex = mode;
    PrefsMode = mode;
}

void TCaptureForm::ApplyPreferences() {
    CreateParameters(*m_parameters);
}

void TCaptureForm::SaveControlsToParameters() {
    if (PrefsMode == spNone)
        return;
    PrefsMode = TSavePreferences(m_prefsItemIndex);
    SaveParameters(*m_parameters);
}
