// Opening a file or web address with the desktop's default handler (xdg-open).
//
// A failure is reported in a warning box captioned with the given error caption:
//     Trying to open "<file>"
//     <reason>
// The launcher is injectable: tests install one that records the call and starts nothing.
#pragma once

#include <QString>

#include <functional>

class QWidget;

// Starts the handler for a file or address. Returns true and the process id on success;
// false and the reason on failure.
using ShellLauncher = std::function<bool(const QString& file, const QString& folder, qint64* pid, QString* reason)>;

// Installs a launcher (an empty function: back to the desktop's handler).
void SetShellLauncher(ShellLauncher launcher);

// Opens `file`; returns the process handle (id), or 0 after reporting the failure.
qint64 ExecuteFile(QWidget* owner, const QString& verb, const QString& file, const QString& errorCaption,
                   int showCommand, const QString& parameters, const QString& folder);
// ExecuteFile(the application's window, "open", file, "Error opening URL", 5, "", "").
qint64 ShellOpen(const QString& file);
// ShellOpen, then lets go of the handle.
void ShellOpenDocument(const QString& file);
// Shows the failure message of a shell open.
void ShowShellOpenError(QWidget* owner, const QString& caption, const QString& file, const QString& reason);
