#include "import/ui/progress_advanced.h"

#include "app/prompter.h"
#include "import/ui/wizard.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

QPointer<studyimport::TProgressAdvancedForm> ProgressAdvancedForm;
QPointer<studyimport::ExtractDICOMFrames> ExtractionThread;

namespace studyimport {

ExtractionBackend& CurrentExtractionBackend()
{
    static ExtractionBackend backend;
    return backend;
}

void FinishExtractionBeforeQuit()
{
    QPointer<ExtractDICOMFrames> worker = ExtractionThread;
    if (!worker)
        return;
    worker->RequestStop();
    // Never block on a worker that may be blocked on this thread: serve its calls meanwhile.
    while (worker && worker->isRunning()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (worker)
            worker->wait(10);
    }
}

// ---- worker ---------------------------------------------------------------------------
ExtractDICOMFrames::ExtractDICOMFrames(std::int32_t frameCount, const QString& dicomPath,
                                       const QString& outputFolder, const QString& seriesName, TWizardForm* wizard)
    : FrameCount(frameCount), DicomPath(dicomPath), OutputFolder(outputFolder), SeriesName(seriesName),
      wizard_(wizard)
{
    // The thread's name as debuggers and `top -H` show it (Linux keeps 15 characters).
    setObjectName(QStringLiteral("threadExtractDI"));
    connect(this, &QThread::finished, this, &QObject::deleteLater); // frees itself
}

ExtractDICOMFrames::~ExtractDICOMFrames() = default;

void ExtractDICOMFrames::RequestStop()
{
    stop_.store(true);
    if (FrameExtractor* e = extractor_.load())
        e->RequestStop();
}

void ExtractDICOMFrames::run()
{
    int written = 0;
    QString error;
    QString warning;
    try {
        const ExtractionBackend backend = CurrentExtractionBackend();
        FrameExtractor extractor(backend.openSource(DicomPath.toStdString()), backend.newWriter(),
                                 OutputFolder.toStdString(), SeriesName.toStdString());
        extractor_.store(&extractor);
        if (stop_.load())
            extractor.RequestStop();
        FrameExtractor::Callbacks callbacks;
        callbacks.progress = [this](std::int32_t i) {
            FrameIndex = i;
            QMetaObject::invokeMethod(this, "SyncProgress", Qt::BlockingQueuedConnection);
        };
        try {
            written = extractor.Run(callbacks);
        } catch (...) {
            extractor_.store(nullptr);
            throw;
        }
        extractor_.store(nullptr);
        warning = QString::fromStdString(DamagedFramesWarning(extractor.DamagedFrames()));
    } catch (const std::exception& e) {
        // A failure to read the recording names the file and what is wrong with it; the
        // other failures (writing the frame files) say so themselves.
        error = IsDicomToolkitFailure(std::current_exception())
                    ? FileFailureText(DicomPath, std::current_exception())
                    : QString::fromStdString(e.what());
        if (error.isEmpty())
            error = QStringLiteral("unknown failure");
    }
    QMetaObject::invokeMethod(this, "SyncFinished", Qt::BlockingQueuedConnection, Q_ARG(int, written),
                              Q_ARG(QString, error), Q_ARG(QString, warning));
    QMetaObject::invokeMethod(this, "SyncCloseProgress", Qt::BlockingQueuedConnection);
}

void ExtractDICOMFrames::SyncProgress()
{
    if (!ProgressAdvancedForm)
        return;
    ProgressAdvancedForm->cxLabel1->setText(QStringLiteral("Extracting frames: ") + QString::number(FrameIndex) +
                                            QStringLiteral(" of ") + QString::number(FrameCount));
    // The bar shows the frames already written, the same count as the label, so its
    // percentage agrees with "i of N".
    ProgressAdvancedForm->cxProgressBar1->setValue(FrameIndex);
    ProgressAdvancedForm->repaint();
}

void ExtractDICOMFrames::SyncFinished(int written, const QString& error, const QString& warning)
{
    if (wizard_)
        wizard_->ExtractionFinished(SeriesName, written, error, warning);
}

void ExtractDICOMFrames::SyncCloseProgress()
{
    if (ProgressAdvancedForm)
        ProgressAdvancedForm->close();
    if (ExtractionThread == this)
        ExtractionThread = nullptr;
}

// ---- progress window ------------------------------------------------------------------
TProgressAdvancedForm::TProgressAdvancedForm(QWidget* owner)
    : QWidget(owner, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("ProgressAdvancedForm"));
    setWindowTitle(QStringLiteral("DICOM frame extraction"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    auto* layout = new QVBoxLayout(this);
    cxLabel1 = new QLabel(QStringLiteral("Progress"), this);
    cxProgressBar1 = new QProgressBar(this);
    cxProgressBar1->setRange(0, 100);
    cxProgressBar1->setValue(0);
    cxButton1 = new QPushButton(QStringLiteral("Cancel"), this);
    layout->addWidget(cxLabel1);
    layout->addWidget(cxProgressBar1);
    layout->addWidget(cxButton1, 0, Qt::AlignHCenter);
    setFixedSize(360, 120);
    connect(cxButton1, &QPushButton::clicked, this, &TProgressAdvancedForm::cxButton1Click);
}

TProgressAdvancedForm::~TProgressAdvancedForm() = default;

void TProgressAdvancedForm::SetExtractionSource(const QString& dicomPath, const QString& outputFolder,
                                                const QString& seriesName)
{
    DicomPath = dicomPath;
    OutputFolder = outputFolder;
    SeriesName = seriesName;
}

void TProgressAdvancedForm::StartExtraction()
{
    cxLabel1->setText(QStringLiteral("Extracting frames: 1 of") + QString::number(FrameCount));
    cxProgressBar1->setMaximum(std::max(1, FrameCount));
    static const bool quitHook = [] {
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp, &FinishExtractionBeforeQuit);
        return true;
    }();
    (void)quitHook;
    // The wizard that owns this window gets the extracted frames.
    auto* worker = new ExtractDICOMFrames(FrameCount, DicomPath, OutputFolder, SeriesName,
                                          qobject_cast<TWizardForm*>(parentWidget()));
    ExtractionThread = worker;
    worker->start(QThread::LowestPriority);
}

void TProgressAdvancedForm::cxButton1Click()
{
    if (Prompt().AskYesNo(QStringLiteral("Do you want to cancel frame extraction?")))
        close();
}

void TProgressAdvancedForm::closeEvent(QCloseEvent* e)
{
    // FormClose: the worker stops before its next frame; the window is freed.
    if (ExtractionThread)
        ExtractionThread->RequestStop();
    e->accept();
    if (ProgressAdvancedForm == this)
        ProgressAdvancedForm = nullptr;
}

} // namespace studyimport
