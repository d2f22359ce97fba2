#include "CommandRunner.h"

#include "KXScript.h"
#include "Log.h"
#include "SuperAction.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTimer>

#include <algorithm>

namespace {

// A command script is a few lines typed by hand; anything far larger is not one.
constexpr qint64 kMaxScriptBytes = 16 * 1024 * 1024;
// Longer lines are dropped unread: no command needs them.
constexpr qsizetype kMaxLineChars = 32 * 1024;

int prefixMode(QChar c) {
    switch (c.unicode()) {
    case '+':
        return TActionEx::Set;
    case '-':
        return TActionEx::Reset;
    case '/':
        return TActionEx::Toggle;
    default:
        return -1;
    }
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// The first word of an argument: up to the first blank, where a double quote opens a part
// that may hold blanks and the next double quote ends the word; quotes are dropped.
QString firstWord(const QString& text) {
    const QString s = text.trimmed();
    QString word;
    bool quoted = false;
    for (QChar c : s) {
        if (c == u'"') {
            if (quoted)
                break;
            quoted = true;
            continue;
        }
        if (!quoted && isBlank(c))
            break;
        word += c;
    }
    return word;
}

// The script's lines, decoded: UTF-16 when it starts with a byte-order mark, else UTF-8,
// where a line that is not valid UTF-8 is read in Windows-1252, as old scripts were written
// (firstOther: the first such line, from 1).
QStringList scriptLines(const QByteArray& bytes, int& firstOther) {
    QStringList lines;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                            : QStringDecoder::Utf16BE);
        const QString text = decoder(bytes.mid(2));
        for (const QString& line : text.split(u'\n'))
            if (line.size() <= kMaxLineChars)
                lines << line;
        return lines;
    }
    qsizetype start = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    for (int number = 1; start < bytes.size(); ++number) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        if (end - start <= kMaxLineChars) {
            bool utf8 = true;
            lines << TKXScript::DecodeLine(QByteArrayView(bytes).sliced(start, end - start), utf8);
            if (!utf8 && !firstOther)
                firstOther = number;
        }
        start = end + 1;
    }
    return lines;
}

} // namespace

TCustomScript::TCustomScript(QObject* parent) : QObject(parent) {}

TCustomSuperAction* TCustomScript::FindAction(const QString& name) {
    const QString n = name.toLower();
    if (n.isEmpty())
        return DefaultAction;
    if (n == u"quit") {
        m_quit = true;
        return nullptr;
    }
    for (TCustomSuperAction* action : std::as_const(actionlist))
        if (action && (action->Switch() == n || action->Token() == n))
            return action;
    return nullptr;
}

void TCustomScript::clear() {
    m_commands.clear();
    m_quit = false;
}

void TCustomScript::ParseCommandLine(const QStringList& arguments) {
    clear();
    for (const QString& argument : arguments) {
        if (argument.isEmpty())
            continue;
        const int mode = prefixMode(argument.front());
        if (mode < 0)
            continue;
        const qsizetype p = argument.indexOf(u'=');
        QString name, text;
        if (p < 1) {
            name = argument.mid(1);
        } else {
            name = argument.mid(1, p - 1);
            text = argument.mid(p + 1);
        }
        if (TCustomSuperAction* action = FindAction(name))
            m_commands.push_back({action, text, mode});
    }
}

QStringList TCustomScript::SplitLine(const QString& line) {
    if (line.contains(u'"'))
        return QProcess::splitCommand(line);
    QStringList arguments;
    for (const QString& word :
         line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        const bool starts = word.size() >= 2 && prefixMode(word.front()) >= 0 && word[1].isLetter();
        if (starts || arguments.isEmpty())
            arguments << word;
        else
            arguments.last() += u' ' + word;
    }
    return arguments;
}

void TCustomScript::ParseScriptFile(const QString& fileName) {
    // Only a regular file: a pipe or a device would block or never end.
    const QFileInfo info(fileName);
    if (!info.exists() || !info.isFile())
        return;
    clear();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcVidorra) << "command script not readable:" << fileName;
        return;
    }
    if (file.size() > kMaxScriptBytes)
        qCWarning(lcVidorra) << "command script truncated:" << fileName;
    // What the file holds, not a buffer of the largest size for a script of a few lines.
    const QByteArray bytes = file.read(std::min(file.size(), kMaxScriptBytes));

    int firstOther = 0;
    const QStringList lines = scriptLines(bytes, firstOther);
    if (firstOther)
        qCWarning(lcVidorra).noquote()
            << QStringLiteral("le script de commandes %1 n'est pas en UTF-8 (ligne %2) : il est lu "
                              "en Windows-1252")
                   .arg(fileName)
                   .arg(firstOther);
    for (const QString& rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.contains(QChar(0)))
            continue;
        int mode = prefixMode(line.front());
        qsizetype start = 1;
        if (mode < 0) {
            mode = TActionEx::Plain;
            start = 0;
        }
        qsizetype sep = start;
        while (sep < line.size() && line[sep] != u'=' && !isBlank(line[sep]))
            ++sep;
        const QString name = line.mid(start, sep - start);
        const QString rest = sep < line.size() ? line.mid(sep + 1) : QString();
        TCustomSuperAction* action = FindAction(name);
        if (!action)
            continue;
        const QString word = firstWord(rest);
        if (mode == TActionEx::Plain && qobject_cast<TtoggleAction*>(action)) {
            const QString w = word.toLower();
            if (w == u"true")
                mode = TActionEx::Set;
            else if (w == u"false")
                mode = TActionEx::Reset;
            else if (w == u"toggle")
                mode = TActionEx::Toggle;
        }
        m_commands.push_back({action, word, mode});
    }
}

void TCustomScript::RunCommands() {
    m_abort = false;
    // The list is copied: a command may run another list on this runner, and an action
    // may be deleted while pending events are processed.
    struct Entry {
        QPointer<TCustomSuperAction> action;
        QString argument;
        int mode;
    };
    std::vector<Entry> entries;
    entries.reserve(m_commands.size());
    for (const TActionEx& c : m_commands)
        entries.push_back({c.action, c.argument, c.mode});
    bool quit = m_quit;

    const bool wasExecuting = m_executing;
    m_executing = true;
    for (size_t i = 0; i < entries.size() && !m_abort; ++i) {
        QCoreApplication::processEvents();
        TCustomSuperAction* action = entries[i].action;
        if (!action || !action->isEnabled())
            continue;
        m_running = int(i);
        ActionArguments().clear();
        ActionArguments() << entries[i].argument;
        const bool toggle = qobject_cast<TtoggleAction*>(action) != nullptr;
        switch (entries[i].mode) {
        case TActionEx::Set:
            action->SetChecked(false);
            break;
        case TActionEx::Reset:
            action->SetChecked(true);
            break;
        case TActionEx::Toggle:
            action->SetChecked(action->isChecked());
            break;
        default:
            // A toggle action's handler must match its present state, which an
            // interactive run of an auto-checking toggle leaves unbound.
            if (toggle)
                action->SetChecked(action->isChecked());
            break;
        }
        if (action->AutoCheck && !toggle) {
            // The handler of an auto-checking action reads the state it is to take, as on
            // the interactive path.
            action->SetChecked(!action->isChecked());
            action->runHandler(this);
        } else {
            const QPointer<TCustomSuperAction> guard(action);
            action->runHandler(this);
            if (guard && guard->AutoCheck)
                guard->SetChecked(!guard->isChecked());
        }
        QCoreApplication::processEvents();
    }
    m_running = -1;
    m_executing = wasExecuting;
    quit = quit || m_quit;
    if (quit) {
        m_quit = false;
        if (closeMainWindow)
            closeMainWindow();
    }
}

void TCustomScript::RunScriptFile(const QString& fileName) {
    clear();
    ParseScriptFile(fileName);
    RunCommands();
    clear();
}

// ---------------------------------------------------------------- command line at start

TSwitch::TSwitch(QObject* parent) : TCustomScript(parent) {}

void TSwitch::arm() {
    if (m_spent || m_armed)
        return;
    m_armed = true;
    QCoreApplication::instance()->installEventFilter(this);
    // Already active: the activation this waits for has come and gone.
    if (QGuiApplication::applicationState() == Qt::ApplicationActive)
        QTimer::singleShot(0, this, &TSwitch::runOnce);
}

void TSwitch::runOnce() {
    if (m_spent)
        return;
    m_spent = true;
    if (m_armed)
        QCoreApplication::instance()->removeEventFilter(this);
    m_armed = false;
    ParseCommandLine(arguments);
    if (commands().empty() && !quitRequested()) {
        if (OnNoCommandLine)
            OnNoCommandLine();
    } else {
        RunCommands();
    }
    clear();
}

bool TSwitch::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ApplicationActivate && !m_spent) {
        // Not inside the event dispatch: the commands process events themselves.
        QTimer::singleShot(0, this, &TSwitch::runOnce);
    }
    return TCustomScript::eventFilter(watched, event);
}
