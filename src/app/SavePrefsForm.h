#pragma once

#include "Preferences.h"

#include <QDialog>
#include <optional>

class QPushButton;
class QTextBrowser;

// Asks, at the first close with nothing stored, where the preferences should be kept.
class TSavePrefsForm : public QDialog {
    Q_OBJECT
public:
    explicit TSavePrefsForm(QWidget* parent = nullptr);

    // Shows the dialog modally; no value when it was closed without a choice.
    std::optional<TSavePreferences> ask(const QString& caption);

    QPushButton* NormalBtn;
    QPushButton* PortableBtn;
    QPushButton* AucunBtn;
    QTextBrowser* LinkEdit1;

private:
    std::optional<TSavePreferences> m_choice;
};
