#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

// Capture plug-ins are other people's code running inside the program. What they did to it
// is written down while they run, so that a crash they cause is noticed at the next start
// and never happens twice in a row:
//   - before each call into a plug-in on the window thread, a marker names the plug-in and
//     the call; the call's return removes it;
//   - while a plug-in's source is in the pipeline, the marker says so;
//   - the program's fatal signals write a note naming the plug-in whose code is on the
//     crashing thread's stack (its streaming thread included).
// Markers live in the user's data folder ($XDG_DATA_HOME/vidorra), one per process, held
// under a lock while the process lives. At the next start the leftovers of ended processes
// set their plug-in aside (by path, modification time and size: a new build gets a new
// chance) and become a notice in French: the plug-in of an unfinished call; else the one
// whose code was on the crashing stack; else, when the process went without any note
// (killed, or a crash no handler saw), those that were streaming. A crash whose stack holds
// no plug-in code sets none aside.
namespace PluginGuard {

// The folder of the markers and of the set-aside list; SetFolder puts it elsewhere (tests).
QString Folder();
void SetFolder(const QString& folder);

// What the program was doing inside a plug-in, in French, after "pendant".
QString CallText(const QString& call);

// RAII marker of one call into the plug-in at path (call: "pi_create", "chargement", …).
class Call {
public:
    Call(const QString& path, const char* call);
    ~Call();
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
};

// The plug-in's source is in the pipeline (streaming) or no longer.
void SetRunning(const QString& path, bool running);

// The address ranges of a library loaded into the program, looked up by the fatal-signal
// handler; module is dlopen's handle.
void RegisterModule(const QString& path, void* module);
void UnregisterModule(void* module);

// Installs the fatal-signal handler (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT): it writes
// its note, then lets the signal end the process as it would have.
void InstallCrashHandler();

// The leftovers of processes that ended without removing their markers: each plug-in they
// name is set aside; returns the French notices (one per plug-in). Markers of processes
// still running are left alone.
QStringList CollectLeftovers();

// The plug-ins set aside: path, file state, reason ("a arrêté le programme pendant …").
struct SetAside {
    QString path;
    qint64 modified = 0; // ms since the epoch
    qint64 size = 0;
    QString reason;
};
std::vector<SetAside> SetAsideList();
// The reason the plug-in at path (as it is on disk now) is set aside; empty when it is not.
QString SetAsideReason(const QString& path);
void PutAside(const QString& path, const QString& reason);
// Takes the plug-in out of the list again (the user enabled it).
void Enable(const QString& path);

} // namespace PluginGuard
