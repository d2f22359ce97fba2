#include "CaptureForm.h"

#include "AppPaths.h"
#include "AppliMan.h"
#include "CamForm.h"
#include "CameraWindows.h"
#include "CaptureFormat.h"
#include "CommandRunner.h"
#include "DamagedStore.h"
#include "Dm.h"
#include "DossiersFrame.h"
#include "Encoders.h"
#include "ErreurFrame.h"
#include "ExtraireFrame.h"
#include "GstSuperposer.h"
#include "ImageList.h"
#include "KXScript.h"
#include "LayoutMath.h"
#include "LevelMeterWidget.h"
#include "ListeFrame.h"
#include "Log.h"
#include "MornePreferences.h"
#include "OptionsFrame.h"
#include "ParameterTable.h"
#include "PartArea.h"
#include "Plaque.h"
#include "ProgrammerFrame.h"
#include "Prompts.h"
#include "RaccourcisForm.h"
#include "RecordingController.h"
#include "RecoveryJournal.h"
#include "Scheduler.h"
#include "ScriptForm.h"
#include "ShortcutRouter.h"
#include "SleepInhibitor.h"
#include "SourcesController.h"
#include "SourcesFrame.h"
#include "SourcesPanel.h"
#include "StatusPanels.h"
#include "StillsController.h"
#include "SuperAction.h"
#include "VideoWidget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QSlider>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <exception>

QString TCaptureForm::windowCaption() {
    return QStringLiteral("%1 de %2")
        .arg(AppPaths::productTitle(), QLatin1String(AppPaths::kMaker));
}

// Phase 2: the window's creation. The graph module does not exist yet.
TCaptureForm::TCaptureForm(QWidget* parent)
    : QMainWindow(parent), m_session(new TSession(AppPaths::signature(), this)) {
    setWindowTitle(windowCaption());

    gp = new TMornePreferences(this);
    gp->titre = QString::fromLatin1(AppPaths::kProductName);
    gp->version = AppPaths::signature();
    gp->ownerShowHandler = [this] { firstShow(); };
    gp->ownerCloseQueryHandler = [this] { return closeQuery(); };
    // The store question's box would be hidden behind the full-screen window.
    gp->ownerBeforeQuestion = [this] {
        m_fullScreenBeforeQuestion = action("tafullscreen")->isChecked();
        if (m_fullScreenBeforeQuestion)
            action("tafullscreen")->executeInteractive(this);
    };
    gp->ownerQuestionCancelled = [this] {
        if (m_fullScreenBeforeQuestion)
            action("tafullscreen")->executeInteractive(this);
    };
    connect(gp, &TMornePreferences::OnChangeMode, this, [this](TSavePreferences mode) {
        m_prefsItemIndex = mode;
        PrefsMode = mode;
        OptionsFrame->SetPrefsMode(mode);
    });
    connect(gp, &TMornePreferences::OnLoadPrefs, this, [this](TMornePreferences* prefs) {
        am->LoadFromPrefs(*prefs);
        // The script window's last files, the newest reopened.
        if (scriptForm) {
            scriptForm->setRecentFiles(
                prefs->ReadText(kScriptRecent, QString()).split(u'|', Qt::SkipEmptyParts));
            const QStringList recent = scriptForm->recentFiles();
            if (!recent.isEmpty() && QFileInfo::exists(recent.first()))
                scriptForm->OpenFile(recent.first());
        }
    });
    connect(gp, &TMornePreferences::OnSavePrefs, this, [this](TMornePreferences* prefs) {
        if (!SaveControlsToParameters())
            prefs->NoteSaveFailure();
        am->SaveToPrefs(*prefs);
        if (scriptForm)
            prefs->WriteText(kScriptRecent, scriptForm->recentFiles().join(u'|'));
    });

    buildWidgets();
    followStatusTexts();
    createActions();
    createManagerActions();
    buildToolBars();
    connectHandlers();
    connectInlay();
    connectHelp();

    router = new ShortcutRouter(this);
    router->lists = {al, QList<TCustomSuperAction*>(am->actions.begin(), am->actions.end())};
    router->windows = {this};
    router->install();

    Switch1 = new TSwitch(this);
    Switch1->actionlist = al;
    Switch1->closeMainWindow = [this] {
        m_closeByCommand = true;
        close();
    };
    Script1 = new TScript(this);
    Script1->actionlist = al;
    Script1->closeMainWindow = [this] {
        m_closeByCommand = true;
        close();
    };
    m_managerSwitch = new TKXSwitch(*am, this);

    m_startingUp = true;
}

// Where the script window's recent files are kept with the preferences.
const QString TCaptureForm::kScriptRecent = QStringLiteral("Script Recent");

TCaptureForm::~TCaptureForm() {
    setUserNoticeListener({});
    m_screenSaver.release();
    Prm = TParameters{};
}

void TCaptureForm::attachModules(Tdm* dm, Tplaque* plaque, TRaccourcisForm* raccourcis) {
    m_dm = dm;
    if (m_dm) {
        m_dm->onVideoSample = [w = videoWidget](GstSample* sample) { w->pushSample(sample); };
        m_scheduleFields = programmerFields(*ProgrammerFrame1);
        m_session->setActions(&m_actions);
        m_session->attachGraph(*m_dm, this, m_scheduleFields.get());
        recorder = m_session->recorder();
        scheduler = m_session->scheduler();
        stills = m_session->stills();
        nextVideoFileName = recorder->nextVideoFileName();
        connect(ProgrammerFrame1, &TProgrammerFrame::startTimeEdited, scheduler,
                &TScheduler::startTimeEdited);
        connect(ProgrammerFrame1, &TProgrammerFrame::endTimeEdited, scheduler,
                &TScheduler::endTimeEdited);
        connect(ProgrammerFrame1, &TProgrammerFrame::endCopiedFromStart, scheduler,
                &TScheduler::endTimeEdited);
        connect(stills, &TStillsController::nextNameChanged, this, [this](const QString& name) {
            ExtraireFrame1->SetNextName(name);
            DossiersFrame1->SetImageFileName(name);
            ListeFrame->SetImageFolder(QFileInfo(name).absolutePath());
        });
        connect(recorder, &TRecordingController::imageByImageChanged, this, [this](bool on) {
            action("saGrab")->setImageindex(on ? ImageList::imGrabImageByImage : ImageList::imGrab);
            ExtraireFrame1->ShowImageByImage(on);
            DossiersFrame1->ShowImageByImage(on);
        });
        // Every recording part, cut and still image joins the list of this run's files.
        connect(recorder, &TRecordingController::fileRecorded, ListeFrame, &TListeFrame::AddFile);
        connect(recorder, &TRecordingController::recordedFileDropped, ListeFrame,
                &TListeFrame::RemoveFile);
        partArea->currentFile = [this] {
            return m_dm->hasRecordingBranch() ? m_dm->recordingFileName() : QString();
        };
        partArea->knownRate = [this]() -> qint64 {
            const TCaptureFormat* format = CaptureFormatOf(m_dm->recordingFormat());
            return format ? format->fixedByteRate : 0;
        };
        connect(m_session, &TSession::stateChanged, this, [this](RecordingState state) {
            QTimer::singleShot(0, partArea, &TPartArea::refresh);
            ProgrammerFrame1->SetRecordingLook(state == RecordingState::rsProgrammedRecording);
            if (!m_sleepInhibitor)
                m_sleepInhibitor = std::make_unique<TLogindInhibitor>();
            if (state == RecordingState::rsPreview)
                m_sleepInhibitor->Release();
            else
                m_sleepInhibitor->Hold(state == RecordingState::rsProgrammed
                                           ? QStringLiteral("Enregistrement programmé")
                                           : QStringLiteral("Enregistrement en cours"));
        });
        connect(recorder, &TRecordingController::nextNameChanged, this,
                [this](const QString& name) {
                    nextVideoFileName = name;
                    DossiersFrame1->SetVideoFileName(name);
                    SourcesFrame->LabelVideo->setText(QFileInfo(name).fileName());
                    ListeFrame->SetVideoFolder(QFileInfo(name).absolutePath());
                });
        connect(DossiersFrame1, &TDossiersFrame::videoNameChanged, recorder,
                &TRecordingController::RecomputeNextName);
        // Another plug-in folder: its plug-ins take over their devices at once.
        connect(DossiersFrame1, &TDossiersFrame::pluginDirChosen, this, [this](const QString& dir) {
            if (!sources || !sources->startupDone)
                return;
            // Every device is listed anew: a recording ends first.
            sources->Change(
                [this, dir] {
                    sources->ScanPlugins(dir);
                    sources->ReselectSources();
                },
                [] { return true; });
        });
        connect(OptionsFrame, &TOptionsFrame::superpositionChanged, this, [this](bool allowed) {
            if (GstElement* overlay = m_dm->overlay())
                g_object_set(overlay, "overlay-enabled", gboolean(allowed), nullptr);
        });
        connect(OptionsFrame, &TOptionsFrame::extensionChanged, recorder,
                &TRecordingController::UpdateIntervalometerText);
        // A folder, root name, date option or extension change gives the image number back.
        connect(OptionsFrame, &TOptionsFrame::extensionChanged, stills,
                &TStillsController::RecomputeName);
        connect(DossiersFrame1, &TDossiersFrame::imageNameChanged, stills,
                &TStillsController::RecomputeName);
        connect(DossiersFrame1, &TDossiersFrame::imageLabelClicked, this,
                [this] { ShowPanel(pnExtraire); });
        connect(ExtraireFrame1, &TExtraireFrame::destinationClicked, this,
                [this] { action("acDossiersFrame")->executeInteractive(this); });
        connect(ExtraireFrame1, &TExtraireFrame::switchClicked, stills,
                [this] { stills->SwitchChanged(ExtraireFrame1->RxSwitch1->isChecked()); });
        connect(SourcesFrame->sbVideoPilotVCR, &QToolButton::clicked, this,
                [this] { action("acShowVideoPilotDV")->executeInteractive(this); });
        connect(SourcesFrame->sbAudioPilotVCR, &QToolButton::clicked, this,
                [this] { action("acShowAudioPilotDV")->executeInteractive(this); });
        connect(SourcesFrame->sbFormatCapturesettings, &QToolButton::clicked, this, [this] {
            const uint8_t format = Prm.captureFormat->Value;
            ShowPanel(5);
            OptionsFrame->SetPage(format == 7 ? 1 : (format == 9 || format == 12) ? 2 : 4);
        });
        // Said from the event loop, once while it is on screen: a graph that cannot start
        // leaves the window usable, with the sources and formats to choose again.
        connect(
            m_dm, &Tdm::graphFailed, this,
            [this](const QString& message) {
                if (std::exchange(m_graphFailureShown, true))
                    return;
                prompts().error(this, message);
                m_graphFailureShown = false;
            },
            Qt::QueuedConnection);
        connect(m_dm, &Tdm::audioLevels, levelMeter, &TLevelMeterWidget::setLevels);
        connect(m_dm, &Tdm::audioMeterChanged, levelMeter, &TLevelMeterWidget::setActive);
        levelMeter->setActive(m_dm->hasPreviewAudio());
        connect(m_dm, &Tdm::elementMessage, this, [this](GstMessage* message) {
            const GstStructure* s = gst_message_get_structure(message);
            if (s && gst_structure_has_name(s, "vr-grab-countdown")) {
                gint seconds = 0;
                gst_structure_get_int(s, "seconds", &seconds);
                stills->Countdown(seconds);
                return;
            }
            if (!s || !gst_structure_has_name(s, "vr-snapshot"))
                return;
            if (!recorder->imageByImage()) {
                stills->SnapshotReady(message); // gives the slot back itself
                return;
            }
            // In image-by-image mode a still lets one more picture into the recording.
            gint slot = -1;
            gst_structure_get_int(s, "lparam", &slot);
            recorder->takeImageByImageFrame();
            if (slot >= 0)
                g_signal_emit_by_name(m_dm->overlay(), "release-slot", slot);
        });
    }
    m_plaque = plaque;
    if (m_plaque)
        m_plaque->onResized = [this] {
            if (m_plaque->isVisible())
                ApplyAspectRatio();
        };
    m_raccourcis = raccourcis;
    if (m_raccourcis) {
        m_raccourcis->onSortColumnChosen = [this](int column) {
            if (Prm.raccourcisSort)
                Prm.raccourcisSort->Value = uint8_t(column);
            m_raccourcis->FillShortcutTable(al, column);
        };
        m_raccourcis->onClosed = [this] { action("taraccourcis")->executeInteractive(this); };
    }
}

void TCaptureForm::setCommandLine(const QStringList& arguments) {
    m_commandLine = arguments;
    Switch1->arguments = arguments;
}

TCustomSuperAction* TCaptureForm::action(const QString& name) const {
    return m_actions.value(name);
}

// Phase 3: the first showing, after the preference component chose the store.
void TCaptureForm::firstShow() {
    Panel2->show();
    Panel2->raise();
    TStatusTexts& status = m_session->status();
    status.setText(0, QStringLiteral("Intervallomètre désactivé"));
    status.setText(1, QStringLiteral("Capture"));
    status.setText(2, QStringLiteral("Frames Capturées"));
    status.setText(3, QStringLiteral("Frames Perdues"));
    action("acNextPanneau")->SecondaryShortcuts = {QKeySequence(Qt::ALT | Qt::Key_N)};

    if (!cameras) {
        cameras = new TCameraWindows(this);
        placeCameraWindows();
    }
    ApplyPreferences();
    if (recorder) {
        // Nothing of a programming survives a restart.
        recorder->DisarmAlarm();
        recorder->machine().Reset(RecordingState::rsPreview);
        recorder->EnterState(RecordingState::rsPreview);
    }
    ListeFrame->ResetGauges();

    if (!m_finishScheduled) {
        m_finishScheduled = true;
        // The first idle moment of the event loop.
        QTimer::singleShot(0, this, [this] { FinishStartup(); });
    }
}

void TCaptureForm::ApplyPreferences() {
    try {
        CreateParameters(m_session->parameters());
        LayoutPanels();
        ShowPanel(Prm.panneauActif->Value);
        tb->setValue(Prm.volume->Value);
        ApplyVolume();
        if (Prm.fullscreenOn->Value)
            action("tafullscreen")->executeInteractive(this);
        if (Prm.reducedOn->Value)
            action("acReduire")->executeInteractive(this);
        if (Prm.muteOn->Value)
            action("taMute")->executeInteractive(this);
        if (cameras)
            cameras->LoadParameters();
        leFramerate->setText(QLocale().toString(Prm.framerate->Value, 'f', 1));
        loadInlay();
        DossiersFrame1->LoadFromParameters();
        ExtraireFrame1->LoadSettings(Prm.valeurIntervallometre->Value,
                                     Prm.unitesIntervallometre->Value, Prm.beeps->Value);
        if (stills)
            stills->FirstName();
        if (recorder)
            recorder->RecomputeNextName();
        OptionsFrame->LoadFromParameters();
        OptionsFrame->SetPrefsMode(m_prefsItemIndex);
        if (m_raccourcis)
            m_raccourcis->FillShortcutTable(al, Prm.raccourcisSort->Value);
        // The stored freeze states come back through their actions.
        TCustomSuperAction* freezePreview = action("taFreezepreview");
        freezePreview->SetChecked(!Prm.freezePreview->Value);
        freezePreview->executeInteractive(this);
        TCustomSuperAction* freezeCapture = action("taFreezeCapture");
        freezeCapture->SetChecked(!Prm.freezeCapture->Value);
        freezeCapture->executeInteractive(this);
    } catch (const std::exception& e) {
        qCWarning(lcVidorra) << "applying the preferences stopped:" << e.what();
    }
}

// Phase 4, once, at the first idle moment.
void TCaptureForm::FinishStartup() {
    try {
        QString errors;
        // Recordings cut short by a crash or a power loss play again up to their end.
        const QStringList repaired =
            RepairAbandonedRecordings(QFileInfo(TRecordingJournal::DefaultPath()).absolutePath());
        if (m_dm && !sources) {
            sources = new TSourcesController(*m_session, *m_dm,
                                             m_deviceEnumerator ? std::move(m_deviceEnumerator)
                                                                : CreateSystemDeviceEnumerator());
            m_session->setSources(sources);
            sourcesPanel = new TSourcesPanel(*sources, *SourcesFrame, this, this);
            Encoders().Discover();
            OptionsFrame->FillEncoders();
            sources->mp3EncoderFound = Encoders().mp3Available();
            // Start-up fills the system page once, at its end.
            connect(sources, &TSourcesController::sourcesRefreshed, this, [this] {
                if (!m_startingUp)
                    rebuildSystemReport();
            });
            currentVideoSource = [this] {
                TVideoSourceInfo info;
                if (TVideoSource* v = sources->currentVideo()) {
                    const TVideoFormatLabel f = m_dm->videoFormat();
                    info.present = true;
                    info.nativeSize = QSize(f.width, f.height);
                    info.hasSceneDetector = v->SceneDetector() != nullptr;
                }
                return info;
            };
            videoSourceText = [this] { return SourcesFrame->cboxvideo->currentText(); };
        }
        if (sources) {
            sources->exclusions().Load(Prm.sourcesExclues->Value);
            sources->ScanPlugins(Prm.pluginsDir->Value);
            sources->RestoreDvFile();
            if (!sources->RefreshSources())
                errors += QStringLiteral("impossible de charger les sources vidéo.\r\n");
            m_session->videoReady = true;
            sources->refreshing = true;
            sources->SelectVideoSource(Prm.sourceVideo->Value);
            sources->SelectAudioSource(Prm.sourceAudio->Value);
            sources->FillCaptureFormats(Prm.captureFormat->Value);
            sources->refreshing = false;
            m_dm->RunGraph();
        } else {
            m_session->videoReady = true;
        }
        if (Prm.wantVertFlip->Value) {
            Prm.wantVertFlip->Value = false;
            action("acVertFlip")->executeInteractive(this);
        }
        if (Prm.wantHorzFlip->Value) {
            Prm.wantHorzFlip->Value = false;
            action("acHorzFlip")->executeInteractive(this);
        }
        if (Prm.wantIncrust->Value)
            action("taIncruster")->executeInteractive(this);
        if (btnCapture->isEnabled())
            btnCapture->setFocus();
        if (Prm.previewLocked->Value)
            action("taLock")->executeInteractive(this);
        ApplyAspectRatio();
        rebuildSystemReport();
        // Damaged settings files and plug-ins put out of use, said once the window shows;
        // then what the last run kept.
        const QStringList pending = takeUserNotices() + takePendingMessages();
        if (!errors.isEmpty()) {
            lblVolume->hide();
            gaugeVolume->hide();
            ErreurFrame1->Show(errors, true);
        } else if (!repaired.isEmpty() || !pending.isEmpty()) {
            // What the last run could not tell when it closed, and what was repaired since.
            QStringList text = pending;
            if (!repaired.isEmpty())
                text << QStringLiteral("Des enregistrements interrompus ont été réparés "
                                       "et peuvent être relus :\r\n") +
                            repaired.join(QStringLiteral("\r\n"));
            ErreurFrame1->Show(text.join(QStringLiteral("\r\n\r\n")), false);
        }
    } catch (const std::exception& e) {
        qCWarning(lcVidorra) << "start-up stopped early:" << e.what();
    }
    // Always run, whatever happened above.
    m_screenSaver.inhibit();
    m_startingUp = false;
    if (sources)
        sources->startupDone = true;
    // What is said later (a plug-in that failed, for one) shows once the event loop runs.
    setUserNoticeListener([self = QPointer<TCaptureForm>(this)] {
        QMetaObject::invokeMethod(
            qApp,
            [self] {
                if (self)
                    self->showNotices();
            },
            Qt::QueuedConnection);
    });
    QTimer::singleShot(0, this, [this] { runCommandLine(); });
}

void TCaptureForm::showNotices() {
    const QStringList notices = takeUserNotices();
    if (!notices.isEmpty() && !m_startingUp)
        ErreurFrame1->Show(notices.join(QStringLiteral("\r\n\r\n")), false);
}

void TCaptureForm::ShowVideo() {
    Panel2->hide();
    Shape2->show();
    vwEcran->show();
    vwEcran->raise();
    for (const char* name : {"acSliders", "saGrab", "saCapturerBascule", "tafullscreen"})
        action(QLatin1String(name))->setEnabled(true);
    for (const char* name : {"taIncruster", "acVertFlip", "acHorzFlip"})
        action(QLatin1String(name))->setEnabled(m_session->videoReady);
    ApplyAspectRatio();
}

void TCaptureForm::ShowNoVideo() {
    vwEcran->hide();
    Shape2->hide();
    videoWidget->clear();
    Panel2->show();
    Panel2->raise();
    if (Yslider->isVisible())
        action("acSliders")->executeInteractive(this);
    Shape1->hide();
    for (const char* name :
         {"saGrab", "acSliders", "taIncruster", "acVertFlip", "acHorzFlip", "tafullscreen"})
        action(QLatin1String(name))->setEnabled(false);
    // Recording stays possible with a sound source alone.
    const bool audio = sources && sources->currentAudio();
    if (!(recorder && recorder->machine().recording()))
        action("saCapturerBascule")->setEnabled(audio);
}

void TCaptureForm::placeCameraWindows() {
    if (!cameras)
        return;
    for (int i = 0; i < 2; ++i) {
        const QRect r = (i == 0 ? raCam1 : raCam2)->Value;
        // Nothing stored yet: below the main window; always where a screen shows it.
        TcamForm* window = cameras->window(i);
        const QRect wanted =
            r.width() > 0 && r.height() > 0
                ? QRect(r.topLeft(), window->size())
                : QRect(QPoint(geometry().left(), geometry().bottom() + 1), window->size());
        window->move(LayoutMath::placeOnScreens(wanted, availableScreens()).topLeft());
    }
}

// The areas of the screens a window may take, the primary first.
QList<QRect> TCaptureForm::availableScreens() {
    QList<QRect> areas;
    if (QScreen* primary = QGuiApplication::primaryScreen())
        areas << primary->availableGeometry();
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != QGuiApplication::primaryScreen())
            areas << screen->availableGeometry();
    return areas;
}

void TCaptureForm::closeWithoutQuestion() {
    gp->askWhenNothingStored = false;
    setPromptsUnattended();
    closeWhenIdle();
}

// Closes from the event loop itself, never from inside a dialog's own loop or a command
// under way: those end first, and the dialogs are closed. A recording part still being
// finished is waited for too (the close itself would wait for it anyway).
void TCaptureForm::closeWhenIdle() {
    if (QWidget* modal = QApplication::activeModalWidget())
        modal->close();
    const bool busy = QThread::currentThread()->loopLevel() > 1 || (m_dm && m_dm->endingPart()) ||
                      (recorder && recorder->busy());
    if (busy) {
        QTimer::singleShot(20, this, [this] { closeWhenIdle(); });
        return;
    }
    close();
}

bool TCaptureForm::eventFilter(QObject* watched, QEvent* event) {
    // A click on the status bar opens the folder of the recordings.
    if (watched == statusPanels && event->type() == QEvent::MouseButtonRelease &&
        Prm.videoDirectory) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(Prm.videoDirectory->Value));
        return true;
    }
    if (watched == videoWidget && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        action("saGrab")->executeInteractive(this);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TCaptureForm::startupFinished() const {
    return !m_startingUp && m_commandLineDone && !Switch1->Executing();
}

// The command line runs once start-up has finished, so that commands find the source
// lists and the running preview.
void TCaptureForm::runCommandLine() {
    if (m_commandLineDone)
        return;
    m_commandLineDone = true;
    bool managerQuit = false;
    m_managerSwitch->closeMainWindow = [&managerQuit] { managerQuit = true; };
    m_managerSwitch->run(m_commandLine);
    Switch1->runOnce();
    if (managerQuit && !Switch1->quitRequested()) {
        m_closeByCommand = true;
        close();
    }
    runReceivedCommandLines();
}

void TCaptureForm::receiveCommandLine(const QStringList& arguments) {
    qCInfo(lcVidorra) << "command line from another start:" << arguments;
    m_receivedCommandLines.append(arguments);
    QTimer::singleShot(0, this, [this] { runReceivedCommandLines(); });
}

void TCaptureForm::runReceivedCommandLines() {
    // One list at a time, after start-up's own; runCommandLine calls back when it is done.
    if (!m_commandLineDone || m_runningReceived)
        return;
    if (Switch1->Executing()) {
        QTimer::singleShot(100, this, [this] { runReceivedCommandLines(); });
        return;
    }
    m_runningReceived = true;
    while (!m_receivedCommandLines.isEmpty()) {
        const QStringList arguments = m_receivedCommandLines.takeFirst();
        // The window has closed (a /quit before): nothing runs on a program that ends.
        if (!isVisible()) {
            qCInfo(lcVidorra) << "command line dropped, the window is closed:" << arguments;
            continue;
        }
        if (arguments.isEmpty()) {
            if (isMinimized())
                showNormal();
            raise();
            activateWindow();
            continue;
        }
        // The same two readers as at start-up; the manager's reads a line once, so each
        // line gets one of its own.
        bool managerQuit = false;
        TKXSwitch manager(*am);
        manager.closeMainWindow = [&managerQuit] { managerQuit = true; };
        manager.run(arguments);
        Switch1->ParseCommandLine(arguments);
        const bool quit = Switch1->quitRequested();
        Switch1->RunCommands();
        Switch1->clear();
        if (managerQuit && !quit) {
            m_closeByCommand = true;
            close();
        }
    }
    m_runningReceived = false;
}

// The close query, once the close is decided: always allows closing, after stopping what runs.
bool TCaptureForm::closeQuery() {
    if (scriptForm && scriptForm->running()) {
        // The script stops first; the close comes back once its run is over.
        m_closeAfterScript = true;
        m_script->RequestStop();
        return false;
    }
    // A script typed and not saved is asked about when the user closes; a command or a
    // signal closes without a question.
    if (scriptForm && scriptForm->modified() && !m_closeByCommand && gp->askWhenNothingStored &&
        !scriptForm->mayDiscard())
        return false;
    if (action("tafullscreen")->isChecked())
        action("tafullscreen")->executeInteractive(this);
    if (recorder) {
        recorder->SetClosing();
        recorder->HaltGraph(); // the recording is finalised
    }
    if (m_dm && m_dm->endingPart()) {
        // Its file gets its end first; the close comes back once it has.
        m_dm->WhenIdle(this, [this] { QTimer::singleShot(0, this, [this] { close(); }); });
        return false;
    }
    if (sources)
        sources->DisconnectAll();
    if (m_dm)
        m_dm->StopGraph();
    return true;
}

bool TCaptureForm::SaveControlsToParameters() {
    if (PrefsMode == spNone || !Prm.volume)
        return true;
    try {
        Prm.ecranGauche->Value = PreviewShiftX == 0;
        Prm.volume->Value = tb->value();
        Prm.fullscreenOn->Value = action("tafullscreen")->isChecked();
        Prm.reducedOn->Value = action("acReduire")->isChecked();
        Prm.muteOn->Value = action("taMute")->isChecked();
        Prm.wantIncrust->Value = action("taIncruster")->isChecked();
        Prm.wantVertFlip->Value = action("acVertFlip")->isChecked();
        Prm.wantHorzFlip->Value = action("acHorzFlip")->isChecked();
        Prm.freezePreview->Value = action("taFreezepreview")->isChecked();
        Prm.freezeCapture->Value = action("taFreezeCapture")->isChecked();
        OptionsFrame->SaveToParameters();
        if (cameras)
            cameras->SaveParameters();
        if (sources) {
            Prm.sourceVideo->Value = SourcesFrame->cboxvideo->currentText();
            Prm.sourceAudio->Value = SourcesFrame->cboxAudio->currentText();
            Prm.sourcesExclues->Value = sources->exclusions().Save();
        }
        bool ok = false;
        const double rate = QLocale().toDouble(leFramerate->text(), &ok);
        Prm.framerate->Value = ok && rate > 0 ? rate : 18.0;
        PrefsMode = TSavePreferences(m_prefsItemIndex);
    } catch (const std::exception& e) {
        qCWarning(lcVidorra) << "copying the controls stopped:" << e.what();
    }
    return SaveParameters(m_session->parameters());
}
