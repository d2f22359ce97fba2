#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The search of the plug-in folder happens in a helper process: loading a library runs its
// code (constructors, then pi_apiversion, pi_drivername and pi_friendlyname), and a library
// that crashes or hangs there costs the helper, never the program. The helper is the
// program's own executable started with kExaminerOption; it reports each library on its
// standard output, and a helper that dies or stops answering is started again for the
// libraries left. What it found is kept in a cache, by path, modification time and size,
// so that an ordinary start runs no helper at all.

inline constexpr char kExaminerOption[] = "--examiner-plugins";

// How long a library may take to load and give its names before it is taken as hung.
inline constexpr int kExaminationLimitMs = 5000;

struct TPluginExamination {
    QString path;
    qint64 modified = 0; // ms since the epoch
    qint64 size = 0;
    bool usable = false;
    int version = 1;
    QString driverName; // as PluginName reads it
    QString friendlyName;
    QString refusal;    // why it is not usable, in French
    bool fresh = false; // examined now, not taken from the cache
};

// The libraries at paths, in that order: from the cache where the file has not changed,
// from the helper otherwise.
std::vector<TPluginExamination> ExaminePlugins(const QStringList& paths);

// The next search examines the library again (the user enabled it once more).
void ForgetExamination(const QString& path);

// The helper process to start: the program, with its arguments before the paths (the
// program's own executable and kExaminerOption unless told otherwise).
void SetPluginExaminer(const QString& program, const QStringList& arguments);

// The helper's work, for a main() that met kExaminerOption first: argv[2..] are the paths.
int RunPluginExaminer(int argc, char** argv);

// What dlopen's message means for the user, in French.
QString LoadFailureReason(const QString& message);
