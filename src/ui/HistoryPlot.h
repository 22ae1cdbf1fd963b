// The History page's plot: per hour the round trip (average as a line, minimum to maximum as a band) and a strip
// of how many checks were answered, over a span, with local time labels. Painted here so that the window needs no
// chart library.
#pragma once

#include "history/History.h"

#include <QPointF>
#include <QRectF>
#include <QWidget>

#include <cstdint>
#include <vector>

namespace lanwick {

class CHistoryPlot final : public QWidget {
    Q_OBJECT
public:
    explicit CHistoryPlot(QWidget* pParent = nullptr);

    // The span [nSince, nNow] in Unix seconds and its hours (oldest first, only hours with checks).
    void SetData(std::int64_t nSince, std::int64_t nNow, std::vector<history::HourStats> hours);
    // A text in place of the data ("Reading...", why there is none); empty shows the data again.
    void SetMessage(const QString& strMessage);
    const QString& Message() const { return m_strMessage; }

    // Where the hour's average round trip is painted, and the middle of its up/down strip; for tests.
    QPointF AveragePoint(const history::HourStats& hour) const;
    QPointF StripPoint(const history::HourStats& hour) const;
    // The round trip at the top of the scale, in milliseconds.
    double ScaleMaxMs() const { return m_dScaleMs; }

    static const QColor kAverageColour;
    static const QColor kBandColour;
    static const QColor kUpColour;
    static const QColor kDownColour;
    static const QColor kMixedColour;

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    QRectF PlotArea() const;
    QRectF StripArea() const;
    double X(std::int64_t nUnixSeconds) const;
    double Y(double dMs) const;
    void PaintGrid(QPainter& painter) const;
    void PaintTimeAxis(QPainter& painter) const;
    void PaintHours(QPainter& painter) const;
    void PaintLegend(QPainter& painter) const;

    std::int64_t m_nSince = 0;
    std::int64_t m_nNow = 3600;
    std::vector<history::HourStats> m_hours;
    double m_dScaleMs = 1.0;
    QString m_strMessage;
};

} // namespace lanwick
