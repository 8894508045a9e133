#include "reconstruction/ui/export.h"

#include "app/data.h"
#include "app/paths.h"
#include "app/prompter.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include <stdexcept>

namespace {

QString ChooseFolder(QWidget* parent, const QString& caption)
{
    return QFileDialog::getExistingDirectory(parent, caption, QString(), QFileDialog::ShowDirsOnly);
}

}  // namespace

ExportFolderBrowser& TExportForm::FolderBrowser()
{
    static ExportFolderBrowser browser = ChooseFolder;
    return browser;
}

QWidget* CreateExportForm(const WindowContext& context)
{
    // Owned by the application (no parent), centred on the desktop.
    return new TExportForm(context);
}

TExportForm::TExportForm(const WindowContext& context, QWidget* owner) : QDialog(owner), context_(context)
{
    setObjectName(QStringLiteral("ExportForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Export"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(276, 148);

    dxBarManager1Bar1 = new QToolBar(QStringLiteral("Export"), this);
    dxBarManager1Bar1->setObjectName(QStringLiteral("dxBarManager1Bar1"));
    dxBarManager1Bar1->setMovable(false);
    dxBarManager1Bar1->setFloatable(false);
    dxBarManager1Bar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    dxBarManager1Bar1->setContextMenuPolicy(Qt::PreventContextMenu);

    dxBarLargeButton2 = dxBarManager1Bar1->addAction(style()->standardIcon(QStyle::SP_DialogSaveButton),
                                                     QStringLiteral("Export to Rhino3D"));
    dxBarLargeButton2->setObjectName(QStringLiteral("dxBarLargeButton2"));
    dxBarLargeButton2->setToolTip(QStringLiteral("Export to Rhino3D"));
    dxBarLargeButton1 = dxBarManager1Bar1->addAction(style()->standardIcon(QStyle::SP_FileIcon),
                                                     QStringLiteral("Export to XML"));
    dxBarLargeButton1->setObjectName(QStringLiteral("dxBarLargeButton1"));
    dxBarLargeButton1->setToolTip(QStringLiteral("Export to XML"));
    connect(dxBarLargeButton1, &QAction::triggered, this, [this] { RunGuarded([this] { dxBarLargeButton1Click(); }); });
    connect(dxBarLargeButton2, &QAction::triggered, this, [this] { RunGuarded([this] { dxBarLargeButton2Click(); }); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(dxBarManager1Bar1);
    layout->addStretch();
}

void TExportForm::dxBarLargeButton1Click()
{
    RunExport(exports::ExportKind::Xml);
}

void TExportForm::dxBarLargeButton2Click()
{
    RunExport(exports::ExportKind::CadScript);
}

void TExportForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TExportForm::Repaint()
{
    update();
    repaint();
}

void TExportForm::RunExport(exports::ExportKind kind)
{
    Repaint();
    const QString folder = FolderBrowser()(this, QStringLiteral("Select output folder"));
    if (folder.isEmpty())
        return;

    WaitCursor hourglass;
    Repaint();
    // Reading the card and composing the files come before any write: a failure there
    // has written nothing, and the message says so.
    exports::ExportOutcome outcome;
    std::vector<std::string> leftOut;
    try {
        if (!context_.Data || !context_.Card)
            throw std::runtime_error("No database connection");
        const exports::CardRows card = ReadExportRows(*context_.Data, *context_.Card);
        leftOut = card.warnings;
        outcome = exports::RunExport(kind, QFile::encodeName(AppPaths::Root()).toStdString(),
                                     QFile::encodeName(folder).toStdString(), card);
    } catch (const std::exception& e) {
        throw std::runtime_error(std::string("Nothing was exported. ") + e.what());
    }
    hourglass.Restore();

    if (!outcome.refusal.empty()) {
        Prompt().Error(QString::fromStdString(outcome.refusal));
        return;
    }
    QString summary = QString::fromStdString(exports::SummaryText(kind, outcome));
    if (!leftOut.empty()) {
        summary += QStringLiteral("\nLeft out of the files:");
        for (const std::string& line : leftOut)
            summary += QStringLiteral("\n- ") + QString::fromStdString(line);
        summary += QLatin1Char('\n');
    }
    if (outcome.allWritten()) {
        if (leftOut.empty())
            Prompt().Info(summary);
        else
            Prompt().Warning(summary);
        return;
    }
    bool anyWritten = false;
    for (const exports::FileResult& file : outcome.files)
        anyWritten = anyWritten || file.ok();
    const QString failures = QString::fromStdString(exports::FailureText(outcome));
    Prompt().Error(anyWritten ? summary + QLatin1Char('\n') + failures : failures);
}
