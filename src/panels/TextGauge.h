#pragma once

#include <QColor>
#include <QWidget>

// A round gauge: a pie filled as far as its progress goes between its minimum and maximum,
// with a text drawn in white over it. The pie takes the alert colour while the value the
// gauge stands for is on the wrong side of the alert value.
class TTextGauge : public QWidget {
    Q_OBJECT
public:
    enum class Kind {
        Percent, // "42%"; alert above the alert value
        Value,   // the progress itself; alert above the alert value
        Text,    // the format filled with maximum − progress (what is left); alert below it
    };

    explicit TTextGauge(QWidget* parent = nullptr);

    Kind kind() const { return m_kind; }
    void setKind(Kind kind);
    // For Kind::Text, with one %d.
    void setTextFormat(const QString& format);

    int minValue() const { return m_min; }
    int maxValue() const { return m_max; }
    int progress() const { return m_progress; }
    // Refused, with a message, when below the minimum; a progress above it comes down.
    bool setMaxValue(int value);
    // Refused, with a message, when above the maximum; a progress below it goes up.
    bool setMinValue(int value);
    // Clamped to minimum..maximum.
    void setProgress(int value);
    // While the panel's values are being set up the range is taken as it comes.
    void setLoading(bool loading) { m_loading = loading; }

    int alertValue() const { return m_alertValue; }
    void setAlertValue(int value);
    void setForeColor(const QColor& colour);
    void setAlertColor(const QColor& colour);

    // What is drawn: the filled share in percent, the text, and whether the alert shows.
    int percentDone() const;
    QString text() const;
    bool alerted() const;

    // "La valeur doit être comprise entre %d et %d" filled with lo and hi.
    static QString RangeMessage(int lo, int hi);

    QSize sizeHint() const override { return {64, 64}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Look {
        int percent;
        QString text;
        bool alert;
        bool operator==(const Look&) const = default;
    };
    Look look() const { return {percentDone(), text(), alerted()}; }
    // Repaints only when what is drawn changed.
    void changed(const Look& before);

    Kind m_kind = Kind::Percent;
    QString m_format = QStringLiteral("%d");
    int m_min = 0;
    int m_max = 100;
    int m_progress = 0;
    int m_alertValue = 0;
    bool m_loading = false;
    QColor m_fore = QColor(0, 128, 0);
    QColor m_alertColour = Qt::red;
};
