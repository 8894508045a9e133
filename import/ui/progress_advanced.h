#pragma once
// The progress window of a DICOM frame extraction ("DICOM frame extraction") and the
// worker thread that extracts the frames (threadDICOM).
//
// The worker runs a FrameExtractor at the lowest priority. It reaches the windows only
// through blocking calls into the main thread (a progress update before each frame, the
// hand-over to the wizard at the end, the closing of this window). Closing this window
// (its Cancel) asks the worker to stop before its next frame. The wizard refuses to close
// while this window exists, so the main thread never waits for a worker that waits for it.
#include "import/core/frame_extractor.h"

#include <QPointer>
#include <QString>
#include <QThread>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace studyimport {

class TWizardForm;

// Where the worker gets its frames and writes its files (tests replace them).
struct ExtractionBackend {
    std::function<std::unique_ptr<FrameSource>(const std::string& dicomPath)> openSource = OpenDicomFrameSource;
    std::function<std::unique_ptr<FrameFileWriter>()> newWriter = NewBaselineJpegWriter;
};
ExtractionBackend& CurrentExtractionBackend();

// At shutdown: asks a running worker to stop and keeps the main thread's events going
// until it has ended (it may be waiting for the main thread), so no worker outlives the
// windows it reports to. Runs by itself when the application is about to quit.
void FinishExtractionBeforeQuit();

class ExtractDICOMFrames : public QThread {
    Q_OBJECT
public:
    // `wizard` gets the result at the end (nothing when it has gone by then).
    ExtractDICOMFrames(std::int32_t frameCount, const QString& dicomPath, const QString& outputFolder,
                       const QString& seriesName, TWizardForm* wizard);
    ~ExtractDICOMFrames() override;

    std::int32_t FrameIndex = 0;
    std::int32_t FrameCount = 0;
    QString DicomPath;
    QString OutputFolder;
    QString SeriesName;

    // Asks the worker to stop before its next frame (main thread).
    void RequestStop();

protected:
    void run() override; // Execute

private:
    // Main thread, called by the worker and waited for.
    Q_INVOKABLE void SyncProgress();
    Q_INVOKABLE void SyncFinished(int written, const QString& error, const QString& warning);
    Q_INVOKABLE void SyncCloseProgress();

    std::atomic<bool> stop_{false};
    std::atomic<FrameExtractor*> extractor_{nullptr};
    QPointer<TWizardForm> wizard_;
};

class TProgressAdvancedForm : public QWidget {
    Q_OBJECT
public:
    explicit TProgressAdvancedForm(QWidget* owner = nullptr);
    ~TProgressAdvancedForm() override;

    QLabel* cxLabel1 = nullptr;
    QProgressBar* cxProgressBar1 = nullptr;
    QPushButton* cxButton1 = nullptr; // "Cancel"

    std::int32_t FrameCount = 0;
    QString DicomPath;
    QString OutputFolder;
    QString SeriesName;

    void SetExtractionFrameCount(std::int32_t frameCount) { FrameCount = frameCount; }
    void SetExtractionSource(const QString& dicomPath, const QString& outputFolder, const QString& seriesName);
    void StartExtraction();

public slots:
    void cxButton1Click();

protected:
    void closeEvent(QCloseEvent* e) override;
};

} // namespace studyimport

extern QPointer<studyimport::TProgressAdvancedForm> ProgressAdvancedForm;
extern QPointer<studyimport::ExtractDICOMFrames> ExtractionThread;
