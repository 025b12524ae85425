#pragma once
// A message in the desktop's notification bubble
// (org.freedesktop.Notifications on the session bus), for what the user must
// know when there is no tray icon to show it beside.
#include <QString>

// Sent without waiting for an answer; false when there is no session bus.
// With no notification service the message is lost, so say it elsewhere too.
bool SendDesktopNotification(const QString& summary, const QString& body);
