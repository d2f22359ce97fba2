#pragma once

#include "Encoders.h"

#include <QDialog>
#include <QFrame>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QSlider;
class QSpinBox;
class QTabWidget;
class QToolButton;

// Side panel 5: still images, confirmations, the store mode, and the encoder settings of the
// recordings (Wmv, DivX, Mp3 and DV tabs). Every control writes its parameter when it
// changes; LoadFromParameters fills the controls without writing anything back.
class TOptionsFrame : public QFrame {
    Q_OBJECT
public:
    // Tab numbers, as the capture-format settings button opens them.
    enum Page { pgGeneral = 0, pgWmv = 1, pgDivx = 2, pgMp3 = 3, pgDV = 4 };

    explicit TOptionsFrame(QWidget* parent = nullptr);

    // Copies the parameters into the controls and refills the encoder and profile lists.
    void LoadFromParameters();
    // Copies the states the controls keep to themselves into the parameters, before a save:
    // the WMV list text into `Profil wmv favori` and `Profil Windows media`.
    void SaveToParameters();
    // Refills the DivX list and the MP3 controls from Encoders() (after its discovery).
    void FillEncoders();
    // Re-reads the profile files and refills cboxMedia, selecting `Profil wmv favori`.
    void FillProfiles();
    void SetPage(int page);
    // Folder of the Windows Media profile files (TEncoderCatalog::DefaultProfilesFolder).
    void SetProfilesFolder(const QString& folder);
    QString profilesFolder() const { return m_profilesFolder; }
    // Checks the item of rgPrefs without emitting anything (the component's mode changed).
    void SetPrefsMode(int mode);
    // The aspect the preview shows, chosen in the DivX and DV ratio groups (and so stored).
    void SelectRatios(int ratioDivX, int ratioDV);
    // The preview lock makes the format decide the aspect: both ratio groups are off.
    void SetRatiosEnabled(bool enabled);

    QTabWidget* pcOptions;

    // General
    QWidget* tsGeneral;
    QButtonGroup* rgExtension; // 0 "bmp", 1 "jpeg"
    QGroupBox* gbQuality;
    QSlider* TrackBar1; // JPEG quality 1..100
    QLabel* labQuality;
    QCheckBox* cbConfirmerImage;
    QCheckBox* cbConfirmerVideo;
    QCheckBox* cbNotifier;
    QCheckBox* cbActiverSuperposition;
    QCheckBox* cbIconesBureau; // "Utiliser le thème d'icônes du bureau"
    QGroupBox* gbPrefs;
    QButtonGroup* rgPrefs; // "Comment sauver les préférences en quittant"

    // Wmv
    QWidget* tsWmv;
    QCheckBox* cbDefaultProfile;
    QGroupBox* gbrgProfiles;
    QButtonGroup* rgProfiles; // High, Medium, Low, Internet
    QGroupBox* gbProfiles;
    QButtonGroup* rgversion; // "4", "7", "8"
    QComboBox* cboxMedia;
    QToolButton* sbProfiles; // opens pmProfiles
    QMenu* pmProfiles;
    QLabel* labProfilesFolder;
    QToolButton* sbProfilesFolder;

    // DivX
    QWidget* tsDivx;
    QComboBox* cboxdivx;
    QToolButton* sbPropDivx;
    QToolButton* sbVersionDivx;
    QButtonGroup* rgRatioDivX; // Normal, 4x3, 16x9, natif
    QCheckBox* cbDemiTaille;
    QCheckBox* cbDeInterlacer;

    // Mp3
    QWidget* tsMp3;
    QCheckBox* cbMp3;
    QGroupBox* gbMp3;
    QComboBox* cboxBitratemp3;
    QToolButton* sbPropMp3;
    QLabel* MemoMp3;

    // DV
    QWidget* tsDV;
    QButtonGroup* rgStandard;    // 0 "Pal", 1 "Ntsc"
    QButtonGroup* rgFrequenceDV; // ids 1..3: 32000, 44100, 48000 Hz
    QButtonGroup* rgDVRatio;     // 0 "4x3", 1 "16x9"
    QCheckBox* cbfrequenceDVNative;
    QCheckBox* cbGarderFormatDV;
    QCheckBox* cbDVDemiSiDivX;
    QCheckBox* cbScn;
    QCheckBox* cbMpeg2ratioNormal;
    QLineEdit* leNoDatecode;

signals:
    // rgExtension changed: the next image name takes the new extension.
    void extensionChanged(int item);
    // "Permettre la superposition" changed: the overlay actions show or hide.
    void superpositionChanged(bool allowed);
    void notifierChanged(bool on);
    // "Utiliser le thème d'icônes du bureau" changed (by the user or from the preferences).
    void desktopIconsChanged(bool on);
    // Another DivX/Xvid entry was chosen (its name is in `Divx favori`).
    void divxChanged(const QString& name);

private:
    QWidget* buildGeneral();
    QWidget* buildWmv();
    QWidget* buildDivx();
    QWidget* buildMp3();
    QWidget* buildDV();
    void connectControls();
    void updateVisibility();
    void mp3BitrateEdited();
    void showDivxProperties();
    void showDivxVersion();
    void showMp3Advanced();

    QString m_profilesFolder;
    bool m_loading = false; // filling from the parameters: nothing is written back
};

// The "Propriétés" dialog of the DivX/Xvid encoders: one pass only.
class TDivxPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    explicit TDivxPropertiesDialog(QWidget* parent = nullptr);
    void setSettings(const TDivxSettings& settings);
    TDivxSettings settings() const;

    QSpinBox* seBitrate; // kbit/s, 0: constant quantiser
    QSpinBox* seQuantiser;
    QSpinBox* seKeyFrame;
};
