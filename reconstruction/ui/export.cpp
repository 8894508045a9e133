#include "reconstruction/ui/export.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

QPointer<TExportForm> ExportForm;

namespace {

QString DefaultChooseFolder(QWidget* parent, const QString& caption)
{
    return QFileDialog::getExistingDirectory(parent, caption, QString(),
                                             QFileDialog::ShowDirsOnly);
}

std::filesystem::path DefaultProgramFolder()
{
    return std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
}

void DefaultInformation(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, QApplication::applicationName(), text);
}

void DefaultError(QWidget* parent, const QString& text)
{
    QMessageBox::critical(parent, QApplication::applicationName(), text);
}

// Shows the hourglass until restored or destroyed.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { restore(); }
    void restore()
    {
        if (active_) {
            QApplication::restoreOverrideCursor();
            active_ = false;
        }
    }

private:
    bool active_ = true;
};

}  // namespace

ExportEnvironment& TExportForm::Environment()
{
    static ExportEnvironment environment{DefaultChooseFolder, nullptr, DefaultProgramFolder,
                                         DefaultInformation, DefaultError};
    return environment;
}

TExportForm::TExportForm(QWidget* owner) : QDialog(owner)
{
    setObjectName("ExportForm");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Export");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(276, 148);

    dxBarManager1Bar1 = new QToolBar("Export", this);
    dxBarManager1Bar1->setObjectName("dxBarManager1Bar1");
    dxBarManager1Bar1->setMovable(false);
    dxBarManager1Bar1->setFloatable(false);
    dxBarManager1Bar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    dxBarManager1Bar1->setContextMenuPolicy(Qt::PreventContextMenu);

    dxBarLargeButton2 = dxBarManager1Bar1->addAction("Export to Rhino3D");
    dxBarLargeButton2->setObjectName("dxBarLargeButton2");
    dxBarLargeButton2->setToolTip("Export to Rhino3D");
    dxBarLargeButton2->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    dxBarLargeButton1 = dxBarManager1Bar1->addAction("Export to XML");
    dxBarLargeButton1->setObjectName("dxBarLargeButton1");
    dxBarLargeButton1->setToolTip("Export to XML");
    dxBarLargeButton1->setIcon(style()->standardIcon(QStyle::SP_FileIcon));
    connect(dxBarLargeButton1, &QAction::triggered, this, &TExportForm::dxBarLargeButton1Click);
    connect(dxBarLargeButton2, &QAction::triggered, this, &TExportForm::dxBarLargeButton2Click);

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

void TExportForm::closeEvent(QCloseEvent* event)
{
    if (ExportForm == this)
        ExportForm = nullptr;
    QDialog::closeEvent(event);
}

void TExportForm::done(int result)
{
    if (ExportForm == this)
        ExportForm = nullptr;
    QDialog::done(result);
}

void TExportForm::Repaint()
{
    update();
    repaint();
}

void TExportForm::RunExport(exports::ExportKind kind)
{
    const ExportEnvironment& env = Environment();
    Repaint();

    const QString folder = env.chooseFolder(this, "Select output folder");
    if (folder.isEmpty())
        return;

    WaitCursor hourglass;
    Repaint();

    exports::ExportOutcome outcome;
    try {
        const exports::CardRows card = env.readCard();
        outcome = exports::RunExport(kind, env.programFolder(),
                                     std::filesystem::path(folder.toStdString()), card);
    } catch (const std::exception& e) {
        hourglass.restore();
        env.error(this, QString::fromStdString(e.what()));
        return;
    }
    hourglass.restore();

    if (!outcome.refusal.empty()) {
        env.error(this, QString::fromStdString(outcome.refusal));
        return;
    }
    const QString summary = QString::fromStdString(exports::SummaryText(kind, outcome));
    if (outcome.allWritten()) {
        env.information(this, summary);
        return;
    }
    QString text = QString::fromStdString(exports::FailureText(outcome));
    bool anyWritten = false;
    for (const exports::FileResult& file : outcome.files)
        anyWritten = anyWritten || file.ok();
    if (anyWritten)
        text = summary + "\n" + text;
    env.error(this, text);
}
