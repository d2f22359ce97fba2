#include "InputsMenu.h"

#include "Crossbar.h"

#include <QActionGroup>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QVBoxLayout>
#include <linux/videodev2.h>

namespace inputs {

bool AddInputsMenu(QMenu& menu, TCrossbar& crossbar, int chosen, std::function<void(int)> picked) {
    if (crossbar.InputCount() == 0)
        return true;
    menu.addSeparator();
    QMenu* list = menu.addMenu(QStringLiteral("Entrées Vidéo"));
    auto* group = new QActionGroup(list);
    group->setExclusive(true);
    // Opening the menu never switches the card away from the input the user chose.
    int checked = 0;
    for (int i = crossbar.InputCount() - 1; i >= 0; --i) {
        int32_t type = 0;
        if (crossbar.InputConnectorType(i, type) && type == 1)
            checked = i;
    }
    if (chosen >= 0 && chosen < crossbar.InputCount())
        checked = chosen;
    for (int i = 0; i < crossbar.InputCount(); ++i) {
        QString name;
        if (!crossbar.InputName(i, name))
            return false;
        QAction* a = list->addAction(name);
        a->setCheckable(true);
        a->setChecked(i == checked);
        group->addAction(a);
        QObject::connect(a, &QAction::triggered, list, [a, i, picked] {
            a->setChecked(true);
            if (picked)
                picked(i);
        });
    }
    crossbar.SelectInput(checked);
    return true;
}

int ShowCrossbarDialog(QWidget* parent, TCrossbar& crossbar) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Crossbar Vidéo"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QListWidget(&dialog);
    for (int i = 0; i < crossbar.InputCount(); ++i) {
        QString name;
        crossbar.InputName(i, name);
        list->addItem(name);
    }
    list->setCurrentRow(std::clamp(crossbar.current(), 0, std::max(0, crossbar.InputCount() - 1)));
    layout->addWidget(new QLabel(QStringLiteral("Entrée reliée à la capture :"), &dialog));
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0)
        return -1;
    crossbar.SelectInput(list->currentRow());
    return list->currentRow();
}

void ShowTunerDialog(QWidget* parent, IV4l2Inputs& device, unsigned tuner) {
    const std::optional<TV4l2Tuner> t = device.Tuner(tuner);
    if (!t)
        return;
    // V4L2 counts in 62.5 kHz steps, or 62.5 Hz for the "low" tuners.
    const double unit = t->lowUnits ? 62.5e-6 : 0.0625; // MHz per step
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Tuner TV"));
    auto* form = new QFormLayout(&dialog);
    auto* frequency = new QDoubleSpinBox(&dialog);
    frequency->setDecimals(3);
    frequency->setRange(t->rangeLow * unit, t->rangeHigh * unit);
    frequency->setSuffix(QStringLiteral(" MHz"));
    frequency->setValue(t->frequency * unit);
    auto* signal = new QLabel(QStringLiteral("%1 %").arg(t->signal * 100 / 65535), &dialog);
    form->addRow(QStringLiteral("Fréquence"), frequency);
    form->addRow(QStringLiteral("Signal"), signal);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() == QDialog::Accepted)
        device.SetFrequency(tuner, uint32_t(frequency->value() / unit + 0.5));
}

void ShowTvAudioDialog(QWidget* parent, IV4l2Inputs& device, unsigned tuner) {
    const std::optional<TV4l2Tuner> t = device.Tuner(tuner);
    if (!t)
        return;
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("TV Audio"));
    auto* form = new QFormLayout(&dialog);
    auto* mode = new QComboBox(&dialog);
    const struct {
        const char* name;
        uint32_t mode;
    } modes[] = {{"Mono", V4L2_TUNER_MODE_MONO},
                 {"Stéréo", V4L2_TUNER_MODE_STEREO},
                 {"Langue 1", V4L2_TUNER_MODE_LANG1},
                 {"Langue 2", V4L2_TUNER_MODE_LANG2},
                 {"Langues 1 et 2", V4L2_TUNER_MODE_LANG1_LANG2}};
    for (const auto& m : modes) {
        mode->addItem(QString::fromUtf8(m.name), m.mode);
        if (m.mode == t->audmode)
            mode->setCurrentIndex(mode->count() - 1);
    }
    form->addRow(QStringLiteral("Son"), mode);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() == QDialog::Accepted)
        device.SetAudioMode(tuner, mode->currentData().toUInt());
}

} // namespace inputs
