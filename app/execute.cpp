#include "app/execute.h"

#include "app/prompter.h"

#include <QProcess>

namespace {

ShellLauncher g_launcher;

bool DesktopLaunch(const QString& file, const QString& folder, qint64* pid, QString* reason)
{
    QProcess p;
    p.setProgram(QStringLiteral("xdg-open"));
    p.setArguments({file});
    if (!folder.isEmpty())
        p.setWorkingDirectory(folder);
    p.setStandardInputFile(QProcess::nullDevice());
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    if (p.startDetached(pid))
        return true;
    *reason = p.errorString();
    return false;
}

} // namespace

void SetShellLauncher(ShellLauncher launcher) { g_launcher = std::move(launcher); }

qint64 ExecuteFile(QWidget* owner, const QString& verb, const QString& file, const QString& errorCaption,
                   int showCommand, const QString& parameters, const QString& folder)
{
    Q_UNUSED(verb);
    Q_UNUSED(showCommand);
    Q_UNUSED(parameters);
    qint64 pid = 0;
    QString reason;
    const bool ok = g_launcher ? g_launcher(file, folder, &pid, &reason) : DesktopLaunch(file, folder, &pid, &reason);
    if (ok && pid > 0)
        return pid;
    if (ok)
        return 1; // started, the handler did not tell its id
    ShowShellOpenError(owner, errorCaption, file, reason);
    return 0;
}

qint64 ShellOpen(const QString& file)
{
    return ExecuteFile(nullptr, QStringLiteral("open"), file, QStringLiteral("Error opening URL"), 5, QString(), QString());
}

void ShellOpenDocument(const QString& file)
{
    ShellOpen(file); // a detached process needs no handle closed
}

void ShowShellOpenError(QWidget* owner, const QString& caption, const QString& file, const QString& reason)
{
    Q_UNUSED(owner);
    Prompt().Message(caption, QStringLiteral("Trying to open \"") + file + QStringLiteral("\"\r\n") + reason,
                     Prompter::Icon::Warning);
}
