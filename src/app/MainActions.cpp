// The main window's actions: the table of every command with its category, caption,
// shortcuts, switch and token, and the handlers this window answers itself.
#include "CaptureForm.h"
#include "IncrusterFrame.h"

#include "AppliMan.h"
#include "CamForm.h"
#include "CameraWindows.h"
#include "CaptureFormat.h"
#include "CommandLineHelp.h"
#include "CommandRunner.h"
#include "Dm.h"
#include "DossiersFrame.h"
#include "ExtraireFrame.h"
#include "HelpFrame.h"
#include "ImageList.h"
#include "IncrusterFrame.h"
#include "KXScript.h"
#include "LayoutMath.h"
#include "ListeFrame.h"
#include "MornePreferences.h"
#include "OptionsFrame.h"
#include "ParameterTable.h"
#include "Prompts.h"
#include "RaccourcisForm.h"
#include "RecordingController.h"
#include "ScriptForm.h"
#include "SourcesController.h"
#include "SourcesFrame.h"
#include "StillsController.h"
#include "SuperAction.h"
#include "VideoWidget.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSlider>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

enum Kind { S, T };

struct ActionRow {
    const char* name;
    Kind kind;
    bool autoCheck;
    const char* category;
    const char* caption; // empty: no caption
    const char* shortcut;
    const char* secondary; // one secondary shortcut, or empty
    const char* sw;
    const char* token;
    int image;
};

using namespace ImageList;

// In list order: a key goes to the first action of the list that answers it.
const ActionRow kActions[] = {
    {"saGrab", S, false, "action", "Grab!", "F5", "Ctrl+G", "g", "grab", imGrab},
    {"tafullscreen", T, false, "action", "Mettre en plein écran", "Alt+Return", "", "fs",
     "full_screen", imFullScreen},
    {"acOptionsFrame", S, false, "frame", "Panneau Options", "F10", "Alt+O", "of", "options_frame",
     imPanelOptions},
    {"acDossiersFrame", S, false, "frame", "Panneau Dossiers", "Alt+D", "", "df",
     "directories_frame", imPanelFolders},
    {"acProgrammerFrame", S, false, "frame", "Panneau Programmer", "Alt+P", "", "pf",
     "program_frame", imPanelProgram},
    {"acExtraireFrame", S, false, "frame", "Panneau Extraire", "Alt+G", "", "gf", "grab_frame",
     imPanelGrab},
    {"acIncrusterFrame", S, false, "frame", "Panneau Incruster", "Alt+I", "", "if", "inlay_frame",
     imPanelInlay},
    {"acQuitter", S, false, "general", "Quitter", "Alt+F4", "Ctrl+Q", "q", "quit", imQuit},
    {"acApropos", S, false, "frame", "Panneau A propos...", "Alt+A", "", "af", "about_frame",
     imPanelAbout},
    {"acCouper", S, false, "action", "Couper", "F7", "Ctrl+X", "k", "cut", imCut},
    {"acProgrammerBascule", S, false, "action", "Prog", "Ctrl+P", "", "p", "program", imProgram},
    {"acJpgOption", S, false, "Options", "Jpg", "Ctrl+J", "", "j", "jpeg", imJpeg},
    {"acBmpOption", S, false, "Options", "Bmp", "Ctrl+B", "", "b", "bmp", imBmp},
    {"acBasculerPanneau", S, false, "frame", "Panneau Inverser", "Alt+W", "", "w", "switch",
     imSwap},
    {"acNextPanneau", S, false, "frame", "Panneau Suivant", "F6", "Alt+N", "nf", "next_frame",
     imNextPanel},
    {"acHelp", S, false, "frame", "Panneau Aide", "F1", "Alt+H", "hf", "help_frame", imPanelHelp},
    {"acReduire", S, true, "frame", "Réduire", "Alt+Backspace", "", "r", "reduce", imReduce},
    {"acSourcesFrame", S, false, "frame", "Panneau Sources", "F2", "Alt+S", "sf", "sources_frame",
     imPanelSources},
    {"cam_PlayPause", T, false, "camera", "caméra PlayPause", "Ins", "", "x", "play", imPlay},
    {"cam_Stop", S, false, "camera", "caméra Stop", "Ctrl+End", "", "s", "stop", imStop},
    {"cam_AvanceLent", S, false, "camera", "caméra Avance Lent", "Ctrl+Right", "", "as",
     "advance_slow", imForward},
    {"cam_AvanceRapide", S, false, "camera", "caméra Avance Rapide", "Ctrl+Down", "", "ff",
     "fast_forward", imFastForward},
    {"cam_ReculeLent", S, false, "camera", "caméra Recule Lent", "Ctrl+Left", "", "bs", "back_slow",
     imBackward},
    {"cam_ReculeRapide", S, false, "camera", "caméra Recule Rapide", "Ctrl+Up", "", "bf",
     "back_fast", imRewind},
    {"saCapturerBascule", S, true, "action", "Capturer", "Ctrl+Space", "", "c", "capture",
     imCapture},
    {"acShowVideoPilotDV", S, false, "action", "", "", "", "pv", "pilot_video", -1},
    {"acVertFlip", S, true, "action", "Miroir Vertical", "F4", "", "vf", "vertical_flip",
     imVertFlip},
    {"acDatorix", S, false, "action", "Datorix", "F8", "", "dd", "datorix", imDatorix},
    {"acOuvrirDossierVideos", S, false, "action", "Ouvrir le dossier des vidéos", "Alt+V", "", "v",
     "open_folder", imFolder},
    {"acIncVolume", S, false, "action", "Augmenter le volume", "", "", "iv", "inc_volume",
     imVolumeUp},
    {"acDecVolume", S, false, "action", "Diminuer le volume", "", "", "dv", "dec_volume",
     imVolumeDown},
    {"acSliders", S, false, "frame", "Afficher les curseurs", "Alt+Y", "", "ss", "sliders",
     imSliders},
    {"acHorzFlip", S, true, "action", "Miroir Horizontal", "Shift+F4", "", "zf", "horizontal_flip",
     imHorzFlip},
    {"acShowAudioPilotDV", S, false, "action", "", "", "", "pa", "pilot_audio", -1},
    {"cam_Toggle", S, false, "camera", "caméra Basculer", "Ctrl+Home", "", "ct", "cameras_toggle",
     -1},
    {"saExitFullScreen", S, false, "action", "Interrompre", "Esc", "", "ef", "exit_fullscreen", -1},
    {"taraccourcis", T, false, "Morne", "Afficher les raccourcis", "F11", "", "o", "shortcuts",
     imShortcuts},
    {"taDecalage", T, false, "Morne", "", "", "", "dh", "decalage", -1},
    {"saDecalage", S, false, "Morne", "", "", "", "", "", -1},
    {"taFreezepreview", T, true, "Morne", "Relancer la preview", "F3", "", "fp", "freeze_preview",
     imFreeze},
    {"taFreezeCapture", T, true, "Morne", "Geler la capture", "Space", "", "fc", "freeze_capture",
     imFreeze},
    {"taIncruster", T, false, "action", "Incruster", "F12", "", "i", "inlay", imInlay},
    {"taLock", T, false, "Morne", "Preview conforme", "F9", "", "l", "lock", imLock},
    {"saListeFrame", S, false, "frame", "Panneau Liste", "Alt+L", "", "lf", "liste_frame",
     imPanelList},
    {"taMute", T, false, "action", "Couper le son", "Ctrl+M", "", "m", "mute", imMute},
    {"saRatioNormal", S, false, "Morne", "Image normale", "Alt+F8", "", "rn", "ratio_normal", -1},
    {"saRatioNatif", S, false, "Morne", "Image native", "Alt+F7", "", "rf", "ratio_natif", -1},
    {"saRatio16x9", S, false, "Morne", "Image 16x9", "Alt+F6", "", "rw", "ratio_16x9", -1},
    {"saRatio4x3", S, false, "Morne", "Image 4x3", "Alt+F5", "", "rs", "ratio_4x3", -1},
    {"cam_Play", S, false, "camera", "caméra Play", "Ctrl+Ins", "", "cp", "camera_play", imPlay},
    {"cam_Pause", S, false, "camera", "caméra Pause", "Ctrl+Del", "", "co", "camera_pause",
     imPause},
    {"saIntervallo", S, false, "Morne", "Basculer l'intervallomètre", "", "", "it",
     "intervalometer", imIntervalometer},
    {"saScript", S, false, "Morne", "Lancer script", "", "", "", "", imScript},
    {"saSourceVideo", S, false, "select", "Source Vidéo", "", "", "sv", "source_video", -1},
    {"saSourceAudio", S, false, "select", "Source Audio", "", "", "sa", "source_audio", -1},
    {"saFormatCapture", S, false, "select", "Format Capture", "", "", "fc", "format_capture", -1},
    {"saDossierVideo", S, false, "select", "Dossier des vidéos", "", "", "", "dossier_video", -1},
    {"saDossierImages", S, false, "select", "Dossier des images", "", "", "", "dossier_images", -1},
    {"saFichierDv", S, false, "select", "Fichier DV", "", "", "", "dv_fichier", -1},
};

struct ToggleTexts {
    const char* name;
    const char* trueCaption;
    const char* falseCaption;
};

const ToggleTexts kToggleTexts[] = {
    {"tafullscreen", "Enlever le plein écran", "Mettre en plein écran"},
    {"taraccourcis", "Masquer les raccourcis", "Afficher les raccourcis"},
    {"taDecalage", "Masquer décalage", "Ajouter un décalage"},
    {"taFreezepreview", "Geler la preview", "Relancer la preview"},
    {"taFreezeCapture", "Geler la capture", "Relancer la capture"},
    {"taIncruster", "Stopper l'incrustation", "Incruster"},
    {"taLock", "Preview libre", "Preview conforme"},
    {"taMute", "Remettre le son", "Couper le son"},
    {"cam_PlayPause", "caméra PlayPause", "caméra PlayPause"},
};

// What the command line's help says of the actions that have no caption.
const struct {
    const char* name;
    const char* text;
} kUncaptioned[] = {
    {"acShowVideoPilotDV", "Afficher ou masquer la fenêtre DV de la source vidéo"},
    {"acShowAudioPilotDV", "Afficher ou masquer la fenêtre DV de la source audio"},
    {"taDecalage", "Afficher ou masquer le décalage de l'horloge (panneau Incruster)"},
};

// The keys the window gives these actions when it is created (key texts cannot name the
// keypad's plus and minus).
QKeySequence shortcutSetAtCreation(const QLatin1String name) {
    if (name == QLatin1String("acIncVolume"))
        return QKeySequence(Qt::KeypadModifier | Qt::Key_Plus);
    if (name == QLatin1String("acDecVolume"))
        return QKeySequence(Qt::KeypadModifier | Qt::Key_Minus);
    if (name == QLatin1String("saIntervallo"))
        return QKeySequence(Qt::Key_Pause);
    return {};
}

} // namespace

QList<CommandLineActionRow> CommandLineActionRows() {
    QList<CommandLineActionRow> rows;
    QStringList switchesSeen;
    for (const ActionRow& a : kActions) {
        if (!*a.sw && !*a.token)
            continue;
        CommandLineActionRow row;
        row.name = QLatin1String(a.name);
        row.switchName = QLatin1String(a.sw);
        row.token = QLatin1String(a.token);
        row.caption = QString::fromUtf8(a.caption);
        for (const auto& u : kUncaptioned)
            if (row.caption.isEmpty() && row.name == QLatin1String(u.name))
                row.caption = QString::fromUtf8(u.text);
        QKeySequence key = shortcutSetAtCreation(QLatin1String(a.name));
        if (key.isEmpty())
            key = QKeySequence::fromString(QLatin1String(a.shortcut), QKeySequence::PortableText);
        row.shortcut = FrenchKeyText(key);
        row.secondaryShortcut = FrenchKeyText(
            QKeySequence::fromString(QLatin1String(a.secondary), QKeySequence::PortableText));
        row.category = QLatin1String(a.category);
        row.toggle = a.kind == T;
        row.takesArgument = row.category == QLatin1String("select");
        // The first action of the list with a name wins it.
        row.switchShadowed = !row.switchName.isEmpty() && switchesSeen.contains(row.switchName);
        switchesSeen << row.switchName << row.token;
        rows << row;
    }
    return rows;
}

void TCaptureForm::createActions() {
    for (const ActionRow& row : kActions) {
        TCustomSuperAction* a = row.kind == T
                                    ? static_cast<TCustomSuperAction*>(new TtoggleAction(this))
                                    : new TSuperAction(this);
        const QString name = QLatin1String(row.name);
        a->setObjectName(name);
        a->Category = QLatin1String(row.category);
        a->setText(QString::fromUtf8(row.caption));
        a->ShortCut =
            QKeySequence::fromString(QLatin1String(row.shortcut), QKeySequence::PortableText);
        if (const QKeySequence key = shortcutSetAtCreation(QLatin1String(row.name)); !key.isEmpty())
            a->ShortCut = key;
        if (*row.secondary)
            a->SecondaryShortcuts = {
                QKeySequence::fromString(QLatin1String(row.secondary), QKeySequence::PortableText)};
        a->setSwitch(QLatin1String(row.sw));
        a->setToken(QLatin1String(row.token));
        a->AutoCheck = row.autoCheck;
        if (row.autoCheck)
            a->setCheckable(true);
        a->setImageindex(row.image);
        a->setIcon(ImageList::icon(row.image));
        connect(a, &TCustomSuperAction::OnImageChanged, a,
                [a](int index) { a->setIcon(ImageList::icon(index)); });
        al.append(a);
        m_actions.insert(name, a);
    }
    for (const ToggleTexts& t : kToggleTexts) {
        auto* toggle = static_cast<TtoggleAction*>(action(QLatin1String(t.name)));
        toggle->setCheckable(true);
        toggle->TrueCaption = QString::fromUtf8(t.trueCaption);
        toggle->FalseCaption = QString::fromUtf8(t.falseCaption);
        toggle->TrueImageIndex = toggle->FalseImageIndex = toggle->imageindex();
    }
    static_cast<TtoggleAction*>(action("taDecalage"))->SetChecked(true);
    auto* freezePreview = static_cast<TtoggleAction*>(action("taFreezepreview"));
    freezePreview->FalseHint = QStringLiteral("Cliquer pour geler la preview.\r\nPermet "
                                              "d'enregistrer sans trop solliciter le processeur.");
    freezePreview->TrueHint = QStringLiteral("Cliquer pour réactiver la preview.");
    auto* freezeCapture = static_cast<TtoggleAction*>(action("taFreezeCapture"));
    freezeCapture->FalseHint = QStringLiteral(
        "Cliquer pour geler la capture.\r\nPermet de faire une pause dans l'enregistrement "
        "d'un fichier\r\npour le reprendre plus tard.");
    freezeCapture->TrueHint = QStringLiteral(
        "Cliquer pour relancer la capture.\r\nPermet d'enregistrer plusieurs séquences à la "
        "suite\r\ndans un même fichier.");
}

void TCaptureForm::bindAction(const QString& name, std::function<void(QObject*)> handler) {
    TCustomSuperAction* a = action(name);
    if (auto* toggle = qobject_cast<TtoggleAction*>(a)) {
        // Both states run the same handler, which reads the state it acts on.
        toggle->OnTrueExecute = handler;
        toggle->OnfalseExecute = handler;
        toggle->SetChecked(toggle->isChecked());
    } else {
        a->Onexecute = std::move(handler);
    }
}

void TCaptureForm::connectHandlers() {
    const char* const panelActions[9] = {"acSourcesFrame",  "acDossiersFrame",  "acProgrammerFrame",
                                         "acExtraireFrame", "acIncrusterFrame", "acOptionsFrame",
                                         "saListeFrame",    "acHelp",           "acApropos"};
    for (int i = 0; i < 9; ++i)
        bindAction(QLatin1String(panelActions[i]), [this, i](QObject*) {
            // The help opens on its first page, the help text.
            if (i == 7 && HelpFrame1)
                HelpFrame1->PageControl->setCurrentIndex(0);
            ShowPanel(i);
        });
    action("acCouper")
        ->setToolTip(
            QStringLiteral("Couper la capture en cours et continuer dans un nouveau fichier."));
    bindAction("acNextPanneau",
               [this](QObject*) { ShowPanel(LayoutMath::nextPanel(Prm.panneauActif->Value)); });
    bindAction("acBasculerPanneau", [this](QObject* sender) { swapSides(sender); });
    bindAction("acQuitter", [this](QObject*) { close(); });
    bindAction("acReduire", [this](QObject*) { setReduced(action("acReduire")->isChecked()); });

    // Toggle actions: the handler bound to the current state switches it over.
    auto* fullScreen = static_cast<TtoggleAction*>(action("tafullscreen"));
    fullScreen->OnTrueExecute = [this](QObject*) { toggleFullScreen(false); };
    fullScreen->OnfalseExecute = [this](QObject*) { toggleFullScreen(true); };
    fullScreen->SetChecked(false);
    bindAction("saExitFullScreen", [this](QObject*) {
        if (action("tafullscreen")->isChecked())
            action("tafullscreen")->executeInteractive(this);
    });
    auto* mute = static_cast<TtoggleAction*>(action("taMute"));
    mute->OnTrueExecute = [this](QObject*) { toggleMute(false); };
    mute->OnfalseExecute = [this](QObject*) { toggleMute(true); };
    mute->SetChecked(false);
    auto* shortcuts = static_cast<TtoggleAction*>(action("taraccourcis"));
    shortcuts->OnTrueExecute = [this](QObject*) { showRaccourcis(false); };
    shortcuts->OnfalseExecute = [this](QObject*) { showRaccourcis(true); };
    shortcuts->SetChecked(false);
    shortcuts->Onprepare = [this, shortcuts](QObject*, bool&) {
        // The window may have been closed by its title bar.
        if (m_raccourcis)
            shortcuts->SetChecked(m_raccourcis->isVisible());
    };
    auto* inlay = static_cast<TtoggleAction*>(action("taIncruster"));
    inlay->OnTrueExecute = [this, inlay](QObject*) {
        inlay->SetChecked(false);
        Prm.wantIncrust->Value = false;
        m_session->setOverlayIncrust(false);
        updateStatusTexts();
    };
    inlay->OnfalseExecute = [this, inlay](QObject*) {
        inlay->SetChecked(true);
        Prm.wantIncrust->Value = true;
        if (IncrusterFrame1)
            IncrusterFrame1->FillEmptyPatterns();
        m_session->setOverlayIncrust(m_session->videoReady);
        updateStatusTexts();
    };
    inlay->SetChecked(false);
    auto* lock = static_cast<TtoggleAction*>(action("taLock"));
    lock->OnTrueExecute = [this, lock](QObject*) {
        lock->SetChecked(false);
        Prm.previewLocked->Value = false;
        if (recorder)
            recorder->ApplyPreviewLock();
    };
    lock->OnfalseExecute = [this, lock](QObject*) {
        lock->SetChecked(true);
        Prm.previewLocked->Value = true;
        if (recorder)
            recorder->ApplyPreviewLock();
    };
    lock->SetChecked(false);
    // The freezes keep their state here; the recording controller acts on it. Each state has
    // its own handler (freeze from the unchecked state, release from the checked one), so a
    // command line or a script line ends where the shortcut does, whichever moment the
    // check mark flips.
    auto* freezePreview = static_cast<TtoggleAction*>(action("taFreezepreview"));
    auto previewFrozen = [this](bool frozen) {
        Prm.freezePreview->Value = frozen;
        if (m_dm)
            m_dm->SetPreviewFrozen(frozen);
        // The picture that stays is not the source's: it says so.
        if (videoWidget)
            videoWidget->setNotice(frozen ? QStringLiteral("❚❚ Prévisualisation figée (F3)")
                                          : QString());
    };
    freezePreview->OnfalseExecute = [previewFrozen](QObject*) { previewFrozen(true); };
    freezePreview->OnTrueExecute = [previewFrozen](QObject*) { previewFrozen(false); };
    freezePreview->SetChecked(freezePreview->isChecked());
    auto* freezeCapture = static_cast<TtoggleAction*>(action("taFreezeCapture"));
    auto captureFrozen = [this](bool frozen) {
        Prm.freezeCapture->Value = frozen;
        if (recorder)
            recorder->SetCaptureFrozen(frozen);
    };
    freezeCapture->OnfalseExecute = [captureFrozen](QObject*) { captureFrozen(true); };
    freezeCapture->OnTrueExecute = [captureFrozen](QObject*) { captureFrozen(false); };
    freezeCapture->SetChecked(freezeCapture->isChecked());
    bindAction("saCapturerBascule", [this](QObject*) {
        if (recorder)
            recorder->CaptureCommand();
    });
    bindAction("acCouper", [this](QObject*) {
        if (recorder)
            recorder->CutRecording();
    });
    bindAction("acProgrammerBascule", [this](QObject*) {
        if (recorder)
            recorder->ScheduleCommand();
    });
    bindAction("saGrab", [this](QObject*) {
        if (stills)
            stills->Grab();
    });

    bindAction("acVertFlip", [this](QObject*) { applyFlip(true); });
    bindAction("acHorzFlip", [this](QObject*) { applyFlip(false); });
    bindAction("acSliders", [this](QObject*) { toggleSliders(); });
    connect(Shape1, &QObject::objectNameChanged, this, [] {});
    bindAction("acIncVolume", [this](QObject*) { setVolume(Prm.volume->Value + 1000); });
    bindAction("acDecVolume", [this](QObject*) { setVolume(Prm.volume->Value - 1000); });
    connect(tb, &QSlider::valueChanged, this, [this](int value) {
        if (!Prm.volume)
            return;
        Prm.volume->Value = value;
        ApplyVolume();
    });

    const std::pair<const char*, int> ratios[] = {
        {"saRatioNormal", 0}, {"saRatio4x3", 1}, {"saRatio16x9", 2}, {"saRatioNatif", 3}};
    for (const auto& [name, value] : ratios)
        bindAction(QLatin1String(name), [this, value = value](QObject*) {
            Prm.aspectRatio->Value = uint8_t(value);
            ApplyAspectRatio();
        });
    // Through the options panel's choice, which stores it and gives the next name back.
    bindAction("acJpgOption", [this](QObject*) { OptionsFrame->rgExtension->button(1)->click(); });
    bindAction("acBmpOption", [this](QObject*) { OptionsFrame->rgExtension->button(0)->click(); });
    // The transport keys drive the keyboard camera's bar.
    const struct {
        const char* name;
        void (Tnav_captureframe::*command)();
    } transport[] = {{"cam_Play", &Tnav_captureframe::Play},
                     {"cam_Pause", &Tnav_captureframe::Pause},
                     {"cam_Stop", &Tnav_captureframe::Stop},
                     {"cam_AvanceLent", &Tnav_captureframe::SlowForward},
                     {"cam_ReculeLent", &Tnav_captureframe::SlowReverse},
                     {"cam_AvanceRapide", &Tnav_captureframe::FastForward},
                     {"cam_ReculeRapide", &Tnav_captureframe::FastReverse},
                     {"cam_PlayPause", &Tnav_captureframe::PlayPause}};
    for (const auto& t : transport)
        bindAction(QLatin1String(t.name), [this, command = t.command](QObject*) {
            if (cameras)
                (cameras->keyboardBar()->*command)();
        });
    bindAction("cam_Toggle", [this](QObject*) {
        if (cameras)
            cameras->Toggle();
    });
    bindAction("acShowVideoPilotDV", [this](QObject*) {
        if (cameras && sources)
            cameras->ShowPilot(sources->currentVideo());
    });
    bindAction("acShowAudioPilotDV", [this](QObject*) {
        if (cameras && sources)
            cameras->ShowPilot(sources->currentAudio());
    });
    bindAction("saIntervallo", [this](QObject*) {
        if (!stills)
            return;
        ExtraireFrame1->RxSwitch1->toggle();
        stills->SwitchChanged(ExtraireFrame1->RxSwitch1->isChecked());
    });
    bindAction("acDatorix", [this](QObject*) { openDatorix(); });

    // Source and format selectors: the interactive path takes the combo's text.
    const struct {
        const char* name;
        QComboBox* TSourcesFrame::*combo;
    } selectors[] = {{"saSourceVideo", &TSourcesFrame::cboxvideo},
                     {"saSourceAudio", &TSourcesFrame::cboxAudio},
                     {"saFormatCapture", &TSourcesFrame::cbFormatCapture}};
    for (const auto& sel : selectors) {
        QComboBox* combo = SourcesFrame->*(sel.combo);
        action(QLatin1String(sel.name))->Onprepare = [combo](QObject*, bool&) {
            ActionArguments().append(combo->currentText());
        };
    }
    // Each runs once a recording part being finished has its end; a source change that stops
    // the recording ends it first.
    bindAction("saSourceVideo", [this](QObject*) {
        if (!sources || ActionArguments().isEmpty())
            return;
        const QString name = ActionArguments().first();
        sources->Change(
            [this, name] {
                sources->SelectVideoSource(name);
                sources->FillCaptureFormats(Prm.captureFormat->Value);
            },
            [this, name] { return sources->videoChangeStops(name); });
    });
    bindAction("saSourceAudio", [this](QObject*) {
        if (!sources || ActionArguments().isEmpty())
            return;
        const QString name = ActionArguments().first();
        sources->Change(
            [this, name] {
                sources->SelectAudioSource(name);
                sources->FillCaptureFormats(Prm.captureFormat->Value);
            },
            [this, name] { return sources->audioChangeStops(name); });
    });
    // A DV file played as a tape: the one named (from the command line or a script), else the
    // one the user picks.
    bindAction("saFichierDv", [this](QObject*) {
        if (!sources)
            return;
        const QString path =
            ActionArguments().isEmpty() ? QString() : ActionArguments().first().trimmed();
        if (path.isEmpty())
            sources->AskDvFile();
        else if (!QDir::isAbsolutePath(path))
            // A command line handed over by a second start was typed in another folder.
            prompts().warning(this, QStringLiteral("Le fichier DV « %1 » n'est pas pris : il doit "
                                                   "être donné par son chemin complet.")
                                        .arg(path));
        else
            sources->ChooseDvFile(path);
    });
    bindAction("saFormatCapture", [this](QObject*) {
        if (!sources || ActionArguments().isEmpty())
            return;
        // Typed by a person: any case; an unknown name changes nothing and says why.
        const QString name = ActionArguments().first();
        const std::optional<uint8_t> format = CaptureFormatFromTypedName(name);
        if (!format) {
            prompts().warning(this, QStringLiteral("Format d'enregistrement inconnu : « %1 ». "
                                                   "Le format reste %2. Formats possibles : %3.")
                                        .arg(name, CaptureFormatLabel(Prm.captureFormat->Value),
                                             CaptureFormatNames().join(QStringLiteral(", "))));
            return;
        }
        sources->Change([this, format = *format] { sources->FillCaptureFormats(format); });
    });
    // The folders from the command line or a script (a job run by cron chooses where it
    // records): a full path, made when missing; anything else keeps the folder and says why.
    auto chooseFolder = [this](QLineEdit* field, const QString& what) {
        if (ActionArguments().isEmpty())
            return;
        const QString folder = ActionArguments().first().trimmed();
        QString why;
        if (!QDir::isAbsolutePath(folder))
            why = QStringLiteral("il doit être donné par son chemin complet");
        else if (!QDir().mkpath(folder) || !QFileInfo(folder).isWritable())
            why = QStringLiteral("il ne peut pas être créé ou n'accepte pas l'écriture");
        if (!why.isEmpty()) {
            prompts().warning(this, QStringLiteral("Le dossier %1 « %2 » n'est pas pris : %3. Le "
                                                   "dossier reste %4.")
                                        .arg(what, folder, why, field->text()));
            return;
        }
        field->setText(QDir::toNativeSeparators(folder));
    };
    bindAction("saDossierVideo", [this, chooseFolder](QObject*) {
        chooseFolder(DossiersFrame1->VideoDirEdit, QStringLiteral("des vidéos"));
    });
    bindAction("saDossierImages", [this, chooseFolder](QObject*) {
        chooseFolder(DossiersFrame1->ImageDirEdit, QStringLiteral("des images"));
    });
    bindAction("acOuvrirDossierVideos", [this](QObject*) { openVideoFolder(); });
    connect(ListeFrame, &TListeFrame::parentFolderRequested, this,
            &TCaptureForm::showInFileManager);
    connect(ListeFrame, &TListeFrame::openRequested, this, &TCaptureForm::openInPlayer);

    action("saScript")->Onprepare = [this](QObject*, bool& proceed) {
        const QString file = QFileDialog::getOpenFileName(this, QString(), QString(),
                                                          QStringLiteral("*.txt (*.txt)"));
        if (file.isEmpty())
            proceed = false;
        else
            ActionArguments().append(file);
    };
    bindAction("saScript", [this](QObject*) {
        if (!ActionArguments().isEmpty())
            Script1->RunScriptFile(ActionArguments().first());
    });

    connect(leFramerate, &QLineEdit::editingFinished, this, [this] { readFramerateField(); });
    connect(rgPrefs, &QButtonGroup::idClicked, this, [this](int id) {
        if (id != gp->mode())
            gp->SetMode(TSavePreferences(id));
    });
}

void TCaptureForm::readFramerateField() {
    bool ok = false;
    const double rate = QLocale().toDouble(leFramerate->text(), &ok);
    if (ok && rate > 0) {
        Prm.framerate->Value = rate;
        return;
    }
    prompts().warning(this, QStringLiteral("La valeur de \"images/seconde\" n'est pas correcte\r\n"
                                           "Entrez une valeur décimale - avec virgule comme "
                                           "séparateur"));
    leFramerate->setText(QStringLiteral("18,0"));
    Prm.framerate->Value = 18.0;
}

void TCaptureForm::showRaccourcis(bool show) {
    action("taraccourcis")->SetChecked(show);
    if (!m_raccourcis)
        return;
    m_raccourcis->setVisible(show);
    if (show)
        m_raccourcis->raise();
}

void TCaptureForm::openDatorix() {
    const QString program = Prm.datorix->Value;
    if (program.isEmpty() || !QFileInfo(program).isFile()) {
        prompts().information(this, QStringLiteral("Datorix de Ardoval n'a pas été trouvé sur cet "
                                                   "ordinateur\r\nS'il est présent, indiquez son "
                                                   "nom dans le panneau des dossiers (ALT+D)."));
        return;
    }
    QStringList files;
    for (const QString& f : m_session->recordedFiles())
        if (QFileInfo::exists(f))
            files << f;
    QProcess::startDetached(program, files);
}

void TCaptureForm::openInPlayer(const QString& file) {
    const QString name = QDir::toNativeSeparators(file);
    if (!QFileInfo::exists(file)) {
        prompts().warning(this, QStringLiteral("Le fichier « %1 » n'existe plus.").arg(name));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
        prompts().warning(this, QStringLiteral("Aucun lecteur du bureau n'a pu ouvrir « %1 ». "
                                               "Ouvrez-le depuis votre lecteur vidéo (le "
                                               "lanceur xdg-open n'a pas répondu).")
                                    .arg(name));
}

void TCaptureForm::openVideoFolder() {
    const QStringList files = m_session->recordedFiles();
    if (!files.isEmpty()) {
        showInFileManager(files.last());
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(Prm.videoDirectory->Value));
}

void TCaptureForm::showInFileManager(const QString& file) {
    // The file browser with the file selected, where one answers on the session bus.
    QDBusInterface fm(QStringLiteral("org.freedesktop.FileManager1"),
                      QStringLiteral("/org/freedesktop/FileManager1"),
                      QStringLiteral("org.freedesktop.FileManager1"),
                      QDBusConnection::sessionBus());
    if (fm.isValid()) {
        QDBusReply<void> reply =
            fm.call(QStringLiteral("ShowItems"), QStringList{QUrl::fromLocalFile(file).toString()},
                    QString());
        if (reply.isValid())
            return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).absolutePath()));
}

void TCaptureForm::createManagerActions() {
    am = new TKXAppliMan(this);
    auto add = [this](TCustomAbstractAction* a, const QString& name, const QString& scriptName,
                      const QString& sw) {
        a->setObjectName(name);
        a->ScriptName = scriptName;
        a->setSwitch(sw);
        a->Category = QStringLiteral("internal");
        am->actions.append(a);
        return a;
    };

    raFormSave =
        static_cast<TRectAction*>(add(new TRectAction(am), QStringLiteral("raFormSave"),
                                      QStringLiteral("FormSave"), QStringLiteral("formsave")));
    raFormSave->ApplyWhenLoad = true;
    raFormSave->OnDefault = [this] { raFormSave->Value = geometry(); };
    raFormSave->BeforeSave = [this] {
        if (!action("acReduire")->isChecked())
            raFormSave->Value = normalGeometry();
    };
    raFormSave->OnAfterApply = [this] {
        // A place stored for another screen, or written by hand, comes back where it shows.
        const QRect r = LayoutMath::placeOnScreens(raFormSave->Value, availableScreens());
        raFormSave->Value = r;
        if (r.width() >= 200 && r.height() >= 150) {
            setGeometry(r);
            // Reduced at start: the stored size is the one to come back to.
            if (action("acReduire")->isChecked())
                m_sizeBeforeReduced = r.size();
        }
    };

    const auto camDefault = [this](TRectAction* cam) {
        return
            [this, cam] { cam->Value = QRect(geometry().left(), geometry().bottom(), 568, 132); };
    };
    raCam1 = static_cast<TRectAction*>(add(new TRectAction(am), QStringLiteral("raCam1"),
                                           QStringLiteral("raCam1"), QStringLiteral("cam1")));
    raCam1->OnDefault = camDefault(raCam1);
    raCam2 = static_cast<TRectAction*>(add(new TRectAction(am), QStringLiteral("raCam2"),
                                           QStringLiteral("Cam2"), QStringLiteral("cam2")));
    raCam2->OnDefault = camDefault(raCam2);
    // The camcorder windows keep their place: read before saving, put back when applied.
    for (int i = 0; i < 2; ++i) {
        TRectAction* cam = i == 0 ? raCam1 : raCam2;
        cam->BeforeSave = [this, cam, i] {
            if (cameras)
                cam->Value = cameras->window(i)->geometry();
        };
        cam->OnAfterApply = [this] { placeCameraWindows(); };
    }

    // The manager's own windows, shown or hidden in turn.
    for (const ManagerWindowRow& w : ManagerWindowRows()) {
        auto* check = static_cast<TCheckAction*>(add(new TCheckAction(am), QLatin1String(w.name),
                                                     QLatin1String(w.scriptName),
                                                     QString::fromLatin1(w.scriptName).toLower()));
        check->ShortCut =
            QKeySequence::fromString(QLatin1String(w.shortcut), QKeySequence::PortableText);
        check->DefaultValue = false;
        QWidget* window = nullptr;
        if (QLatin1String(w.name) == QLatin1String("caScript")) {
            window = createScriptWindow();
            // F12 is the inlay's in the main list, which comes first: the window gets a key
            // of its own and a button in the tool bar.
            check->SecondaryShortcuts << QKeySequence::fromString(
                QLatin1String(w.secondaryShortcut), QKeySequence::PortableText);
            check->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
            check->TrueCaption = check->FalseCaption = QStringLiteral("Script");
            check->TrueHint = check->FalseHint =
                QStringLiteral("Fenêtre Script (Maj+F12) : écrire, enregistrer et exécuter des "
                               "macros");
            check->setText(check->FalseCaption);
            check->setToolTip(check->FalseHint);
            scriptWindowAction = check;
        } else {
            window = new QWidget(this, Qt::Tool);
            window->setWindowTitle(QString::fromUtf8(w.title));
            window->resize(420, 300);
        }
        const QLatin1String name(w.name);
        if (name == QLatin1String("caHelp")) {
            auto* layout = new QVBoxLayout(window);
            auto* text = new QTextBrowser(window);
            text->setObjectName(QStringLiteral("managerHelp"));
            layout->addWidget(text);
            window->resize(640, 520);
            check->OnBeforeTrueApply = [this, text] { text->setHtml(managerHelpHtml()); };
        } else if (name != QLatin1String("caScript")) {
            // The manager's about, options and custom frames: what they are about, briefly.
            auto* layout = new QVBoxLayout(window);
            auto* text = new QLabel(window);
            text->setWordWrap(true);
            text->setTextInteractionFlags(Qt::TextSelectableByMouse);
            layout->addWidget(text);
            if (name == QLatin1String("caAbout")) {
                guint major = 0, minor = 0, micro = 0, nano = 0;
                gst_version(&major, &minor, &micro, &nano);
                text->setText(QStringLiteral("<b>%1</b> %2<br><br>Qt %3, GStreamer %4.%5.%6")
                                  .arg(QCoreApplication::applicationName(),
                                       QCoreApplication::applicationVersion(),
                                       QString::fromLatin1(qVersion()))
                                  .arg(major)
                                  .arg(minor)
                                  .arg(micro));
            } else if (name == QLatin1String("caOptions"))
                check->OnBeforeTrueApply = [this, text] {
                    const char* modes[] = {"dans le registre", "dans un fichier ini (portable)",
                                           "nulle part"};
                    text->setText(
                        QStringLiteral("Les préférences sont enregistrées %1.")
                            .arg(QString::fromUtf8(modes[std::clamp(int(PrefsMode), 0, 2)])));
                };
            else
                text->setText(QStringLiteral("Aucune personnalisation pour l'instant."));
        }
        // The window closed by its own title bar, or a state read back at start while the
        // window is hidden: a press always turns over what the user sees.
        check->OnPrepare = [check, window] {
            check->Value = window->isVisible();
            return true;
        };
        check->OnAfterTrueApply = [window] { window->show(); };
        check->OnAfterFalseApply = [window] { window->hide(); };
        m_managerWindows.append(check);
    }

    // The script window keeps its place.
    raScriptFormSave = static_cast<TRectAction*>(
        add(new TRectAction(am), QStringLiteral("raScriptFormSave"),
            QStringLiteral("ScriptFormSave"), QStringLiteral("scriptformsave")));
    raScriptFormSave->ApplyWhenLoad = true;
    raScriptFormSave->OnDefault = [this] { raScriptFormSave->Value = QRect(300, 300, 800, 560); };
    raScriptFormSave->BeforeSave = [this] {
        if (scriptForm)
            raScriptFormSave->Value = scriptForm->geometry();
    };
    raScriptFormSave->OnAfterApply = [this] {
        const QRect r = LayoutMath::placeOnScreens(raScriptFormSave->Value, availableScreens());
        if (scriptForm && r.width() >= 200 && r.height() >= 150)
            scriptForm->setGeometry(r);
    };

    auto* quit = static_cast<TNopeAction*>(
        add(new TNopeAction(am), QStringLiteral("naQuit"), QString(), QStringLiteral("naquit")));
    quit->IncludePrefs = false;
    quit->ShortCut = QKeySequence(Qt::ALT | Qt::Key_F4);
    quit->OnAfterApply = [this] { close(); };
}

const QString TCaptureForm::kDecalageDeclaration =
    QStringLiteral("procedure Decalage(const jours:widestring);");

// The script window and its component: every script gets the manager's actions as
// procedures, a message box for showmessage, and the event loop between its steps (Esc
// stops it); while the window records, each action applied writes its line into the editor.
QWidget* TCaptureForm::createScriptWindow() {
    m_script = std::make_unique<TKXScript>();
    m_script->OnCompile = [this](TKXScript& script) {
        for (TCustomAbstractAction* action : am->actions)
            if (action)
                action->RegisterInScript(script);
        // The clock correction of the inlay, as the window's own action applies it.
        script.RegisterRoutine(kDecalageDeclaration, [this](vscript::HostCall& call) {
            ActionArguments().clear();
            ActionArguments() << (call.args.empty() ? QString() : call.args[0].toString());
            if (TCustomSuperAction* decalage = action(QStringLiteral("saDecalage")))
                decalage->runHandler(this);
            return vscript::ScriptValue();
        });
        registerScriptCommands(script);
    };
    scriptForm = new TScriptForm(*m_script, this);
    m_script->showMessage = [this](const QString& text) {
        prompts().information(scriptForm, text);
    };
    m_script->processMessages = [] { QCoreApplication::processEvents(); };
    auto* stop = new QAction(scriptForm);
    stop->setShortcut(QKeySequence(Qt::Key_Escape));
    stop->setShortcutContext(Qt::WindowShortcut);
    connect(stop, &QAction::triggered, this, [this] { m_script->RequestStop(); });
    scriptForm->addAction(stop);
    scriptForm->confirmDiscard = [this] {
        return prompts().question(scriptForm, QStringLiteral("Le script a été modifié. "
                                                             "Abandonner les modifications ?")) ==
               IPrompts::Yes;
    };
    scriptForm->openFolder = [](const QString& folder) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    };
    connect(am, &TKXAppliMan::lineRecorded, scriptForm, &TScriptForm::AppendRecordedLine);
    connect(scriptForm, &TScriptForm::recordingChanged, this, [this](bool on) {
        am->recording = on;
        am->recordedLines.clear();
        m_macroClock.invalidate();
    });
    for (TCustomSuperAction* a : std::as_const(al))
        connect(a, &TCustomSuperAction::executedByUser, this, [this, a] { recordUserAction(a); });
    // A close asked while the script ran (its commande('/quit'), the window closed) comes
    // once the script has stopped.
    connect(scriptForm, &TScriptForm::runFinished, this, [this] {
        if (std::exchange(m_closeAfterScript, false))
            QTimer::singleShot(0, this, [this] { close(); });
    });
    return scriptForm;
}

// The manager's help: its keys, the procedures its actions give scripts, the routines every
// script gets, and how the script window is used.
QString TCaptureForm::managerHelpHtml() const {
    QString html = QStringLiteral("<h3>Aide pour Raccourcis, Script et Macros</h3>");
    html += QStringLiteral("<h4>Raccourcis</h4><table>");
    auto row = [&html](const QString& a, const QString& b) {
        html += QStringLiteral("<tr><td>%1</td><td>&nbsp;&nbsp;%2</td></tr>")
                    .arg(a.toHtmlEscaped(), b.toHtmlEscaped());
    };
    for (TCustomAbstractAction* a : am->actions)
        if (a && !a->ShortCut.isEmpty())
            row(FrenchKeyText(a->ShortCut), a->ScriptName);
    row(QStringLiteral("F3"), QStringLiteral("Démarrer l'enregistrement d'une macro"));
    row(QStringLiteral("F4"), QStringLiteral("Arrêter l'enregistrement"));
    row(QStringLiteral("F5"), QStringLiteral("Compiler et exécuter le script"));
    row(QStringLiteral("Echap"), QStringLiteral("Arrêter le script en cours"));
    html += QStringLiteral("</table><h4>Procédures des actions</h4><p>");
    for (TCustomAbstractAction* a : am->actions)
        if (a && !a->ScriptName.isEmpty())
            for (const QString& d : a->ScriptDeclaration().split(QStringLiteral("\r\n")))
                html += QStringLiteral("<code>%1</code> &nbsp; <i>%2</i><br>")
                            .arg(d.toHtmlEscaped(), a->SwitchSyntax().toHtmlEscaped());
    html += QStringLiteral("<code>%1</code><br>").arg(kDecalageDeclaration.toHtmlEscaped());
    html += QStringLiteral("<code>%1</code> &nbsp; <i>exécute une ligne de commande du "
                           "programme : <code>commande('/c')</code>, "
                           "<code>commande('+fs')</code>, <code>commande('/sv=Mire de "
                           "test')</code> ; chaque token de la colonne Script des raccourcis "
                           "s'atteint par <code>commande('/'+token)</code></i><br>")
                .arg(kCommandeDeclaration.toHtmlEscaped());
    html += QStringLiteral("<code>%1</code> &nbsp; <i>attend ms millisecondes pendant que le "
                           "programme continue (Echap arrête le script)</i><br>")
                .arg(kAttendreDeclaration.toHtmlEscaped());
    html += QStringLiteral("</p><h4>Routines des scripts</h4><p>");
    for (const QString& d : TKXScript::HostDeclarations())
        html += QStringLiteral("<code>%1</code><br>").arg(d.toHtmlEscaped());
    html += QStringLiteral(
        "</p><h4>Utilisation</h4><p>Ecrivez le script entre <code>begin</code> et "
        "<code>end.</code> dans la fenêtre Script (Maj+F12, ou le bouton Script de la barre "
        "d'outils), puis exécutez-le avec F5 : les "
        "messages du compilateur et le résultat s'affichent sous l'éditeur, avec ce que "
        "le script écrit par <code>Write</code> et <code>WriteLn</code>. Pour enregistrer "
        "une macro, cliquez sur Démarrer (F3), utilisez les actions du programme, puis "
        "cliquez sur Arrêter (F4) : l'éditeur contient alors un script qui les rejoue, avec "
        "leurs attentes. Echap "
        "arrête un script qui ne finit pas.</p>");
    return html;
}
