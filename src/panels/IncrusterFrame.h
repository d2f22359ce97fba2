#pragma once

#include "IncrustRec.h"

#include <QFrame>
#include <functional>
#include <optional>

class QButtonGroup;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QRadioButton;
class QSpinBox;
class QToolButton;

// Side panel 4: what the inlay shows and how. Every edit writes "IncrustRec" (or "When
// Incrust" / "Durée Incruster") and tells the window, which pushes it into the overlay; the
// panel reads the record back from the parameter, never from the overlay.
class TIncrusterFrame : public QFrame {
    Q_OBJECT
public:
    explicit TIncrusterFrame(QWidget* parent = nullptr);

    // Fills the controls from a record without writing anything back (start-up).
    void LoadRecord(const TincrustRec& rec);
    // Checks the when button and writes the duration field (start-up).
    void LoadWhen(uint8_t mode, int seconds);
    // Opens or closes the clock-correction sub-panel.
    void ToggleCorrection();
    bool correctionShown() const;
    // The chosen colour, as the colour dialog gives it (0x00BBGGRR in the record).
    void SetFontColour(uint32_t bgr);
    // An inlay switched on with both date patterns empty would draw nothing: they take the
    // first patterns of their lists (the date, the time), written to the record and shown.
    void FillEmptyPatterns();

    // What the clock correction starts from: the recording date of the picture shown (none
    // without a DV source or a valid date), and the system clock.
    std::function<std::optional<double>()> currentRecordingDate;
    std::function<double()> now;
    // "Want Incrust", as the window holds it.
    std::function<bool()> inlayWanted;

    QComboBox* FontComboBox;
    QComboBox* cbSize;
    QToolButton *tbBold, *tbItalic, *tbUnderline;
    QToolButton* ColorButton;
    QToolButton *tbLeftAlign, *tbCenter, *tbRightAlign, *tbSousTitre;
    QButtonGroup* alignGroup;
    QToolButton* tbBorder;
    QToolButton* JvImgBtn5; // "Réel"
    QToolButton* JvImgBtn1; // "Datecode"
    QToolButton* JvImgBtn2; // "Timecode"
    QToolButton* JvImgBtn3; // "Perso"
    QToolButton* JvImgBtn4; // "Néant"
    QGroupBox* gbWhen;      // "Quand incruster?"
    QRadioButton *rbPermanent, *rbUnique, *rbScene, *rbJour;
    QLineEdit* edDuree;
    QMenu* pmWhen;
    QComboBox *cbDatecode1, *cbDatecode2;
    QWidget* PanelTemplates; // the template controls, in the place of the correction
    QLineEdit *edPerso1, *edPerso2;
    QToolButton* tbDecalage;
    QLabel* labDecalage;
    QWidget* PanelDecalage;
    QLabel* labOldDate;
    QDateEdit* DateEdit2;
    QSpinBox *seHeure, *seMinute, *seSeconde;
    QToolButton* resetBtn;

    double OldDate = 0.0;
    double NewDate = 0.0;

signals:
    // "IncrustRec" changed: the overlay gets it.
    void recordChanged();
    // "When Incrust" or "Durée Incruster" changed.
    void whenChanged();
    // A kind button asks for the inlay to be switched (the window runs taIncruster).
    void inlayToggleRequested();
    // "Sous-titre": the horizontal slider goes to the middle (500).
    void subtitleChosen();
    // Typing in a text field starts or ends: "+", "−" and space are text meanwhile.
    void typingStarted();
    void typingEnded();
    // The correction sub-panel was shown or hidden.
    void correctionToggled(bool shown);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildFont(QWidget* box);
    void buildKinds(QWidget* box);
    void fitKinds();
    void buildWhen(QWidget* box);
    void buildTexts(QWidget* box);
    void buildCorrection(QWidget* box);
    void connectControls();
    void apply();
    void chooseKind(uint8_t kind);
    void recomputeOffset();
    void fillCorrection(double date);

    bool m_loading = false;
};
