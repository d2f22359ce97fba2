// The action system on its own: linked without the window's library, its values kept in a
// store of the test's.
#include "ActionStore.h"
#include "AppliMan.h"

#include <QHash>
#include <QVariant>
#include <gtest/gtest.h>

namespace {

class MemoryStore : public IActionStore {
public:
    QHash<QString, QVariant> values;
    bool full = false; // every write fails, as on a full disk

    bool ReadBool(const QString& name, bool def) override {
        return values.value(name, def).toBool();
    }
    QString ReadText(const QString& name, const QString& def) override {
        return values.value(name, def).toString();
    }
    QRect ReadRect(const QString& name, const QRect& def) override {
        return values.value(name, def).toRect();
    }
    bool WriteBool(const QString& name, bool value) override { return write(name, value); }
    bool WriteText(const QString& name, const QString& value) override {
        return write(name, value);
    }
    bool WriteRect(const QString& name, const QRect& value) override { return write(name, value); }

private:
    bool write(const QString& name, const QVariant& value) {
        if (full)
            return false;
        values.insert(name, value);
        return true;
    }
};

} // namespace

TEST(ActionStore, ValuesGoThroughTheStoreAndAFailedWriteIsSaid) {
    MemoryStore store;
    TKXAppliMan man;
    auto* boolean = new TBooleanAction;
    auto* text = new TWidestringAction;
    auto* rect = new TRectAction;
    man.add(boolean);
    man.add(text);
    man.add(rect);
    boolean->ScriptName = "Muet";
    text->ScriptName = "Titre";
    text->DefaultValue = "défaut";
    rect->ScriptName = "Fenetre";

    man.LoadFromPrefs(store); // nothing stored: the defaults
    EXPECT_FALSE(boolean->Value);
    EXPECT_EQ(text->Value, "défaut");

    boolean->Value = true;
    text->Value = "Cassette 12";
    rect->Value = QRect(10, 20, 640, 480);
    EXPECT_TRUE(man.SaveToPrefs(store));
    boolean->Value = false;
    text->Value.clear();
    rect->Value = QRect();
    man.LoadFromPrefs(store);
    EXPECT_TRUE(boolean->Value);
    EXPECT_EQ(text->Value, "Cassette 12");
    EXPECT_EQ(rect->Value, QRect(10, 20, 640, 480));

    store.full = true;
    EXPECT_FALSE(man.SaveToPrefs(store));
}
