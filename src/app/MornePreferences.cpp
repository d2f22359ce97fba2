#include "MornePreferences.h"

#include "AppPaths.h"
#include "AtomicFile.h"
#include "Log.h"
#include "Prompts.h"
#include "RegistryStore.h"
#include "SavePrefsForm.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QFile>
#include <QScopedValueRollback>
#include <QWidget>

namespace {
const QString kVendorKey = QStringLiteral("Software\\Ardoval");
}

TMornePreferences::TMornePreferences(QWidget* owner)
    : QObject(owner), m_owner(owner), m_manager(std::make_unique<TNonePreferencesMan>()),
      m_dialog(new TSavePrefsForm(owner)) {
    owner->installEventFilter(this);
}

TMornePreferences::~TMornePreferences() = default;

QString TMornePreferences::productKeyPath() const {
    return kVendorKey + '\\' + titre;
}

QString TMornePreferences::iniFilePath() const {
    return AppPaths::executableDir() + titre + QStringLiteral(".ini");
}

TSavePreferences TMornePreferences::DetectMode() const {
    if (QFile::exists(iniFilePath()))
        return spPortable;
    if (TRegistryFile(AppPaths::registryFilePath()).keyExists(productKeyPath()))
        return spRegistre;
    return spNone;
}

void TMornePreferences::SetMode(TSavePreferences mode) {
    m_manager.reset(); // an INI manager writes its file as it goes
    switch (mode) {
    case spRegistre:
        m_manager =
            std::make_unique<TRegPreferencesMan>(AppPaths::registryFilePath(), productKeyPath());
        break;
    case spPortable:
        m_manager = std::make_unique<TIniPreferencesMan>(iniFilePath());
        break;
    default:
        m_manager = std::make_unique<TNonePreferencesMan>();
        break;
    }
    m_mode = mode;
    emit OnChangeMode(mode);

    if (mode != spPortable && QFile::exists(iniFilePath())) {
        QFile::setPermissions(iniFilePath(), QFile::ReadOwner | QFile::WriteOwner);
        if (!QFile::remove(iniFilePath()))
            qCWarning(lcVidorra) << "cannot delete" << iniFilePath();
    }
    if (mode != spRegistre)
        eraseRegistryStore();
}

void TMornePreferences::eraseRegistryStore() {
    TRegistryFile registry(AppPaths::registryFilePath());
    if (!registry.keyExists(productKeyPath()))
        return;
    // An INI file beside a copy started once from a removable drive erases the settings of
    // the installed program: what is erased is kept first, in the registry file's own format,
    // so that appending it to that file brings it back. The vendor key goes too when nothing
    // else is left in it.
    const bool vendorToo = registry.subKeyNames(kVendorKey).size() == 1;
    const QString backup = AppPaths::registryBackupPath();
    if (!writeFileAtomically(backup,
                             registry.exportKey(vendorToo ? kVendorKey : productKeyPath()))) {
        qCWarning(lcVidorra) << "registry settings kept: no copy of them could be written to"
                             << backup;
        if (m_starting)
            addUserNotice(QStringLiteral("Les réglages du registre (%1) n'ont pas été retirés : "
                                         "leur copie n'a pas pu être écrite dans %2.")
                              .arg(AppPaths::registryFilePath(), backup));
        return;
    }
    registry.deleteKey(productKeyPath());
    if (vendorToo)
        registry.deleteKey(kVendorKey);
    if (!registry.commit()) {
        qCWarning(lcVidorra) << "cannot erase the registry settings";
        return;
    }
    qCInfo(lcVidorra) << "registry settings" << productKeyPath() << "erased, a copy is kept in"
                      << backup;
    if (m_starting)
        addUserNotice(QStringLiteral("Le fichier %1 à côté du programme fait de lui un programme "
                                     "portable : ses réglages sont pris dans ce fichier, et ceux "
                                     "du registre (%2) ont été retirés. Une copie en est gardée "
                                     "dans %3 ; pour les retrouver, fermez le programme, retirez "
                                     "%1 et ajoutez cette copie à la fin de %2.")
                          .arg(iniFilePath(), AppPaths::registryFilePath(), backup));
}

bool TMornePreferences::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_owner)
        return false;
    if (event->type() == QEvent::Show && !m_showDone) {
        m_showDone = true;
        ownerShown();
    } else if (event->type() == QEvent::Close) {
        if (m_closeDone) {
            if (ownerCloseQueryHandler && !ownerCloseQueryHandler()) {
                event->ignore();
                return true;
            }
            return false;
        }
        if (!ownerCloseQuery()) {
            event->ignore();
            return true;
        }
    }
    return false;
}

void TMornePreferences::ownerShown() {
    {
        // What the start finds is told to the user once the window shows.
        const QScopedValueRollback starting(m_starting, true);
        SetMode(DetectMode());
    }
    if (ownerShowHandler)
        ownerShowHandler();
    emit OnLoadPrefs(this);
}

bool TMornePreferences::ownerCloseQuery() {
    // The question comes before the owner stops anything, so that a cancelled close leaves
    // the program running as it was (a recording goes on).
    // A close refused after the question was answered (a recording gets its end first)
    // keeps the answer for when it comes back.
    std::optional<TSavePreferences> choice = std::exchange(m_answered, std::nullopt);
    if (!choice && m_mode == spNone && askWhenNothingStored) {
        if (m_asking)
            return false; // the open question decides
        const QScopedValueRollback asking(m_asking, true);
        if (ownerBeforeQuestion)
            ownerBeforeQuestion();
        choice = m_dialog->ask(QStringLiteral("Enregistrement des préférences de %1").arg(titre));
        if (!choice) {
            if (ownerQuestionCancelled)
                ownerQuestionCancelled();
            return false; // asked again at the next attempt
        }
    }
    if (ownerCloseQueryHandler && !ownerCloseQueryHandler()) {
        m_answered = choice;
        return false;
    }
    if (choice)
        SetMode(*choice);
    if (m_mode != spNone) {
        m_saveFailed = false;
        m_manager->WriteString(QStringLiteral("Version"), version);
        m_manager->WriteString(
            QStringLiteral("Dernière Sauvegarde"),
            QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")));
        m_manager->WriteString(QStringLiteral("ExeName"), AppPaths::executablePath());
        emit OnSavePrefs(this);
        if (!m_manager->Flush() || m_saveFailed) {
            // Said while the window is still there; with nobody in front of the program, the
            // prompts log it and keep it for the next start.
            const QString file =
                m_mode == spPortable ? iniFilePath() : AppPaths::registryFilePath();
            prompts().warning(
                m_owner, QStringLiteral("Les préférences n'ont pas pu être enregistrées dans %1.")
                             .arg(file));
        }
    }
    m_closeDone = true;
    return true;
}

bool TMornePreferences::ReadBool(const QString& name, bool def) {
    bool value = def;
    if (m_mode == spNone || !m_manager->ReadBool(name, value))
        return def;
    return value;
}

QString TMornePreferences::ReadText(const QString& name, const QString& def) {
    QString value;
    if (m_mode == spNone || !m_manager->ReadString(name, value))
        return def;
    return value;
}

QRect TMornePreferences::ReadRect(const QString& name, const QRect& def) {
    QRect value = def;
    if (m_mode == spNone || !::ReadRect(*m_manager, name, value))
        return def;
    return value;
}

bool TMornePreferences::WriteBool(const QString& name, bool value) {
    return m_mode != spNone && m_manager->WriteBool(name, value);
}

bool TMornePreferences::WriteText(const QString& name, const QString& value) {
    return m_mode != spNone && m_manager->WriteString(name, value);
}

bool TMornePreferences::WriteRect(const QString& name, const QRect& value) {
    return m_mode != spNone && ::WriteRect(*m_manager, name, value);
}
