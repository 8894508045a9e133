// DICOM recordings imported through the wizard's pages: the header question, the worker
// thread with its progress window, the hand-over to the player, cancel and failures.
#include "app/child_form.h"
#include "app/data.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "app/paths.h"
#include "import/ui/end_diastolic_box.h"
#include "import/ui/player_frame.h"
#include "import/ui/player_image_view.h"
#include "import/ui/progress_advanced.h"
#include "import/ui/wizard.h"
#include "ui_test_support.h"
#include "support/test_workstation.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

using namespace studyimport;
using studyimport::testing::PromptRecorder;
using K = Prompter::Kind;

namespace {

QString Fixture(const char* name) { return QStringLiteral(KESTROVA_TEST_DATA "/import/dicom/") + name; }

// Records the progress window's last text and bar position when it goes away.
class ProgressAdvancedWatcher : public QObject {
public:
    ProgressAdvancedWatcher() { qApp->installEventFilter(this); }
    ~ProgressAdvancedWatcher() override { qApp->removeEventFilter(this); }
    QStringList shownTexts;
    QString lastText;
    int lastValue = -1;
    int maximum = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* form = qobject_cast<TProgressAdvancedForm*>(watched);
        if (form && event->type() == QEvent::Show)
            shownTexts << form->windowTitle();
        if (form && (event->type() == QEvent::Hide || event->type() == QEvent::Close)) {
            lastText = form->cxLabel1->text();
            lastValue = form->cxProgressBar1->value();
            maximum = form->cxProgressBar1->maximum();
        }
        return false;
    }
};

class DicomImportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root_.isValid());
        BeginTestWorkstation(root_.path(), runtime_.path(), nullptr);
        saved_ = CurrentExtractionBackend();
        dm = new Tdm;
        ChildWindowRegistry registry;
        registry.Register(ChildWindow::Wizard, CreateWizardForm);
        for (auto k : {ChildWindow::IVUS, ChildWindow::ANGIO, ChildWindow::Graphs, ChildWindow::Viewer3D})
            registry.Register(k, [](const WindowContext&) { return new TChildForm("Child", "Child", {100, 100}); });
        new TMainForm(registry);
        MainForm->show();
        ASSERT_TRUE(dm->MyEmbConnection1.Connected());
        MainForm->dxBarLargeButton7Click();
        w_ = qobject_cast<TWizardForm*>(WizardForm.data());
        ASSERT_TRUE(w_);
        w_->cxDBTextEdit1->setText("31");
        w_->cxDBImageComboBox1->setCurrentIndex(2);
        w_->cxDBDateEdit1->setText("1970-01-01");
        w_->cxButton1->click();
        ASSERT_EQ(w_->CurrentPage(), 1);
    }

    void TearDown() override
    {
        WaitForExtraction();
        CurrentExtractionBackend() = saved_;
        if (WizardForm)
            WizardForm->close();
        EndTestWorkstation();
    }

    // Runs the event loop until the extraction has handed over and its worker is gone.
    static void WaitForExtraction()
    {
        QElapsedTimer t;
        t.start();
        while ((ProgressAdvancedForm || ExtractionThread) && t.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(ProgressAdvancedForm.isNull());
        EXPECT_TRUE(ExtractionThread.isNull());
    }

    void Browse(int series, const QString& file)
    {
        w_->ChooseDicomFile = [file](QWidget*) { return file; };
        w_->Page(series).dicomBrowse->click();
    }

    static int Files(const QString& series)
    {
        return QDir(TWizardForm::WorkingFolder(series)).entryList({"*.jpg"}, QDir::Files).size();
    }

    bool NavigationEnabled() const { return w_->cxButton1->isEnabled() && w_->cxButton2->isEnabled(); }

    QTemporaryDir root_;
    QTemporaryDir runtime_;
    PromptRecorder prompts_;
    ExtractionBackend saved_;
    TWizardForm* w_ = nullptr;
};

TEST_F(DicomImportTest, YesExtractsEveryFrameOnTheWorkerAndHandsThemToThePlayer)
{
    ProgressAdvancedWatcher watcher;
    prompts_.answers = {true};
    Browse(0, Fixture("grey8_smooth.dcm"));

    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].kind, K::YesNo);
    EXPECT_EQ(prompts_.messages[0].text,
              "The selected DICOM file contains 3 frames\n"
              "Patient's name as stated in DICOM info is: Doe^John\n"
              "Patient's birthdate as stated in DICOM info is: 1960-05-17\n"
              "Pixel spacing as stated in DICOM info is: 0.25\n"
              "Positioner primary angle as stated in DICOM info is: -30.5\n"
              "Do you want to proceed with frames extraction?");
    // While the worker runs: one extraction at a time, and the wizard stays open.
    ASSERT_TRUE(ProgressAdvancedForm);
    EXPECT_EQ(ProgressAdvancedForm->windowTitle(), "DICOM frame extraction");
    EXPECT_EQ(ProgressAdvancedForm->cxLabel1->text(), "Extracting frames: 1 of3");
    for (int s = 0; s < 3; ++s) {
        EXPECT_FALSE(w_->Page(s).dicomBrowse->isEnabled());
        EXPECT_FALSE(w_->Page(s).folderBrowse->isEnabled());
    }
    EXPECT_FALSE(NavigationEnabled());
    w_->close();
    EXPECT_EQ(WizardForm.data(), w_);
    EXPECT_EQ(prompts_.messages.back().text, "Frame extraction is in progress.");

    WaitForExtraction();
    EXPECT_EQ(watcher.lastValue, 3);
    EXPECT_EQ(watcher.maximum, 3);
    EXPECT_EQ(Files("LAO"), 3);
    EXPECT_EQ(w_->PlayerFrame1->FrameCount(), 3);
    EXPECT_TRUE(w_->PlayerFrame1->isEnabled());
    EXPECT_TRUE(w_->PlayerFrame1->Timer1->isActive()); // playing
    EXPECT_TRUE(NavigationEnabled());
    EXPECT_TRUE(w_->Page(1).dicomBrowse->isEnabled());
    EXPECT_EQ(w_->DicomPixelSpacing, 0.0); // an angiographic spacing is never the IVUS one
    // The recording's angle is shown in green on the player's text layer.
    ASSERT_TRUE(w_->PlayerFrame1->TextLayer());
    const QImage& text = w_->PlayerFrame1->TextLayer()->bitmap;
    bool green = false;
    for (int y = 10; y < 30 && !green; ++y)
        for (int x = 10; x < 150 && !green; ++x)
            green = text.pixel(x, y) == 0xFF00FF00u;
    EXPECT_TRUE(green);
}

TEST_F(DicomImportTest, NoKeepsNothingAndNavigationStaysOff)
{
    prompts_.answers = {true};
    Browse(0, Fixture("single_frame.dcm"));
    WaitForExtraction();
    ASSERT_EQ(w_->PlayerFrame1->FrameCount(), 1);

    prompts_.Clear();
    prompts_.answers = {false};
    Browse(0, Fixture("grey8_noisy.dcm"));
    ASSERT_EQ(prompts_.messages.size(), 1u);
    // No spacing and no angle: their lines are left out.
    EXPECT_EQ(prompts_.messages[0].text,
              "The selected DICOM file contains 3 frames\n"
              "Patient's name as stated in DICOM info is: Roe^Jane\n"
              "Patient's birthdate as stated in DICOM info is: 1971-02-03\n"
              "Do you want to proceed with frames extraction?");
    EXPECT_TRUE(ProgressAdvancedForm.isNull());
    EXPECT_EQ(Files("LAO"), 0);
    EXPECT_EQ(w_->PlayerFrame1->FrameCount(), 0);
    // The page has no recording now: Next and Previous wait for frames.
    EXPECT_FALSE(NavigationEnabled());
}

TEST_F(DicomImportTest, FilesThatCannotBeReadAreReportedBeforeTheQuestion)
{
    for (const QString& file : {Fixture("grey8_jpegls.dcm"), Fixture("missing.dcm")}) {
        SCOPED_TRACE(file.toStdString());
        prompts_.Clear();
        Browse(0, file);
        ASSERT_EQ(prompts_.messages.size(), 1u);
        EXPECT_EQ(prompts_.messages[0].kind, K::ErrorDialog);
        EXPECT_TRUE(ProgressAdvancedForm.isNull());
        EXPECT_FALSE(NavigationEnabled());
        EXPECT_EQ(w_->PlayerFrame1->FrameCount(), 0);
    }
}

namespace {

// A small DICOM file of explicit-VR elements (low byte first) after the meta group.
QByteArray Element(quint16 group, quint16 element, const char* vr, QByteArray value)
{
    if (value.size() % 2)
        value.append(QByteArrayView(vr) == "UI" || QByteArrayView(vr) == "OB" ? '\0' : ' ');
    const auto le = [](quint32 v, int bytes) {
        QByteArray b;
        for (int i = 0; i < bytes; ++i)
            b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
        return b;
    };
    const bool longForm = QByteArrayView(vr) == "OB" || QByteArrayView(vr) == "OF";
    return le(group, 2) + le(element, 2) + vr + (longForm ? le(0, 2) + le(value.size(), 4) : le(value.size(), 2)) +
           value;
}

QByteArray DicomBytes(const char* transferSyntax, const QByteArray& body)
{
    return QByteArray(128, '\0') + "DICM" + Element(0x0002, 0x0010, "UI", transferSyntax) + body;
}

QByteArray FrameHeader()
{
    const auto us = [](quint16 e, quint16 v) {
        return Element(0x0028, e, "US", QByteArray(1, static_cast<char>(v)) + QByteArray(1, '\0'));
    };
    return Element(0x0010, 0x0010, "PN", "Doe^John") + us(0x0002, 1) + Element(0x0028, 0x0004, "CS", "MONOCHROME2") +
           Element(0x0028, 0x0008, "IS", "2") + us(0x0010, 4) + us(0x0011, 4) + us(0x0100, 8) + us(0x0101, 8) +
           us(0x0102, 7);
}

} // namespace

// Files the reader refuses reach the user as the file's name and what is wrong with it,
// with the reader's own text as a detail line, before any question.
TEST_F(DicomImportTest, UnreadableFilesAreNamedWithWhatIsWrong)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return dir.filePath(name);
    };
    const QByteArray good = DicomBytes("1.2.840.10008.1.2.1", FrameHeader() + Element(0x7FE0, 0x0010, "OB", QByteArray(32, 'x')));
    QByteArray floats(128, '\0');
    QDir(dir.path()).mkdir("folder.dcm");
    struct Case {
        QString path;
        QString text;
    };
    const Case cases[] = {
        {write("notes.dcm", "hello, this is not DICOM\n"),
         "The file \"notes.dcm\" is not a DICOM file.\nDetail: Attempt to read past the end of the file"},
        {write("letter.dcm", QByteArray("a letter of some length\n").repeated(20)),
         "The file \"letter.dcm\" is not a DICOM file.\nDetail: none of the codecs recognized the file format"},
        {write("cut.dcm", good.left(good.size() - 10)),
         "The file \"cut.dcm\" is incomplete: it ends before its last value.\nDetail: Attempt to read past the end of the file"},
        {write("deflated.dcm", DicomBytes("1.2.840.10008.1.2.1.99", QByteArray::fromHex("63606060f8ff9f81c1c8d8c4d2cadecd"))),
         "The file \"deflated.dcm\" uses a compression this workstation does not read (deflate).\n"
         "Detail: transfer syntax 1.2.840.10008.1.2.1.99 (dicomCodec::readTag detected a corrupted tag)"},
        {write("float.dcm", DicomBytes("1.2.840.10008.1.2.1", FrameHeader() + Element(0x7FE0, 0x0008, "OF", floats))),
         "The file \"float.dcm\" cannot be imported: The file holds floating-point pixel data, which this "
         "workstation does not read"},
        {dir.filePath("folder.dcm"), "The file \"folder.dcm\" is a folder, not a file.\nDetail: stream::read failure"},
        {dir.filePath("missing.dcm"), "The file \"missing.dcm\" cannot be found.\nDetail: stream::openFile failure"},
        {Fixture("grey8_jpegls.dcm"),
         "The file \"grey8_jpegls.dcm\" uses a compression this workstation does not read (JPEG-LS).\n"
         "Detail: transfer syntax 1.2.840.10008.1.2.4.80"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        prompts_.Clear();
        Browse(0, c.path);
        ASSERT_EQ(prompts_.messages.size(), 1u);
        EXPECT_EQ(prompts_.messages[0].kind, K::ErrorDialog);
        EXPECT_EQ(prompts_.messages[0].text, c.text);
        EXPECT_TRUE(ProgressAdvancedForm.isNull());
        EXPECT_FALSE(NavigationEnabled()); // no recording on the page
    }
}

// An empty number of frames: the frames of the pixel data are extracted, and the user is
// told so before the question.
TEST_F(DicomImportTest, AnEmptyFrameCountIsSaidBeforeTheQuestion)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QByteArray header = FrameHeader();
    header.replace(Element(0x0028, 0x0008, "IS", "2"), Element(0x0028, 0x0008, "IS", ""));
    const QString path = dir.filePath("empty.dcm");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(DicomBytes("1.2.840.10008.1.2.1", header + Element(0x7FE0, 0x0010, "OB", QByteArray(48, 'x'))));
    }
    prompts_.answers = {true};
    Browse(0, path);
    WaitForExtraction();
    ASSERT_GE(prompts_.messages.size(), 2u);
    EXPECT_EQ(prompts_.messages[0].kind, K::Warning);
    EXPECT_EQ(prompts_.messages[0].text, "The number of frames (0028,0008) of the file is empty: the 3 frames that "
                                         "its pixel data of 48 bytes hold are extracted.");
    EXPECT_EQ(prompts_.messages[1].kind, K::YesNo);
    EXPECT_TRUE(prompts_.messages[1].text.startsWith("The selected DICOM file contains 3 frames\n"));
    EXPECT_EQ(Files("LAO"), 3);
    EXPECT_EQ(w_->PlayerFrame1->FrameCount(), 3);
}

// Frames the JPEG decoder does not read fail in the worker; the user learns which
// compression it is.
TEST_F(DicomImportTest, UnreadJpegProcessesAreNamedAfterTheQuestion)
{
    struct Case {
        const char* file;
        const char* kind;
    };
    for (const Case c : {Case{"grey8_progressive.dcm", "progressive JPEG"}, Case{"grey8_arithmetic.dcm", "arithmetic-coded JPEG"}}) {
        SCOPED_TRACE(c.file);
        prompts_.Clear();
        prompts_.answers = {true};
        Browse(0, Fixture(c.file));
        WaitForExtraction();
        ASSERT_EQ(prompts_.messages.size(), 2u);
        EXPECT_EQ(prompts_.messages[1].kind, K::Error);
        const QString text = prompts_.messages[1].text;
        EXPECT_TRUE(text.startsWith(QStringLiteral("Frame extraction failed: The file \"") + c.file +
                                    "\" uses a compression this workstation does not read (" + c.kind + ").\nDetail: "))
            << text.toStdString();
        EXPECT_EQ(Files("LAO"), 0);
        EXPECT_FALSE(NavigationEnabled()); // no recording on the page
    }
}

TEST_F(DicomImportTest, CancelKeepsTheFramesWrittenAndThePlayerCountsThem)
{
    // The user cancels while frame 1 is being read; that frame is still completed.
    CurrentExtractionBackend().openSource = [](const std::string& path) {
        struct CancellingSource : FrameSource {
            std::unique_ptr<FrameSource> inner;
            std::optional<RawFrame> ReadFrame(std::int32_t i) override
            {
                if (i == 1)
                    QMetaObject::invokeMethod(
                        qApp, [] { ProgressAdvancedForm->cxButton1->click(); }, Qt::BlockingQueuedConnection);
                return inner->ReadFrame(i);
            }
        };
        auto s = std::make_unique<CancellingSource>();
        s->inner = OpenDicomFrameSource(path);
        return s;
    };
    prompts_.answers = {true, true}; // extract; cancel
    Browse(1, Fixture("grey8_noisy.dcm"));
    WaitForExtraction();
    ASSERT_EQ(prompts_.messages.size(), 2u);
    EXPECT_EQ(prompts_.messages[1].text, "Do you want to cancel frame extraction?");
    EXPECT_EQ(Files("RAO"), 2);
    EXPECT_EQ(w_->PlayerFrame2->FrameCount(), 2);
    EXPECT_TRUE(NavigationEnabled());
}

// The bar and its label tell the same count: "Extracting frames: i of N" beside i / N of
// the bar while frame i is read, and the full bar once every frame is written.
TEST_F(DicomImportTest, TheBarAgreesWithTheFrameCountOfItsLabel)
{
    static QStringList seen;
    seen.clear();
    CurrentExtractionBackend().openSource = [](const std::string& path) {
        struct WatchedSource : FrameSource {
            std::unique_ptr<FrameSource> inner;
            std::optional<RawFrame> ReadFrame(std::int32_t i) override
            {
                QMetaObject::invokeMethod(
                    qApp,
                    [] {
                        if (ProgressAdvancedForm)
                            seen << ProgressAdvancedForm->cxLabel1->text() + QStringLiteral(" | ") +
                                        QString::number(ProgressAdvancedForm->cxProgressBar1->value()) +
                                        QStringLiteral("/") +
                                        QString::number(ProgressAdvancedForm->cxProgressBar1->maximum());
                    },
                    Qt::BlockingQueuedConnection);
                return inner->ReadFrame(i);
            }
        };
        auto s = std::make_unique<WatchedSource>();
        s->inner = OpenDicomFrameSource(path);
        return s;
    };
    ProgressAdvancedWatcher watcher;
    prompts_.answers = {true};
    Browse(0, Fixture("grey8_noisy.dcm"));
    WaitForExtraction();
    EXPECT_EQ(seen.join(QLatin1Char('\n')).toStdString(),
              "Extracting frames: 0 of 3 | 0/3\nExtracting frames: 1 of 3 | 1/3\n"
              "Extracting frames: 2 of 3 | 2/3\nExtracting frames: 3 of 3 | 3/3");
    EXPECT_EQ(watcher.lastValue, 3);
    EXPECT_EQ(watcher.maximum, 3);
}

TEST_F(DicomImportTest, ShutdownStopsARunningWorkerWithoutDeadlock)
{
    // A worker that is between frames (waiting for its progress call) when the program quits.
    prompts_.answers = {true};
    Browse(0, Fixture("grey8_noisy.dcm"));
    ASSERT_TRUE(ExtractionThread);
    QPointer<ExtractDICOMFrames> worker = ExtractionThread;
    FinishExtractionBeforeQuit();
    EXPECT_TRUE(worker.isNull() || worker->isFinished());
    WaitForExtraction();
    EXPECT_LT(Files("LAO"), 3);
}

TEST_F(DicomImportTest, AWorkerFailureIsReportedAndThePageStartsOver)
{
    CurrentExtractionBackend().newWriter = [] {
        struct FailingWriter : FrameFileWriter {
            std::unique_ptr<FrameFileWriter> inner = NewBaselineJpegWriter();
            int n = 0;
            void Write(const Frame8& f, const std::string& path) override
            {
                if (n++ == 1)
                    throw DicomImportError("No space left on device");
                inner->Write(f, path);
            }
        };
        return std::unique_ptr<FrameFileWriter>(new FailingWriter);
    };
    w_->cxButton1->click();
    w_->cxButton1->click(); // IVUS page
    prompts_.answers = {true};
    Browse(2, Fixture("grey8_smooth.dcm"));
    WaitForExtraction();
    ASSERT_EQ(prompts_.messages.size(), 2u);
    EXPECT_EQ(prompts_.messages[1].kind, K::Error);
    EXPECT_EQ(prompts_.messages[1].text, "Frame extraction failed: No space left on device");
    EXPECT_EQ(Files("IVUS"), 0);
    EXPECT_EQ(w_->PlayerFrame3->FrameCount(), 0);
    EXPECT_EQ(w_->IvusFrameCount, 0);
    EXPECT_FALSE(NavigationEnabled()); // no recording on the page
    EXPECT_TRUE(w_->Page(2).dicomBrowse->isEnabled());
}

TEST_F(DicomImportTest, ACardFromDicomRecordingsKeepsTheIvusPixelSpacing)
{
    prompts_.answers = {true};
    Browse(0, Fixture("grey8_big_endian.dcm")); // 0.25 mm: angiographic, not stored
    WaitForExtraction();
    w_->cxButton1->click();
    w_->cxButton1->click();
    prompts_.answers = {true};
    Browse(2, Fixture("grey12_window.dcm")); // no spacing: nothing stored
    WaitForExtraction();
    EXPECT_EQ(w_->IvusFrameCount, 2);
    EXPECT_TRUE(w_->cxGroupBox6->isVisibleTo(w_));
    prompts_.answers = {true};
    Browse(2, Fixture("single_frame.dcm")); // "1\1": 1 mm per pixel
    WaitForExtraction();
    EXPECT_EQ(Files("IVUS"), 1);
    EXPECT_DOUBLE_EQ(w_->DicomPixelSpacing, 1.0);
    w_->PlayerFrame3->SelectFrame(0);
    prompts_.answers = {true};
    w_->cxButton1->click(); // Finish
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(WizardForm.isNull());
    QSqlQuery q(dm->MyEmbConnection1.Database());
    ASSERT_TRUE(q.exec("SELECT pixelSpacing, (SELECT telodiastolic FROM ivus WHERE patientID = 31) FROM patient"));
    ASSERT_TRUE(q.next());
    EXPECT_DOUBLE_EQ(q.value(0).toDouble(), 1.0);
    EXPECT_EQ(q.value(1).toString(), "0 -1");
    EXPECT_EQ(QDir(AppPaths::RecordingDir(31, "LAO")).entryList({"*.jpg"}, QDir::Files).size(), 3);
    EXPECT_EQ(QDir(AppPaths::RecordingDir(31, "IVUS")).entryList({"*.jpg"}, QDir::Files).size(), 1);
    EXPECT_EQ(MainForm->PatientCode, 31);
    EXPECT_EQ(MainForm->LAOFrameCount, 3);
}

} // namespace
