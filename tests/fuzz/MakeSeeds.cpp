// Writes the seeds of the fuzz targets that come from the program's own writers: DV frames
// with the packs of a generated clip, the INI and registry files the parameter store saves,
// command lines and scripts like those of the tests, scene lists and plug-in names.
// tests/fuzz/make-seeds.sh runs it (and makes the media seeds with GStreamer).
//
//   fuzz_make_seeds <corpus folder>
#include "AppPaths.h"
#include "DVClip.h"
#include "DVPackWriter.h"
#include "DVPacks.h"
#include "IniFile.h"
#include "ParameterTable.h"
#include "Preferences.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

QString g_corpus;

// A literal with the NUL bytes inside it, without its final one.
template <size_t N> QByteArray Raw(const char (&text)[N]) {
    return QByteArray(text, N - 1);
}

void Seed(const char* target, const char* name, const QByteArray& bytes) {
    QDir().mkpath(g_corpus + '/' + target);
    QFile f(g_corpus + '/' + target + '/' + name);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s/%s\n", target, name);
        std::exit(1);
    }
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Frames of a clip in the compact form of the dv_frames target: a mode byte (even: a whole
// frame; bit 1 PAL; bits 2-3 the sequences given less one; bit 4 cut short), the 480
// header bytes of each sequence given, the audio source pack.
QByteArray CompactFrames(const dv::ClipSpec& spec, int from, int count, int sequences,
                         int cutAt = -1) {
    QByteArray out;
    for (int n = from; n < from + count; ++n) {
        const std::vector<uint8_t> frame =
            dv::MakeHandBuiltFrame(spec.pal, dv::ClipPacksAt(spec, n));
        const bool cut = n == cutAt;
        out += char((spec.pal ? 2 : 0) | ((sequences - 1) << 2) | (cut ? 0x10 : 0));
        for (int s = 0; s < sequences; ++s)
            out += QByteArray(reinterpret_cast<const char*>(frame.data()) + s * dv::kSequenceSize,
                              dv::kHeaderBytes);
        out += QByteArray(reinterpret_cast<const char*>(frame.data()) + dv::kPosAudioSourceId, 5);
        if (cut) // 10 000 bytes kept
            out += Raw("\x10\x27\x00");
    }
    return out;
}

void DvSeeds() {
    dv::ClipSpec pal;
    pal.dateJumps = {{3, 3600.0}};
    Seed("dv_frames", "pal-saut-de-date", CompactFrames(pal, 0, 6, 1));
    dv::ClipSpec ntsc;
    ntsc.pal = false;
    ntsc.widescreen = true;
    ntsc.datelessStretches = {{2, 4}};
    Seed("dv_frames", "ntsc-16-9-sans-date", CompactFrames(ntsc, 0, 6, 1));
    dv::ClipSpec back;
    back.dateJumps = {{1, -86400.0}};
    Seed("dv_frames", "pal-quatre-sequences", CompactFrames(back, 0, 2, 4));
    Seed("dv_frames", "trame-coupee", CompactFrames(pal, 2, 2, 1, 3));
    // A raw piece of a frame, as a bus reset leaves it.
    const std::vector<uint8_t> frame = dv::MakeHandBuiltFrame(true, dv::ClipPacksAt(pal, 0));
    Seed("dv_frames", "morceau-brut",
         Raw("\x01\xDC\x05\x00") + QByteArray(reinterpret_cast<const char*>(frame.data()), 1500));
}

// The stores as SaveParameters writes them, from the defaults, in both modes.
void StoreSeeds(const QString& home) {
    qputenv("XDG_CONFIG_HOME", (home + "/config").toUtf8());
    QDir().mkpath(home + "/config/Ardoval");
    QDir().mkpath(home + "/programme");
    AppPaths::setExecutablePathOverride(home + "/programme/vidorra");
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));

    IniFile::save(AppPaths::iniFilePath(),
                  {"[]", "Version=6.0.6", "", "[Raccourcis]", "saGrab=Ctrl+G", "",
                   "[Fenetres\\Principale]", "Left=10", "Top=20", "Right=810", "Bottom=620", ""});
    {
        TparameterList list(AppPaths::signature());
        CreateParameters(list);
        Prm.framerate->Value = 12.5;
        Prm.noDatecode->Value = "Pas de date\r\nni d'heure";
        SaveParameters(list);
    }
    Seed("ini_reader", "parametres-utf16", ReadAll(AppPaths::iniFilePath()));
    Seed("ini_reader", "utf8-sans-marque",
         "[\\Software\\Ardoval\\Vidorra]\nVolume=-12\nFramerate=12,5\nBeeps=0\n"
         "Video Racine=#@vide\xC2\xA7#\nIncrust\\Incrust1=Mariage#@crlf\xC2\xA7#2024\n"
         "Incrust\\FontRec\\FontSize=30\n\n[]\nVersion=x\n");
    Seed("ini_reader", "latin1",
         "[]\r\nNom=Caf\xE9\r\n[\\Software\\Ardoval\\Vidorra]\r\nVolume=3\r\n");

    QFile::remove(AppPaths::iniFilePath());
    {
        // The registry is used by the executable that wrote it.
        TparameterList list(AppPaths::signature());
        CreateParameters(list);
        PrefsMode = spRegistre;
        Prm.framerate->Value = 12.5;
        SaveParameters(list);
    }
    Seed("registry_reader", "parametres", ReadAll(AppPaths::registryFilePath()));
    Seed("registry_reader", "valeurs",
         "; Registre\n\n[Software\\Ardoval\\Vidorra\\Raccourcis]\n\"saGrab\"=\"Ctrl+G\"\n"
         "\"Texte\"=\"ligne\\r\\nautre \\\"guillemets\\\" \\u0001\"\n\"Binaire\"=hex:00,00,00,00,"
         "00,00,29,40\n\"Mot\"=dword:0000002a\n[Software\\Ardoval\\Vidorra\\Fenetres]\n");
}

void CommandSeeds() {
    Seed("command_line", "bascules", Raw("+fs\0-vf\0/fc\0quit"));
    Seed("command_line", "arguments", Raw("/sv=Cam\xC3\xA9ra DV\0+fc=DV\0-r\0--x\0+"));
    Seed("command_script", "commandes",
         "+fs\n-vertical_flip\nsource_video \"Cam\xC3\xA9ra DV\" reste\nfreeze_capture true\n"
         "format_capture=DV\nrun_again\n\tgrab\nstop\nquit\n");
    Seed("command_script", "utf16", Raw("\xFF\xFEg\0r\0a\0b\0\r\0\n\0+\0f\0s\0"));
    Seed("command_script", "bom-utf8", "\xEF\xBB\xBFgrab\r\ndisabled\r\n\xFF\xFE invalide\r\n");
}

void SceneAndPluginSeeds() {
    // Flags, the recording's name and the scenes' frame numbers.
    QByteArray scenes("\x00\x0B\x63\x61\x70\x74\x75\x72\x65\x2E\x61\x76\x69", 13);
    for (uint32_t n : {0u, 24u, 24u, 80u, 80u, 81u})
        for (int i = 0; i < 4; ++i)
            scenes += char(n >> (8 * i));
    Seed("scene_file", "trois-scenes", scenes);
    Seed("scene_file", "dossier-profond",
         "\x01\x20" + QByteArray(32, 'x') + QByteArray(16, '\x01'));
    Seed("plugin_name", "camera", Raw("Cam\xC3\xA9ra plug-in\0reste"));
    Seed("plugin_name", "long", QByteArray(300, 'N'));
    Seed("plugin_name", "invalide", "\xC3\x28\xF0\x9F\x98\x80\xED\xA0\x80x");
}

// Scripts whose syntax trees are thousands of levels deep: long chains of one operator.
void ScriptSeeds() {
    auto chain = [](const QByteArray& head, const QByteArray& term, const QByteArray& op,
                    const QByteArray& tail, int count) {
        QByteArray text = head;
        for (int i = 0; i < count; ++i)
            text += (i ? op : QByteArray()) + term;
        return text + tail;
    };
    Seed("script", "chaine-entiers",
         chain("var x: Integer;\nbegin x := ", "1", " + ", "; end.\n", 9000));
    Seed("script", "chaine-chaines",
         chain("var s: string;\nbegin s := ", "'a'", " + ", "; end.\n", 9000));
    Seed("script", "chaine-et",
         chain("var b: Boolean;\nbegin b := True; if ", "b", " and ", " then b := False; end.\n",
               9000));
    Seed("script", "chaine-indices",
         chain("var a: array[0..1] of Integer; x: Integer;\nbegin x := a[", "a[0]", " + ",
               "]; end.\n", 5000));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    g_corpus = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir home;
    DvSeeds();
    StoreSeeds(home.path());
    CommandSeeds();
    SceneAndPluginSeeds();
    ScriptSeeds();
    return 0;
}
