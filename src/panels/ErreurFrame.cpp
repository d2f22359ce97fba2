#include "ErreurFrame.h"

#include "AppPaths.h"
#include "ImageList.h"

#include <QApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

TErreurFrame::TErreurFrame(QWidget* mainWindow) : QFrame(mainWindow), m_main(mainWindow) {
    setObjectName(QStringLiteral("ErreurFrame1"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* picture = new QLabel(this);
    picture->setPixmap(
        QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(48, 48));
    JvLabel1 = new QLabel(this);
    QFont big = JvLabel1->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    JvLabel1->setFont(big);
    top->addWidget(picture);
    top->addWidget(JvLabel1, 1);
    layout->addLayout(top);
    LinkEdit1 = new QTextBrowser(this);
    LinkEdit1->setOpenLinks(false);
    layout->addWidget(LinkEdit1, 1);
    FermerErreurBtn = new QPushButton(QStringLiteral("Quitter"), this);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(FermerErreurBtn);
    layout->addLayout(bottom);
    hide();

    connect(FermerErreurBtn, &QPushButton::clicked, this, &TErreurFrame::quit);
    connect(LinkEdit1, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (url.scheme() == QLatin1String("mailto"))
            QDesktopServices::openUrl(QUrl(reportUrl()));
        else
            QDesktopServices::openUrl(url);
    });
}

void TErreurFrame::Show(const QString& errorText, bool fatal) {
    m_text = errorText;
    m_fatal = fatal;
    const QString title = fatal ? QStringLiteral(" a rencontré une erreur fatale")
                                : QStringLiteral(" a diagnostiqué des problèmes potentiels");
    m_savedSize = m_main->size();
    JvLabel1->setText(QStringLiteral("Ardoval est désolé:"));
    const QString text =
        QStringLiteral("<b><span style=\"color:navy\">Vidorra</span></b>") + title +
        QStringLiteral(" sur votre système:<br><br><b>") +
        errorText.toHtmlEscaped().replace(QLatin1String("\r\n"), QLatin1String("<br>")) +
        QStringLiteral("</b><br><br>") +
        QStringLiteral(
            "Vous devriez m'envoyer un <a href=\"mailto:%1\" style=\"color:navy\">e-mail</a> "
            "sur ce problème, en y mettant le maximum d'indications pour le "
            "diagnostiquer... J'étudie tous les e-mails reçus, mais je n'y réponds "
            "malheureusement que très rarement faute de temps.<br><br>Pour avoir une "
            "aide sur l'utilisation de <span style=\"color:navy\"><b>%2</b></span>, des "
            "informations, des mises à jour éventuelles, vous pouvez aussi vous rendre "
            "sur <a href=\"%3\" style=\"color:navy\">mon site web</a>.")
            .arg(kSupportAddress, QStringLiteral("Vidorra"), kWebPage);
    LinkEdit1->setHtml(text);
    move(0, 0);
    resize(m_main->size());
    show();
    raise();
}

QString TErreurFrame::reportUrl() const {
    const QString subject = QStringLiteral("Erreur de %1").arg(AppPaths::productTitle());
    const QString body =
        QStringLiteral("L'erreur suivante s'est produite:\r\n%1\r\n\r\n").arg(m_text) +
        m_systemReport;
    return QStringLiteral("mailto:%1?subject=%2&body=%3")
        .arg(kSupportAddress, QString::fromUtf8(QUrl::toPercentEncoding(subject)),
             QString::fromUtf8(QUrl::toPercentEncoding(body)));
}

void TErreurFrame::quit() {
    if (m_fatal) {
        m_main->close();
        QApplication::quit();
    }
    hide();
    if (m_savedSize.isValid())
        m_main->resize(m_savedSize);
}
