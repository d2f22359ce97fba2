#include "PluginGuard.h"

#include "Log.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QMutex>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <array>
#include <atomic>
#include <csignal>
#include <cstring>
#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <link.h>
#include <sys/file.h>
#include <ucontext.h>
#include <unistd.h>

namespace PluginGuard {

namespace {

QByteArray encode(const QString& path) {
    return QUrl::toPercentEncoding(path, "/");
}

QString decode(const QByteArray& text) {
    return QUrl::fromPercentEncoding(text);
}

QString markerPath(qint64 pid) {
    return Folder() + QStringLiteral("/plug-ins-%1.marque").arg(pid);
}

QString notePath(qint64 pid) {
    return Folder() + QStringLiteral("/plug-ins-%1.plantage").arg(pid);
}

QString listPath() {
    return Folder() + QStringLiteral("/plug-ins-desactives");
}

// ---- the marker of this process (window thread; the lock keeps tests' threads honest)

QString g_folder; // set by the tests before any plug-in is loaded

QMutex g_markerLock;
struct Marker {
    int fd = -1;
    QString callPath;
    QString call;
    QMap<QString, int> running; // path → sources of it in the pipeline

    ~Marker() {
        // A clean end leaves nothing behind; what a hang left stays for the next start.
        if (fd >= 0 && callPath.isEmpty()) {
            ::unlink(QFile::encodeName(markerPath(::getpid())).constData());
            ::close(fd);
        }
    }

    void write() {
        if (fd < 0) {
            QDir().mkpath(Folder());
            fd = ::open(QFile::encodeName(markerPath(::getpid())).constData(),
                        O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (fd < 0) {
                qCWarning(lcVidorra) << "plug-in marker not written in" << Folder();
                return;
            }
            // Held while the process lives: the next start knows a living process's marker.
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
                qCWarning(lcVidorra) << "plug-in marker not locked";
        }
        QByteArray text;
        if (!callPath.isEmpty())
            text += "appel\t" + encode(callPath) + '\t' + call.toUtf8() + '\n';
        for (auto it = running.cbegin(); it != running.cend(); ++it)
            if (it.value() > 0)
                text += "actif\t" + encode(it.key()) + '\n';
        if (::ftruncate(fd, 0) != 0 ||
            ::pwrite(fd, text.constData(), size_t(text.size()), 0) != text.size())
            qCWarning(lcVidorra) << "plug-in marker not written";
    }
};
Marker g_marker;

// ---- what the fatal-signal handler reads (written before it is installed or under the
// slot's flag, read without locks: only plain memory)

struct Slot {
    std::atomic<void*> module{nullptr};
    std::array<uintptr_t, 16> low{};
    std::array<uintptr_t, 16> high{};
    int ranges = 0;
    char path[2048] = {};
};
std::array<Slot, 32> g_slots;
char g_notePath[4096] = {};
std::atomic<bool> g_handlerInstalled{false};

struct RangeSearch {
    uintptr_t base = 0;
    Slot* slot = nullptr;
};

int collectRanges(dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<RangeSearch*>(data);
    if (info->dlpi_addr != search->base)
        return 0;
    Slot& slot = *search->slot;
    for (int i = 0; i < info->dlpi_phnum && slot.ranges < int(slot.low.size()); ++i) {
        const ElfW(Phdr)& h = info->dlpi_phdr[i];
        if (h.p_type != PT_LOAD)
            continue;
        slot.low[size_t(slot.ranges)] = info->dlpi_addr + h.p_vaddr;
        slot.high[size_t(slot.ranges)] = info->dlpi_addr + h.p_vaddr + h.p_memsz;
        ++slot.ranges;
    }
    return 1;
}

const Slot* slotOf(uintptr_t address) {
    for (const Slot& slot : g_slots) {
        if (!slot.module.load(std::memory_order_acquire))
            continue;
        for (int r = 0; r < slot.ranges; ++r)
            if (address >= slot.low[size_t(r)] && address < slot.high[size_t(r)])
                return &slot;
    }
    return nullptr;
}

void writeNumber(int fd, long value) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0 && n < 20);
    char out[24];
    for (int i = 0; i < n; ++i)
        out[i] = digits[n - 1 - i];
    [[maybe_unused]] const auto w = ::write(fd, out, size_t(n));
}

void onFatalSignal(int signal, siginfo_t* info, void* context) {
    // Only what is safe in a signal handler, and nothing at all without a plug-in loaded.
    const Slot* culprit = nullptr;
    bool any = false;
    for (const Slot& slot : g_slots)
        any = any || slot.module.load(std::memory_order_acquire);
    if (any) {
#if defined(__x86_64__)
        if (context)
            culprit =
                slotOf(uintptr_t(static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP]));
#else
        (void)context;
#endif
        if (!culprit) {
            void* frames[96];
            const int n = ::backtrace(frames, 96);
            for (int i = 0; i < n && !culprit; ++i)
                culprit = slotOf(reinterpret_cast<uintptr_t>(frames[i]));
        }
    }
    // With a plug-in loaded, the note says whether its code was on the crashing thread (an
    // empty name: it was not, the plug-ins are not to blame).
    if (any) {
        const int fd = ::open(g_notePath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd >= 0) {
            writeNumber(fd, signal);
            [[maybe_unused]] auto w = ::write(fd, "\t", 1);
            if (culprit)
                w = ::write(fd, culprit->path, ::strlen(culprit->path));
            w = ::write(fd, "\n", 1);
            ::close(fd);
        }
    }
    // SA_RESETHAND put the default action back: a fault happens again on return; a signal
    // sent by another process is sent once more.
    if (!info || info->si_code <= 0)
        ::raise(signal);
}

} // namespace

QString Folder() {
    if (!g_folder.isEmpty())
        return g_folder;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/vidorra");
}

void SetFolder(const QString& folder) {
    g_folder = folder;
}

QString CallText(const QString& call) {
    static const QMap<QString, QString> texts{
        {QStringLiteral("chargement"), QStringLiteral("son chargement")},
        {QStringLiteral("pi_apiversion"), QStringLiteral("la lecture de sa version")},
        {QStringLiteral("pi_drivername"), QStringLiteral("la lecture de son nom")},
        {QStringLiteral("pi_friendlyname"), QStringLiteral("la lecture de son nom")},
        {QStringLiteral("pi_create"), QStringLiteral("la création de son instance")},
        {QStringLiteral("pi_destroy"), QStringLiteral("la fin de son instance")},
        {QStringLiteral("pi_sourcefilter"), QStringLiteral("la lecture de sa source")},
        {QStringLiteral("pi_nbfluxvideo"), QStringLiteral("le compte de ses flux")},
        {QStringLiteral("pi_nbfluxaudio"), QStringLiteral("le compte de ses flux")},
        {QStringLiteral("pi_setsourcegraph"), QStringLiteral("la mise en place de sa source")},
        {QStringLiteral("pi_killsourcegraph"), QStringLiteral("le retrait de sa source")},
        {QStringLiteral("pi_setvideograph"), QStringLiteral("la mise en place de son image")},
        {QStringLiteral("pi_killvideograph"), QStringLiteral("le retrait de son image")},
        {QStringLiteral("pi_setaudiograph"), QStringLiteral("la mise en place de son son")},
        {QStringLiteral("pi_killaudiograph"), QStringLiteral("le retrait de son son")},
        {QStringLiteral("pi_buildmuxgraph"), QStringLiteral("le début d'un enregistrement")},
        {QStringLiteral("pi_killmuxgraph"), QStringLiteral("la fin d'un enregistrement")},
        {QStringLiteral("flux"), QStringLiteral("l'aperçu ou l'enregistrement")},
    };
    return texts.value(call, QStringLiteral("l'appel de ") + call);
}

Call::Call(const QString& path, const char* call) {
    const QMutexLocker lock(&g_markerLock);
    g_marker.callPath = path;
    g_marker.call = QString::fromLatin1(call);
    g_marker.write();
}

Call::~Call() {
    const QMutexLocker lock(&g_markerLock);
    g_marker.callPath.clear();
    g_marker.call.clear();
    g_marker.write();
}

void SetRunning(const QString& path, bool running) {
    const QMutexLocker lock(&g_markerLock);
    int& count = g_marker.running[path];
    count = std::max(0, count + (running ? 1 : -1));
    if (!count)
        g_marker.running.remove(path);
    g_marker.write();
}

void RegisterModule(const QString& path, void* module) {
    if (!module)
        return;
    link_map* map = nullptr;
    if (::dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map)
        return;
    for (Slot& slot : g_slots) {
        if (slot.module.load(std::memory_order_acquire))
            continue;
        slot.ranges = 0;
        RangeSearch search{uintptr_t(map->l_addr), &slot};
        ::dl_iterate_phdr(collectRanges, &search);
        const QByteArray text = encode(path);
        std::strncpy(slot.path, text.constData(), sizeof slot.path - 1);
        slot.path[sizeof slot.path - 1] = '\0';
        slot.module.store(module, std::memory_order_release);
        return;
    }
}

void UnregisterModule(void* module) {
    for (Slot& slot : g_slots)
        if (module && slot.module.load(std::memory_order_acquire) == module)
            slot.module.store(nullptr, std::memory_order_release);
}

void InstallCrashHandler() {
    if (g_handlerInstalled.exchange(true))
        return;
    QDir().mkpath(Folder());
    const QByteArray note = QFile::encodeName(notePath(::getpid()));
    std::strncpy(g_notePath, note.constData(), sizeof g_notePath - 1);
    // The unwinder is loaded now, not in the handler.
    void* warm[4];
    ::backtrace(warm, 4);
    // A stack of its own, for an overflow on the window thread.
    static std::array<char, 64 * 1024> altStack;
    stack_t stack{};
    stack.ss_sp = altStack.data();
    stack.ss_size = altStack.size();
    ::sigaltstack(&stack, nullptr);
    struct sigaction action {};
    action.sa_sigaction = onFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_RESETHAND | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT})
        ::sigaction(signal, &action, nullptr);
}

// ---- the set-aside list

std::vector<SetAside> SetAsideList() {
    std::vector<SetAside> out;
    QFile file(listPath());
    if (!file.open(QIODevice::ReadOnly))
        return out;
    // Lines it cannot read (a damaged file) are passed over.
    for (const QByteArray& line : file.read(1 << 20).split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() != 4)
            continue;
        bool okTime = false, okSize = false;
        SetAside item{decode(fields[0]), fields[1].toLongLong(&okTime),
                      fields[2].toLongLong(&okSize), decode(fields[3])};
        if (okTime && okSize && !item.path.isEmpty())
            out.push_back(item);
    }
    return out;
}

namespace {
void saveList(const std::vector<SetAside>& items) {
    QDir().mkpath(Folder());
    if (items.empty()) {
        QFile::remove(listPath());
        return;
    }
    QSaveFile file(listPath());
    if (!file.open(QIODevice::WriteOnly))
        return;
    for (const SetAside& item : items)
        file.write(encode(item.path) + '\t' + QByteArray::number(item.modified) + '\t' +
                   QByteArray::number(item.size) + '\t' + encode(item.reason) + '\n');
    if (!file.commit())
        qCWarning(lcVidorra) << "the list of plug-ins set aside was not saved";
}
} // namespace

QString SetAsideReason(const QString& path) {
    const QFileInfo info(path);
    for (const SetAside& item : SetAsideList())
        if (item.path == path && item.size == info.size() &&
            item.modified == info.lastModified().toMSecsSinceEpoch())
            return item.reason;
    return {};
}

void PutAside(const QString& path, const QString& reason) {
    std::vector<SetAside> items = SetAsideList();
    std::erase_if(items, [&](const SetAside& item) { return item.path == path; });
    const QFileInfo info(path);
    items.push_back({path, info.lastModified().toMSecsSinceEpoch(), info.size(), reason});
    saveList(items);
}

void Enable(const QString& path) {
    std::vector<SetAside> items = SetAsideList();
    if (std::erase_if(items, [&](const SetAside& item) { return item.path == path; }))
        saveList(items);
}

// ---- the next start

namespace {

// What one ended process left: the call it was in, the plug-ins streaming, its crash note.
struct Leftover {
    QString callPath, call;
    QStringList running;
    bool noted = false; // its fatal-signal handler wrote a note
    QString notedPath;  // the plug-in on the crashing thread's stack, if any
};

QString setAsideNotice(const QString& path, const QString& what) {
    return QStringLiteral("Le module %1 a arrêté le programme pendant %2 ; il a été désactivé. "
                          "Il peut être réactivé depuis la page « Système » du panneau d'aide.")
        .arg(QFileInfo(path).fileName(), what);
}

} // namespace

QStringList CollectLeftovers() {
    const QDir folder(Folder());
    QMap<qint64, Leftover> ended;
    QStringList done;
    const QStringList files = folder.entryList(
        {QStringLiteral("plug-ins-*.marque"), QStringLiteral("plug-ins-*.plantage")}, QDir::Files,
        QDir::Name);
    for (const QString& name : files) {
        const qint64 pid = name.section('-', 2, 2).section('.', 0, 0).toLongLong();
        if (pid == ::getpid())
            continue;
        // A process that lives holds its marker locked.
        const QString marker = folder.filePath(QStringLiteral("plug-ins-%1.marque").arg(pid));
        const int fd = ::open(QFile::encodeName(marker).constData(), O_RDWR | O_CLOEXEC);
        if (fd >= 0) {
            const bool alive = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
            ::close(fd);
            if (alive)
                continue;
        }
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        Leftover& left = ended[pid];
        const bool note = name.endsWith(QLatin1String(".plantage"));
        for (const QByteArray& line : file.read(64 * 1024).split('\n')) {
            const QList<QByteArray> f = line.split('\t');
            if (note && f.size() == 2) {
                left.noted = true;
                left.notedPath = decode(f[1]);
            } else if (!note && f.size() == 3 && f[0] == "appel") {
                left.callPath = decode(f[1]);
                left.call = QString::fromUtf8(f[2]);
            } else if (!note && f.size() == 2 && f[0] == "actif") {
                left.running << decode(f[1]);
            }
        }
        done << file.fileName();
    }
    // Each plug-in once, with the surest account of what it did.
    QMap<QString, QString> culprits; // path → notice
    for (const Leftover& left : ended) {
        if (!left.callPath.isEmpty()) {
            // It never returned from a call on the window thread.
            const QString what = CallText(left.call);
            PutAside(left.callPath, QStringLiteral("a arrêté le programme pendant ") + what);
            culprits.insert(left.callPath, setAsideNotice(left.callPath, what));
        } else if (!left.notedPath.isEmpty()) {
            // Its code was on the stack of the thread that crashed.
            const QString what = CallText(QStringLiteral("flux"));
            PutAside(left.notedPath, QStringLiteral("a arrêté le programme pendant ") + what);
            culprits.insert(left.notedPath, setAsideNotice(left.notedPath, what));
        } else if (!left.noted) {
            // The process went without a word while plug-ins streamed (killed, or a crash
            // no handler could see): they are set aside, the user may take them back.
            for (const QString& path : left.running) {
                PutAside(path, QStringLiteral("utilisé quand le programme s'est arrêté "
                                              "brutalement"));
                if (!culprits.contains(path))
                    culprits.insert(
                        path, QStringLiteral("Le programme s'est arrêté brutalement pendant que "
                                             "le module %1 était utilisé ; ce module a été "
                                             "désactivé. Il peut être réactivé depuis la page "
                                             "« Système » du panneau d'aide.")
                                  .arg(QFileInfo(path).fileName()));
            }
        }
    }
    for (const QString& file : done)
        QFile::remove(file);
    const QStringList notices = culprits.values();
    for (const QString& notice : notices)
        qCWarning(lcVidorra).noquote() << notice;
    return notices;
}

} // namespace PluginGuard
