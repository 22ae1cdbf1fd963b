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
    void SetControlId_NamesWidgetAndStoresProperty() {
        QWidget w;
        SetControlId(&w, 1043);
        QCOMPARE(w.objectName(), QStringLiteral("id_1043"));
        QCOMPARE(w.property("lwId").toInt(), 1043);
        QCOMPARE(ControlId(&w), 1043);
    }

    void ControlId_IsZeroWithoutId() {
        QWidget w;
        QCOMPARE(ControlId(&w), 0);
        QCOMPARE(ControlId(nullptr), 0);
    }

    void FindControl_FindsNestedControlOfTheRightType() {
        QWidget root;
        auto* frame = new QWidget(&root);
        auto* button = new QPushButton(frame);
        auto* label = new QLabel(&root);
        SetControlId(button, 1004);
        SetControlId(label, 1008);
        QCOMPARE(FindControl(&root, 1004), static_cast<QWidget*>(button));
        QCOMPARE(FindControl<QPushButton>(&root, 1004), button);
        QCOMPARE(FindControl<QLabel>(&root, 1008), label);
        QVERIFY(FindControl<QLabel>(&root, 1004) == nullptr);
        QVERIFY(FindControl(&root, 1999) == nullptr);
        QVERIFY(FindControl(&root, 0) == nullptr);
    }

    void FindControl_TrustsTheIdNotARenamedObjectName() {
        QWidget root;
        auto* w = new QWidget(&root);
        SetControlId(w, 1000);
        w->setObjectName(QStringLiteral("renamed"));
        QCOMPARE(FindControl(&root, 1000), w);
    }

    void MulDiv_RoundsHalvesAwayFromZero() {
        QCOMPARE(MulDiv(1, 6, 4), 2);   // 1.5
        QCOMPARE(MulDiv(-1, 6, 4), -2); // -1.5
        QCOMPARE(MulDiv(5, 13, 8), 8);  // 8.125
        QCOMPARE(MulDiv(3, 13, 8), 5);  // 4.875
        QCOMPARE(MulDiv(7, 1, 0), -1);
        QCOMPARE(MulDiv(0x7fffffff, 4, 1), -1);
    }

    void DluRect_ConvertsTheMainWindowTemplate() {
        // The main window is 266 x 210 units; its list sits at 7, 22, 252, 90.
        QCOMPARE(DluX(266), 399);
        QCOMPARE(DluY(210), 341);
        QCOMPARE(DluRect(7, 22, 252, 90), QRect(11, 36, 378, 146));
        QCOMPARE(DluRect(0, 0, 0, 0), QRect(0, 0, 0, 0));
    }
};

QTEST_MAIN(TestControlId)
#include "tst_ControlId.moc"
