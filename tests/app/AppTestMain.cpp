#include "Prompts.h"
#include "VidorraElements.h"

#include <QApplication>
#include <gst/gst.h>
#include <gtest/gtest.h>

namespace {

// No test waits on a message box nobody clicks: one that a test did not ask for fails it
// with its text (tests that expect boxes install prompts of their own).
class UnexpectedPrompts : public IPrompts {
public:
    Answer question(QWidget*, const QString& text, bool, bool) override {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return Cancel;
    }
    void information(QWidget*, const QString& text) override { fail("information", text); }
    void warning(QWidget*, const QString& text) override { fail("warning", text); }
    void error(QWidget*, const QString& text) override { fail("error", text); }

private:
    static void fail(const char* kind, const QString& text) {
        ADD_FAILURE() << "unexpected " << kind << ": " << text.toStdString();
    }
};

} // namespace

int main(int argc, char** argv) {
    // Test binaries may run without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    gst_init(&argc, &argv);
    vidorraRegisterStatic();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    UnexpectedPrompts unexpected;
    setPrompts(&unexpected);
    return RUN_ALL_TESTS();
}
