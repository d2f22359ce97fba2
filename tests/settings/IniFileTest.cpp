#include "IniFile.h"

#include <gtest/gtest.h>

TEST(IniFile, WritesUtf16LittleEndianWithMarkAndCrLfAfterEveryLine) {
    const QByteArray bytes = IniFile::encode({"[é]", "a=1"});
    const QByteArray expected("\xFF\xFE[\0\xE9\0]\0\r\0\n\0a\0=\0001\0\r\0\n\0", 22);
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(IniFile::decode(bytes), (QStringList{"[é]", "a=1"}));
}

TEST(IniFile, ReadsTheEncodingItsFirstBytesAnnounce) {
    const QStringList lines{"[s]", "clé=valeur"};
    QByteArray be("\xFE\xFF", 2);
    for (const QString& l : lines)
        for (QChar c : l + "\r\n")
            be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xff));
    EXPECT_EQ(IniFile::decode(be), lines);
    EXPECT_EQ(IniFile::decode("\xEF\xBB\xBF[s]\r\nclé=valeur\r\n"), lines);
    EXPECT_EQ(IniFile::decode("[s]\nclé=valeur"), lines);        // UTF-8 without a mark
    EXPECT_EQ(IniFile::decode("[s]\rcl\xE9=valeur\r\n"), lines); // Latin-1, CR alone
    EXPECT_EQ(IniFile::decode("a\r\n\r\nb"), (QStringList{"a", "", "b"}));
    EXPECT_TRUE(IniFile::decode("").isEmpty());
    EXPECT_TRUE(IniFile::decode("\xFF\xFE").isEmpty());
}

TEST(IniFile, EachWriterReplacesOnlyItsOwnSections) {
    const auto ownsParams = [](const QString& h) { return h == "[P]"; };
    const auto ownsOthers = [](const QString& h) { return h != "[P]"; };
    const QStringList disk{"; tête", "[]", "Version=2", "", "[P]", "a=1", "", "[X]", "k=v"};

    // The parameter writer's image is older and lacks the component's new section.
    const QStringList params{"[]", "Version=1", "[P]", "a=9", "b=8"};
    EXPECT_EQ(IniFile::mergeOwnedSections(disk, params, ownsParams),
              (QStringList{"; tête", "[]", "Version=2", "", "[P]", "a=9", "b=8", "[X]", "k=v"}));

    // The component's image holds an old parameter section.
    const QStringList component{"[]", "Version=3", "", "[P]", "a=0", "", "[Y]", "z=1"};
    EXPECT_EQ(IniFile::mergeOwnedSections(disk, component, ownsOthers),
              (QStringList{"; tête", "[]", "Version=3", "", "[Y]", "z=1", "[P]", "a=1", ""}));

    // Nothing on disk yet.
    EXPECT_EQ(IniFile::mergeOwnedSections({}, params, ownsParams),
              (QStringList{"[P]", "a=9", "b=8"}));
}
