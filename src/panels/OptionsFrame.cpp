#include "OptionsFrame.h"

#include "ParameterTable.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Writes a control's state into its parameter; the parameters exist only after
// CreateParameters, and a panel may be built before.
template <class P, class V> void store(P* parameter, const V& value) {
    if (parameter)
        parameter->Value = value;
}

template <class P, class V> auto valueOf(const P* parameter, const V& fallback) {
    return parameter ? parameter->Value : decltype(parameter->Value)(fallback);
}

QVBoxLayout* compactColumn(QWidget* parent) {
    auto* l = new QVBoxLayout(parent);
    l->setContentsMargins(2, 2, 2, 2);
    l->setSpacing(2);
    return l;
}

QCheckBox* checkBox(const char* text, const char* name, QWidget* parent) {
    auto* c = new QCheckBox(QString::fromUtf8(text), parent);
    c->setObjectName(QLatin1String(name));
    return c;
}

QToolButton* toolButton(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setObjectName(QLatin1String(name));
    return b;
}

// A radio group in a group box, `columns` radios a row, ids from `firstId`.
QButtonGroup* radioGroup(QGroupBox* box, std::initializer_list<const char*> items, int columns,
                         int firstId = 0) {
    auto* group = new QButtonGroup(box);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(3, 1, 3, 1);
    grid->setSpacing(2);
    int i = 0;
    for (const char* item : items) {
        auto* radio = new QRadioButton(QString::fromUtf8(item), box);
        group->addButton(radio, firstId + i);
        grid->addWidget(radio, i / columns, i % columns);
        ++i;
    }
    return group;
}

// Checks the button of `id`; an id without a button leaves the group with none checked.
void selectId(QButtonGroup* group, int id) {
    QAbstractButton* b = group->button(id);
    if (b) {
        b->setChecked(true);
        return;
    }
    group->setExclusive(false);
    for (QAbstractButton* other : group->buttons())
        other->setChecked(false);
    group->setExclusive(true);
}

} // namespace

TOptionsFrame::TOptionsFrame(QWidget* parent)
    : QFrame(parent), m_profilesFolder(TEncoderCatalog::DefaultProfilesFolder()) {
    setObjectName(QStringLiteral("OptionsFrame"));
    // The panel shares the 275 x 400 place of the side panels.
    QFont small = font();
    if (small.pointSizeF() > 8)
        small.setPointSizeF(8);
    setFont(small);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(2);
    layout->addWidget(new QLabel(QStringLiteral("<b>Options</b>"), this));
    pcOptions = new QTabWidget(this);
    pcOptions->setObjectName(QStringLiteral("pcOptions"));
    pcOptions->setUsesScrollButtons(true);
    pcOptions->setDocumentMode(true);
    // The order gives the page numbers of Page.
    tsGeneral = buildGeneral();
    tsWmv = buildWmv();
    tsDivx = buildDivx();
    tsMp3 = buildMp3();
    tsDV = buildDV();
    pcOptions->addTab(tsGeneral, QStringLiteral("Général"));
    pcOptions->addTab(tsWmv, QStringLiteral("Wmv"));
    pcOptions->addTab(tsDivx, QStringLiteral("DivX"));
    pcOptions->addTab(tsMp3, QStringLiteral("Mp3"));
    pcOptions->addTab(tsDV, QStringLiteral("DV"));
    layout->addWidget(pcOptions, 1);
    connectControls();
    updateVisibility();
}

QWidget* TOptionsFrame::buildGeneral() {
    auto* page = new QWidget(this);
    auto* col = compactColumn(page);

    auto* row = new QHBoxLayout;
    auto* gbExtension = new QGroupBox(QStringLiteral("Images"), page);
    rgExtension = radioGroup(gbExtension, {"bmp", "jpeg"}, 1);
    row->addWidget(gbExtension);
    gbQuality = new QGroupBox(QStringLiteral("Qualité jpeg"), page);
    auto* quality = new QHBoxLayout(gbQuality);
    quality->setContentsMargins(4, 2, 4, 2);
    TrackBar1 = new QSlider(Qt::Horizontal, gbQuality);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setRange(1, 100);
    TrackBar1->setValue(50);
    labQuality = new QLabel(QStringLiteral("50"), gbQuality);
    labQuality->setMinimumWidth(labQuality->fontMetrics().horizontalAdvance(QStringLiteral("100")));
    quality->addWidget(TrackBar1, 1);
    quality->addWidget(labQuality);
    row->addWidget(gbQuality, 1);
    col->addLayout(row);

    cbConfirmerImage = checkBox("Confirmer l'écrasement des images", "cbConfirmerImage", page);
    cbConfirmerVideo = checkBox("Confirmer l'écrasement des vidéos", "cbConfirmerVideo", page);
    cbNotifier = checkBox("Suivre les branchements de périphériques", "cbNotifier", page);
    cbActiverSuperposition = checkBox("Permettre la superposition", "cbActiverSuperposition", page);
    // Kept with the preferences, not among the parameters: the window reads and writes it.
    cbIconesBureau = checkBox("Utiliser le thème d'icônes du bureau", "cbIconesBureau", page);
    cbIconesBureau->setToolTip(
        QStringLiteral("Montrer les icônes du thème du bureau à la place de celles du programme"));
    for (QCheckBox* c :
         {cbConfirmerImage, cbConfirmerVideo, cbNotifier, cbActiverSuperposition, cbIconesBureau})
        col->addWidget(c);

    gbPrefs = new QGroupBox(page);
    gbPrefs->setObjectName(QStringLiteral("gbPrefs"));
    auto* prefs = compactColumn(gbPrefs);
    auto* prefsTitle =
        new QLabel(QStringLiteral("Comment sauver les préférences en quittant"), gbPrefs);
    prefsTitle->setWordWrap(true);
    prefs->addWidget(prefsTitle);
    rgPrefs = new QButtonGroup(gbPrefs);
    const char* items[] = {"Mode normal (registre)", "Mode portable (clé USB)",
                           "Ne pas enregistrer en quittant"};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(QString::fromUtf8(items[i]), gbPrefs);
        rgPrefs->addButton(radio, i);
        prefs->addWidget(radio);
    }
    col->addWidget(gbPrefs);
    col->addStretch();
    return page;
}

// Windows Media profiles. The rule between the controls:
// - `cbDefaultProfile` chooses the source of the profile, not only what is visible: checked,
//   a recording uses the preset of `rgProfiles`; unchecked, the entry of `cboxMedia`.
// - `cboxMedia` lists the profile files of the profiles folder, entry i being file i (no entry
//   stands for a preset); the entry chosen is kept by name in `Profil wmv favori`, and a name
//   no longer found falls back to the first entry.
// - Unchecked with an empty list, the preset of `rgProfiles` is used, and the panel says so.
// TEncoderCatalog::ChosenWmvProfile applies the same rule for the recording.
QWidget* TOptionsFrame::buildWmv() {
    auto* page = new QWidget(this);
    auto* col = compactColumn(page);
    cbDefaultProfile = checkBox("Utiliser les profils pré-programmés", "cbDefaultProfile", page);
    col->addWidget(cbDefaultProfile);

    gbrgProfiles = new QGroupBox(QStringLiteral("Profils pré-programmés"), page);
    rgProfiles = radioGroup(gbrgProfiles, {"High", "Medium", "Low", "Internet"}, 2);
    col->addWidget(gbrgProfiles);

    gbProfiles = new QGroupBox(QStringLiteral("Profils du système"), page);
    auto* grid = new QGridLayout(gbProfiles);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setSpacing(2);
    auto* gbVersion = new QGroupBox(QStringLiteral("Version"), gbProfiles);
    rgversion = radioGroup(gbVersion, {"4", "7", "8"}, 3);
    grid->addWidget(gbVersion, 0, 0, 1, 2);
    cboxMedia = new QComboBox(gbProfiles);
    cboxMedia->setObjectName(QStringLiteral("cboxMedia"));
    cboxMedia->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cboxMedia->setMinimumContentsLength(12);
    pmProfiles = new QMenu(this);
    pmProfiles->setObjectName(QStringLiteral("pmProfiles"));
    sbProfiles = toolButton(QStringLiteral("▾"), "sbProfiles", gbProfiles);
    sbProfiles->setToolTip(QStringLiteral("Choisir un profil"));
    sbProfiles->setMenu(pmProfiles);
    sbProfiles->setPopupMode(QToolButton::InstantPopup);
    grid->addWidget(cboxMedia, 1, 0);
    grid->addWidget(sbProfiles, 1, 1);
    labProfilesFolder = new QLabel(gbProfiles);
    labProfilesFolder->setObjectName(QStringLiteral("labProfilesFolder"));
    labProfilesFolder->setWordWrap(true);
    sbProfilesFolder = toolButton(QStringLiteral("..."), "sbProfilesFolder", gbProfiles);
    sbProfilesFolder->setToolTip(QStringLiteral("Choisir le dossier des profils (*.prx)"));
    grid->addWidget(labProfilesFolder, 2, 0);
    grid->addWidget(sbProfilesFolder, 2, 1, Qt::AlignTop);
    grid->setColumnStretch(0, 1);
    col->addWidget(gbProfiles);
    col->addStretch();
    return page;
}

QWidget* TOptionsFrame::buildDivx() {
    auto* page = new QWidget(this);
    auto* col = compactColumn(page);
    cboxdivx = new QComboBox(page);
    cboxdivx->setObjectName(QStringLiteral("cboxdivx"));
    cboxdivx->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cboxdivx->setMinimumContentsLength(16);
    col->addWidget(cboxdivx);
    auto* row = new QHBoxLayout;
    sbPropDivx = toolButton(QStringLiteral("Propriétés"), "sbPropDivx", page);
    sbPropDivx->setToolTip(QStringLiteral("Attention à ne choisir que des réglages en 1 passe!"));
    sbVersionDivx = toolButton(QStringLiteral("version"), "sbVersionDivx", page);
    row->addWidget(sbPropDivx);
    row->addWidget(sbVersionDivx);
    row->addStretch();
    col->addLayout(row);
    auto* gbRatio = new QGroupBox(QStringLiteral("Ratio"), page);
    rgRatioDivX = radioGroup(gbRatio, {"Normal", "4x3", "16x9", "natif"}, 2);
    col->addWidget(gbRatio);
    cbDemiTaille = checkBox("Hauteur d'image DivX <= 288", "cbDemiTaille", page);
    cbDeInterlacer = checkBox("Toujours désentrelacer", "cbDeInterlacer", page);
    col->addWidget(cbDemiTaille);
    col->addWidget(cbDeInterlacer);
    col->addStretch();
    return page;
}

QWidget* TOptionsFrame::buildMp3() {
    auto* page = new QWidget(this);
    auto* col = compactColumn(page);
    cbMp3 = checkBox("Compression mp3", "cbMp3", page);
    col->addWidget(cbMp3);
    gbMp3 = new QGroupBox(QStringLiteral("Mp3"), page);
    auto* row = new QHBoxLayout(gbMp3);
    row->setContentsMargins(4, 2, 4, 2);
    cboxBitratemp3 = new QComboBox(gbMp3);
    cboxBitratemp3->setObjectName(QStringLiteral("cboxBitratemp3"));
    cboxBitratemp3->setEditable(true);
    cboxBitratemp3->setInsertPolicy(QComboBox::NoInsert);
    for (int kbps : TEncoderCatalog::Mp3Bitrates())
        cboxBitratemp3->addItem(QString::number(kbps));
    cboxBitratemp3->setCurrentText(QStringLiteral("128"));
    sbPropMp3 = toolButton(QStringLiteral("Avancé"), "sbPropMp3", gbMp3);
    row->addWidget(cboxBitratemp3);
    row->addWidget(new QLabel(QStringLiteral("kbit/s"), gbMp3));
    row->addStretch();
    row->addWidget(sbPropMp3);
    col->addWidget(gbMp3);
    MemoMp3 = new QLabel(QStringLiteral("Si vous installez le module lamemp3enc de GStreamer,\n"
                                        "vous pourrez compresser l'audio en mp3."),
                         page);
    MemoMp3->setObjectName(QStringLiteral("MemoMp3"));
    MemoMp3->setWordWrap(true);
    col->addWidget(MemoMp3);
    col->addStretch();
    return page;
}

QWidget* TOptionsFrame::buildDV() {
    auto* page = new QWidget(this);
    auto* col = compactColumn(page);
    auto* row = new QHBoxLayout;
    auto* gbStandard = new QGroupBox(QStringLiteral("Standard"), page);
    rgStandard = radioGroup(gbStandard, {"Pal", "Ntsc"}, 2);
    auto* gbRatio = new QGroupBox(QStringLiteral("Ratio"), page);
    rgDVRatio = radioGroup(gbRatio, {"4x3", "16x9"}, 2);
    row->addWidget(gbStandard);
    row->addWidget(gbRatio);
    col->addLayout(row);
    // The items stand for the values 1..3 of "FrequenceDV"; 0 (native) shows none of them.
    auto* gbFrequence = new QGroupBox(QStringLiteral("Fréquence"), page);
    rgFrequenceDV = radioGroup(gbFrequence, {"32.000 Hz", "44.100 Hz", "48.000 Hz"}, 3, 1);
    col->addWidget(gbFrequence);
    cbfrequenceDVNative =
        checkBox("Garder la fréquence native si possible", "cbfrequenceDVNative", page);
    cbGarderFormatDV = checkBox("Garder le format DV", "cbGarderFormatDV", page);
    cbDVDemiSiDivX = checkBox("Demi format si compression DivX", "cbDVDemiSiDivX", page);
    cbScn = checkBox("Créer un fichier scn", "cbScn", page);
    cbScn->setToolTip(QStringLiteral("Créer un fichier scn qui accélère l'ouverture dans Studio de "
                                     "Pinnacle,\net permet de naviguer de scène en scène avec "
                                     "Datorix."));
    cbMpeg2ratioNormal = checkBox("Mpeg2 normal affiché en 4x3", "cbMpeg2ratioNormal", page);
    for (QCheckBox* c :
         {cbfrequenceDVNative, cbGarderFormatDV, cbDVDemiSiDivX, cbScn, cbMpeg2ratioNormal})
        col->addWidget(c);
    auto* form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    leNoDatecode = new QLineEdit(page);
    leNoDatecode->setObjectName(QStringLiteral("leNoDatecode"));
    form->addRow(QStringLiteral("Affichage si pas de datecode"), leNoDatecode);
    col->addLayout(form);
    col->addStretch();
    return page;
}

void TOptionsFrame::connectControls() {
    // Check boxes: a change made by the program (the "Tous" answer of a question unchecks a
    // confirmation) writes the parameter as a click does.
    auto bindCheck = [this](QCheckBox* box, TBooleanParameter* TParameters::*member, auto then) {
        connect(box, &QCheckBox::toggled, this, [this, member, then](bool on) {
            if (m_loading)
                return;
            store(Prm.*member, on);
            then(on);
        });
    };
    auto nothing = [](bool) {};
    bindCheck(cbConfirmerImage, &TParameters::confirmerImage, nothing);
    bindCheck(cbConfirmerVideo, &TParameters::confirmerVideo, nothing);
    bindCheck(cbNotifier, &TParameters::notifier, [this](bool on) { emit notifierChanged(on); });
    bindCheck(cbActiverSuperposition, &TParameters::activerSuperposition,
              [this](bool on) { emit superpositionChanged(on); });
    connect(cbIconesBureau, &QCheckBox::toggled, this, &TOptionsFrame::desktopIconsChanged);
    bindCheck(cbDefaultProfile, &TParameters::profilParDefaut,
              [this](bool) { updateVisibility(); });
    bindCheck(cbDemiTaille, &TParameters::demiTaille, nothing);
    bindCheck(cbDeInterlacer, &TParameters::internalDeinterlacer, nothing);
    bindCheck(cbMp3, &TParameters::wantMp3, [this](bool) { updateVisibility(); });
    bindCheck(cbfrequenceDVNative, &TParameters::frequenceDVNative, nothing);
    bindCheck(cbGarderFormatDV, &TParameters::garderFormatDV, nothing);
    bindCheck(cbDVDemiSiDivX, &TParameters::dvDemiSiDivX, nothing);
    bindCheck(cbScn, &TParameters::scn, nothing);
    bindCheck(cbMpeg2ratioNormal, &TParameters::mpeg2RatioNormal, nothing);

    auto onSelect = [this](QButtonGroup* group, auto action) {
        connect(group, &QButtonGroup::idToggled, this, [this, action](int id, bool checked) {
            if (checked && !m_loading)
                action(id);
        });
    };
    onSelect(rgExtension, [this](int id) {
        store(Prm.extensionDesImages, id);
        updateVisibility();
        emit extensionChanged(id);
    });
    onSelect(rgProfiles, [](int id) { store(Prm.profileWmv, id); });
    onSelect(rgversion, [this](int id) {
        store(Prm.versionWmv, id);
        FillProfiles();
    });
    onSelect(rgRatioDivX, [](int id) { store(Prm.ratioDivX, uint8_t(id)); });
    onSelect(rgStandard, [](int id) { store(Prm.standardDV, uint8_t(id)); });
    onSelect(rgFrequenceDV, [](int id) { store(Prm.frequenceDV, uint8_t(id)); });
    onSelect(rgDVRatio, [](int id) { store(Prm.ratioDV, uint8_t(id)); });

    connect(TrackBar1, &QSlider::valueChanged, this, [this](int v) {
        labQuality->setText(QString::number(v));
        if (!m_loading)
            store(Prm.qualiteJpeg, v);
    });
    connect(leNoDatecode, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!m_loading)
            store(Prm.noDatecode, text);
    });

    connect(cboxMedia, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_loading && index >= 0)
            store(Prm.profilWmvFavori, cboxMedia->itemText(index));
    });
    connect(pmProfiles, &QMenu::triggered, this,
            [this](QAction* a) { cboxMedia->setCurrentIndex(a->data().toInt()); });
    connect(sbProfilesFolder, &QToolButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(
            this, QStringLiteral("Dossier des profils Windows Media"), m_profilesFolder);
        if (!dir.isEmpty())
            SetProfilesFolder(dir);
    });

    connect(cboxdivx, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (m_loading || index < 0)
            return;
        const QString name = cboxdivx->itemText(index);
        store(Prm.divxFavori, name);
        emit divxChanged(name);
    });
    connect(sbPropDivx, &QToolButton::clicked, this, &TOptionsFrame::showDivxProperties);
    connect(sbVersionDivx, &QToolButton::clicked, this, &TOptionsFrame::showDivxVersion);

    connect(cboxBitratemp3, &QComboBox::activated, this, [this] { mp3BitrateEdited(); });
    connect(cboxBitratemp3->lineEdit(), &QLineEdit::editingFinished, this,
            &TOptionsFrame::mp3BitrateEdited);
    connect(sbPropMp3, &QToolButton::clicked, this, &TOptionsFrame::showMp3Advanced);
}

void TOptionsFrame::updateVisibility() {
    const bool jpeg = rgExtension->checkedId() == 1;
    gbQuality->setVisible(jpeg);
    gbrgProfiles->setVisible(cbDefaultProfile->isChecked());
    gbProfiles->setVisible(!cbDefaultProfile->isChecked());

    const TEncoderCatalog& catalog = Encoders();
    const bool mp3 = catalog.mp3Available();
    pcOptions->setTabVisible(pgDivx, catalog.divxAvailable());
    // MP3 compresses the sound of DivX recordings.
    cbMp3->setVisible(mp3 && catalog.divxAvailable());
    cboxBitratemp3->setVisible(mp3 && catalog.divxAvailable());
    sbPropMp3->setVisible(mp3 && catalog.divxAvailable());
    gbMp3->setVisible(mp3 && cbMp3->isChecked());
    MemoMp3->setVisible(!mp3);
}

void TOptionsFrame::LoadFromParameters() {
    m_loading = true;
    selectId(rgExtension, valueOf(Prm.extensionDesImages, 0));
    TrackBar1->setValue(std::clamp(valueOf(Prm.qualiteJpeg, 50), 1, 100));
    labQuality->setText(QString::number(TrackBar1->value()));
    cbConfirmerImage->setChecked(valueOf(Prm.confirmerImage, true));
    cbConfirmerVideo->setChecked(valueOf(Prm.confirmerVideo, true));
    cbNotifier->setChecked(valueOf(Prm.notifier, true));
    cbActiverSuperposition->setChecked(valueOf(Prm.activerSuperposition, true));
    SetPrefsMode(int(PrefsMode));

    cbDefaultProfile->setChecked(valueOf(Prm.profilParDefaut, true));
    selectId(rgProfiles, valueOf(Prm.profileWmv, 1));
    selectId(rgversion, valueOf(Prm.versionWmv, 2));

    selectId(rgRatioDivX, valueOf(Prm.ratioDivX, 0));
    cbDemiTaille->setChecked(valueOf(Prm.demiTaille, true));
    cbDeInterlacer->setChecked(valueOf(Prm.internalDeinterlacer, true));
    cbMp3->setChecked(valueOf(Prm.wantMp3, true));

    selectId(rgStandard, valueOf(Prm.standardDV, 0));
    selectId(rgFrequenceDV, valueOf(Prm.frequenceDV, 3));
    selectId(rgDVRatio, valueOf(Prm.ratioDV, 0));
    cbfrequenceDVNative->setChecked(valueOf(Prm.frequenceDVNative, true));
    cbGarderFormatDV->setChecked(valueOf(Prm.garderFormatDV, false));
    cbDVDemiSiDivX->setChecked(valueOf(Prm.dvDemiSiDivX, true));
    cbScn->setChecked(valueOf(Prm.scn, false));
    cbMpeg2ratioNormal->setChecked(valueOf(Prm.mpeg2RatioNormal, true));
    leNoDatecode->setText(valueOf(Prm.noDatecode, QStringLiteral("N/A")));
    m_loading = false;

    FillEncoders();
    FillProfiles();
}

void TOptionsFrame::SaveToParameters() {
    if (cboxMedia->currentIndex() >= 0) {
        store(Prm.profilWmvFavori, cboxMedia->currentText());
        store(Prm.profilWindowsMedia, cboxMedia->currentText());
    }
    if (rgversion->checkedId() >= 0)
        store(Prm.versionWmv, rgversion->checkedId());
    if (rgProfiles->checkedId() >= 0)
        store(Prm.profileWmv, rgProfiles->checkedId());
}

void TOptionsFrame::FillEncoders() {
    m_loading = true;
    const TEncoderCatalog& catalog = Encoders();
    cboxdivx->clear();
    for (const TDivxEntry& e : catalog.divxEntries())
        cboxdivx->addItem(e.name, e.factory);
    if (const TDivxEntry* chosen = catalog.ChooseDivx(valueOf(Prm.divxFavori, QString())))
        cboxdivx->setCurrentText(chosen->name);
    const int kbps = LoadMp3Bitrate();
    const int item = cboxBitratemp3->findText(QString::number(kbps));
    if (item >= 0)
        cboxBitratemp3->setCurrentIndex(item);
    m_loading = false;
    updateVisibility();
}

void TOptionsFrame::FillProfiles() {
    m_loading = true;
    cboxMedia->clear();
    pmProfiles->clear();
    const auto profiles = TEncoderCatalog::SystemProfiles(m_profilesFolder);
    for (size_t i = 0; i < profiles.size(); ++i) {
        cboxMedia->addItem(profiles[i].name);
        pmProfiles->addAction(profiles[i].name)->setData(int(i));
    }
    const int favourite = cboxMedia->findText(valueOf(Prm.profilWmvFavori, QString()));
    cboxMedia->setCurrentIndex(favourite >= 0 ? favourite : (profiles.empty() ? -1 : 0));
    sbProfiles->setEnabled(!profiles.empty());
    labProfilesFolder->setToolTip(m_profilesFolder);
    labProfilesFolder->setText(
        profiles.empty() ? QStringLiteral("Aucun profil (*.prx) dans %1 : le profil pré-programmé "
                                          "choisi sera utilisé.")
                               .arg(m_profilesFolder)
                         : QStringLiteral("Dossier : %1").arg(m_profilesFolder));
    m_loading = false;
}

void TOptionsFrame::SetPage(int page) {
    if (page >= 0 && page < pcOptions->count() && pcOptions->isTabVisible(page))
        pcOptions->setCurrentIndex(page);
}

void TOptionsFrame::SetProfilesFolder(const QString& folder) {
    m_profilesFolder = folder;
    FillProfiles();
}

void TOptionsFrame::SelectRatios(int ratioDivX, int ratioDV) {
    selectId(rgRatioDivX, ratioDivX);
    selectId(rgDVRatio, ratioDV);
}

void TOptionsFrame::SetRatiosEnabled(bool enabled) {
    for (QButtonGroup* group : {rgRatioDivX, rgDVRatio})
        for (QAbstractButton* b : group->buttons())
            b->setEnabled(enabled);
}

void TOptionsFrame::SetPrefsMode(int mode) {
    // The group emits for its buttons, so both are silenced.
    const QSignalBlocker blockGroup(rgPrefs);
    for (QAbstractButton* b : rgPrefs->buttons()) {
        const QSignalBlocker block(b);
        if (rgPrefs->id(b) == mode)
            b->setChecked(true);
    }
}

void TOptionsFrame::mp3BitrateEdited() {
    bool ok = false;
    const int kbps = cboxBitratemp3->currentText().trimmed().toInt(&ok);
    if (!ok) {
        cboxBitratemp3->setCurrentText(QStringLiteral("128"));
        SaveMp3Bitrate(128);
        return;
    }
    // A number LAME cannot use leaves the stored value and shows it again.
    if (!SaveMp3Bitrate(kbps))
        cboxBitratemp3->setCurrentText(QString::number(LoadMp3Bitrate()));
}

void TOptionsFrame::showDivxProperties() {
    TDivxPropertiesDialog dialog(this);
    dialog.setSettings(LoadDivxSettings());
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!SaveDivxSettings(dialog.settings()))
        QMessageBox::warning(this, QStringLiteral("Propriétés"),
                             QStringLiteral("Les réglages n'ont pas pu être enregistrés."));
}

void TOptionsFrame::showDivxVersion() {
    const QString factory = cboxdivx->currentData().toString();
    const QString text = TEncoderCatalog::EncoderVersion(factory);
    QMessageBox::information(this, QStringLiteral("version"),
                             text.isEmpty() ? QStringLiteral("Encodeur introuvable : ") + factory
                                            : text);
}

void TOptionsFrame::showMp3Advanced() {
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Encodeur mp3"));
    auto* col = new QVBoxLayout(&dialog);
    auto* about = new QLabel(TEncoderCatalog::EncoderVersion(QStringLiteral("lamemp3enc")));
    about->setWordWrap(true);
    col->addWidget(about);
    auto* form = new QFormLayout;
    auto* bitrate = new QComboBox(&dialog);
    for (int kbps : TEncoderCatalog::Mp3Bitrates())
        bitrate->addItem(QString::number(kbps), kbps);
    bitrate->setCurrentText(QString::number(LoadMp3Bitrate()));
    form->addRow(QStringLiteral("Débit (kbit/s)"), bitrate);
    col->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    col->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (SaveMp3Bitrate(bitrate->currentData().toInt()))
        cboxBitratemp3->setCurrentText(bitrate->currentText());
}

TDivxPropertiesDialog::TDivxPropertiesDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Propriétés de l'encodeur DivX/Xvid"));
    auto* col = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    seBitrate = new QSpinBox(this);
    seBitrate->setRange(0, 100000);
    seBitrate->setSingleStep(100);
    seBitrate->setSuffix(QStringLiteral(" kbit/s"));
    seBitrate->setSpecialValueText(QStringLiteral("quantificateur constant"));
    seQuantiser = new QSpinBox(this);
    seQuantiser->setRange(2, 31);
    seKeyFrame = new QSpinBox(this);
    seKeyFrame->setRange(1, 3000);
    seKeyFrame->setSuffix(QStringLiteral(" images"));
    form->addRow(QStringLiteral("Débit"), seBitrate);
    form->addRow(QStringLiteral("Quantificateur"), seQuantiser);
    form->addRow(QStringLiteral("Image clé toutes les"), seKeyFrame);
    col->addLayout(form);
    auto* hint = new QLabel(QStringLiteral("Attention à ne choisir que des réglages en 1 passe!\n"
                                           "L'enregistrement se fait toujours en une seule "
                                           "passe ; le quantificateur ne sert qu'avec un "
                                           "débit de 0."),
                            this);
    hint->setWordWrap(true);
    col->addWidget(hint);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    col->addWidget(buttons);
    connect(seBitrate, &QSpinBox::valueChanged, this,
            [this](int v) { seQuantiser->setEnabled(v == 0); });
    setSettings({});
}

void TDivxPropertiesDialog::setSettings(const TDivxSettings& s) {
    seBitrate->setValue(s.bitrateKbps);
    seQuantiser->setValue(s.quantiser);
    seKeyFrame->setValue(s.keyFrameInterval);
    seQuantiser->setEnabled(s.bitrateKbps == 0);
}

TDivxSettings TDivxPropertiesDialog::settings() const {
    return {seBitrate->value(), seQuantiser->value(), seKeyFrame->value()};
}
