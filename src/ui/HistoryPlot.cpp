// Painting of the History page's plot: the round-trip scale rounded to 1, 2 or 5 times a power of ten, the hours
// as bands and an average line broken where an hour has no answer, and time labels at local hour or day marks.
#include "ui/HistoryPlot.h"

#include <QDateTime>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace lanwick {

const QColor CHistoryPlot::kAverageColour(20, 90, 200);
const QColor CHistoryPlot::kBandColour(170, 200, 240);
const QColor CHistoryPlot::kUpColour(10, 150, 10);
const QColor CHistoryPlot::kDownColour(220, 0, 0);
const QColor CHistoryPlot::kMixedColour(235, 160, 0);

namespace {

constexpr std::int64_t kHour = 3600;
constexpr int kDivisions = 5;
constexpr double kStripHeight = 8;
constexpr double kGap = 3;

// The smallest of 1, 2, 5 and 10 times a power of ten at or above dMs, so that five grid steps read evenly.
double NiceScale(double dMs) {
    if (!(dMs > 0))
        return 1.0;
    const double dPower = std::pow(10.0, std::floor(std::log10(dMs)));
    for (const double dStep : {1.0, 2.0, 5.0, 10.0})
        if (dStep * dPower >= dMs * (1 - 1e-9))
            return dStep * dPower;
    return 10 * dPower;
}

QString MsText(double dMs) {
    return QString::number(dMs, 'g', 3);
}

QColor StripColour(const history::HourStats& hour) {
    if (hour.nAnswered >= hour.nChecks)
        return CHistoryPlot::kUpColour;
    return hour.nAnswered == 0 ? CHistoryPlot::kDownColour : CHistoryPlot::kMixedColour;
}

struct TimeMark {
    std::int64_t nUnixSeconds;
    QString strLabel; // empty: a tick without a label
};

// Marks at local hours divisible by 3 over a day or two, local midnights over a week or so, else midnights with
// a label on Mondays.
std::vector<TimeMark> TimeMarks(std::int64_t nSince, std::int64_t nNow) {
    std::vector<TimeMark> marks;
    const std::int64_t nSpan = nNow - nSince;
    QDateTime at = QDateTime::fromSecsSinceEpoch(nSince);
    if (nSpan <= 2 * 24 * kHour) {
        at.setTime(QTime(at.time().hour(), 0));
        for (int n = 0; n < 60 && at.toSecsSinceEpoch() <= nNow; ++n, at = at.addSecs(kHour))
            if (at.toSecsSinceEpoch() >= nSince && at.time().hour() % 3 == 0)
                marks.push_back({at.toSecsSinceEpoch(), at.toString(QStringLiteral("HH:mm"))});
        return marks;
    }
    at = QDateTime(at.date(), QTime(0, 0));
    const bool bWeekly = nSpan > 10 * 24 * kHour;
    for (int n = 0; n < 400 && at.toSecsSinceEpoch() <= nNow; ++n, at = QDateTime(at.date().addDays(1), QTime(0, 0))) {
        if (at.toSecsSinceEpoch() < nSince)
            continue;
        const bool bLabel = !bWeekly || at.date().dayOfWeek() == Qt::Monday;
        marks.push_back(
            {at.toSecsSinceEpoch(),
             bLabel ? at.toString(bWeekly ? QStringLiteral("d MMM") : QStringLiteral("ddd d")) : QString()});
    }
    return marks;
}

} // namespace

CHistoryPlot::CHistoryPlot(QWidget* pParent) : QWidget(pParent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CHistoryPlot::SetData(std::int64_t nSince, std::int64_t nNow, std::vector<history::HourStats> hours) {
    m_nSince = nSince;
    m_nNow = std::max(nNow, nSince + 1);
    m_hours = std::move(hours);
    double dMax = 0;
    for (const history::HourStats& hour : m_hours)
        dMax = std::max(dMax, hour.dMaxMs);
    m_dScaleMs = NiceScale(dMax);
    update();
}

void CHistoryPlot::SetMessage(const QString& strMessage) {
    m_strMessage = strMessage;
    update();
}

QRectF CHistoryPlot::PlotArea() const {
    const QFontMetricsF fm(font());
    double dLabel = fm.horizontalAdvance(QStringLiteral("ms"));
    for (int n = 0; n <= kDivisions; ++n)
        dLabel = std::max(dLabel, fm.horizontalAdvance(MsText(m_dScaleMs * n / kDivisions)));
    const double dTop = fm.height() + 6;
    const double dBottom = kGap + kStripHeight + kGap + fm.height() + 2;
    const double dLeft = dLabel + 8;
    // Room on the right for half of a last time label.
    const double dRight = fm.horizontalAdvance(QStringLiteral("00:00")) / 2 + 2;
    return QRectF(dLeft, dTop, std::max(10.0, width() - dLeft - dRight), std::max(10.0, height() - dTop - dBottom));
}

QRectF CHistoryPlot::StripArea() const {
    const QRectF area = PlotArea();
    return QRectF(area.left(), area.bottom() + kGap, area.width(), kStripHeight);
}

double CHistoryPlot::X(std::int64_t nUnixSeconds) const {
    const QRectF area = PlotArea();
    return area.left() +
           area.width() * static_cast<double>(nUnixSeconds - m_nSince) / static_cast<double>(m_nNow - m_nSince);
}

double CHistoryPlot::Y(double dMs) const {
    const QRectF area = PlotArea();
    return area.bottom() - area.height() * std::clamp(dMs / m_dScaleMs, 0.0, 1.0);
}

QPointF CHistoryPlot::AveragePoint(const history::HourStats& hour) const {
    return {(X(hour.nHourStart) + X(hour.nHourStart + kHour)) / 2, Y(hour.dAvgMs)};
}

QPointF CHistoryPlot::StripPoint(const history::HourStats& hour) const {
    return {(X(hour.nHourStart) + X(hour.nHourStart + kHour)) / 2, StripArea().center().y()};
}

void CHistoryPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const QRectF area = PlotArea();
    if (!m_strMessage.isEmpty()) {
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(area);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(area.adjusted(12, 6, -12, -6), Qt::AlignCenter | Qt::TextWordWrap, m_strMessage);
        return;
    }
    PaintGrid(painter);
    PaintTimeAxis(painter);
    PaintHours(painter);
    PaintLegend(painter);
}

void CHistoryPlot::PaintGrid(QPainter& painter) const {
    const QRectF area = PlotArea();
    const QFontMetricsF fm(font());
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QRectF(0, 0, area.left() - 4, fm.height() + 2), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("ms"));
    for (int n = 0; n <= kDivisions; ++n) {
        const double dMs = m_dScaleMs * n / kDivisions;
        const double dY = std::round(Y(dMs)) + 0.5;
        painter.setPen(QColor(225, 225, 225));
        painter.drawLine(QPointF(area.left(), dY), QPointF(area.right(), dY));
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRectF(0, dY - fm.height() / 2, area.left() - 4, fm.height()),
                         Qt::AlignRight | Qt::AlignVCenter, MsText(dMs));
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(area);
    painter.drawRect(StripArea());
}

void CHistoryPlot::PaintTimeAxis(QPainter& painter) const {
    const QRectF area = PlotArea();
    const QRectF strip = StripArea();
    const QFontMetricsF fm(font());
    double dFreeFrom = 0; // labels never overlap: one that would is left out
    for (const TimeMark& mark : TimeMarks(m_nSince, m_nNow)) {
        const double dX = std::round(X(mark.nUnixSeconds)) + 0.5;
        painter.setPen(QColor(235, 235, 235));
        if (!mark.strLabel.isEmpty())
            painter.drawLine(QPointF(dX, area.top() + 1), QPointF(dX, area.bottom() - 1));
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawLine(QPointF(dX, strip.bottom()), QPointF(dX, strip.bottom() + (mark.strLabel.isEmpty() ? 2 : 4)));
        if (mark.strLabel.isEmpty())
            continue;
        const double dWidth = fm.horizontalAdvance(mark.strLabel);
        const double dLeft = std::clamp(dX - dWidth / 2, 0.0, width() - dWidth);
        if (dLeft < dFreeFrom)
            continue;
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRectF(dLeft, strip.bottom() + kGap, dWidth + 1, fm.height()), Qt::AlignCenter, mark.strLabel);
        dFreeFrom = dLeft + dWidth + fm.horizontalAdvance(QLatin1Char(' ')) * 2;
    }
}

void CHistoryPlot::PaintHours(QPainter& painter) const {
    const QRectF area = PlotArea();
    const QRectF strip = StripArea();
    painter.save();
    painter.setClipRect(area.adjusted(1, 1, 0, 0).united(strip.adjusted(1, 1, 0, 0)));
    for (const history::HourStats& hour : m_hours) {
        const double dLeft = X(hour.nHourStart);
        const double dWidth = std::max(1.0, X(hour.nHourStart + kHour) - dLeft);
        painter.fillRect(QRectF(dLeft, strip.top() + 1, dWidth, strip.height() - 1), StripColour(hour));
        if (hour.dMinMs < 0 || hour.dMaxMs < 0)
            continue;
        // A band at least two pixels high, so that a steady round trip still shows.
        const double dTop = std::min(Y(hour.dMaxMs), Y(hour.dMinMs) - 2);
        const double dInset = dWidth >= 4 ? 1 : 0;
        painter.fillRect(QRectF(dLeft + dInset, dTop, dWidth - 2 * dInset, Y(hour.dMinMs) - dTop), kBandColour);
    }

    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kAverageColour, 1.5));
    QPainterPath line;
    const history::HourStats* pPrevious = nullptr;
    for (const history::HourStats& hour : m_hours) {
        if (hour.dAvgMs < 0) {
            pPrevious = nullptr;
            continue;
        }
        // An hour without checks or answers breaks the line: nothing is known of the round trip then.
        if (pPrevious != nullptr && hour.nHourStart - pPrevious->nHourStart == kHour)
            line.lineTo(AveragePoint(hour));
        else
            line.moveTo(AveragePoint(hour));
        pPrevious = &hour;
    }
    painter.drawPath(line);
    if (m_hours.empty() || X(m_hours.front().nHourStart + kHour) - X(m_hours.front().nHourStart) >= 4) {
        painter.setBrush(kAverageColour);
        painter.setPen(Qt::NoPen);
        for (const history::HourStats& hour : m_hours)
            if (hour.dAvgMs >= 0)
                painter.drawEllipse(AveragePoint(hour), 2.5, 2.5);
    }
    painter.restore();
}

void CHistoryPlot::PaintLegend(QPainter& painter) const {
    const QFontMetricsF fm(font());
    const QRectF area = PlotArea();
    const double dBox = fm.height() - 4;
    struct Item {
        QColor colour;
        QString strText;
        bool bLine;
    };
    const Item items[] = {{kAverageColour, QStringLiteral("average"), true},
                          {kBandColour, QStringLiteral("min to max"), false},
                          {kUpColour, QStringLiteral("up"), false},
                          {kMixedColour, QStringLiteral("partly"), false},
                          {kDownColour, QStringLiteral("down"), false}};
    double dWidth = 0;
    for (const Item& item : items)
        dWidth += dBox + 4 + fm.horizontalAdvance(item.strText) + 10;
    double dX = area.right() - dWidth + 10;
    const double dY = 2;
    for (const Item& item : items) {
        const QRectF box(dX, dY + 2, dBox, dBox);
        if (item.bLine)
            painter.fillRect(QRectF(box.left(), box.center().y() - 1, box.width(), 2), item.colour);
        else
            painter.fillRect(box, item.colour);
        dX += dBox + 4;
        painter.setPen(palette().color(QPalette::Text));
        const double dText = fm.horizontalAdvance(item.strText);
        painter.drawText(QRectF(dX, dY, dText + 1, fm.height()), Qt::AlignLeft | Qt::AlignVCenter, item.strText);
        dX += dText + 10;
    }
}

} // namespace lanwick
