#include "AppPaths.h"
#include "DossiersFrame.h"
#include "Encoders.h"
#include "OptionsFrame.h"
#include "OutputNaming.h"
#include "ParameterTable.h"
#include "Sandbox.h"
#include "ScriptedPrompts.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>
#include <QTabWidget>
#include <QVariant>
#include <gtest/gtest.h>

#include <vector>

namespace {

// Records the arguments of every emission of one signal.
class Spy {
public:
    template <class Sender, class Signal> Spy(Sender* sender, Signal signal) {
        QObject::connect(sender, signal, &m_context, [this](const auto&... args) {
            m_calls.push_back(QVariantList{QVariant::fromValue(args)...});
        });
    }
    int count() const { return int(m_calls.size()); }
    const QVariantList& at(int i) const { return m_calls.at(size_t(i)); }
    void clear() { m_calls.clear(); }

private:
    QObject m_context;
    std::vector<QVariantList> m_calls;
};

// Fresh parameters at their defaults in a throw-away home, and a known encoder catalog; the
// process-wide references are cleared afterwards so no other test sees a dead list.
class OutputPanels : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedDivx = Encoders().divxEntries();
        m_savedMp3 = Encoders().mp3Available();
        Encoders().Assign({{"DivX 5 (libavcodec MPEG-4)", "avenc_mpeg4", "DX50"},
                           {"Xvid (libavcodec MPEG-4)", "avenc_mpeg4", "XVID"},
                           {"Xvid (xvidcore)", "xvidenc", "XVID"}},
                          true);
        CreateParameters(m_list);
    }
    void TearDown() override {
        Prm = TParameters{};
        Encoders().Assign(m_savedDivx, m_savedMp3);
    }

    static QStringList itemsOf(const QComboBox* box) {
        QStringList items;
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        return items;
    }

    Sandbox m_box;
    TparameterList m_list{AppPaths::signature()};
    std::vector<TDivxEntry> m_savedDivx;
    bool m_savedMp3 = false;
};

const QByteArray kProfile =
    "<profile version=\"589824\" name=\"%1\"><streamconfig "
    "majortype=\"{73646976-0000-0010-8000-00AA00389B71}\" bitrate=\"300000\">"
    "<videoinfoheader avgtimeperframe=\"333667\"><bitmapinfoheader biwidth=\"320\" "
    "biheight=\"240\"/></videoinfoheader></streamconfig></profile>";

void writeProfile(const QString& file, const QString& name) {
    Sandbox::write(file, QString::fromUtf8(kProfile).arg(name).toUtf8());
}

} // namespace

TEST_F(OutputPanels, OptionsControlsWriteTheirParameters) {
    TOptionsFrame f;
    f.LoadFromParameters();
    Spy extension(&f, &TOptionsFrame::extensionChanged);
    Spy superposition(&f, &TOptionsFrame::superpositionChanged);

    f.TrackBar1->setValue(87);
    EXPECT_EQ(Prm.qualiteJpeg->Value, 87);
    EXPECT_EQ(f.labQuality->text(), "87");

    EXPECT_TRUE(f.gbQuality->isHidden()); // bmp by default
    f.rgExtension->button(1)->click();
    EXPECT_EQ(Prm.extensionDesImages->Value, 1);
    EXPECT_FALSE(f.gbQuality->isHidden());
    ASSERT_EQ(extension.count(), 1);
    EXPECT_EQ(extension.at(0).at(0).toInt(), 1);

    // The "Tous" answer of the overwrite question unchecks the box from the program.
    f.cbConfirmerVideo->setChecked(false);
    EXPECT_FALSE(Prm.confirmerVideo->Value);
    f.cbConfirmerImage->click();
    EXPECT_FALSE(Prm.confirmerImage->Value);
    f.cbNotifier->click();
    EXPECT_FALSE(Prm.notifier->Value);
    f.cbActiverSuperposition->click();
    EXPECT_FALSE(Prm.activerSuperposition->Value);
    ASSERT_EQ(superposition.count(), 1);
    EXPECT_FALSE(superposition.at(0).at(0).toBool());

    // DV tab.
    f.rgStandard->button(1)->click();
    f.rgFrequenceDV->button(1)->click(); // "32.000 Hz"
    f.rgDVRatio->button(1)->click();
    f.cbfrequenceDVNative->click();
    f.cbGarderFormatDV->click();
    f.cbDVDemiSiDivX->click();
    f.cbScn->click();
    f.cbMpeg2ratioNormal->click();
    f.leNoDatecode->setText("--");
    EXPECT_EQ(Prm.standardDV->Value, 1);
    EXPECT_EQ(Prm.frequenceDV->Value, 1);
    EXPECT_EQ(Prm.ratioDV->Value, 1);
    EXPECT_FALSE(Prm.frequenceDVNative->Value);
    EXPECT_TRUE(Prm.garderFormatDV->Value);
    EXPECT_FALSE(Prm.dvDemiSiDivX->Value);
    EXPECT_TRUE(Prm.scn->Value);
    EXPECT_FALSE(Prm.mpeg2RatioNormal->Value);
    EXPECT_EQ(Prm.noDatecode->Value, "--");

    // DivX and MP3 tabs.
    f.rgRatioDivX->button(2)->click();
    f.cbDemiTaille->click();
    f.cbDeInterlacer->click();
    EXPECT_EQ(Prm.ratioDivX->Value, 2);
    EXPECT_FALSE(Prm.demiTaille->Value);
    EXPECT_FALSE(Prm.internalDeinterlacer->Value);
    EXPECT_FALSE(f.gbMp3->isHidden());
    f.cbMp3->click();
    EXPECT_FALSE(Prm.wantMp3->Value);
    EXPECT_TRUE(f.gbMp3->isHidden());

    // Wmv tab: the check box switches between the presets and the system profiles.
    EXPECT_FALSE(f.gbrgProfiles->isHidden());
    EXPECT_TRUE(f.gbProfiles->isHidden());
    f.rgProfiles->button(3)->click();
    EXPECT_EQ(Prm.profileWmv->Value, 3);
    f.cbDefaultProfile->click();
    EXPECT_FALSE(Prm.profilParDefaut->Value);
    EXPECT_TRUE(f.gbrgProfiles->isHidden());
    EXPECT_FALSE(f.gbProfiles->isHidden());
    f.rgversion->button(0)->click();
    EXPECT_EQ(Prm.versionWmv->Value, 0);
}

TEST_F(OutputPanels, LoadFromParametersFillsControlsWithoutWritingBack) {
    Prm.qualiteJpeg->Value = 12;
    Prm.extensionDesImages->Value = 1;
    Prm.confirmerImage->Value = false;
    Prm.activerSuperposition->Value = false;
    Prm.standardDV->Value = 1;
    Prm.frequenceDV->Value = 2;
    Prm.ratioDivX->Value = 3;
    Prm.wantMp3->Value = false;
    Prm.profilParDefaut->Value = false;
    Prm.profileWmv->Value = 2;
    Prm.versionWmv->Value = 1;
    Prm.noDatecode->Value = "sans date";
    Prm.divxFavori->Value = "DivX 5 (libavcodec MPEG-4)";
    PrefsMode = spPortable;

    TOptionsFrame f;
    Spy extension(&f, &TOptionsFrame::extensionChanged);
    Spy superposition(&f, &TOptionsFrame::superpositionChanged);
    Spy divx(&f, &TOptionsFrame::divxChanged);
    Spy prefs(f.rgPrefs, &QButtonGroup::idClicked);
    f.LoadFromParameters();
    EXPECT_EQ(f.TrackBar1->value(), 12);
    EXPECT_EQ(f.labQuality->text(), "12");
    EXPECT_EQ(f.rgExtension->checkedId(), 1);
    EXPECT_FALSE(f.gbQuality->isHidden());
    EXPECT_FALSE(f.cbConfirmerImage->isChecked());
    EXPECT_TRUE(f.cbConfirmerVideo->isChecked());
    EXPECT_FALSE(f.cbActiverSuperposition->isChecked());
    EXPECT_EQ(f.rgStandard->checkedId(), 1);
    EXPECT_EQ(f.rgFrequenceDV->checkedId(), 2);
    EXPECT_EQ(f.rgRatioDivX->checkedId(), 3);
    EXPECT_FALSE(f.cbMp3->isChecked());
    EXPECT_TRUE(f.gbMp3->isHidden());
    EXPECT_FALSE(f.cbDefaultProfile->isChecked());
    EXPECT_EQ(f.rgProfiles->checkedId(), 2);
    EXPECT_EQ(f.rgversion->checkedId(), 1);
    EXPECT_EQ(f.leNoDatecode->text(), "sans date");
    EXPECT_EQ(f.cboxdivx->currentText(), "DivX 5 (libavcodec MPEG-4)");
    EXPECT_EQ(f.rgPrefs->checkedId(), 1);
    EXPECT_EQ(extension.count() + superposition.count() + divx.count() + prefs.count(), 0);

    // The native frequency (0) has no item of its own: none is shown checked.
    Prm.frequenceDV->Value = 0;
    f.LoadFromParameters();
    EXPECT_EQ(f.rgFrequenceDV->checkedId(), -1);
    EXPECT_EQ(Prm.frequenceDV->Value, 0);
    f.SetPrefsMode(2);
    EXPECT_EQ(f.rgPrefs->checkedId(), 2);
    EXPECT_EQ(prefs.count(), 0);
    PrefsMode = spNone;
}

TEST_F(OutputPanels, DivxListShowsTheCatalogAndPagesLandOnTheirTabs) {
    TOptionsFrame f;
    f.LoadFromParameters();
    EXPECT_EQ(itemsOf(f.cboxdivx), QStringList({"DivX 5 (libavcodec MPEG-4)",
                                                "Xvid (libavcodec MPEG-4)", "Xvid (xvidcore)"}));
    EXPECT_EQ(f.cboxdivx->currentText(), "Xvid (xvidcore)"); // the last Xvid entry
    EXPECT_TRUE(Prm.divxFavori->Value.isEmpty());            // loading chooses, not stores

    Spy divx(&f, &TOptionsFrame::divxChanged);
    f.cboxdivx->setCurrentIndex(1);
    EXPECT_EQ(Prm.divxFavori->Value, "Xvid (libavcodec MPEG-4)");
    ASSERT_EQ(divx.count(), 1);

    f.SetPage(TOptionsFrame::pgWmv);
    EXPECT_EQ(f.pcOptions->currentWidget(), f.tsWmv);
    f.SetPage(2);
    EXPECT_EQ(f.pcOptions->currentWidget(), f.tsDivx);
    f.SetPage(4);
    EXPECT_EQ(f.pcOptions->currentWidget(), f.tsDV);
    f.SetPage(99);
    EXPECT_EQ(f.pcOptions->currentWidget(), f.tsDV);

    // No MPEG-4 encoder: the DivX tab goes, and so do the MP3 controls tied to it.
    Encoders().Assign({}, true);
    f.FillEncoders();
    EXPECT_FALSE(f.pcOptions->isTabVisible(TOptionsFrame::pgDivx));
    EXPECT_TRUE(f.cbMp3->isHidden());
    EXPECT_EQ(f.cboxdivx->count(), 0);
    // No MP3 encoder: the note says how to get one.
    Encoders().Assign({}, false);
    f.FillEncoders();
    EXPECT_FALSE(f.MemoMp3->isHidden());
    EXPECT_TRUE(f.gbMp3->isHidden());
}

TEST_F(OutputPanels, Mp3BitrateGoesToTheEncoderKey) {
    ASSERT_TRUE(SaveMp3Bitrate(224));
    TOptionsFrame f;
    f.LoadFromParameters();
    EXPECT_EQ(f.cboxBitratemp3->currentText(), "224");

    f.cboxBitratemp3->setCurrentText("160");
    emit f.cboxBitratemp3->lineEdit()->editingFinished();
    EXPECT_EQ(LoadMp3Bitrate(), 160);

    f.cboxBitratemp3->setCurrentText("beaucoup");
    emit f.cboxBitratemp3->lineEdit()->editingFinished();
    EXPECT_EQ(f.cboxBitratemp3->currentText(), "128");
    EXPECT_EQ(LoadMp3Bitrate(), 128);

    f.cboxBitratemp3->setCurrentText("5000"); // a number LAME cannot use
    emit f.cboxBitratemp3->lineEdit()->editingFinished();
    EXPECT_EQ(f.cboxBitratemp3->currentText(), "128");
    EXPECT_EQ(LoadMp3Bitrate(), 128);
}

TEST_F(OutputPanels, WmvProfileListFollowsTheFolderAndTheFavourite) {
    const QString dir = m_box.path("profils");
    QDir().mkpath(dir);
    writeProfile(dir + "/1.prx", "Modem");
    writeProfile(dir + "/2.prx", "LAN");
    Sandbox::write(dir + "/3.prx", "<profile name=\"cassé\"");
    Prm.profilWmvFavori->Value = "LAN";

    TOptionsFrame f;
    f.SetProfilesFolder(dir);
    f.LoadFromParameters();
    EXPECT_EQ(itemsOf(f.cboxMedia), QStringList({"Modem", "LAN"}));
    EXPECT_EQ(f.cboxMedia->currentText(), "LAN");
    ASSERT_EQ(f.pmProfiles->actions().size(), 2);

    f.pmProfiles->actions().at(0)->trigger();
    EXPECT_EQ(f.cboxMedia->currentText(), "Modem");
    EXPECT_EQ(Prm.profilWmvFavori->Value, "Modem");
    f.SaveToParameters();
    EXPECT_EQ(Prm.profilWindowsMedia->Value, "Modem");

    // The same rule drives the recording.
    Prm.profilParDefaut->Value = false;
    const auto system = TEncoderCatalog::SystemProfiles(f.profilesFolder());
    EXPECT_EQ(TEncoderCatalog::ChosenWmvProfile(Prm.profilParDefaut->Value, Prm.profileWmv->Value,
                                                Prm.profilWmvFavori->Value, system)
                  .name,
              "Modem");

    // A favourite gone from the folder: the first entry; an empty folder: no entry.
    QFile::remove(dir + "/1.prx");
    f.rgversion->button(0)->click();
    EXPECT_EQ(f.cboxMedia->currentText(), "LAN");
    f.SetProfilesFolder(m_box.path("vide"));
    EXPECT_EQ(f.cboxMedia->count(), 0);
    EXPECT_EQ(f.cboxMedia->currentIndex(), -1);
    EXPECT_TRUE(f.labProfilesFolder->text().contains(QString::fromUtf8("pré-programmé")));
    EXPECT_EQ(Prm.profilWmvFavori->Value, "Modem"); // refilling does not choose for the user
}

TEST_F(OutputPanels, FoldersPanelWritesParametersAndKeepsTheNumber) {
    TDossiersFrame d;
    d.LoadFromParameters();
    EXPECT_EQ(d.VideoDirEdit->text(), Prm.videoDirectory->Value);
    EXPECT_EQ(d.VideoRacineEdit->text(), "Video");
    EXPECT_TRUE(d.cbVideoDate->isChecked());
    EXPECT_FALSE(d.cbImageDate->isChecked());

    // The window's side of the contract: recompute the shown name on every edit.
    TOutputNaming naming(QDateTime(QDate(2024, 3, 1), QTime(9, 30, 5)));
    naming.NextVideoFileName(VideoNameSettings(Prm), ".avi");
    QObject::connect(&d, &TDossiersFrame::videoNameChanged, [&] {
        d.SetVideoFileName(naming.RecomputeVideoFileName(VideoNameSettings(Prm), ".avi"));
    });
    Spy video(&d, &TDossiersFrame::videoNameChanged);
    Spy image(&d, &TDossiersFrame::imageNameChanged);

    const QString videos = m_box.path("videos");
    d.VideoDirEdit->setText(videos);
    EXPECT_EQ(Prm.videoDirectory->Value, videos + "/");
    d.VideoRacineEdit->setText("Mariage");
    emit d.VideoRacineEdit->editingFinished();
    d.VideoRacineEdit->setText("Noces");
    emit d.VideoRacineEdit->editingFinished();
    EXPECT_EQ(Prm.videoRacine->Value, "Noces");
    EXPECT_EQ(d.LabelVideo->text(), "Noces_010324_093005_0.avi");
    d.cbVideoDate->click();
    EXPECT_FALSE(Prm.videoDate->Value);
    EXPECT_EQ(d.LabelVideo->text(), "Noces_0.avi");
    EXPECT_EQ(d.LabelVideo->toolTip(), videos + "/Noces_0.avi");
    EXPECT_EQ(video.count(), 4);
    EXPECT_EQ(image.count(), 0);

    // An emptied folder or root name returns to the default, never to the root folder;
    // a separator in the root name cannot lead into another folder.
    d.VideoDirEdit->clear();
    EXPECT_EQ(Prm.videoDirectory->Value, Prm.videoDirectory->Default());
    d.ImageRacineEdit->setText("  ");
    emit d.ImageRacineEdit->editingFinished();
    EXPECT_EQ(Prm.imageRacine->Value, "Image");
    EXPECT_EQ(d.ImageRacineEdit->text(), "Image");
    // A root name that would lead elsewhere, or carries a line break, is refused with its
    // reason; one stored so by hand gives way to the default.
    {
        ScriptedPrompts said;
        PromptsGuard guard(&said);
        for (const char* bad : {"../../etc/x", "a\\b", "ligne\nsaut", "..cache"}) {
            d.ImageRacineEdit->setText(QString::fromUtf8(bad));
            emit d.ImageRacineEdit->editingFinished();
            EXPECT_EQ(Prm.imageRacine->Value, "Image") << bad;
            EXPECT_EQ(d.ImageRacineEdit->text(), "Image");
        }
        ASSERT_EQ(said.asked.size(), 4);
        EXPECT_TRUE(said.asked[0].contains("barre de dossier")) << said.asked[0].toStdString();
        EXPECT_TRUE(said.asked[2].contains("contrôle")) << said.asked[2].toStdString();
    }
    Prm.videoRacine->Value = "../../evade";
    EXPECT_EQ(VideoNameSettings(Prm).racine, "Video");
    Prm.videoRacine->Value = "Noces";
    d.ImageDirEdit->setText("/srv/images");
    EXPECT_EQ(Prm.imageDirectory->Value, "/srv/images/");
    d.cbImageDate->click();
    EXPECT_TRUE(Prm.imageDate->Value);
    EXPECT_EQ(image.count(), 3);

    d.PlugInDirEdit->setText("/opt/plugins");
    EXPECT_EQ(Prm.pluginsDir->Value, "/opt/plugins/");
    d.feDatorix->setText("/usr/bin/datorix");
    EXPECT_EQ(Prm.datorix->Value, "/usr/bin/datorix");

    // Loading emits nothing and writes nothing.
    Prm.videoRacine->Value = "Vacances";
    video.clear();
    d.LoadFromParameters();
    EXPECT_EQ(d.VideoRacineEdit->text(), "Vacances");
    EXPECT_EQ(d.PlugInDirEdit->text(), "/opt/plugins/");
    EXPECT_EQ(video.count(), 0);
    d.SetImageFileName("/srv/images/Image_00007.jpg");
    EXPECT_EQ(d.LabelImage->text(), "Image_00007.jpg");
}

TEST_F(OutputPanels, PanelsFitTheSidePanelPlace) {
    TOptionsFrame f;
    TDossiersFrame d;
    f.LoadFromParameters();
    d.LoadFromParameters();
    for (QWidget* w : {static_cast<QWidget*>(&f), static_cast<QWidget*>(&d)}) {
        const QSize s = w->minimumSizeHint();
        EXPECT_LE(s.width(), 275) << w->objectName().toStdString();
        EXPECT_LE(s.height(), 400) << w->objectName().toStdString();
    }
    // Every tab, not only the first, fits.
    for (int i = 0; i < f.pcOptions->count(); ++i) {
        const QSize s = f.pcOptions->widget(i)->minimumSizeHint();
        EXPECT_LE(s.width(), 271) << i;
        EXPECT_LE(s.height(), 340) << i;
    }
}
