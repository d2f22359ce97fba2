#include "AproposFrame.h"

#include "GstRef.h"

#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>
#include <gst/gst.h>

TAproposFrame::TAproposFrame(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("AproposFrame1"));
    auto* layout = new QVBoxLayout(this);
    lbTitre = new QLabel(this);
    lbVersions = new QLabel(this);
    lbVersions->setWordWrap(true);
    lbLicence = new QLabel(this);
    lbLicence->setWordWrap(true);
    lbLicence->setOpenExternalLinks(true);
    lbElements = new QListWidget(this);
    layout->addWidget(lbTitre);
    layout->addWidget(lbVersions);
    layout->addWidget(lbLicence);
    layout->addWidget(new QLabel(QStringLiteral("Éléments GStreamer de Vidorra:"), this));
    layout->addWidget(lbElements, 1);
    Refresh();
}

QStringList TAproposFrame::OwnElements() {
    QStringList names;
    if (!gst_is_initialized())
        return names;
    const TGstObjectList features(
        gst_registry_get_feature_list_by_plugin(gst_registry_get(), "vidorra"));
    for (GList* l = features.get(); l; l = l->next)
        if (GST_IS_ELEMENT_FACTORY(l->data))
            names << QString::fromUtf8(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(l->data)));
    names.sort();
    return names;
}

void TAproposFrame::Refresh() {
    lbTitre->setText(QStringLiteral("<span style=\"font-size:14pt\"><b>Vidorra</b> %1</span>")
                         .arg(QCoreApplication::applicationVersion().toHtmlEscaped()));
    g_autofree gchar* gst = gst_version_string();
    lbVersions->setText(
        QStringLiteral("Qt %1<br>%2").arg(QString::fromLatin1(qVersion()), QString::fromUtf8(gst)));
    lbLicence->setText(QStringLiteral("Licence : GNU LGPL<br><a href=\"%1\">%1</a>").arg(kWebPage));
    lbElements->clear();
    lbElements->addItems(OwnElements());
}

void TAproposFrame::showEvent(QShowEvent* event) {
    Refresh();
    QFrame::showEvent(event);
}
