// Still images at the intervalometer's fastest (value 0: every frame) on "Mire de test"
// 720 x 576 at 25 fps, JPEG quality 50, deinterlacing on, beside a stock pipeline
//   videotestsrc is-live=true ! video/x-raw,format=BGR,720x576,25/1 ! jpegenc quality=50 !
//   multifilesink
// in one run. Prints, for the program: images saved per second, frames that left the source
// and frames that reached the preview sink (none may be lost), the longest delay of a timer
// event on the window's thread, processor time per image, and the median time from saGrab
// to a complete file; for the stock pipeline: images per second and processor time per image.
#include "CaptureDevice.h"
#include "CaptureForm.h"
#include "CpuTime.h"
#include "Dm.h"
#include "ExtraireFrame.h"
#include "ParameterTable.h"
#include "Plaque.h"
#include "RaccourcisForm.h"
#include "SourcesController.h"
#include "StillsController.h"
#include "SuperAction.h"
#include "VidorraElements.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <gst/gst.h>
#include <vector>

namespace {

void spin(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

std::atomic<quint64> g_sourceFrames{0};

GstPadProbeReturn countFrame(GstPad*, GstPadProbeInfo*, gpointer) {
    ++g_sourceFrames;
    return GST_PAD_PROBE_OK;
}

void program(int seconds, const QString& folder) {
    TCaptureForm form;
    Tdm dm;
    Tplaque plaque(&form);
    TRaccourcisForm raccourcis;
    form.attachModules(&dm, &plaque, &raccourcis);
    form.setCommandLine({"/sv=Mire de test", "/j"});
    form.show();
    while (!form.startupFinished())
        spin(20);
    spin(1000);
    Prm.imageDirectory->Value = folder + "/";
    Prm.qualiteJpeg->Value = 50;
    Prm.internalDeinterlacer->Value = true;
    Prm.confirmerImage->Value = false;
    form.stills->RecomputeName();
    std::vector<qint64> grabTimes;
    int saved = 0;
    QElapsedTimer grabClock;
    QObject::connect(form.stills, &TStillsController::saved, [&](const QString&) {
        ++saved;
        if (grabClock.isValid()) {
            grabTimes.push_back(grabClock.nsecsElapsed() / 1000);
            grabClock.invalidate();
        }
    });
    // Single grabs first: saGrab to the complete file.
    for (int i = 0; i < 20; ++i) {
        grabClock.start();
        form.action("saGrab")->executeInteractive(&form);
        while (grabClock.isValid())
            spin(1);
        spin(60);
    }
    std::sort(grabTimes.begin(), grabTimes.end());

    GstElement* source = form.sources->currentVideo()->Device->SourceFilter;
    GstPad* pad = gst_element_get_static_pad(source, "src");
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, countFrame, nullptr, nullptr);
    // A timer that should tick every 10 ms tells how long the window's thread is held.
    qint64 worstDelay = 0;
    QElapsedTimer tick;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (tick.isValid())
            worstDelay = std::max(worstDelay, tick.elapsed() - 10);
        tick.start();
    });
    timer.start(10);

    form.ExtraireFrame1->RxSpinEdit7->setValue(0);
    form.action("saIntervallo")->executeInteractive(&form);
    spin(500);
    saved = 0;
    worstDelay = 0;
    const quint64 source0 = g_sourceFrames, preview0 = dm.previewFrames();
    const double cpu0 = cpuSeconds();
    spin(seconds * 1000);
    const double cpu = cpuSeconds() - cpu0;
    const quint64 sourceFrames = g_sourceFrames - source0,
                  previewFrames = dm.previewFrames() - preview0;
    const int images = saved;
    form.action("saIntervallo")->executeInteractive(&form);
    timer.stop();
    gst_object_unref(pad);
    std::printf("program: %.1f images/s, %llu frames from the source, %llu in the preview, "
                "longest window delay %lld ms, %.2f ms processor per image, saGrab to file "
                "median %.1f ms (max %.1f ms)\n",
                images / double(seconds), (unsigned long long)sourceFrames,
                (unsigned long long)previewFrames, (long long)worstDelay,
                images ? cpu * 1000 / images : 0.0,
                grabTimes.empty() ? 0.0 : grabTimes[grabTimes.size() / 2] / 1000.0,
                grabTimes.empty() ? 0.0 : grabTimes.back() / 1000.0);
    form.hide();
}

void stock(int seconds, const QString& folder) {
    const QString description =
        "videotestsrc is-live=true pattern=smpte ! video/x-raw,format=BGR,width=720,height=576,"
        "framerate=25/1 ! jpegenc quality=50 ! multifilesink location=\"" +
        folder + "/stock_%05d.jpg\"";
    GstElement* pipeline = gst_parse_launch(description.toUtf8().constData(), nullptr);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    spin(500);
    const int before = QDir(folder).entryList({"stock_*"}, QDir::Files).size();
    const double cpu0 = cpuSeconds();
    spin(seconds * 1000);
    const double cpu = cpuSeconds() - cpu0;
    const int images = QDir(folder).entryList({"stock_*"}, QDir::Files).size() - before;
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    std::printf("stock:   %.1f images/s, %.2f ms processor per image\n", images / double(seconds),
                images ? cpu * 1000 / images : 0.0);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    gst_init(&argc, &argv);
    vidorraRegisterStatic();
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    QDir().mkpath(home.path() + "/program");
    QDir().mkpath(home.path() + "/stock");
    program(seconds, home.path() + "/program");
    stock(seconds, home.path() + "/stock");
    return 0;
}
