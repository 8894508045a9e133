#include "import/ui/folder_import_page.h"

#include "app/prompter.h"
#include "import/core/folder_import.h"
#include "import/ui/player_frame.h"
#include "import/ui/player_image_view.h"
#include "import/ui/progress_window.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTimer>

namespace studyimport {

namespace {

constexpr int kListedFailures = 10;

QString FailureText(const FolderImportResult& result)
{
    QString text = QObject::tr("Some files could not be imported from the folder:");
    int listed = 0;
    for (const FolderImportFailure& f : result.failures) {
        if (listed++ == kListedFailures) {
            text += QObject::tr("\n... and %1 more").arg(result.failures.size() - kListedFailures);
            break;
        }
        text += QStringLiteral("\n") + QString::fromStdString(f.file.filename().string()) +
                QStringLiteral(": ") + QString::fromStdString(f.reason);
    }
    return text;
}

} // namespace

QString ChooseImageFolder(QWidget* parent)
{
    return QFileDialog::getExistingDirectory(
        parent, QObject::tr("Select image folder"),
        QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
}

FolderImportOutcome BrowseImageFolder(QWidget* parent, QLineEdit* folderBox, TPlayerFrame* player,
                                      const QString& workingFolder, const QString& prefix,
                                      bool selectable, const FolderChooser& choose)
{
    FolderImportOutcome outcome;
    const QString folder = choose ? choose(parent) : QString();
    if (folder.isEmpty()) {
        outcome.cancelled = true;
        return outcome;
    }
    if (folderBox)
        folderBox->setText(QDir::toNativeSeparators(folder));

    FolderImportResult result;
    {
        ProgressWindowReporter progress(parent);
        result = ImportImageFolder(QDir(folder).absolutePath().toStdString(),
                                   workingFolder.toStdString(), prefix.toStdString(), &progress);
    }
    outcome.frameCount = result.frameCount;

    if (result.frameCount > 0) {
        QString source = QDir::fromNativeSeparators(workingFolder);
        if (!source.endsWith(QLatin1Char('/')))
            source += QLatin1Char('/');
        player->SetFrameSource(source, prefix, result.frameCount);
        player->ImgView->SetLinearResampling(true);
        player->SetFrameRange(result.frameCount);
        player->setEnabled(true);
        if (selectable)
            player->PreparePlayer(true);
        else
            player->ShowFrame(1);
        player->dxBarButton2->trigger();
    } else {
        // The working folder was emptied: the player must not count the old files.
        player->ResetPlayer();
    }
    player->Timer1->stop();

    if (!result.failures.empty())
        Prompt().Warning(FailureText(result));
    else if (result.frameCount == 0)
        Prompt().Warning(QObject::tr("The folder holds no JPEG images (*.jpg)."));
    return outcome;
}

} // namespace studyimport
