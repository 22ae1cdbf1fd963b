// The address control: each field takes 0..255; typing a dot or filling three digits moves to the next field,
// Backspace in an empty field moves back, as operators expect from the window system's control.
#include "controls/IpAddressCtrl.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

CIPAddressCtrl::CIPAddressCtrl(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 0, 2, 0);
    row->setSpacing(0);
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        auto* field = new QLineEdit(this);
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        field->setMaxLength(3);
        field->setValidator(new QIntValidator(0, 255, field));
        field->setObjectName(QStringLiteral("octet%1").arg(i));
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            if (text.size() == 3 && i + 1 < m_fields.size()) {
                m_fields[i + 1]->setFocus();
                m_fields[i + 1]->selectAll();
            }
            emit AddressChanged();
        });
        row->addWidget(field, 1);
        m_fields[i] = field;
        if (i + 1 < m_fields.size())
            row->addWidget(new QLabel(QStringLiteral("."), this));
    }
    setFocusProxy(m_fields[0]);
}

bool CIPAddressCtrl::IsBlank() const {
    for (auto* f : m_fields)
        if (!f->text().isEmpty())
            return false;
    return true;
}

int CIPAddressCtrl::GetAddress(std::array<std::uint8_t, 4>& address) const {
    int filled = 0;
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        const QString text = m_fields[i]->text();
        address[i] = static_cast<std::uint8_t>(text.isEmpty() ? 0 : std::min(text.toInt(), 255));
        if (!text.isEmpty())
            ++filled;
    }
    return filled;
}

void CIPAddressCtrl::SetAddress(const std::array<std::uint8_t, 4>& address) {
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        m_fields[i]->setText(QString::number(address[i]));
    emit AddressChanged();
}

void CIPAddressCtrl::ClearAddress() {
    for (auto* f : m_fields)
        f->clear();
    emit AddressChanged();
}

QString CIPAddressCtrl::Text() const {
    std::array<std::uint8_t, 4> a{};
    GetAddress(a);
    return QStringLiteral("%1.%2.%3.%4").arg(a[0]).arg(a[1]).arg(a[2]).arg(a[3]);
}

bool CIPAddressCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (watched != m_fields[i])
            continue;
        if ((key->key() == Qt::Key_Period || key->key() == Qt::Key_Space) && i + 1 < m_fields.size()) {
            if (!m_fields[i]->text().isEmpty()) {
                m_fields[i + 1]->setFocus();
                m_fields[i + 1]->selectAll();
            }
            return true;
        }
        if (key->key() == Qt::Key_Backspace && m_fields[i]->text().isEmpty() && i > 0) {
            m_fields[i - 1]->setFocus();
            m_fields[i - 1]->end(false);
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}
