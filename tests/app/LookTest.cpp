// The look of the window. Every caption of the main window and its panels is shown whole: no
// button or label is narrower or lower than its text, cut by the widget holding it, or covered
// by a sibling; the same binary runs the Captions tests a second time at QT_SCALE_FACTOR=2
// (tests/app/CMakeLists). The desktop's icon theme is a choice kept with the preferences.
#include "CamForm.h"
#include "CameraWindows.h"
#include "CaptureForm.h"
#include "ImageList.h"
#include "IniFile.h"
#include "LevelMeterWidget.h"
#include "OptionsFrame.h"
#include "ParameterTable.h"
#include "PartArea.h"
#include "ProgramUnderTest.h"
#include "RecordingController.h"
#include "Sandbox.h"
#include "StatusPanels.h"
#include "SuperAction.h"
#include "WaitFor.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

using Program = ProgramUnderTest;

// Faults handled separately: reported, not failed, until that fix is in. The volume slider
// covers the end of "Volume"; the owner-drawn status panels are 175 pixels whatever their
// text (the first cuts "Intervallomètre désactivé", and at 11 points the others too).
QSet<const QWidget*> g_known;
constexpr bool kStatusPanelsKnown = false;

QString plain(QString text) {
    // A single '&' marks the mnemonic and takes no room; "&&" shows one.
    text.replace(QLatin1String("&&"), QChar(0x1));
    text.remove(u'&');
    text.replace(QChar(0x1), u'&');
    return text;
}

QString nameOf(const QWidget* w) {
    QString name =
        w->objectName().isEmpty() ? QLatin1String(w->metaObject()->className()) : w->objectName();
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (!p->objectName().isEmpty() && !p->objectName().startsWith(QLatin1String("qt_")))
            return p->objectName() + '/' + name;
    return name;
}

// The room the widget's text needs, or an empty size when it shows no text of its own.
QSize needed(QWidget* w) {
    const QFontMetrics fm = w->fontMetrics();
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (label->text().isEmpty())
            return {};
        if (label->wordWrap())
            return QSize(0, label->heightForWidth(label->width()));
        return label->minimumSizeHint();
    }
    if (auto* tool = qobject_cast<QToolButton*>(w)) {
        // Without an icon, an icon-only button shows its text.
        const bool icon =
            !tool->icon().isNull() && tool->toolButtonStyle() != Qt::ToolButtonTextOnly;
        const bool text =
            !tool->text().isEmpty() && (tool->toolButtonStyle() != Qt::ToolButtonIconOnly || !icon);
        if (!text)
            return icon ? tool->iconSize() : QSize();
        const int frame = tool->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, tool);
        int width = fm.horizontalAdvance(plain(tool->text())) + 2 * frame + 2;
        if (icon && tool->toolButtonStyle() == Qt::ToolButtonTextBesideIcon)
            width += tool->iconSize().width() + 4;
        if (tool->popupMode() == QToolButton::MenuButtonPopup)
            width += tool->style()->pixelMetric(QStyle::PM_MenuButtonIndicator, nullptr, tool);
        return QSize(width, fm.height());
    }
    if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
        auto* button = static_cast<QAbstractButton*>(w);
        return button->text().isEmpty() ? QSize() : button->sizeHint();
    }
    if (auto* push = qobject_cast<QPushButton*>(w)) {
        if (push->text().isEmpty())
            return {};
        // The style's least width of a push button is no part of the text's need.
        const int margins =
            push->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, push) +
            2 * push->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, push);
        const int icon = push->icon().isNull() ? 0 : push->iconSize().width() + 4;
        return QSize(fm.horizontalAdvance(plain(push->text())) + icon + margins, fm.height());
    }
    if (auto* box = qobject_cast<QGroupBox*>(w)) {
        if (box->title().isEmpty())
            return {};
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        if (box->isCheckable())
            option.subControls |= QStyle::SC_GroupBoxCheckBox;
        int width = fm.horizontalAdvance(plain(box->title()) + u' ');
        if (box->isCheckable())
            width += box->style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, box) +
                     box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, box);
        return QSize(
            box->style()
                ->sizeFromContents(QStyle::CT_GroupBox, &option, QSize(width, fm.height()), box)
                .width(),
            fm.height());
    }
    if (auto* tabs = qobject_cast<QTabBar*>(w))
        return QSize(tabs->sizeHint().width(), 0); // every tab shown, none scrolled away
    return {};
}

bool insideScrolledContents(const QWidget* w) {
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (auto* area = qobject_cast<const QAbstractScrollArea*>(p->parentWidget());
            area && area->viewport() == p)
            return true;
    return false;
}

// The faults of the visible text widgets under `root`, one line each.
QStringList faultsIn(QWidget* root) {
    QStringList faults;
    auto fault = [&](QWidget* w, const QString& what) {
        const QString name = nameOf(w);
        const QString line = name + " \"" + plain(w->property("text").toString()) + "\": " + what;
        if (g_known.contains(w)) {
            qInfo("known, handled separately: %s", qPrintable(line));
            return;
        }
        faults << line;
    };
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        if (!w->isVisible() || w->window() != root->window())
            continue;
        const QSize need = needed(w);
        if (!need.isValid())
            continue;
        if (w->width() < need.width())
            fault(w, QStringLiteral("%1 wide for %2").arg(w->width()).arg(need.width()));
        if (w->height() < need.height())
            fault(w, QStringLiteral("%1 high for %2").arg(w->height()).arg(need.height()));
        if (auto* bar = qobject_cast<QToolBar*>(w->parentWidget())) {
            if (!bar->rect().contains(w->geometry()))
                fault(w, QStringLiteral("out of its tool bar"));
            continue;
        }
        if (insideScrolledContents(w))
            continue; // scrolled into view
        // Cut by a widget holding it.
        QRect r = w->rect();
        for (QWidget* c = w; c->parentWidget() && !c->isWindow(); c = c->parentWidget()) {
            r.translate(c->pos());
            if (!c->parentWidget()->rect().contains(r)) {
                fault(w, QStringLiteral("cut by %1").arg(nameOf(c->parentWidget())));
                break;
            }
        }
        // Covered by a sibling stacked above it.
        if (QWidget* parent = w->parentWidget()) {
            const QObjectList& siblings = parent->children();
            for (qsizetype i = siblings.indexOf(w) + 1; i < siblings.size(); ++i) {
                auto* s = qobject_cast<QWidget*>(siblings[i]);
                if (s && s->isVisible() && !s->isWindow() &&
                    s->geometry().intersects(w->geometry()))
                    fault(w, QStringLiteral("covered by %1").arg(nameOf(s)));
            }
        }
    }
    // Tool bars show every action, none in an overflow menu.
    for (QToolBar* bar : root->findChildren<QToolBar*>())
        if (bar->isVisible())
            for (QAction* a : bar->actions())
                if (!bar->widgetForAction(a) || !bar->widgetForAction(a)->isVisible())
                    faults << nameOf(bar) + ": " + a->text() + " is not shown";
    return faults;
}

// The owner-drawn status panels: the first three show their whole text (the fourth names a
// folder and loses its middle by design).
QStringList statusFaults(TStatusPanels* status) {
    QStringList faults;
    const QFontMetrics fm = status->fontMetrics();
    for (int i = 0; i < 3; ++i) {
        QString text = status->text(i);
        if (i == 1)
            text += status->redSuffix();
        const int room = status->textRect(i).width();
        if (fm.horizontalAdvance(text) <= room)
            continue;
        const QString line = QStringLiteral("status %1 \"%2\": %3 wide for %4")
                                 .arg(i)
                                 .arg(text)
                                 .arg(room)
                                 .arg(fm.horizontalAdvance(text));
        if (kStatusPanelsKnown)
            qInfo("known, handled separately: %s", qPrintable(line));
        else
            faults << line;
    }
    return faults;
}

// Shows each panel in turn, and each tab of its tab widgets, and collects what is cut.
QStringList everyPanelFaults(Program& p) {
    QStringList faults = faultsIn(&p.form);
    for (int panel = 0; panel < 9; ++panel) {
        p.form.ShowPanel(panel);
        QApplication::processEvents();
        faults << faultsIn(&p.form);
        for (QTabWidget* tabs : p.form.panels[size_t(panel)]->findChildren<QTabWidget*>()) {
            const int shown = tabs->currentIndex();
            for (int t = 0; t < tabs->count(); ++t) {
                tabs->setCurrentIndex(t);
                QApplication::processEvents();
                for (const QString& f : faultsIn(&p.form))
                    faults << tabs->tabText(t) + ": " + f;
            }
            tabs->setCurrentIndex(shown);
        }
    }
    // The camcorder windows beside the main one.
    if (p.form.cameras)
        for (int i = 0; i < 2; ++i)
            if (TcamForm* camera = p.form.cameras->window(i); camera && camera->isVisible())
                faults << faultsIn(camera);
    faults.removeDuplicates();
    return faults;
}

// A control of its own under the volume (the sound level meter, the part being recorded):
// shown whole at its font's size, inside the window, on no other control and under none.
QStringList placedFaults(QWidget* widget, const QString& name) {
    QStringList faults;
    if (!widget->isVisible())
        return {name + QStringLiteral(" is not shown")};
    if (widget->width() < widget->sizeHint().width() ||
        widget->height() < widget->sizeHint().height())
        faults << QStringLiteral("%1 %2x%3 for %4x%5")
                      .arg(name)
                      .arg(widget->width())
                      .arg(widget->height())
                      .arg(widget->sizeHint().width())
                      .arg(widget->sizeHint().height());
    if (!widget->parentWidget()->rect().contains(widget->geometry()))
        faults << name + QStringLiteral(" cut by its window");
    for (QObject* o : widget->parentWidget()->children()) {
        auto* s = qobject_cast<QWidget*>(o);
        if (s && s != widget && s->isVisible() && !s->isWindow() &&
            s->geometry().intersects(widget->geometry()))
            faults << QStringLiteral("%1 meets %2").arg(name, nameOf(s));
    }
    return faults;
}

// Shows the window, checks it on every panel, then records and checks it again (the capture
// button then reads "Stop Capture").
void checkWholeProgram() {
    Sandbox box;
    Program p;
    p.form.setCommandLine({"/sa=Signal de test", "/format_capture=Wav"});
    g_known = {};
    p.form.show();
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    QApplication::processEvents();
    std::printf("scale %.2f, font %s\n", p.form.devicePixelRatioF(),
                qPrintable(p.form.font().toString()));

    QStringList faults = everyPanelFaults(p);
    faults << statusFaults(p.form.statusPanels);
    faults << placedFaults(p.form.levelMeter, QStringLiteral("levelMeter"));
    EXPECT_TRUE(faults.isEmpty()) << faults.join('\n').toStdString();

    Prm.videoDirectory->Value = box.path() + "/";
    p.form.recorder->RecomputeNextName();
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(waitFor([&] { return p.form.recorder->state() == RecordingState::rsRecording; }));
    // The part's area once it has its file's size and the time left.
    ASSERT_TRUE(waitFor([&] { return p.form.partArea->timeText().contains("restantes"); }));
    QApplication::processEvents();
    faults = faultsIn(&p.form);
    faults << statusFaults(p.form.statusPanels);
    faults << placedFaults(p.form.levelMeter, QStringLiteral("levelMeter"));
    faults << placedFaults(p.form.partArea, QStringLiteral("partArea"));
    EXPECT_TRUE(faults.isEmpty()) << faults.join('\n').toStdString();
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(waitFor([&] { return p.form.recorder->state() == RecordingState::rsPreview; }));
}

} // namespace

TEST(Captions, WholeWithTheDefaultFont) {
    checkWholeProgram();
}

// Desktops often use 10 or 11 points where Qt's own default is 9.
TEST(Captions, WholeWithALargerDesktopFont) {
    const QFont saved = QApplication::font();
    QFont larger = saved;
    larger.setPointSizeF(11);
    QApplication::setFont(larger);
    checkWholeProgram();
    QApplication::setFont(saved);
}

// "Utiliser le thème d'icônes du bureau": off at first, switches the icons at once, and is
// stored beside the parameters (not as one of them) for the next start.
TEST(Look, DesktopIconThemeIsKeptWithThePreferences) {
    Sandbox box;
    ASSERT_TRUE(IniFile::save(AppPaths::iniFilePath(), {"[]"})); // portable mode
    {
        Program p;
        p.form.show();
        ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
        QCheckBox* option = p.form.OptionsFrame->cbIconesBureau;
        EXPECT_FALSE(option->isChecked());
        EXPECT_FALSE(ImageList::useDesktopTheme());
        option->click();
        EXPECT_TRUE(ImageList::useDesktopTheme());
        EXPECT_EQ(p.form.parameters().find(TCaptureForm::kDesktopIcons), nullptr);
        p.form.close();
        ASSERT_TRUE(waitFor([&] { return !p.form.isVisible(); }));
    }
    QStringList lines;
    IniFile::load(AppPaths::iniFilePath(), lines);
    EXPECT_TRUE(lines.contains(TCaptureForm::kDesktopIcons + "=True"))
        << lines.join('\n').toStdString();

    ImageList::setUseDesktopTheme(false);
    {
        Program p;
        p.form.show();
        ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
        EXPECT_TRUE(p.form.OptionsFrame->cbIconesBureau->isChecked());
        EXPECT_TRUE(ImageList::useDesktopTheme());
        p.form.OptionsFrame->cbIconesBureau->click();
        EXPECT_FALSE(ImageList::useDesktopTheme());
    }
    ImageList::setUseDesktopTheme(false);
}
