#include "ListeFrame.h"
#include "FichierListbox.h"
#include "ParameterTable.h"
#include "Sandbox.h"
#include "TextGauge.h"
#include "WaitFor.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <gtest/gtest.h>

namespace {

// Recorded files of chosen sizes, dates and extensions in a throw-away folder, and the
// parameters at their defaults.
class ListeFrameTest : public ::testing::Test {
protected:
    void SetUp() override { CreateParameters(m_list); }
    void TearDown() override { Prm = TParameters{}; }

    QString make(const QString& name, int size, int minutesAgo) {
        const QString path = m_box.path(name);
        Sandbox::write(path, QByteArray(size, 'x'));
        QFile f(path);
        f.open(QIODevice::ReadWrite);
        f.setFileTime(QDateTime::currentDateTime().addSecs(-60 * minutesAgo),
                      QFileDevice::FileModificationTime);
        return path;
    }
    // The files shown, by name.
    static QStringList shown(const TFichierListbox* fl) {
        QStringList names;
        for (int i = 0; i < fl->count(); ++i)
            names << fl->item(i)->text();
        return names;
    }
    QAction* menuItem(TListeFrame& f, const QString& text) {
        for (QAction* a : f.pmListe->findChildren<QAction*>())
            if (a->text() == text)
                return a;
        return nullptr;
    }

    Sandbox m_box;
    TparameterList m_list{AppPaths::signature()};
};

} // namespace

TEST_F(ListeFrameTest, FilesStaySortedInEachOfTheFourOrders) {
    const QString v10 = make("Video10.avi", 300, 1);
    const QString v2 = make("Video2.avi", 100, 5);
    const QString img = make("image.JPG", 50, 3);
    const QString mpg = make("Capture.mpg", 200, 10);

    TListeFrame f;
    EXPECT_EQ(f.labselect->text(), "0 fichiers triés par ordre alphabétique");
    for (const QString& p : {v10, v2, img, mpg})
        f.AddFile(p);
    f.AddFile(v2); // the same file again is listed once
    EXPECT_EQ(shown(f.fl), QStringList({"Capture.mpg", "image.JPG", "Video2.avi", "Video10.avi"}));
    EXPECT_EQ(f.fl->paths().first(), mpg); // the item holds the full path
    EXPECT_EQ(f.labselect->text(), "4 fichiers triés par ordre alphabétique");

    f.Sort(TFichierListbox::soSize);
    EXPECT_EQ(shown(f.fl), QStringList({"image.JPG", "Video2.avi", "Capture.mpg", "Video10.avi"}));
    EXPECT_EQ(f.labselect->text(), "4 fichiers triés par taille");
    // A new file goes to its place in the current order.
    f.AddFile(make("small.avi", 10, 0));
    EXPECT_EQ(shown(f.fl).first(), "small.avi");
    EXPECT_EQ(f.labselect->text(), "5 fichiers triés par taille");

    f.Sort(TFichierListbox::soDate);
    EXPECT_EQ(shown(f.fl),
              QStringList({"Capture.mpg", "Video2.avi", "image.JPG", "Video10.avi", "small.avi"}));
    EXPECT_EQ(f.labselect->text(), "5 fichiers triés par date");

    f.Sort(TFichierListbox::soExtension); // same extension: by name
    EXPECT_EQ(shown(f.fl),
              QStringList({"small.avi", "Video2.avi", "Video10.avi", "image.JPG", "Capture.mpg"}));
    EXPECT_EQ(f.labselect->text(), "5 fichiers triés par extension");

    // The pop-up menu's orders do the same and show which one is in use.
    QAction* taille = menuItem(f, "Taille");
    ASSERT_NE(taille, nullptr);
    EXPECT_FALSE(taille->isChecked());
    taille->trigger();
    EXPECT_TRUE(taille->isChecked());
    EXPECT_TRUE(menuItem(f, "extension")->isCheckable());
    EXPECT_FALSE(menuItem(f, "extension")->isChecked());
    EXPECT_EQ(f.fl->sortOrder(), TFichierListbox::soSize);
    for (const char* item : {"Trier", "Ordre alphabétique", "Date", "Dossier parent",
                             "Ouvrir dans l'application associée", "Ouvrir dans Datorix"})
        EXPECT_NE(menuItem(f, QString::fromUtf8(item)), nullptr) << item;

    // A file that grew is put back in its place when the panel is shown again.
    Sandbox::write(v2, QByteArray(1000, 'y'));
    f.Refresh();
    EXPECT_EQ(shown(f.fl).last(), "Video2.avi");

    // A file that is gone still sorts (as empty) rather than vanishing from the list.
    QFile::remove(v10);
    f.Refresh();
    EXPECT_EQ(f.fl->count(), 5);
}

TEST_F(ListeFrameTest, SelectionSurvivesSortingAndRemoval) {
    const QString a = make("a.avi", 30, 1);
    const QString b = make("b.avi", 20, 2);
    const QString c = make("c.avi", 10, 3);
    TListeFrame f;
    for (const QString& p : {a, b, c})
        f.AddFile(p);
    EXPECT_EQ(f.fl->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_TRUE(f.fl->actedOn().isEmpty());

    f.fl->item(0)->setSelected(true);
    f.fl->item(2)->setSelected(true);
    f.fl->setCurrentItem(f.fl->item(2), QItemSelectionModel::NoUpdate);
    EXPECT_EQ(f.fl->selectedPaths(), QStringList({a, c}));
    EXPECT_EQ(f.fl->actedOn(), c);

    f.Sort(TFichierListbox::soSize);
    EXPECT_EQ(f.fl->paths(), QStringList({c, b, a}));
    EXPECT_EQ(f.fl->selectedPaths(), QStringList({c, a}));
    EXPECT_EQ(f.fl->actedOn(), c);

    // A recording that was deleted leaves the list; the rest keeps its selection.
    f.RemoveFile(c);
    f.RemoveFile("/nowhere/never.avi");
    EXPECT_EQ(f.fl->paths(), QStringList({b, a}));
    EXPECT_EQ(f.fl->selectedPaths(), QStringList({a}));
    EXPECT_EQ(f.fl->actedOn(), a);
    EXPECT_EQ(f.labselect->text(), "2 fichiers triés par taille");
}

TEST_F(ListeFrameTest, MenuAndDoubleClickAskTheWindowToOpen) {
    const QString a = make("a.avi", 30, 1);
    const QString b = make("b avec blanc.avi", 20, 2);
    TListeFrame f;
    f.AddFile(a);
    f.AddFile(b);
    QStringList folders, opened;
    QObject::connect(&f, &TListeFrame::parentFolderRequested,
                     [&](const QString& p) { folders << p; });
    QObject::connect(&f, &TListeFrame::openRequested, [&](const QString& p) { opened << p; });

    // Nothing selected: nothing asked.
    menuItem(f, "Dossier parent")->trigger();
    menuItem(f, "Ouvrir dans l'application associée")->trigger();
    EXPECT_TRUE(folders.isEmpty());
    EXPECT_TRUE(opened.isEmpty());

    f.fl->setCurrentRow(1); // selects b
    menuItem(f, "Dossier parent")->trigger();
    menuItem(f, "Ouvrir dans l'application associée")->trigger();
    emit f.fl->itemDoubleClicked(f.fl->item(1));
    EXPECT_EQ(folders, QStringList{b});
    EXPECT_EQ(opened, QStringList({b, b}));
}

TEST_F(ListeFrameTest, DatorixGetsTheFileOnlyWhenItsProgramExists) {
    const QString file = make("b avec blanc.avi", 20, 2);
    TListeFrame f;
    f.AddFile(file);
    f.fl->setCurrentRow(0);
    EXPECT_EQ(TListeFrame::DatorixArgument("/v/a b.avi"), "+F=/v/a b.avi");

    Prm.datorix->Value = m_box.path("absent/Datorix");
    EXPECT_FALSE(f.OpenInDatorix());
    Prm.datorix->Value = QString();
    EXPECT_FALSE(f.OpenInDatorix());

    // A stand-in program that writes down its arguments, one a line.
    const QString program = m_box.path("datorix.sh");
    const QString out = m_box.path("args.txt");
    Sandbox::write(program, QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > "
                                           "'%1.tmp' && mv '%1.tmp' '%1'\n")
                                .arg(out)
                                .toUtf8());
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Prm.datorix->Value = program;
    ASSERT_TRUE(f.OpenInDatorix());
    ASSERT_TRUE(waitFor([&] { return QFile::exists(out); }, 10000));
    EXPECT_EQ(Sandbox::read(out), ("+F=" + file + "\n").toUtf8());
}

TEST_F(ListeFrameTest, FreeSpaceGaugesShowTheDrivesOfTheFolders) {
    TListeFrame f;
    EXPECT_EQ(f.tgVideo->minValue(), 0);
    EXPECT_EQ(f.tgCPU->alertValue(), 81);
    EXPECT_EQ(f.tgVideo->alertValue(), 500);
    EXPECT_EQ(f.tgImage->alertValue(), 100);
    f.SetVideoFolder(m_box.path("videos/not/made"));
    ASSERT_TRUE(waitFor([&] { return f.tgVideo->maxValue() > 0; }, 10000));
    const DriveSpace drive = DriveSpace::Of(m_box.path());
    EXPECT_EQ(f.tgVideo->maxValue(), drive.totalMb);
    EXPECT_EQ(f.tgVideo->text(),
              QString("%1 Mo").arg(f.tgVideo->maxValue() - f.tgVideo->progress()));
    // The image folder could not be asked: 0 free.
    EXPECT_EQ(f.tgImage->maxValue(), 0);
    EXPECT_EQ(f.tgImage->text(), "0 Mo");

    // The video drive goes away: its gauge falls to 0 at the next answer.
    f.SetVideoFolder(QString());
    f.SetImageFolder(m_box.path());
    ASSERT_TRUE(waitFor([&] { return f.tgImage->maxValue() > 0; }, 10000));
    EXPECT_EQ(f.tgVideo->maxValue(), 0);
    EXPECT_EQ(f.tgVideo->text(), "0 Mo");

    // The processor gauge moves on its own within two ticks, between 0 and 100.
    pause(1100);
    EXPECT_GE(f.tgCPU->progress(), 0);
    EXPECT_LE(f.tgCPU->progress(), 100);
}

TEST(FichierListbox, NamesCompareWithoutCaseAndNumbersByValue) {
    // Files that are not there sort by name alone in every order.
    const QStringList paths = {"/v/video10.avi", "/v/Video2.avi", "/v/Video002b.avi",
                               "/v/video1.AVI",  "/w/Video2.avi", "/v/a.mp3"};
    EXPECT_EQ(TFichierListbox::Sorted(paths, TFichierListbox::soName),
              QStringList({"/v/a.mp3", "/v/video1.AVI", "/v/Video2.avi", "/w/Video2.avi",
                           "/v/Video002b.avi", "/v/video10.avi"}));
    EXPECT_EQ(TFichierListbox::Sorted(paths, TFichierListbox::soExtension),
              QStringList({"/v/video1.AVI", "/v/Video2.avi", "/w/Video2.avi", "/v/Video002b.avi",
                           "/v/video10.avi", "/v/a.mp3"}));
    EXPECT_EQ(TFichierListbox::OrderName(TFichierListbox::soDate), "par date");
}
