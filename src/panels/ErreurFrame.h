#pragma once

#include <QFrame>
#include <QSize>

class QLabel;
class QPushButton;
class QTextBrowser;

// Tells the user about a problem found at start-up, offers a report e-mail, and quits when
// the problem is fatal.
class TErreurFrame : public QFrame {
    Q_OBJECT
public:
    static inline const QString kSupportAddress = QStringLiteral("support@ardoval.example");
    static inline const QString kWebPage = QStringLiteral("https://ardoval.example/vidorra");

    explicit TErreurFrame(QWidget* mainWindow);

    void Show(const QString& errorText, bool fatal);
    QString errorText() const { return m_text; }
    bool fatal() const { return m_fatal; }
    // The mail link: mailto: with subject and body.
    QString reportUrl() const;
    // The system report the e-mail carries after the error (the help panel builds it).
    void setSystemReport(const QString& body) { m_systemReport = body; }

    QLabel* JvLabel1;
    QTextBrowser* LinkEdit1;
    QPushButton* FermerErreurBtn;

private:
    void quit();
    QWidget* m_main;
    QString m_text;
    QString m_systemReport;
    bool m_fatal = false;
    QSize m_savedSize;
};
