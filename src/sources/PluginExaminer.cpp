#include "PluginExaminer.h"

#include "Log.h"
#include "PluginName.h"
#include "vidorra/pvr.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <gst/gst.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

QString g_program;
QStringList g_arguments{QString::fromLatin1(kExaminerOption)};

QString cachePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/vidorra/plug-ins.cache");
}

QByteArray encode(const QString& text) {
    return QUrl::toPercentEncoding(text, "/ ");
}

QString decode(const QByteArray& text) {
    return QUrl::fromPercentEncoding(text);
}

// ---- the cache: one line per library

QByteArray cacheLine(const TPluginExamination& e) {
    return encode(e.path) + '\t' + QByteArray::number(e.modified) + '\t' +
           QByteArray::number(e.size) + '\t' + (e.usable ? "1" : "0") + '\t' +
           QByteArray::number(e.version) + '\t' + encode(e.driverName) + '\t' +
           encode(e.friendlyName) + '\t' + encode(e.refusal) + '\n';
}

QHash<QString, TPluginExamination> readCache() {
    QHash<QString, TPluginExamination> out;
    QFile file(cachePath());
    if (!file.open(QIODevice::ReadOnly))
        return out;
    // A damaged cache only costs an examination: lines that do not read are passed over.
    for (const QByteArray& line : file.read(4 << 20).split('\n')) {
        const QList<QByteArray> f = line.split('\t');
        if (f.size() != 8 || (f[3] != "1" && f[3] != "0"))
            continue;
        TPluginExamination e;
        bool ok[3] = {false, false, false};
        e.path = decode(f[0]);
        e.modified = f[1].toLongLong(&ok[0]);
        e.size = f[2].toLongLong(&ok[1]);
        e.usable = f[3] == "1";
        e.version = f[4].toInt(&ok[2]);
        e.driverName = PluginNameKey(decode(f[5]));
        e.friendlyName = PluginNameKey(decode(f[6]));
        e.refusal = decode(f[7]);
        if (ok[0] && ok[1] && ok[2] && !e.path.isEmpty())
            out.insert(e.path, e);
    }
    return out;
}

void writeCache(const QHash<QString, TPluginExamination>& entries) {
    QDir().mkpath(QFileInfo(cachePath()).absolutePath());
    QSaveFile file(cachePath());
    if (!file.open(QIODevice::WriteOnly))
        return;
    for (const TPluginExamination& e : entries)
        if (QFileInfo::exists(e.path))
            file.write(cacheLine(e));
    if (!file.commit())
        qCInfo(lcVidorra) << "plug-in cache not written:" << cachePath();
}

QString hexText(const QByteArray& hex) {
    return QString::fromUtf8(QByteArray::fromHex(hex));
}

QString stageText(const QString& stage) {
    if (stage == QLatin1String("chargement"))
        return QStringLiteral("son chargement");
    if (stage == QLatin1String("pi_apiversion"))
        return QStringLiteral("la lecture de sa version");
    return QStringLiteral("la lecture de son nom");
}

QString signalName(int signal) {
    switch (signal) {
    case SIGSEGV:
        return QStringLiteral("accès mémoire invalide");
    case SIGABRT:
        return QStringLiteral("arrêt demandé, exception non rattrapée par exemple");
    case SIGBUS:
        return QStringLiteral("erreur de bus");
    case SIGFPE:
        return QStringLiteral("erreur de calcul");
    case SIGILL:
        return QStringLiteral("instruction illégale");
    default:
        return QStringLiteral("signal %1").arg(signal);
    }
}

// One helper run over the libraries of `pending` (indexes into `out`); returns those it did
// not reach. The library it was working on when it died or stopped answering is refused.
std::vector<int> examineOnce(std::vector<TPluginExamination>& out, std::vector<int> pending) {
    QProcess helper;
    QStringList arguments = g_arguments;
    for (int index : pending)
        arguments << out[size_t(index)].path;
    helper.setProcessChannelMode(QProcess::SeparateChannels);
    helper.setStandardErrorFile(QProcess::nullDevice());
    // This very executable, found through the system where no application object says it.
    QString program = g_program.isEmpty() && QCoreApplication::instance()
                          ? QCoreApplication::applicationFilePath()
                          : g_program;
    if (program.isEmpty())
        program = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    helper.start(program, arguments);
    if (!helper.waitForStarted(10000)) {
        for (int index : pending)
            out[size_t(index)].refusal =
                QStringLiteral("n'a pas pu être examiné (le programme d'examen ne démarre pas)");
        return {};
    }
    QElapsedTimer sinceLast;
    sinceLast.start();
    bool ready = false;
    size_t at = 0; // the position in `pending` of the library being examined
    QString stage = QStringLiteral("chargement");
    bool started = false; // the helper said it began on that library
    QByteArray buffer;
    auto finish = [&](const QString& refusal) {
        started = false;
        TPluginExamination& e = out[size_t(pending[at])];
        e.refusal = refusal;
        e.usable = refusal.isEmpty();
        ++at;
        stage = QStringLiteral("chargement");
        sinceLast.restart();
    };
    while (at < pending.size()) {
        // Starting the helper loads GStreamer and may rebuild its registry: time enough.
        const int limit = ready ? kExaminationLimitMs : 120000;
        const int left = limit - int(sinceLast.elapsed());
        const bool more = left > 0 && (helper.bytesAvailable() > 0 ||
                                       helper.waitForReadyRead(std::min(left, 200)));
        buffer += helper.readAllStandardOutput();
        int end;
        while ((end = buffer.indexOf('\n')) >= 0 && at < pending.size()) {
            const QList<QByteArray> f = buffer.left(end).split('\t');
            buffer.remove(0, end + 1);
            const int index = f.size() > 1 ? f[1].toInt() : -1;
            if (f[0] == "pret") {
                ready = true;
                sinceLast.restart();
            } else if (index != int(at)) {
                continue; // not about the library under examination
            } else if (f[0] == "etape" && f.size() == 3) {
                stage = QString::fromLatin1(f[2]);
                started = true;
            } else if (f[0] == "ok" && f.size() == 5) {
                TPluginExamination& e = out[size_t(pending[at])];
                e.version = f[2].toInt();
                e.driverName = PluginNameKey(hexText(f[3]));
                e.friendlyName = PluginNameKey(hexText(f[4]));
                finish({});
            } else if (f[0] == "refus" && f.size() == 4 && f[2] == "version") {
                finish(QStringLiteral("écrit pour la version %1 de l'interface des modules ; "
                                      "ce programme a la version %2")
                           .arg(QString::fromLatin1(f[3]))
                           .arg(PVR_API_VERSION));
            } else if (f[0] == "refus" && f.size() == 4 && f[2] == "chargement") {
                finish(LoadFailureReason(hexText(f[3])));
            } else if (f[0] == "refus" && f.size() == 4 && f[2] == "nom") {
                finish(QStringLiteral("écrit au-delà de la zone prévue pour son nom pendant %1")
                           .arg(stageText(QString::fromLatin1(f[3]))));
            }
        }
        if (at >= pending.size())
            break;
        if (helper.state() == QProcess::NotRunning && helper.bytesAvailable() == 0) {
            if (!ready) { // the helper itself does not work: nothing is examined
                for (size_t i = at; i < pending.size(); ++i)
                    out[size_t(pending[i])].refusal = QStringLiteral(
                        "n'a pas pu être examiné (le programme d'examen s'est arrêté)");
                return {};
            }
            if (!started) // it ended between two libraries: the next run takes the rest
                break;
            finish(helper.exitStatus() == QProcess::CrashExit
                       ? QStringLiteral("a arrêté le programme d'examen pendant %1 (%2)")
                             .arg(stageText(stage), signalName(helper.exitCode()))
                       : QStringLiteral("a terminé le programme d'examen pendant %1")
                             .arg(stageText(stage)));
            break;
        }
        if (!more && sinceLast.elapsed() >= limit) {
            if (!ready) {
                for (size_t i = at; i < pending.size(); ++i)
                    out[size_t(pending[i])].refusal = QStringLiteral(
                        "n'a pas pu être examiné (le programme d'examen ne répond pas)");
                helper.kill();
                helper.waitForFinished(2000);
                return {};
            }
            finish(QStringLiteral("ne répond plus pendant %1 (plus de %2 s)")
                       .arg(stageText(stage))
                       .arg(kExaminationLimitMs / 1000));
            break;
        }
    }
    if (helper.state() != QProcess::NotRunning) {
        if (at >= pending.size())
            helper.waitForFinished(2000);
        helper.kill();
        helper.waitForFinished(2000);
    }
    return {pending.begin() + qsizetype(std::min(at, pending.size())), pending.end()};
}

// ---- the helper's side

volatile sig_atomic_t g_current = -1;
char* g_guardLow = nullptr;
char* g_guardHigh = nullptr;
const char* volatile g_stage = "chargement";

void say(const QByteArray& line) {
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// A write past the name buffer lands on the page after it, kept unwritable.
void onFault(int signal, siginfo_t* info, void*) {
    char* address = info ? static_cast<char*>(info->si_addr) : nullptr;
    if (address >= g_guardLow && address < g_guardHigh) {
        char line[96];
        const int n = std::snprintf(line, sizeof line, "refus\t%d\tnom\t%s\n", int(g_current),
                                    const_cast<const char*>(g_stage));
        [[maybe_unused]] const auto w = ::write(STDOUT_FILENO, line, size_t(n));
        _exit(4);
    }
    ::signal(signal, SIG_DFL);
}

// Every program that searches a plug-in folder is its own helper: the option is met before
// main() runs, whatever that main() is (the program's, or a test's).
__attribute__((constructor)) void examineWhenAsked() {
    FILE* file = std::fopen("/proc/self/cmdline", "rb");
    if (!file)
        return;
    QByteArray line;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        line.append(chunk, qsizetype(n));
    std::fclose(file);
    const QList<QByteArray> arguments = line.split('\0');
    if (arguments.size() < 2 || arguments[1] != kExaminerOption)
        return;
    std::vector<char*> argv;
    for (const QByteArray& argument : arguments)
        if (!argument.isEmpty())
            argv.push_back(const_cast<char*>(argument.constData()));
    argv.push_back(nullptr);
    _exit(RunPluginExaminer(int(argv.size()) - 1, argv.data()));
}

} // namespace

std::vector<TPluginExamination> ExaminePlugins(const QStringList& paths) {
    std::vector<TPluginExamination> out;
    QHash<QString, TPluginExamination> cache = readCache();
    std::vector<int> pending;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        TPluginExamination e;
        e.path = path;
        e.modified = info.lastModified().toMSecsSinceEpoch();
        e.size = info.size();
        const auto cached = cache.constFind(path);
        if (cached != cache.cend() && cached->modified == e.modified && cached->size == e.size) {
            out.push_back(*cached);
            continue;
        }
        e.fresh = true;
        pending.push_back(int(out.size()));
        out.push_back(e);
    }
    if (pending.empty())
        return out;
    // Each run takes the libraries left after the one that stopped the last.
    while (!pending.empty()) {
        const size_t before = pending.size();
        pending = examineOnce(out, pending);
        if (pending.size() == before) { // a helper that ends before it begins
            out[size_t(pending.front())].refusal =
                QStringLiteral("n'a pas pu être examiné (le programme d'examen s'est arrêté)");
            pending.erase(pending.begin());
        }
    }
    bool keep = true;
    for (TPluginExamination& e : out) {
        if (!e.fresh)
            continue;
        // A helper that did not work says nothing about the library: it is examined again.
        keep = keep && !e.refusal.startsWith(QLatin1String("n'a pas pu être examiné"));
        if (!e.usable)
            qCInfo(lcVidorra).noquote() << "plug-in" << e.path << "refused:" << e.refusal;
        cache.insert(e.path, e);
    }
    if (keep)
        writeCache(cache);
    return out;
}

void ForgetExamination(const QString& path) {
    QHash<QString, TPluginExamination> cache = readCache();
    if (cache.remove(path))
        writeCache(cache);
}

void SetPluginExaminer(const QString& program, const QStringList& arguments) {
    g_program = program;
    g_arguments = arguments;
}

QString LoadFailureReason(const QString& message) {
    static const QRegularExpression undefined(QStringLiteral("undefined symbol: ([^\\s,]+)"));
    const QRegularExpressionMatch m = undefined.match(message);
    if (m.hasMatch())
        return QStringLiteral("un symbole lui manque (%1)").arg(m.captured(1));
    if (message.contains(QLatin1String("invalid ELF header")) ||
        message.contains(QLatin1String("file too short")) ||
        message.contains(QLatin1String("not an ELF")))
        return QStringLiteral("ce n'est pas une bibliothèque");
    if (message.contains(QLatin1String("wrong ELF class")) ||
        message.contains(QLatin1String("ELF file's phentsize")) ||
        message.contains(QLatin1String("machine")))
        return QStringLiteral("c'est une bibliothèque pour un autre processeur");
    static const QRegularExpression missing(
        QStringLiteral("([^\\s:]+): cannot open shared object file"));
    const QRegularExpressionMatch lib = missing.match(message);
    if (lib.hasMatch() && !lib.captured(1).contains(QLatin1Char('/')))
        return QStringLiteral("une bibliothèque dont il a besoin manque (%1)").arg(lib.captured(1));
    return QStringLiteral("ne se charge pas (%1)").arg(message);
}

int RunPluginExaminer(int argc, char** argv) {
    gst_init(nullptr, nullptr);
    const long page = ::sysconf(_SC_PAGESIZE);
    const size_t span =
        (size_t(PVR_NAME_BUFFER_SIZE) + size_t(page) - 1) / size_t(page) * size_t(page);
    auto* area = static_cast<char*>(::mmap(nullptr, span + size_t(page), PROT_READ | PROT_WRITE,
                                           MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    if (area == MAP_FAILED)
        return 2;
    ::mprotect(area + span, size_t(page), PROT_NONE);
    g_guardLow = area + span;
    g_guardHigh = area + span + page;
    char* buffer = area + span - PVR_NAME_BUFFER_SIZE;
    struct sigaction action {};
    action.sa_sigaction = onFault;
    action.sa_flags = SA_SIGINFO | SA_RESETHAND;
    ::sigaction(SIGSEGV, &action, nullptr);
    say("pret");
    auto callName = [&](void* module, const char* name) -> QByteArray {
        auto call = reinterpret_cast<void (*)(char*, int32_t)>(dlsym(module, name));
        if (!call)
            return {};
        g_stage = name;
        say("etape\t" + QByteArray::number(int(g_current)) + '\t' + name);
        std::memset(buffer, 0, PVR_NAME_BUFFER_SIZE);
        call(buffer, PVR_NAME_BUFFER_SIZE);
        return PluginName(buffer, PVR_NAME_BUFFER_SIZE).toUtf8().toHex();
    };
    for (int i = 2; i < argc; ++i) {
        g_current = i - 2;
        const QByteArray index = QByteArray::number(i - 2);
        g_stage = "chargement";
        say("etape\t" + index + "\tchargement");
        void* module = dlopen(argv[i], RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            const char* why = dlerror();
            say("refus\t" + index + "\tchargement\t" + QByteArray(why ? why : "?").toHex());
            continue;
        }
        int32_t version = 1;
        if (auto apiVersion = reinterpret_cast<int32_t (*)()>(dlsym(module, "pi_apiversion"))) {
            g_stage = "pi_apiversion";
            say("etape\t" + index + "\tpi_apiversion");
            version = apiVersion();
        }
        if (version > PVR_API_VERSION || version < 1) {
            say("refus\t" + index + "\tversion\t" + QByteArray::number(version));
            continue;
        }
        const QByteArray driver = callName(module, "pi_drivername");
        const QByteArray friendly = callName(module, "pi_friendlyname");
        say("ok\t" + index + '\t' + QByteArray::number(version) + '\t' + driver + '\t' + friendly);
        // The library stays loaded: its unloading code is none of the search's business.
    }
    std::fflush(stdout);
    _exit(0);
}
