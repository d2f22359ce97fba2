#include "OutputNaming.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

const QDateTime kStamp(QDate(2024, 3, 1), QTime(9, 30, 5));

TNameSettings Video(bool withDate = true) {
    return {QStringLiteral("/films"), QStringLiteral("Video"), withDate};
}

TPathProbe Probe(QSet<QString> files, QSet<QString> folders) {
    return {[files](const QString& f) { return files.contains(f); },
            [folders](const QString& d) { return folders.contains(d); }};
}

} // namespace

TEST(OutputNaming, VideoNamesShareTheRunStampAndCount) {
    TOutputNaming naming(kStamp);
    EXPECT_EQ(naming.NextVideoFileName(Video(), ".avi"), "/films/Video_010324_093005_0.avi");
    EXPECT_EQ(naming.NextVideoFileName(Video(), ".avi"), "/films/Video_010324_093005_1.avi");
    EXPECT_EQ(naming.NextVideoFileName(Video(), ".avi"), "/films/Video_010324_093005_2.avi");
    EXPECT_EQ(naming.videoCounter(), 3);
    // A folder already ending with its separator gets no second one; no date, no date part.
    TNameSettings plain{QStringLiteral("/films/"), QStringLiteral("Vacances"), false};
    EXPECT_EQ(naming.NextVideoFileName(plain, ".wav"), "/films/Vacances_3.wav");
}

TEST(OutputNaming, DateFieldsAreTheirLastTwoDigits) {
    EXPECT_EQ(DatePart(QDateTime(QDate(2009, 12, 31), QTime(23, 59, 58))), "311209_235958_");
    EXPECT_EQ(DatePart(QDateTime(QDate(2100, 1, 2), QTime(0, 0, 0))), "020100_000000_");
}

TEST(OutputNaming, ImageExtensions) {
    EXPECT_EQ(ImageExtension(0), ".bmp");
    EXPECT_EQ(ImageExtension(1), ".jpg");
    EXPECT_EQ(ImageExtension(7), ".bmp");
}

TEST(OutputNaming, EditsDoNotConsumeANumber) {
    TOutputNaming naming(kStamp);
    naming.NextVideoFileName(Video(), ".avi");
    EXPECT_EQ(naming.RecomputeVideoFileName({"/films", "Mariage", true}, ".avi"),
              "/films/Mariage_010324_093005_0.avi");
    EXPECT_EQ(naming.RecomputeVideoFileName({"/films", "Noces", true}, ".avi"),
              "/films/Noces_010324_093005_0.avi");
    EXPECT_EQ(naming.RecomputeVideoFileName({"/films", "Noces", false}, ".avi"),
              "/films/Noces_0.avi");
    // Switching between "divx" and "Wmv" touches only the extension.
    EXPECT_EQ(naming.ChangeVideoExtension(".wmv"), "/films/Noces_0.wmv");
    EXPECT_EQ(naming.ChangeVideoExtension(".avi"), "/films/Noces_0.avi");
    EXPECT_EQ(naming.videoCounter(), 1);
    // A dot in a folder name is not an extension.
    EXPECT_EQ(WithVideoExtension("/a.b/Video_3", ".mp3"), "/a.b/Video_3.mp3");
    // Before any name was taken, there is no number to give back.
    TOutputNaming fresh(kStamp);
    EXPECT_EQ(fresh.RecomputeVideoFileName(Video(false), ".avi"), "/films/Video_0.avi");
}

TEST(OutputNaming, ImageNamesHaveFiveDigits) {
    TOutputNaming naming(kStamp);
    TNameSettings images{QStringLiteral("/photos"), QStringLiteral("Image"), false};
    EXPECT_EQ(naming.NextImageFileName(images, 0), "/photos/Image_00000.bmp");
    EXPECT_EQ(naming.NextImageFileName(images, 1), "/photos/Image_00001.jpg");
    // The extension switch gives the number back.
    EXPECT_EQ(naming.RecomputeImageFileName(images, 0), "/photos/Image_00001.bmp");
    images.withDate = true;
    EXPECT_EQ(ImageFileNameFor(images, kStamp, 123456, 1), "/photos/Image_010324_093005_23456.jpg");
}

TEST(OutputNaming, QuestionsBeforeWriting) {
    const QString name = "/films/Video_0.avi";
    const TPathProbe existing = Probe({name}, {"/films/"});
    const TPathProbe missingFolder = Probe({}, {});
    EXPECT_TRUE(MustAskOverwriteVideo(name, true, existing));
    EXPECT_FALSE(MustAskOverwriteVideo(name, false, existing));
    EXPECT_FALSE(MustAskCreateFolder(name, true, existing));
    EXPECT_TRUE(MustAskCreateFolder(name, true, missingFolder));
    EXPECT_FALSE(MustAskCreateFolder(name, false, missingFolder)) << "created silently";
    EXPECT_TRUE(MustAskOverwriteImage("/films/Video_0.avi", true, existing));
    EXPECT_FALSE(MustAskOverwriteImage("/films/Image_00000.bmp", true, existing));

    EXPECT_EQ(OverwriteVideoQuestion(name, true),
              "Le fichier /films/Video_0.avi existe déjà. Voulez-vous l'écraser?\r\nSi vous "
              "cliquez sur \"Tous\", alors plus aucune confirmation ne sera demandée");
    EXPECT_EQ(OverwriteVideoQuestion(name, false),
              "Le fichier /films/Video_0.avi existe déjà. Voulez-vous l'écraser?");
    EXPECT_EQ(CreateFolderQuestion("/films/"),
              "Le dossier /films/ n'existe pas.\r\nVoulez-vous le créer?");
    EXPECT_TRUE(OverwriteImageQuestion("/photos/Image_00004.jpg")
                    .startsWith("L'image Image_00004.jpg existe déjà. Voulez-vous la remplacer?"));
}
