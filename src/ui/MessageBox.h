// Message boxes and small dialogs wide enough for their title: a window manager centres the title between the
// window's icon and its buttons and cuts it short ("Lan… v0.5") when the window is too narrow for it.
#pragma once

#include <optional>

class QDialog;
class QString;
class QWidget;

namespace lanwick {

// The narrowest window width at which a title bar shows strTitle whole: the text in a bold title-bar font with,
// on either side of it, room for three buttons as wide as the bar is high.
int TitleBarWidth(const QString& strTitle);

// Makes pDialog at least TitleBarWidth() of its title wide. Call it once the dialog holds its contents: a message
// box rebuilds its layout when texts are added.
void FitTitle(QDialog* pDialog);

// An information box with OK, and a question with Yes and No (true for Yes), fitted to their title.
void ShowInformation(QWidget* pParent, const QString& strTitle, const QString& strText);
bool AskYesNo(QWidget* pParent, const QString& strTitle, const QString& strText);
// The information box without waiting for it: it stays until OK and deletes itself.
void ShowInformationModeless(QWidget* pParent, const QString& strTitle, const QString& strText);
// A question with Reload (true), Overwrite (false) and Cancel (nothing), fitted to its title.
std::optional<bool> AskReloadOrOverwrite(QWidget* pParent, const QString& strTitle, const QString& strText);

} // namespace lanwick
