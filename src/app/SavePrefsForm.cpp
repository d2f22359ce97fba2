#include "SavePrefsForm.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QPushButton>
#include <QStyle>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {
// The message, in the dialog's rich-text markup turned into HTML.
const char kMessage[] =
    "<br><span style=\"font-size:10pt\"><i>Voulez-vous enregistrer vos préférences pour "
    "pouvoir les retrouver au prochain lancement?<br><br>Cliquez sur votre choix:</i><br><br>"
    "* soit pour les enregistrer dans le registre (mode normal).<br>"
    "* soit pour les enregistrer dans un fichier ini (mode portable).<br>"
    "* soit pour ne pas les enregistrer. Dans ce cas, elles seront perdues et les valeurs par "
    "défaut seront chargées lors du prochain lancement.<br></span>";
} // namespace

TSavePrefsForm::TSavePrefsForm(QWidget* parent) : QDialog(parent) {
    setModal(true);
    setFixedSize(551, 364);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    LinkEdit1 = new QTextBrowser(this);
    LinkEdit1->setReadOnly(true);
    LinkEdit1->setHtml(QString::fromUtf8(kMessage));

    auto makeButton = [this](const QString& caption, const QIcon& icon, const QString& hint,
                             TSavePreferences mode) {
        auto* b = new QPushButton(icon, caption, this);
        b->setFixedSize(120, 60);
        b->setIconSize(QSize(32, 32));
        b->setToolTip(hint);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, mode] {
            m_choice = mode;
            accept();
        });
        return b;
    };
    NormalBtn = makeButton(QStringLiteral("Normal"), style()->standardIcon(QStyle::SP_DriveHDIcon),
                           QStringLiteral("Enregistre les préférences dans le registre.\n"
                                          "Si un fichier ini existait, il est supprimé."),
                           spRegistre);
    PortableBtn =
        makeButton(QStringLiteral("Portable"), style()->standardIcon(QStyle::SP_DriveFDIcon),
                   QStringLiteral("Enregistre les préférences dans un fichier ini.\n"
                                  "Efface les valeurs contenues dans le registre."),
                   spPortable);
    AucunBtn =
        makeButton(QStringLiteral("Aucun"), style()->standardIcon(QStyle::SP_DialogDiscardButton),
                   QStringLiteral("Quitte sans enregistrer les préférences.\n"
                                  "Si elles existaient dans un fichier ini ou dans le registre,\n"
                                  "elles sont effacées."),
                   spNone);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(NormalBtn);
    buttons->addWidget(PortableBtn);
    buttons->addWidget(AucunBtn);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LinkEdit1);
    layout->addLayout(buttons);
}

std::optional<TSavePreferences> TSavePrefsForm::ask(const QString& caption) {
    setWindowTitle(caption);
    m_choice.reset();
    exec();
    return m_choice;
}
