// CSpinButton: the up-down arrows beside a number box. It steps the whole number in the box by one, up raising
// it, and never leaves its range, so it can only produce values the box's page accepts.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace lanwick {

class CSpinButton final : public QWidget {
    Q_OBJECT
public:
    // Takes the right end (nWidth pixels) of pBuddy's place and answers the arrow keys pressed in it.
    CSpinButton(QLineEdit* pBuddy, int nWidth, QWidget* pParent);

    void SetRange(long long nMin, long long nMax);
    long long Min() const { return m_nMin; }
    long long Max() const { return m_nMax; }

    // One step up (+1) or down (-1) from the number in the box. A number outside the range, or text that is
    // no number, first moves to the nearest bound, as the step would otherwise leave the range.
    void Step(int nDirection);

    QToolButton* UpButton() const { return m_pUp; }
    QToolButton* DownButton() const { return m_pDown; }

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    QLineEdit* m_pBuddy;
    QToolButton* m_pUp;
    QToolButton* m_pDown;
    long long m_nMin = 0;
    long long m_nMax = 100;
};

} // namespace lanwick
