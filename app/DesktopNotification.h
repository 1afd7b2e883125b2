#pragma once

#include <QString>
#include <functional>

class QDBusConnection;
class QObject;

// Hands a message to the desktop's notification service (org.freedesktop.Notifications) on bus,
// with the program's name and sun icon. Returns at once. When no service takes the message (none
// on the bus, no bus, or no answer in time), whenUnanswered runs later on context's thread, unless
// context is gone by then.
void SendNotification(const QDBusConnection& bus, const QString& summary, const QString& body,
                      QObject* context, std::function<void()> whenUnanswered);
