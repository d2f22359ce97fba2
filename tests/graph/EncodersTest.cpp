#include "EncoderSettings.h"
#include "Encoders.h"
#include "RegistryStore.h"
#include "Sandbox.h"

#include <QDir>
#include <gst/gst.h>
#include <gtest/gtest.h>

namespace {

TDivxEntry entry(const char* name, const char* fourcc = "XVID") {
    return {QString::fromUtf8(name), QStringLiteral("avenc_mpeg4"), QString::fromLatin1(fourcc)};
}

QByteArray profileXml(const QByteArray& name, const QByteArray& video, const QByteArray& audio) {
    return "<profile version=\"589824\" storageformat=\"1\" name=\"" + name +
           "\" description=\"\">" + audio + video + "</profile>";
}

const QByteArray kVideoStream =
    "<streamconfig majortype=\"{73646976-0000-0010-8000-00AA00389B71}\" streamnumber=\"2\" "
    "bitrate=\"350000\"><wmmediatype subtype=\"{33564D57-0000-0010-8000-00AA00389B71}\">"
    "<videoinfoheader dwbitrate=\"350000\" avgtimeperframe=\"400000\">"
    "<bitmapinfoheader biwidth=\"320\" biheight=\"240\" biplanes=\"1\"/>"
    "</videoinfoheader></wmmediatype></streamconfig>";
const QByteArray kAudioStream =
    "<streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\" "
    "bitrate=\"32000\"><wmmediatype><waveformatex wFormatTag=\"353\" nChannels=\"1\" "
    "nSamplesPerSec=\"22050\"/></wmmediatype></streamconfig>";

} // namespace

TEST(EncoderCatalog, DiscoveryOffersBothFourccsAndDefaultsToTheLastXvidEntry) {
    TEncoderCatalog catalog;
    catalog.Discover();
    ASSERT_TRUE(catalog.divxAvailable()) << "avenc_mpeg4 is part of the platform";
    bool divx = false, xvid = false;
    for (const TDivxEntry& e : catalog.divxEntries()) {
        GstElementFactory* f = gst_element_factory_find(e.factory.toUtf8().constData());
        ASSERT_NE(f, nullptr) << e.factory.toStdString();
        gst_object_unref(f);
        divx |= e.name == "DivX 5 (libavcodec MPEG-4)" && e.fourcc == "DX50";
        xvid |= e.name == "Xvid (libavcodec MPEG-4)" && e.fourcc == "XVID";
    }
    EXPECT_TRUE(divx);
    EXPECT_TRUE(xvid);
    const TDivxEntry* chosen = catalog.ChooseDivx({});
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen, &catalog.divxEntries().back());
    EXPECT_TRUE(chosen->name.contains("Xvid"));
    GstElementFactory* lame = gst_element_factory_find("lamemp3enc");
    EXPECT_EQ(catalog.mp3Available(), lame != nullptr);
    if (lame)
        gst_object_unref(lame);
    EXPECT_FALSE(TEncoderCatalog::EncoderVersion("avenc_mpeg4").isEmpty());
    EXPECT_TRUE(TEncoderCatalog::EncoderVersion("pas_un_element").isEmpty());
}

TEST(EncoderCatalog, ChoiceRuleFavouriteElseLastXvidElseFirst) {
    TEncoderCatalog catalog;
    EXPECT_EQ(catalog.ChooseDivx("DivX 5"), nullptr);

    catalog.Assign({entry("DivX Pro 5.0", "DX50"), entry("XviD MPEG-4 Codec"),
                    entry("DivX 6", "DX50"), entry("xvid (autre)"), entry("DivX 7", "DX50")},
                   false);
    EXPECT_EQ(catalog.ChooseDivx({})->name, "xvid (autre)");
    EXPECT_EQ(catalog.ChooseDivx("DivX 6")->name, "DivX 6");
    EXPECT_EQ(catalog.ChooseDivx("divx 6")->name, "xvid (autre)"); // names compare exactly
    EXPECT_EQ(catalog.ChooseDivx("Disparu")->name, "xvid (autre)");

    catalog.Assign({entry("DivX Pro 5.0", "DX50"), entry("DivX 6", "DX50")}, true);
    EXPECT_EQ(catalog.ChooseDivx({})->name, "DivX Pro 5.0");
    EXPECT_TRUE(catalog.mp3Available());
}

TEST(EncoderCatalog, DivxAndMp3SettingsRoundTripThroughTheRegistryFile) {
    Sandbox sandbox;
    const TDivxSettings defaults = LoadDivxSettings();
    EXPECT_EQ(defaults.bitrateKbps, 2000);
    EXPECT_EQ(LoadMp3Bitrate(), 128);

    EXPECT_TRUE(SaveDivxSettings({0, 6, 50}));
    EXPECT_TRUE(SaveMp3Bitrate(192));
    const TDivxSettings s = LoadDivxSettings();
    EXPECT_EQ(s.bitrateKbps, 0);
    EXPECT_EQ(s.quantiser, 6);
    EXPECT_EQ(s.keyFrameInterval, 50);
    EXPECT_EQ(LoadMp3Bitrate(), 192);

    // The encoder's own key, with the value the LAME filter reads.
    TRegistryFile reg(AppPaths::registryFilePath());
    auto v = reg.value("\\Software\\GNU\\LAME MPEG Layer III Audio Encoder Filter", "Bitrate");
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->kind, RegKind::Dword);
    EXPECT_EQ(v->dword, 192u);
    // The program's own key must not appear: its presence selects the registry store mode.
    EXPECT_FALSE(reg.keyExists("Software\\Ardoval\\Vidorra"));

    // Refused values change nothing.
    EXPECT_FALSE(SaveMp3Bitrate(0));
    EXPECT_FALSE(SaveMp3Bitrate(1000));
    EXPECT_FALSE(SaveDivxSettings({-1, 6, 50}));
    EXPECT_FALSE(SaveDivxSettings({1000, 40, 50}));
    EXPECT_EQ(LoadMp3Bitrate(), 192);

    // Values of the wrong kind or out of range in the file are read as defaults.
    reg.setValue(Mp3SettingsKey(), "Bitrate", TRegValue::fromString("192"));
    reg.setValue(DivxSettingsKey(), "Quantiser", TRegValue::fromDword(99));
    ASSERT_TRUE(reg.commit());
    EXPECT_EQ(LoadMp3Bitrate(), 128);
    EXPECT_EQ(LoadDivxSettings().quantiser, 4);
    EXPECT_EQ(LoadDivxSettings().keyFrameInterval, 50);
}

TEST(EncoderCatalog, SettingsReachTheEncoderElement) {
    GstElement* enc = gst_element_factory_make("avenc_mpeg4", nullptr);
    ASSERT_NE(enc, nullptr);
    TEncoderCatalog::ConfigureDivxEncoder(enc, {1500, 4, 100});
    int bitrate = 0, gop = 0, pass = -1;
    g_object_get(enc, "bitrate", &bitrate, "gop-size", &gop, "pass", &pass, nullptr);
    EXPECT_EQ(bitrate, 1500000);
    EXPECT_EQ(gop, 100);
    EXPECT_EQ(pass, 0); // one pass, constant bitrate
    TEncoderCatalog::ConfigureDivxEncoder(enc, {0, 31, 250});
    float q = 0;
    g_object_get(enc, "quantizer", &q, "pass", &pass, nullptr);
    EXPECT_EQ(pass, 2);       // constant quantiser
    EXPECT_FLOAT_EQ(q, 30.f); // clamped to what the encoder takes
    gst_object_unref(enc);
    TEncoderCatalog::ConfigureDivxEncoder(nullptr, {});
}

TEST(EncoderCatalog, WmvVersionsAndPresets) {
    EXPECT_EQ(TEncoderCatalog::WmvVideoFactory(0), "avenc_msmpeg4");
    EXPECT_EQ(TEncoderCatalog::WmvVideoFactory(1), "avenc_wmv1");
    EXPECT_EQ(TEncoderCatalog::WmvVideoFactory(2), "avenc_wmv2");
    EXPECT_EQ(TEncoderCatalog::WmvVideoFactory(77), "avenc_wmv2");
    EXPECT_EQ(TEncoderCatalog::WmvAudioFactory(0), "avenc_wmav2");

    const char* names[] = {"High", "Medium", "Low", "Internet"};
    int lastBitrate = 1 << 30;
    for (int i = 0; i < 4; ++i) {
        const TWmvProfile p = TEncoderCatalog::PresetProfile(i);
        EXPECT_EQ(p.name, names[i]);
        EXPECT_LT(p.videoBitrateKbps, lastBitrate) << "presets go from high to low";
        lastBitrate = p.videoBitrateKbps;
        EXPECT_GT(p.audioBitrateKbps, 0);
        EXPECT_TRUE(p.audioChannels == 1 || p.audioChannels == 2);
        EXPECT_EQ(p.width % 2, 0);
    }
    const TWmvProfile internet = TEncoderCatalog::PresetProfile(3);
    EXPECT_EQ(internet.width, 320);
    EXPECT_EQ(internet.audioRate, 22050);
    EXPECT_EQ(TEncoderCatalog::PresetProfile(-5).name, "Medium");
    EXPECT_EQ(TEncoderCatalog::PresetProfile(200).name, "Medium");
}

TEST(EncoderCatalog, SystemProfilesAreReadAndHostileFilesSkipped) {
    Sandbox sandbox;
    const QString dir = sandbox.path("profils");
    QDir().mkpath(dir);
    Sandbox::write(dir + "/a_lan.prx",
                   profileXml("Réseau local (350 Kbps)", kVideoStream, kAudioStream));
    Sandbox::write(dir + "/b_audio.prx", profileXml("Audio seul", {}, kAudioStream));
    Sandbox::write(dir + "/c_broken.prx", "<profile name=\"Cassé\"><streamconfig");
    Sandbox::write(dir + "/d_binary.prx", QByteArray("\x00\xff\xfe<\x01", 5));
    Sandbox::write(dir + "/e_absurd.prx",
                   profileXml("",
                              "<streamconfig majortype=\"{73646976-0000-0010-8000-"
                              "00AA00389B71}\" bitrate=\"-99999999999999999999\">"
                              "<videoinfoheader avgtimeperframe=\"-3\">"
                              "<bitmapinfoheader biwidth=\"99999\" biheight=\"x\"/>"
                              "</videoinfoheader></streamconfig>",
                              "<streamconfig majortype=\"{73647561-0000-0010-8000-"
                              "00AA00389B71}\"><waveformatex nChannels=\"9\" "
                              "nSamplesPerSec=\"1\"/></streamconfig>"));
    Sandbox::write(dir + "/f_huge.prx",
                   profileXml("Énorme", kVideoStream, kAudioStream) + QByteArray(2 << 20, ' '));
    Sandbox::write(dir + "/g_notes.txt", profileXml("Pas un profil", kVideoStream, {}));
    Sandbox::write(dir + "/h_entities.prx",
                   "<!DOCTYPE p [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">]>" +
                       profileXml("&b;&b;&b;", kVideoStream, {}));

    const auto profiles = TEncoderCatalog::SystemProfiles(dir);
    ASSERT_GE(profiles.size(), 2u);
    const TWmvProfile& lan = profiles[0];
    EXPECT_EQ(lan.name, QString::fromUtf8("Réseau local (350 Kbps)"));
    EXPECT_EQ(lan.videoBitrateKbps, 350);
    EXPECT_EQ(lan.width, 320);
    EXPECT_EQ(lan.height, 240);
    EXPECT_EQ(lan.fps, 25);
    EXPECT_EQ(lan.audioBitrateKbps, 32);
    EXPECT_EQ(lan.audioRate, 22050);
    EXPECT_EQ(lan.audioChannels, 1);

    // The nameless, absurd profile is named after its file, with every value made harmless.
    const TWmvProfile& absurd = profiles[1];
    EXPECT_EQ(absurd.name, "e_absurd");
    EXPECT_EQ(absurd.videoBitrateKbps, 0);
    EXPECT_EQ(absurd.width, 0);
    EXPECT_EQ(absurd.height, 0);
    EXPECT_EQ(absurd.fps, 0);
    EXPECT_EQ(absurd.audioRate, 0);
    EXPECT_EQ(absurd.audioChannels, 0);
    for (const TWmvProfile& p : profiles) {
        EXPECT_NE(p.name, "Audio seul");
        EXPECT_NE(p.name, QString::fromUtf8("Énorme"));
        EXPECT_NE(p.name, "Pas un profil");
        EXPECT_LE(p.name.size(), 1024);
    }
    EXPECT_TRUE(TEncoderCatalog::SystemProfiles(sandbox.path("absent")).empty());
    EXPECT_TRUE(TEncoderCatalog::SystemProfiles({}).empty());
}

TEST(EncoderCatalog, WmvProfileRuleBetweenCheckBoxListAndPresets) {
    const std::vector<TWmvProfile> system = {{"Un", 100}, {"Deux", 200}};
    EXPECT_EQ(TEncoderCatalog::ChosenWmvProfile(true, 3, "Deux", system).name, "Internet");
    EXPECT_EQ(TEncoderCatalog::ChosenWmvProfile(false, 3, "Deux", system).name, "Deux");
    EXPECT_EQ(TEncoderCatalog::ChosenWmvProfile(false, 3, "Disparu", system).name, "Un");
    EXPECT_EQ(TEncoderCatalog::ChosenWmvProfile(false, 0, "Deux", {}).name, "High");
}

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
