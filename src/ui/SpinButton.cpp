// Up-down arrows attached to a number box: two auto-repeating arrow buttons and the arrow keys of the box.
#include "ui/SpinButton.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace lanwick {
namespace {

// A whole number with an optional sign; saturates far beyond any range a box uses instead of overflowing.
std::optional<long long> ParseWhole(const QString& text) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    const bool negative = !t.isEmpty() && t[0] == QLatin1Char('-');
    if (negative || (!t.isEmpty() && t[0] == QLatin1Char('+')))
        ++i;
    if (i == t.size())
        return std::nullopt;
    constexpr long long kCap = 1'000'000'000'000LL;
    long long value = 0;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = std::min(kCap, value * 10 + (c.unicode() - '0'));
    }
    return negative ? -value : value;
}

QToolButton* ArrowButton(Qt::ArrowType arrow, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setArrowType(arrow);
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    b->setMinimumSize(1, 1);
    return b;
}

} // namespace

CSpinButton::CSpinButton(QLineEdit* pBuddy, int nWidth, QWidget* pParent)
    : QWidget(pParent), m_pBuddy(pBuddy), m_pUp(ArrowButton(Qt::UpArrow, this)),
      m_pDown(ArrowButton(Qt::DownArrow, this)) {
    m_pUp->setObjectName(QStringLiteral("up"));
    m_pDown->setObjectName(QStringLiteral("down"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_pUp);
    column->addWidget(m_pDown);
    // The box gives up its right end to the arrows, so they never cover a label beside it.
    const QRect box = pBuddy->geometry();
    nWidth = std::min(nWidth, box.width() / 2);
    pBuddy->resize(box.width() - nWidth, box.height());
    setGeometry(box.right() + 1 - nWidth, box.top(), nWidth, box.height());
    pBuddy->installEventFilter(this);
    connect(m_pUp, &QToolButton::clicked, this, [this] { Step(1); });
    connect(m_pDown, &QToolButton::clicked, this, [this] { Step(-1); });
}

void CSpinButton::SetRange(long long nMin, long long nMax) {
    m_nMin = std::min(nMin, nMax);
    m_nMax = std::max(nMin, nMax);
}

void CSpinButton::Step(int nDirection) {
    const std::optional<long long> value = ParseWhole(m_pBuddy->text());
    long long next = m_nMin;
    if (value && *value > m_nMax)
        next = m_nMax;
    else if (value && *value >= m_nMin)
        next = std::clamp(*value + (nDirection > 0 ? 1 : -1), m_nMin, m_nMax);
    m_pBuddy->setText(QString::number(next));
}

bool CSpinButton::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pWatched == m_pBuddy && pEvent->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(pEvent)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(pWatched, pEvent);
}

} // namespace lanwick
