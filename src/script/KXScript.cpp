#include "KXScript.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>
#include <QThread>
#include <cstdio>

using vscript::HostCall;
using vscript::ScriptValue;

namespace {

const char* const kRoutines[] = {
    "function findfirst(dossier:widestring;masque:widestring):widestring;",
    "function findnext:widestring;",
    "procedure findclose;",
    "procedure showmessage(z:string);",
    "procedure sleep(milli:Cardinal);",
    "procedure processmessages;",
    "procedure forcedirectories(dir:widestring);",
    "function changefileext(fichier:widestring;ext:widestring):widestring;",
    "function deletefiletorecyclebin(fichier:widestring):Boolean;",
    "procedure renamefile(oldfile,newname:widestring);",
    "function extractfilename(fichier:widestring):widestring;",
    "function extractfilepath(fichier:widestring):widestring;",
    "function extractfileext(fichier:widestring):widestring;",
};

// The name part: what follows the last separator.
int namePart(const QString& file) {
    return int(file.lastIndexOf(u'/')) + 1;
}

QString withSeparator(const QString& folder) {
    return folder.isEmpty() || folder.endsWith(u'/') ? folder : folder + u'/';
}

// The system takes a file name up to its first NUL: a name holding one would stand for
// another file, so it is refused instead.
bool refusedName(HostCall& call, const QString& name) {
    if (!name.contains(QChar(0)))
        return false;
    call.raise(QStringLiteral("nom de fichier incorrect : il contient le caractère #0"));
    return true;
}

// The whole text, a #0 included (written as a byte 0, as Free Pascal does).
void writeLine(const QString& text) {
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

// Well-formed UTF-8: no overlong form, no surrogate, nothing past U+10FFFF, no sequence
// cut short.
bool isUtf8(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char b = p[i];
        int more = 0;
        unsigned char low = 0x80, high = 0xBF; // the range of the byte after the first
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            more = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            more = 2;
            low = b == 0xE0 ? 0xA0 : 0x80;
            high = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            more = 3;
            low = b == 0xF0 ? 0x90 : 0x80;
            high = b == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (n - i <= more || p[i + 1] < low || p[i + 1] > high)
            return false;
        for (int k = 2; k <= more; ++k)
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
        i += more + 1;
    }
    return true;
}

// Windows-1252: Latin-1 but for 0x80-0x9F; its five unassigned bytes keep their Latin-1 value.
QString fromWindows1252(QByteArrayView bytes) {
    static const char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        text[i] = QChar(b >= 0x80 && b < 0xA0 ? high[b - 0x80] : char16_t(b));
    }
    return text;
}

// The types a script may name, as their public documentation declares them.
const char* const kTypes[][2] = {
    {"TAlignment", "(taLeftJustify, taRightJustify, taCenter)"},
    {"HResult", "Longint"},
    {"TGUID", "record D1: Cardinal; D2: Word; D3: Word; D4: array[0..7] of Byte; end"},
    {"TCLSID", "TGUID"},
    {"TIID", "TGUID"},
    {"TPoint", "record X, Y: Longint; end"},
    {"TScrollBarKind", "(sbHorizontal, sbVertical)"},
    {"TScrollBarInc", "1..32767"},
    {"TFormBorderStyle", "(bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin)"},
    {"TBorderStyle", "bsNone..bsSingle"},
    {"TWindowState", "(wsNormal, wsMinimized, wsMaximized)"},
    {"TFormStyle", "(fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop)"},
    {"TPosition", "(poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, "
                  "poDesktopCenter, poMainFormCenter, poOwnerFormCenter)"},
    {"TPrintScale", "(poNone, poProportional, poPrintToFit)"},
    {"TCloseAction", "(caNone, caHide, caFree, caMinimize)"},
    {"TBorderIcon", "(biSystemMenu, biMinimize, biMaximize, biHelp)"},
    {"TBorderIcons", "set of TBorderIcon"},
    {"THELPCONTEXT", "Longint"},
    {"TRect", "record Left, Top, Right, Bottom: Longint; end"},
    {"TEditCharCase", "(ecNormal, ecUpperCase, ecLowerCase)"},
    {"TScrollStyle", "(ssNone, ssHorizontal, ssVertical, ssBoth)"},
    {"TComboBoxStyle",
     "(csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable)"},
    {"TCheckBoxState", "(cbUnchecked, cbChecked, cbGrayed)"},
    {"TListBoxStyle", "(lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable)"},
    {"TScrollCode", "(scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, "
                    "scBottom, scEndScroll)"},
    {"TEOwnerDrawState", "(odSelected, odGrayed, odDisabled, odChecked, odFocused)"},
    {"TTextLayout", "(tlTop, tlCenter, tlBottom)"},
    {"TOwnerDrawState", "set of TEOwnerDrawState"},
    {"TSHORTCUT", "Word"},
    {"TSavePreferences", "(spRegistre,spPortable,spNone)"},
};

const std::pair<const char*, int> kColours[] = {
    {"clBlack", 0x000000}, {"clMaroon", 0x000080},  {"clGreen", 0x008000},
    {"clOlive", 0x008080}, {"clNavy", 0x800000},    {"clPurple", 0x800080},
    {"clTeal", 0x808000},  {"clGray", 0x808080},    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},   {"clLime", 0x00FF00},    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},  {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF}, {"clNone", 0x1FFFFFFF},  {"clDefault", 0x20000000},
};

// The graphics classes: their properties (name, type, read-only) and their methods. Objects
// keep their property values; what needs a window to draw on is not available here.
struct GraphicsClass {
    const char* name;
    std::vector<std::tuple<const char*, const char*, bool>> properties;
    std::vector<const char*> methods;
};

const std::vector<GraphicsClass>& graphicsClasses() {
    static const std::vector<GraphicsClass> classes = {
        {"TFont",
         {{"Name", "string", false},
          {"Size", "Integer", false},
          {"Color", "TColor", false},
          {"Style", "TFontStyles", false}},
         {}},
        {"TPen",
         {{"Color", "TColor", false}, {"Width", "Integer", false}, {"Style", "TPenStyle", false}},
         {}},
        {"TBrush", {{"Color", "TColor", false}, {"Style", "TBrushStyle", false}}, {}},
        {"TCanvas",
         {{"Font", "TFont", true}, {"Pen", "TPen", true}, {"Brush", "TBrush", true}},
         {"procedure MoveTo(X, Y: Integer);", "procedure LineTo(X, Y: Integer);",
          "procedure Rectangle(X1, Y1, X2, Y2: Integer);",
          "procedure Ellipse(X1, Y1, X2, Y2: Integer);",
          "procedure TextOut(X, Y: Integer; const Text: string);",
          "function TextWidth(const Text: string): Integer;",
          "function TextHeight(const Text: string): Integer;"}},
        {"TGraphic",
         {{"Width", "Integer", false},
          {"Height", "Integer", false},
          {"Empty", "Boolean", true},
          {"Transparent", "Boolean", false}},
         {"procedure LoadFromFile(const FileName: string);",
          "procedure SaveToFile(const FileName: string);"}},
        {"TBitmap",
         {{"Width", "Integer", false},
          {"Height", "Integer", false},
          {"Empty", "Boolean", true},
          {"Transparent", "Boolean", false},
          {"Canvas", "TCanvas", true}},
         {"procedure LoadFromFile(const FileName: string);",
          "procedure SaveToFile(const FileName: string);"}},
        {"TPicture",
         {{"Width", "Integer", true},
          {"Height", "Integer", true},
          {"Bitmap", "TBitmap", true},
          {"Graphic", "TGraphic", true}},
         {"procedure LoadFromFile(const FileName: string);",
          "procedure SaveToFile(const FileName: string);"}},
    };
    return classes;
}

} // namespace

struct TKXScript::GraphicObject {
    QString className;
    QHash<QString, ScriptValue> values;
};

TKXScript::TKXScript() : m_engine(std::make_unique<vscript::ScriptEngine>()) {}

TKXScript::~TKXScript() = default;

QStringList TKXScript::HostDeclarations() {
    QStringList out;
    for (const char* d : kRoutines)
        out << QString::fromLatin1(d);
    return out;
}

QString TKXScript::DecodeLine(QByteArrayView bytes, bool& utf8) {
    utf8 = isUtf8(bytes);
    return utf8 ? QString::fromUtf8(bytes) : fromWindows1252(bytes);
}

QString TKXScript::DecodeSource(const QByteArray& bytes, QString* warning) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        if (warning)
            warning->clear();
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                          : QStringDecoder::Utf16BE);
        return utf16(QByteArrayView(bytes).sliced(2));
    }
    QByteArrayView rest(bytes);
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3);
    QString text;
    int line = 1, firstOther = 0;
    for (;;) {
        const qsizetype end = rest.indexOf('\n');
        bool utf8 = true;
        text += DecodeLine(end < 0 ? rest : rest.first(end + 1), utf8);
        if (!utf8 && !firstOther)
            firstOther = line;
        if (end < 0)
            break;
        rest = rest.sliced(end + 1);
        ++line;
    }
    if (warning)
        *warning = firstOther ? QStringLiteral("le fichier n'est pas en UTF-8 (ligne %1) : il est "
                                               "lu en Windows-1252")
                                    .arg(firstOther)
                              : QString();
    return text;
}

void TKXScript::RegisterRoutine(const QString& declaration, vscript::HostRoutine routine) {
    m_engine->registerRoutine(declaration, std::move(routine));
}

void TKXScript::RequestStop() {
    m_engine->stopRequest() = true;
}

void TKXScript::registerProgramRoutines() {
    auto text = [](const HostCall& call, size_t i) {
        return i < call.args.size() ? call.args[i].toString() : QString();
    };
    RegisterRoutine(QString::fromLatin1(kRoutines[0]), [this, text](HostCall& call) {
        if (refusedName(call, text(call, 0)) || refusedName(call, text(call, 1)))
            return ScriptValue::fromString({});
        m_findFolder = withSeparator(text(call, 0));
        const QDir dir(m_findFolder);
        m_found = dir.entryList(
            {text(call, 1)}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
            QDir::Name);
        if (m_found.isEmpty())
            return ScriptValue::fromString({});
        return ScriptValue::fromString(m_findFolder + m_found.takeFirst());
    });
    RegisterRoutine(QString::fromLatin1(kRoutines[1]), [this](HostCall&) {
        if (m_found.isEmpty())
            return ScriptValue::fromString({});
        return ScriptValue::fromString(m_findFolder + m_found.takeFirst());
    });
    RegisterRoutine(QString::fromLatin1(kRoutines[2]), [this](HostCall&) {
        m_found.clear();
        m_findFolder.clear();
        return ScriptValue();
    });
    RegisterRoutine(QString::fromLatin1(kRoutines[3]), [this, text](HostCall& call) {
        if (showMessage) {
            // A message box would end the text at a #0: it shows a visible sign instead.
            showMessage(text(call, 0).replace(QChar(0), QChar(0x2400)));
        } else {
            writeLine(text(call, 0));
        }
        return ScriptValue();
    });
    RegisterRoutine(QString::fromLatin1(kRoutines[4]), [](HostCall& call) {
        const int64_t ms = call.args.empty() ? 0 : call.args[0].toInt();
        QThread::msleep(ulong(std::clamp<int64_t>(ms, 0, 0xFFFFFFFFLL)));
        return ScriptValue();
    });
    RegisterRoutine(QString::fromLatin1(kRoutines[5]), [this](HostCall&) {
        if (processMessages)
            processMessages();
        return ScriptValue();
    });
    RegisterRoutine(QString::fromLatin1(kRoutines[6]), [text](HostCall& call) {
        const QString dir = text(call, 0);
        if (refusedName(call, dir))
            return ScriptValue();
        if (!dir.isEmpty())
            QDir().mkpath(dir);
        return ScriptValue();
    });
    RegisterRoutine(QString::fromLatin1(kRoutines[7]), [text](HostCall& call) {
        const QString file = text(call, 0);
        const int name = namePart(file);
        const int dot = int(file.lastIndexOf(u'.'));
        const QString stem = dot >= name ? file.left(dot) : file;
        return ScriptValue::fromString(stem + text(call, 1));
    });
    RegisterRoutine(QString::fromLatin1(kRoutines[8]), [text](HostCall& call) {
        const QString file = text(call, 0);
        if (refusedName(call, file))
            return ScriptValue::fromBool(false);
        if (file.isEmpty() || !QFileInfo::exists(file))
            return ScriptValue::fromBool(false);
        // A read-only file goes to the trash as any other.
        QFile::setPermissions(file, QFile::permissions(file) | QFile::WriteOwner);
        return ScriptValue::fromBool(QFile::moveToTrash(file));
    });
    RegisterRoutine(QString::fromLatin1(kRoutines[9]), [text](HostCall& call) {
        if (!refusedName(call, text(call, 0)) && !refusedName(call, text(call, 1)))
            QFile::rename(text(call, 0), text(call, 1));
        return ScriptValue();
    });
    RegisterRoutine(QString::fromLatin1(kRoutines[10]), [text](HostCall& call) {
        const QString file = text(call, 0);
        return ScriptValue::fromString(file.mid(namePart(file)));
    });
    RegisterRoutine(QString::fromLatin1(kRoutines[11]), [text](HostCall& call) {
        const QString file = text(call, 0);
        return ScriptValue::fromString(file.left(namePart(file)));
    });
    RegisterRoutine(QString::fromLatin1(kRoutines[12]), [text](HostCall& call) {
        const QString file = text(call, 0);
        const int dot = int(file.lastIndexOf(u'.'));
        return ScriptValue::fromString(dot >= namePart(file) ? file.mid(dot) : QString());
    });
}

void TKXScript::registerConstantsAndTypes() {
    vscript::ScriptEngine& e = *m_engine;
    e.registerConstant(QStringLiteral("clMoneyGreen"), QStringLiteral("Integer"),
                       ScriptValue::fromInt(12639424));
    e.registerConstant(QStringLiteral("clSkyBlue"), QStringLiteral("Integer"),
                       ScriptValue::fromInt(15780518));
    e.registerConstant(QStringLiteral("clCream"), QStringLiteral("Integer"),
                       ScriptValue::fromInt(15793151));
    e.registerConstant(QStringLiteral("SecsPerDay"), QStringLiteral("Longint"),
                       ScriptValue::fromInt(86400));
    e.registerConstant(QStringLiteral("MSecPerDay"), QStringLiteral("Longint"),
                       ScriptValue::fromInt(86400000));
    for (const auto& [name, declaration] : kTypes)
        e.registerType(QString::fromLatin1(name), QString::fromLatin1(declaration));
}

void TKXScript::registerGraphics() {
    vscript::ScriptEngine& e = *m_engine;
    e.registerType(QStringLiteral("TColor"), QStringLiteral("Longint"));
    for (const auto& [name, value] : kColours)
        e.registerConstant(QString::fromLatin1(name), QStringLiteral("TColor"),
                           ScriptValue::fromInt(value));
    e.registerType(QStringLiteral("TFontStyle"),
                   QStringLiteral("(fsBold, fsItalic, fsUnderline, fsStrikeOut)"));
    e.registerType(QStringLiteral("TFontStyles"), QStringLiteral("set of TFontStyle"));
    e.registerType(QStringLiteral("TPenStyle"), QStringLiteral("(psSolid, psDash, psDot, "
                                                               "psDashDot, psDashDotDot, psClear, "
                                                               "psInsideFrame)"));
    e.registerType(QStringLiteral("TBrushStyle"),
                   QStringLiteral("(bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, "
                                  "bsBDiagonal, bsCross, bsDiagCross)"));
    for (const GraphicsClass& c : graphicsClasses()) {
        const QString className = QString::fromLatin1(c.name);
        e.registerClass(className, [this, className](HostCall&) {
            auto object = std::make_unique<GraphicObject>();
            object->className = className;
            m_objects.push_back(std::move(object));
            return ScriptValue::fromObject(int64_t(m_objects.size()));
        });
        for (const auto& [property, type, readOnly] : c.properties) {
            const QString key = QString::fromLatin1(property);
            e.registerProperty(
                className, key, QString::fromLatin1(type), readOnly,
                [this, key](HostCall& call) {
                    const int64_t h = call.self.handle();
                    if (h < 1 || h > int64_t(m_objects.size()))
                        return ScriptValue();
                    return m_objects[size_t(h - 1)]->values.value(key);
                },
                [this, key](HostCall& call) {
                    const int64_t h = call.self.handle();
                    if (h >= 1 && h <= int64_t(m_objects.size()) && !call.args.empty())
                        m_objects[size_t(h - 1)]->values.insert(key, call.args[0]);
                    return ScriptValue();
                });
        }
        for (const char* method : c.methods)
            e.registerMethod(className, QString::fromLatin1(method), [](HostCall& call) {
                call.raise(QStringLiteral("non disponible"));
                return ScriptValue();
            });
    }
}

bool TKXScript::Compile() {
    Messages.clear();
    m_engine->stopRequest() = false;
    // A new engine for each compilation: the registrations are made again, in their order.
    m_engine = std::make_unique<vscript::ScriptEngine>();
    m_objects.clear();
    registerProgramRoutines();
    registerConstantsAndTypes();
    registerGraphics();
    if (OnCompile)
        OnCompile(*this);
    const vscript::CompileResult result = m_engine->compile(Script.join(u'\n'));
    Messages << result.messages;
    Compiled = result.ok;
    Messages << (Compiled ? QStringLiteral("*** Compilation succeeded ***")
                          : QStringLiteral("### Compilation Failed"));
    return Compiled;
}

bool TKXScript::Run() {
    Messages.clear();
    if (!Compiled) {
        Messages << QStringLiteral("### Compilation non prête");
        return false;
    }
    m_engine->stopRequest() = false;
    m_objects.clear();
    if (processMessages)
        m_engine->setPump(processMessages);
    // What Write and WriteLn print goes to the lines under the editor, a bounded number of
    // them: a script that writes without end still leaves a window that opens.
    constexpr int kMaxLines = 10000;
    constexpr qsizetype kMaxLine = 100000;
    QString pending;
    int lines = 0;
    auto addLine = [&](const QString& line) {
        if (lines < kMaxLines)
            Messages << line;
        else if (lines == kMaxLines)
            Messages << QStringLiteral("… (la suite de la sortie n'est pas gardée)");
        ++lines;
    };
    m_engine->setOutput([&](const QString& text) {
        if (write) {
            write(text);
            return;
        }
        pending += text;
        qsizetype end;
        while ((end = pending.indexOf(u'\n')) >= 0) {
            addLine(pending.left(end));
            pending.remove(0, end + 1);
        }
        if (pending.size() > kMaxLine) {
            addLine(pending);
            pending.clear();
        }
    });
    const vscript::RunResult result = m_engine->run();
    m_engine->setOutput({});
    if (!pending.isEmpty())
        addLine(pending);
    if (result.ok)
        Messages << QStringLiteral("*** Exécution réussie ***");
    else
        Messages << QStringLiteral("### Erreur pendant l'exécution: ") + result.error;
    return result.ok;
}
