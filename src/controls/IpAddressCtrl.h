// CIPAddressCtrl: four number fields separated by dots, the window system's IPv4 address control.
#pragma once

#include <QFrame>
#include <array>
#include <cstdint>

class QLineEdit;

class CIPAddressCtrl final : public QFrame {
    Q_OBJECT
public:
    explicit CIPAddressCtrl(QWidget* parent = nullptr);

    // True when every field is empty.
    bool IsBlank() const;
    // Fills the four bytes (empty fields read as 0); returns the number of fields that hold a number.
    int GetAddress(std::array<std::uint8_t, 4>& address) const;
    void SetAddress(const std::array<std::uint8_t, 4>& address);
    void ClearAddress();
    // "%d.%d.%d.%d" of GetAddress.
    QString Text() const;
    QLineEdit* Field(int index) const { return m_fields[static_cast<std::size_t>(index)]; }

signals:
    void AddressChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::array<QLineEdit*, 4> m_fields{};
};
