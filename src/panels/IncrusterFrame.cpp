#include "IncrusterFrame.h"

#include "DateTimeFormatQt.h"
#include "OffsetText.h"
#include "ParameterTable.h"

#include <QButtonGroup>
#include <QColorDialog>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton* toolButton(const QString& text, const QString& hint, QWidget* parent,
                        bool checkable = false) {
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setToolTip(hint);
    b->setCheckable(checkable);
    b->setAutoRaise(true);
    return b;
}

QColor colourOf(uint32_t bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

uint32_t bgrOf(const QColor& c) {
    return uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16;
}

// The record as the parameter holds it, changed by edit and written back.
template <class F> void editRecord(F edit) {
    if (!Prm.incrustRec)
        return;
    TincrustRec rec = Prm.incrustRec->Value;
    edit(rec);
    Prm.incrustRec->Value = rec;
}

uint8_t currentKind() {
    return Prm.incrustRec ? Prm.incrustRec->Value.WhatIncrust : uint8_t(wiDatecode);
}

} // namespace

TIncrusterFrame::TIncrusterFrame(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("IncrusterFrame1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);
    layout->addWidget(new QLabel(QStringLiteral("<b>Incruster</b>"), this));
    buildKinds(this);
    buildFont(this);
    buildWhen(this);
    buildTexts(this);
    buildCorrection(this);
    layout->addStretch(1);
    connectControls();
}

void TIncrusterFrame::buildKinds(QWidget* box) {
    auto* row = new QHBoxLayout;
    row->setSpacing(1);
    JvImgBtn5 = toolButton(QStringLiteral("Réel"),
                           QStringLiteral("Incruster la date et l'heure "
                                          "de l'ordinateur"),
                           box);
    JvImgBtn1 = toolButton(QStringLiteral("Datecode"),
                           QStringLiteral("Incruster la date d'enregistrement du caméscope"), box);
    JvImgBtn2 = toolButton(QStringLiteral("Timecode"),
                           QStringLiteral("Incruster le timecode de la bande"), box);
    JvImgBtn3 = toolButton(QStringLiteral("Perso"),
                           QStringLiteral("Incruster les modèles personnalisés"), box);
    JvImgBtn4 = toolButton(QStringLiteral("Néant"), QStringLiteral("Ne rien incruster"), box);
    for (QToolButton* b : {JvImgBtn5, JvImgBtn1, JvImgBtn2, JvImgBtn3, JvImgBtn4})
        row->addWidget(b);
    row->addStretch(1);
    static_cast<QVBoxLayout*>(box->layout())->addLayout(row);
    fitKinds();
}

// The five kinds share one row of the panel: where it is short, each button gives up the
// style's spare margin, never its text.
void TIncrusterFrame::fitKinds() {
    for (QToolButton* b : {JvImgBtn5, JvImgBtn1, JvImgBtn2, JvImgBtn3, JvImgBtn4})
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance(b->text()) + 10);
}

void TIncrusterFrame::changeEvent(QEvent* event) {
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitKinds();
}

void TIncrusterFrame::buildFont(QWidget* box) {
    auto* fontRow = new QHBoxLayout;
    FontComboBox = new QComboBox(box);
    FontComboBox->setObjectName(QStringLiteral("FontComboBox"));
    FontComboBox->setToolTip(QStringLiteral("Police de l'incrustation"));
    // The families fontconfig knows, as the overlay draws with them.
    FontComboBox->addItems(QFontDatabase::families());
    FontComboBox->setMinimumContentsLength(10);
    FontComboBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbSize = new QComboBox(box);
    cbSize->setObjectName(QStringLiteral("cbSize"));
    cbSize->setEditable(true);
    cbSize->addItems({"auto", "8", "9", "10", "11", "12", "14", "16", "18", "20", "22", "24", "26",
                      "28", "36", "48", "72"});
    cbSize->setMinimumContentsLength(4);
    fontRow->addWidget(FontComboBox, 1);
    fontRow->addWidget(cbSize);

    auto* styleRow = new QHBoxLayout;
    styleRow->setSpacing(1);
    tbBold = toolButton(QStringLiteral("G"), QStringLiteral("Incruster en Gras"), box, true);
    tbItalic = toolButton(QStringLiteral("I"), QStringLiteral("Incruster en italiques"), box, true);
    tbUnderline =
        toolButton(QStringLiteral("S"), QStringLiteral("Souligner le texte incrusté"), box, true);
    QFont bold = tbBold->font();
    bold.setBold(true);
    tbBold->setFont(bold);
    QFont italic = tbItalic->font();
    italic.setItalic(true);
    tbItalic->setFont(italic);
    QFont underline = tbUnderline->font();
    underline.setUnderline(true);
    tbUnderline->setFont(underline);
    ColorButton = toolButton(QString(),
                             QStringLiteral("Choisir la couleur de la police "
                                            "d'incrustation"),
                             box);
    ColorButton->setObjectName(QStringLiteral("ColorButton"));
    tbLeftAlign = toolButton(QStringLiteral("⇤"), QStringLiteral("Aligner à gauche"), box, true);
    tbCenter = toolButton(QStringLiteral("↔"), QStringLiteral("Centrer"), box, true);
    tbRightAlign = toolButton(QStringLiteral("⇥"), QStringLiteral("Aligner à droite"), box, true);
    tbSousTitre = toolButton(QStringLiteral("ST"),
                             QStringLiteral("Centrer en bas, comme un sous-titre"), box, true);
    alignGroup = new QButtonGroup(this);
    alignGroup->addButton(tbLeftAlign, 0);
    alignGroup->addButton(tbCenter, 1);
    alignGroup->addButton(tbRightAlign, 2);
    alignGroup->addButton(tbSousTitre, 3);
    tbBorder = toolButton(QString(), QStringLiteral("Bord autour des lettres"), box);
    tbBorder->setObjectName(QStringLiteral("tbBorder"));
    tbBorder->setPopupMode(QToolButton::InstantPopup);
    auto* borders = new QMenu(tbBorder);
    const char* const names[] = {"Aucun bord", "1 pixel",  "2 pixels",
                                 "3 pixels",   "4 pixels", "5 pixels"};
    for (int i = 0; i < 6; ++i) {
        QAction* a = borders->addAction(QString::fromUtf8(names[i]));
        connect(a, &QAction::triggered, this, [this, i] {
            editRecord([i](TincrustRec& r) { r.BorderSize = i; });
            tbBorder->setText(i == 0 ? QString() : QString::number(i));
            apply();
        });
    }
    tbBorder->setMenu(borders);
    for (QToolButton* b : {tbBold, tbItalic, tbUnderline, ColorButton, tbLeftAlign, tbCenter,
                           tbRightAlign, tbSousTitre, tbBorder})
        styleRow->addWidget(b);
    styleRow->addStretch(1);
    auto* layout = static_cast<QVBoxLayout*>(box->layout());
    layout->addLayout(fontRow);
    layout->addLayout(styleRow);
}

void TIncrusterFrame::buildWhen(QWidget* box) {
    gbWhen = new QGroupBox(QStringLiteral("Quand incruster?"), box);
    auto* grid = new QGridLayout(gbWhen);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setVerticalSpacing(0);
    rbPermanent = new QRadioButton(QStringLiteral("en permanence"), gbWhen);
    rbUnique = new QRadioButton(QStringLiteral("une seule fois"), gbWhen);
    rbScene = new QRadioButton(QStringLiteral("à chaque scène"), gbWhen);
    rbJour = new QRadioButton(QStringLiteral("chaque jour"), gbWhen);
    grid->addWidget(rbPermanent, 0, 0);
    grid->addWidget(rbUnique, 0, 1);
    grid->addWidget(rbScene, 1, 0);
    grid->addWidget(rbJour, 1, 1);
    auto* durationLabel = new QLabel(QStringLiteral("Durée (en secondes)"), gbWhen);
    edDuree = new QLineEdit(QStringLiteral("5"), gbWhen);
    edDuree->setObjectName(QStringLiteral("edDuree"));
    edDuree->setToolTip(QStringLiteral("Durée (en secondes)"));
    edDuree->setMaximumWidth(50);
    grid->addWidget(durationLabel, 2, 0);
    grid->addWidget(edDuree, 2, 1);
    // A menu of the same choices that changes nothing, offered on the group.
    pmWhen = new QMenu(gbWhen);
    for (const char* entry : {"permanent", "unique", "scenes", "jour", "selon srt", "jamais"})
        pmWhen->addAction(QLatin1String(entry));
    gbWhen->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(gbWhen, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pmWhen->popup(gbWhen->mapToGlobal(at)); });
    box->layout()->addWidget(gbWhen);
}

void TIncrusterFrame::buildTexts(QWidget* box) {
    auto* patterns = new QHBoxLayout;
    cbDatecode1 = new QComboBox(box);
    cbDatecode1->setObjectName(QStringLiteral("cbDatecode1"));
    cbDatecode1->setEditable(true);
    cbDatecode1->addItems({"ddddd", "tt", "dddddd", "ddddd tt", "dddddd tt", "d mmm yyyy"});
    cbDatecode2 = new QComboBox(box);
    cbDatecode2->setObjectName(QStringLiteral("cbDatecode2"));
    cbDatecode2->setEditable(true);
    cbDatecode2->addItems({"tt", "ddddd", "dddddd", "ddddd t", "dddddd tt", "d mmm yyyy"});
    for (QComboBox* c : {cbDatecode1, cbDatecode2}) {
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setToolTip(QStringLiteral("Format de la date incrustée"));
        patterns->addWidget(c, 1);
    }
    static_cast<QVBoxLayout*>(box->layout())->addLayout(patterns);

    PanelTemplates = new QWidget(box);
    auto* templates = new QVBoxLayout(PanelTemplates);
    templates->setContentsMargins(0, 0, 0, 0);
    templates->setSpacing(2);
    templates->addWidget(
        new QLabel(QStringLiteral("modèles d'incrustation personnalisée"), PanelTemplates));
    edPerso1 = new QLineEdit(PanelTemplates);
    edPerso1->setObjectName(QStringLiteral("edPerso1"));
    edPerso2 = new QLineEdit(PanelTemplates);
    edPerso2->setObjectName(QStringLiteral("edPerso2"));
    templates->addWidget(edPerso1);
    templates->addWidget(edPerso2);
    box->layout()->addWidget(PanelTemplates);
}

void TIncrusterFrame::buildCorrection(QWidget* box) {
    PanelDecalage = new QWidget(box);
    PanelDecalage->setObjectName(QStringLiteral("PanelDecalage"));
    auto* layout = new QVBoxLayout(PanelDecalage);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    labOldDate = new QLabel(PanelDecalage);
    labOldDate->setObjectName(QStringLiteral("labOldDate"));
    layout->addWidget(labOldDate);
    auto* group = new QGroupBox(QStringLiteral("Nouvelle date"), PanelDecalage);
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(4, 2, 4, 2);
    DateEdit2 = new QDateEdit(group);
    DateEdit2->setObjectName(QStringLiteral("DateEdit2"));
    DateEdit2->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    DateEdit2->setCalendarPopup(true);
    seHeure = new QSpinBox(group);
    seHeure->setRange(0, 23);
    seMinute = new QSpinBox(group);
    seMinute->setRange(0, 59);
    seSeconde = new QSpinBox(group);
    seSeconde->setRange(0, 59);
    seHeure->setSuffix(QStringLiteral(" h"));
    seMinute->setSuffix(QStringLiteral(" m"));
    seSeconde->setSuffix(QStringLiteral(" s"));
    resetBtn = toolButton(QStringLiteral("Reset"),
                          QStringLiteral("Remettre le décalage horaire "
                                         "à zéro."),
                          group);
    resetBtn->setAutoRaise(false);
    grid->addWidget(DateEdit2, 0, 0, 1, 2);
    grid->addWidget(resetBtn, 0, 2);
    grid->addWidget(seHeure, 1, 0);
    grid->addWidget(seMinute, 1, 1);
    grid->addWidget(seSeconde, 1, 2);
    layout->addWidget(group);
    PanelDecalage->hide();
    box->layout()->addWidget(PanelDecalage);

    auto* row = new QHBoxLayout;
    tbDecalage = toolButton(QStringLiteral("Masquer décalage"),
                            QStringLiteral("Cliquer pour corriger un décalage horaire"), box, true);
    tbDecalage->setObjectName(QStringLiteral("tbDecalage"));
    tbDecalage->setAutoRaise(false);
    labDecalage = new QLabel(box);
    labDecalage->setObjectName(QStringLiteral("labDecalage"));
    row->addWidget(tbDecalage);
    row->addWidget(labDecalage, 1);
    static_cast<QVBoxLayout*>(box->layout())->addLayout(row);
}

void TIncrusterFrame::connectControls() {
    connect(FontComboBox, &QComboBox::currentTextChanged, this, [this](const QString& name) {
        if (m_loading)
            return;
        editRecord([&](TincrustRec& r) { r.FontRec.FontName = name; });
        apply();
    });
    connect(cbSize, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (m_loading)
            return;
        editRecord([&](TincrustRec& r) {
            r.Autofontsize = text == QLatin1String("auto");
            if (r.Autofontsize)
                return;
            bool ok = false;
            const int size = text.trimmed().toInt(&ok);
            if (ok && size > 0)
                r.FontRec.FontSize = size;
        });
        apply();
    });
    const struct {
        QToolButton* button;
        uint8_t TfontRecord::*flag;
    } styles[] = {{tbBold, &TfontRecord::FontBold},
                  {tbItalic, &TfontRecord::FontItalic},
                  {tbUnderline, &TfontRecord::FontUnderline}};
    for (const auto& s : styles)
        connect(s.button, &QToolButton::toggled, this, [this, flag = s.flag](bool down) {
            if (m_loading)
                return;
            editRecord([&](TincrustRec& r) { r.FontRec.*flag = down ? 1 : 0; });
            apply();
        });
    connect(ColorButton, &QToolButton::clicked, this, [this] {
        const uint32_t current = Prm.incrustRec ? Prm.incrustRec->Value.FontRec.FontColor : 0;
        const QColor chosen = QColorDialog::getColor(colourOf(current), this);
        if (chosen.isValid())
            SetFontColour(bgrOf(chosen));
    });
    connect(alignGroup, &QButtonGroup::idClicked, this, [this](int id) {
        editRecord([id](TincrustRec& r) { r.Alignement = uint8_t(id); });
        // The slider's own handler may turn the sub-title into a centred text (at 500).
        if (id == 3)
            emit subtitleChosen();
        apply();
    });
    const struct {
        QToolButton* button;
        uint8_t kind;
    } kinds[] = {{JvImgBtn5, wiReel},
                 {JvImgBtn1, wiDatecode},
                 {JvImgBtn2, wiTimecode},
                 {JvImgBtn3, wiPerso}};
    for (const auto& k : kinds)
        connect(k.button, &QToolButton::clicked, this, [this, kind = k.kind] { chooseKind(kind); });
    connect(JvImgBtn4, &QToolButton::clicked, this, [this] {
        if (inlayWanted && inlayWanted())
            emit inlayToggleRequested();
    });
    const QRadioButton* whens[] = {rbPermanent, rbUnique, rbScene, rbJour};
    for (int i = 0; i < 4; ++i)
        connect(whens[i], &QRadioButton::clicked, this, [this, i] {
            if (Prm.whenIncrust)
                Prm.whenIncrust->Value = uint8_t(i);
            emit whenChanged();
        });
    connect(edDuree, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_loading)
            return;
        if (Prm.dureeIncruster)
            Prm.dureeIncruster->Value = text.trimmed().toInt(); // 0 when not a number
        emit whenChanged();
    });
    connect(cbDatecode1, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (m_loading)
            return;
        editRecord([&](TincrustRec& r) { r.FormatDate1 = text; });
        apply();
    });
    connect(cbDatecode2, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (m_loading)
            return;
        editRecord([&](TincrustRec& r) { r.FormatDate2 = text; });
        apply();
    });
    connect(edPerso1, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_loading)
            return;
        editRecord([&](TincrustRec& r) { r.Incrust1 = text; });
        apply();
    });
    connect(edPerso2, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_loading)
            return;
        editRecord([&](TincrustRec& r) { r.Incrust2 = text; });
        apply();
    });
    // The fields where "+", "−" and space are text.
    for (QWidget* w :
         std::initializer_list<QWidget*>{cbDatecode1, cbDatecode1->lineEdit(), cbDatecode2,
                                         cbDatecode2->lineEdit(), edPerso1, edPerso2, edDuree})
        w->installEventFilter(this);

    connect(tbDecalage, &QToolButton::clicked, this, [this] {
        // The button shows the sub-panel's state, not the click's.
        tbDecalage->setChecked(correctionShown());
        ToggleCorrection();
    });
    for (QSpinBox* spin : {seHeure, seMinute, seSeconde})
        connect(spin, &QSpinBox::valueChanged, this, [this] { recomputeOffset(); });
    connect(DateEdit2, &QDateEdit::dateChanged, this, [this] { recomputeOffset(); });
    connect(resetBtn, &QToolButton::clicked, this, [this] {
        fillCorrection(OldDate);
        recomputeOffset();
    });
}

bool TIncrusterFrame::eventFilter(QObject* watched, QEvent* event) {
    // Focus moves between a combo and its line edit without leaving the field.
    if (event->type() == QEvent::FocusIn)
        emit typingStarted();
    else if (event->type() == QEvent::FocusOut)
        emit typingEnded();
    return QFrame::eventFilter(watched, event);
}

void TIncrusterFrame::apply() {
    const uint8_t kind = currentKind();
    tbDecalage->setEnabled(kind == wiDatecode || kind == wiReel);
    emit recordChanged();
}

void TIncrusterFrame::chooseKind(uint8_t kind) {
    editRecord([kind](TincrustRec& r) { r.WhatIncrust = kind; });
    if (inlayWanted && !inlayWanted())
        emit inlayToggleRequested();
    apply();
}

void TIncrusterFrame::SetFontColour(uint32_t bgr) {
    editRecord([bgr](TincrustRec& r) { r.FontRec.FontColor = bgr; });
    QPixmap swatch(16, 16);
    swatch.fill(colourOf(bgr));
    ColorButton->setIcon(QIcon(swatch));
    if (!m_loading)
        apply();
}

void TIncrusterFrame::FillEmptyPatterns() {
    if (!Prm.incrustRec || !Prm.incrustRec->Value.FormatDate1.isEmpty() ||
        !Prm.incrustRec->Value.FormatDate2.isEmpty())
        return;
    // Through the fields, as if typed: the record, the overlay and the settings follow.
    cbDatecode1->setEditText(cbDatecode1->itemText(0));
    cbDatecode2->setEditText(cbDatecode2->itemText(0));
}

void TIncrusterFrame::LoadRecord(const TincrustRec& rec) {
    m_loading = true;
    // Alignment 3 has no button of its own in the record's view: all stay up.
    alignGroup->setExclusive(false);
    for (QAbstractButton* b : alignGroup->buttons())
        b->setChecked(false);
    if (rec.Alignement <= 2)
        alignGroup->button(rec.Alignement)->setChecked(true);
    alignGroup->setExclusive(true);
    edPerso1->setText(rec.Incrust1);
    edPerso2->setText(rec.Incrust2);
    cbDatecode1->setEditText(rec.FormatDate1);
    cbDatecode2->setEditText(rec.FormatDate2);
    int font = FontComboBox->findText(rec.FontRec.FontName);
    // A family the machine lacks shows fontconfig's match for its name (Liberation Sans for
    // Arial, the desktop's sans-serif for a name it does not know), which is the family the
    // overlay draws with: never the list's first entry, a family nobody chose.
    if (font < 0)
        font = FontComboBox->findText(QFontInfo(QFont(rec.FontRec.FontName)).family());
    FontComboBox->setCurrentIndex(font >= 0 ? font : 0);
    cbSize->setEditText(rec.Autofontsize ? QStringLiteral("auto")
                                         : QString::number(rec.FontRec.FontSize));
    tbBold->setChecked(rec.FontRec.FontBold != 0);
    tbItalic->setChecked(rec.FontRec.FontItalic != 0);
    tbUnderline->setChecked(rec.FontRec.FontUnderline != 0);
    QPixmap swatch(16, 16);
    swatch.fill(colourOf(rec.FontRec.FontColor));
    ColorButton->setIcon(QIcon(swatch));
    tbBorder->setText(rec.BorderSize > 0 ? QString::number(rec.BorderSize) : QString());
    labDecalage->setText(rec.Decalage != 0.0 ? offset::OffsetText(rec.Decalage) : QString());
    tbDecalage->setEnabled(rec.WhatIncrust == wiDatecode || rec.WhatIncrust == wiReel);
    m_loading = false;
}

void TIncrusterFrame::LoadWhen(uint8_t mode, int seconds) {
    m_loading = true;
    QRadioButton* whens[] = {rbPermanent, rbUnique, rbScene, rbJour};
    whens[std::min<int>(mode, 3)]->setChecked(true);
    edDuree->setText(QString::number(seconds));
    m_loading = false;
}

bool TIncrusterFrame::correctionShown() const {
    return !PanelDecalage->isHidden();
}

void TIncrusterFrame::ToggleCorrection() {
    if (correctionShown()) {
        tbDecalage->setChecked(false);
        PanelDecalage->hide();
        PanelTemplates->show();
        emit correctionToggled(false);
        return;
    }
    switch (currentKind()) {
    case wiDatecode: {
        const std::optional<double> date =
            currentRecordingDate ? currentRecordingDate() : std::nullopt;
        if (!date)
            return; // no camcorder date to correct
        OldDate = offset::CutToSeconds(*date);
        break;
    }
    case wiReel:
        OldDate = offset::CutToSeconds(now ? now() : vrdate::nowLocal());
        break;
    default:
        break;
    }
    fillCorrection(OldDate);
    labOldDate->setText(QStringLiteral("Ancienne date: ") +
                        vrdate::qt::formatDateTime(QStringLiteral("ddddd tt"), OldDate));
    tbDecalage->setChecked(true);
    PanelTemplates->hide();
    PanelDecalage->show();
    PanelDecalage->raise();
    emit correctionToggled(true);
}

void TIncrusterFrame::fillCorrection(double date) {
    vrdate::DateTimeParts parts;
    if (!vrdate::decodeDateTime(date, parts))
        return;
    m_loading = true;
    DateEdit2->setDate(QDate(parts.year, parts.month, parts.day));
    seHeure->setValue(parts.hour);
    seMinute->setValue(parts.minute);
    seSeconde->setValue(parts.second);
    m_loading = false;
}

void TIncrusterFrame::recomputeOffset() {
    if (m_loading)
        return;
    const QDate day = DateEdit2->date();
    const std::optional<double> date =
        vrdate::encodeDateTime(day.year(), day.month(), day.day(), 0, 0, 0, 0);
    if (!date)
        return;
    NewDate = offset::Compose(*date, seHeure->value(), seMinute->value(), seSeconde->value());
    const double shift = NewDate - OldDate;
    editRecord([shift](TincrustRec& r) { r.Decalage = shift; });
    labDecalage->setText(NewDate != OldDate ? offset::OffsetText(shift) : QString());
    emit recordChanged();
}
