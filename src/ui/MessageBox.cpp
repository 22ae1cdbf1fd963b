// Message boxes fitted to their title. The window manager draws the title in a font of its own that Qt cannot
// ask for; the application's font made bold stands in for it, and the room for the buttons is generous.
#include "ui/MessageBox.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>

namespace lanwick {

namespace {

QFont TitleBarFont() {
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    const QFont general = QApplication::font();
    if (QFontMetrics(general).height() > QFontMetrics(font).height())
        font = general;
    font.setBold(true);
    return font;
}

} // namespace

int TitleBarWidth(const QString& strTitle) {
    const QFontMetrics fm(TitleBarFont());
    // A title-bar button is about as wide as the bar is high: the text's height and a few pixels of padding.
    // Three on the right (minimise, maximise, close), and as much room on the left so that the title can stay
    // centred; the window icon fits in that room.
    const int nButton = fm.height() + 6;
    return fm.horizontalAdvance(strTitle) + 6 * nButton;
}

void FitTitle(QDialog* pDialog) {
    const int nWidth = TitleBarWidth(pDialog->windowTitle());
    QLayout* pLayout = pDialog->layout();
    if (auto* pBox = qobject_cast<QBoxLayout*>(pLayout)) {
        if (pBox->direction() == QBoxLayout::TopToBottom || pBox->direction() == QBoxLayout::BottomToTop) {
            pBox->addStrut(nWidth);
            return;
        }
    }
    // A message box fixes its own size from its layout's minimum whenever it is shown or its texts change, so
    // the width goes into that layout: a strut of no height across the first row.
    if (auto* pGrid = qobject_cast<QGridLayout*>(pLayout)) {
        pGrid->addItem(new QSpacerItem(nWidth, 0, QSizePolicy::Fixed, QSizePolicy::Fixed), 0, 0, 1,
                       pGrid->columnCount());
        return;
    }
    pDialog->setMinimumWidth(nWidth);
}

void ShowInformation(QWidget* pParent, const QString& strTitle, const QString& strText) {
    QMessageBox box(QMessageBox::Information, strTitle, strText, QMessageBox::Ok, pParent);
    FitTitle(&box);
    box.exec();
}

void ShowInformationModeless(QWidget* pParent, const QString& strTitle, const QString& strText) {
    auto* pBox = new QMessageBox(QMessageBox::Information, strTitle, strText, QMessageBox::Ok, pParent);
    pBox->setAttribute(Qt::WA_DeleteOnClose);
    pBox->setWindowModality(Qt::NonModal);
    FitTitle(pBox);
    pBox->show();
}

bool AskYesNo(QWidget* pParent, const QString& strTitle, const QString& strText) {
    QMessageBox box(QMessageBox::Question, strTitle, strText, QMessageBox::Yes | QMessageBox::No, pParent);
    FitTitle(&box);
    return box.exec() == QMessageBox::Yes;
}

std::optional<bool> AskReloadOrOverwrite(QWidget* pParent, const QString& strTitle, const QString& strText) {
    QMessageBox box(QMessageBox::Warning, strTitle, strText, QMessageBox::Cancel, pParent);
    QPushButton* pReload = box.addButton(QStringLiteral("Reload"), QMessageBox::AcceptRole);
    QPushButton* pOverwrite = box.addButton(QStringLiteral("Overwrite"), QMessageBox::DestructiveRole);
    box.setDefaultButton(QMessageBox::Cancel);
    FitTitle(&box);
    box.exec();
    if (box.clickedButton() == pReload)
        return true;
    if (box.clickedButton() == pOverwrite)
        return false;
    return std::nullopt;
}

} // namespace lanwick
