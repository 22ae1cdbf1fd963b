// Control ids on widgets and the fixed dialog-unit geometry.
#include "controls/ControlId.h"
#include "controls/DialogUnits.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace lanwick;

class TestControlId : public QObject {
    Q_OBJECT
private slots:
    void FindControl_FindsNestedControlOfTheRightTypeByItsId() {
        QWidget root;
        auto* frame = new QWidget(&root);
        auto* button = new QPushButton(frame);
        auto* label = new QLabel(&root);
        SetControlId(button, 1004);
        SetControlId(label, 1043);
        QCOMPARE(label->objectName(), QStringLiteral("id_1043"));
        QCOMPARE(ControlId(label), 1043);
        QCOMPARE(ControlId(frame), 0);
        QCOMPARE(ControlId(nullptr), 0);
        QCOMPARE(FindControl(&root, 1004), static_cast<QWidget*>(button));
        QCOMPARE(FindControl<QPushButton>(&root, 1004), button);
        QVERIFY(FindControl<QLabel>(&root, 1004) == nullptr);
        QVERIFY(FindControl(&root, 1999) == nullptr);
        QVERIFY(FindControl(&root, 0) == nullptr);
        // The id counts, not a renamed object name.
        label->setObjectName(QStringLiteral("renamed"));
        QCOMPARE(FindControl<QLabel>(&root, 1043), label);
    }

    void MulDivAndDialogUnits_RoundHalvesAwayFromZero() {
        QCOMPARE(MulDiv(1, 6, 4), 2);   // 1.5
        QCOMPARE(MulDiv(-1, 6, 4), -2); // -1.5
        QCOMPARE(MulDiv(5, 13, 8), 8);  // 8.125
        QCOMPARE(MulDiv(3, 13, 8), 5);  // 4.875
        QCOMPARE(MulDiv(7, 1, 0), -1);
        QCOMPARE(MulDiv(0x7fffffff, 4, 1), -1);
        // The main window is 266 x 210 units; its list sits at 7, 22, 252, 90.
        QCOMPARE(DluX(266), 399);
        QCOMPARE(DluY(210), 341);
        QCOMPARE(DluRect(7, 22, 252, 90), QRect(11, 36, 378, 146));
        QCOMPARE(DluRect(0, 0, 0, 0), QRect(0, 0, 0, 0));
    }
};

QTEST_MAIN(TestControlId)
#include "tst_ControlId.moc"
