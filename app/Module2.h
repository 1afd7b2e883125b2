#pragma once

#include <QIcon>
#include <QString>
#include <functional>
#include <optional>

class QMenu;
class QWidget;

// The notification-area icon: one icon for the window, which a press on it brings back.
namespace Module2 {

// Mouse message numbers that the icon's activation reasons stand for.
inline constexpr int WM_MOUSEMOVE = 512;
inline constexpr int WM_LBUTTONDOWN = 513;
inline constexpr int WM_LBUTTONDBLCLK = 515;
inline constexpr int WM_RBUTTONDOWN = 516;

// Adds the icon (once) with the tip, and hides the window. Where no notification area exists the
// window stays shown, since nothing could bring it back. Returns whether the window was hidden.
// Tray hosts that show a menu instead of passing a right click on (StatusNotifierItem hosts) get
// one: "Show Nimbrel" brings the window back, "Exit" calls askExit. areaExists says whether a
// notification area exists; nothing asks the platform.
bool AddTrayIcon(const QIcon& icon, const QString& tip, QWidget* window,
                 std::function<void()> askExit, std::optional<bool> areaExists = std::nullopt);
// The icon's menu, for hosts that show one: "Show Nimbrel" and "Exit". Owned by the caller.
QMenu* TrayMenu(QWidget* window, std::function<void()> askExit);
// Removes the icon; no effect when there is none.
void RemoveTrayIcon();
// 513 -> 3, 515 -> 1, 516 -> 2, anything else -> 0.
int DecodeTrayMessage(int message);
// Shows the window, restored if it was minimised, in front.
void ShowFromTray(QWidget* window);

// The mouse message number that an activation reason of the icon stands for.
int MessageForReason(int activationReason);

} // namespace Module2
