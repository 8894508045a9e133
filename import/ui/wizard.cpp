#include "import/ui/wizard.h"

#include "app/card_store.h"
#include "app/connection.h"
#include "app/data.h"
#include "app/errors.h"
#include "app/paths.h"
#include "study/point_list.h"
#include "app/prompter.h"
#include "import/core/frame_extractor.h"
#include "import/core/study_folders.h"
#include "import/ui/end_diastolic_box.h"
#include "import/ui/folder_import_page.h"
#include "import/ui/player_frame.h"
#include "import/ui/player_image_view.h"
#include "import/ui/progress_advanced.h"

#include <QAction>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QSqlError>
#include <QSqlRecord>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace studyimport {

namespace {

const char* const kHeaders[] = {" Patient general information (step 1 of 4)",
                                " Import LAO ANGIO dicom video (step 2 of 4)",
                                " Import RAO ANGIO dicom video (step 3 of 4)", " Import IVUS dicom video (step 4 of 4)"};

QLabel* Header(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setAutoFillBackground(true);
    l->setStyleSheet(QStringLiteral("QLabel { background: #808080; color: white; font-weight: bold; padding: 3px; }"));
    return l;
}

QString DefaultDicomChooser(QWidget* parent)
{
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Dicom file selection"), AppPaths::Root(),
                                        QStringLiteral("All files (*.*);;Dicom files (*.dcm)"), nullptr);
}

// A number editor that may be left blank: its minimum stands for "no value" and shows as
// an empty box; wiping the text out makes it blank again.
class OptionalNumberBox : public QDoubleSpinBox {
public:
    explicit OptionalNumberBox(QWidget* parent) : QDoubleSpinBox(parent)
    {
        setDecimals(2);
        setRange(-0.01, 100000.0); // one step below 0: the blank
        setSpecialValueText(QStringLiteral(" "));
        setValue(minimum());
    }

protected:
    void fixup(QString& input) const override
    {
        if (input.trimmed().isEmpty())
            input = specialValueText();
        else
            QDoubleSpinBox::fixup(input);
    }
    QValidator::State validate(QString& input, int& pos) const override
    {
        if (input.trimmed().isEmpty())
            return QValidator::Intermediate;
        return QDoubleSpinBox::validate(input, pos);
    }
};

// The value of a blood editor, NULL when it was left blank.
QVariant OptionalNumber(const QDoubleSpinBox* box)
{
    return box->value() <= box->minimum() ? QVariant(QMetaType(QMetaType::Double)) : QVariant(box->value());
}

// Deletes the "*.jpg" files of a working folder, or creates the folder.
void EmptyWorkingFolder(const QString& folder)
{
    QDir dir(folder);
    if (!dir.exists()) {
        QDir().mkpath(folder);
        return;
    }
    for (const QString& f : dir.entryList({QStringLiteral("*.jpg")}, QDir::Files))
        dir.remove(f);
}

} // namespace

QWidget* CreateWizardForm(const WindowContext& context) { return new TWizardForm(context); }

QString TWizardForm::WorkingFolder(const QString& series)
{
    return AppPaths::CacheDir() + QStringLiteral("/tmp/") + series + QLatin1Char('/');
}

TWizardForm::TWizardForm(const WindowContext& context, QWidget* parent)
    : TChildForm(QStringLiteral("WizardForm"), QStringLiteral("New patient wizard"), QSize(1077, 638), parent),
      context_(context)
{
    if (!context_.Data)
        throw DatabaseError("Not connected to the database");
    // Frames an abandoned wizard left behind must not reach this card.
    ClearWorkingFolders(AppPaths::CacheDir().toStdString() + "/tmp");

    ChooseDicomFile = DefaultDicomChooser;
    ChooseImageFolder = studyimport::ChooseImageFolder;

    auto* client = new QWidget(this);
    auto* layout = new QVBoxLayout(client);
    cxPageControl1 = new QStackedWidget(client);
    layout->addWidget(cxPageControl1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cxButton2 = new QPushButton(QStringLiteral("< Previous"), client);
    cxButton1 = new QPushButton(QStringLiteral("Next >"), client);
    cxButton2->setObjectName(QStringLiteral("cxButton2"));
    cxButton1->setObjectName(QStringLiteral("cxButton1"));
    buttons->addWidget(cxButton2);
    buttons->addWidget(cxButton1);
    layout->addLayout(buttons);
    setWidget(client);

    pages_[0].name = QStringLiteral("LAO");
    pages_[1].name = QStringLiteral("RAO");
    pages_[2].name = QStringLiteral("IVUS");

    // The lookups and the new patient row (kept in memory until Finish).
    patients_ = context_.Data->NewPatientsModel();
    patients_->setEditStrategy(QSqlTableModel::OnManualSubmit);
    patients_->setFilter(QStringLiteral("1 = 0"));
    cxPageControl1->addWidget(BuildPatientPage());
    for (int s = 0; s < 3; ++s)
        cxPageControl1->addWidget(BuildSeriesPage(s, QString::fromLatin1(kHeaders[s + 1])));
    PlayerFrame1 = pages_[0].player;
    PlayerFrame2 = pages_[1].player;
    PlayerFrame3 = pages_[2].player;
    PlayerFrame1->setEnabled(false);
    PlayerFrame2->setEnabled(false);
    PlayerFrame3->setEnabled(true);
    cxButton3 = pages_[0].dicomBrowse;
    cxButton4 = pages_[1].dicomBrowse;
    cxButton5 = pages_[2].dicomBrowse;
    cxButton12 = pages_[0].folderBrowse;
    cxButton13 = pages_[1].folderBrowse;
    cxButton14 = pages_[2].folderBrowse;

    connect(cxButton1, &QPushButton::clicked, this, [this] { RunGuarded([this] { cxButton1Click(); }); });
    connect(cxButton2, &QPushButton::clicked, this, [this] { RunGuarded([this] { cxButton2Click(); }); });
    connect(cxButton3, &QPushButton::clicked, this, [this] { RunGuarded([this] { cxButton3Click(); }); });
    connect(cxButton4, &QPushButton::clicked, this, [this] { RunGuarded([this] { cxButton4Click(); }); });
    connect(cxButton5, &QPushButton::clicked, this, [this] { RunGuarded([this] { cxButton5Click(); }); });
    connect(cxButton12, &QPushButton::clicked, this, [this] { RunGuarded([this] { cxButton12Click(); }); });
    connect(cxButton13, &QPushButton::clicked, this, [this] { RunGuarded([this] { cxButton13Click(); }); });
    connect(cxButton14, &QPushButton::clicked, this, [this] { RunGuarded([this] { cxButton14Click(); }); });
    connect(cxDBTextEdit1, &QLineEdit::editingFinished, this, [this] {
        if (cxDBTextEdit1->isModified()) {
            cxDBTextEdit1->setModified(false);
            RunGuarded([this] { cxDBTextEdit1PropertiesValidate(); });
        }
    });

    ShowPage(0);
}

TWizardForm::~TWizardForm() = default;

QWidget* TWizardForm::BuildPatientPage()
{
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    v->addWidget(Header(QString::fromLatin1(kHeaders[0]), page));
    auto* columns = new QHBoxLayout;
    v->addLayout(columns, 1);

    auto bold = [](const QString& t) { return QStringLiteral("<b>") + t + QStringLiteral("</b>"); };
    auto* ident = new QGroupBox(QStringLiteral(" Identification "), page);
    auto* f1 = new QFormLayout(ident);
    cxDBTextEdit1 = new QLineEdit(ident);
    cxDBTextEdit1->setObjectName(QStringLiteral("cxDBTextEdit1"));
    cxDBTextEdit1->setValidator(new QIntValidator(0, 2147483647, cxDBTextEdit1));
    cxDBTextEdit2 = new QLineEdit(ident);
    cxDBTextEdit2->setMaxLength(50);
    cxDBTextEdit3 = new QLineEdit(ident);
    cxDBTextEdit3->setMaxLength(50);
    cxDBImageComboBox1 = new QComboBox(ident);
    cxDBImageComboBox1->addItem(QString(), QString());
    cxDBImageComboBox1->addItem(QStringLiteral("Male"), QStringLiteral("m"));
    cxDBImageComboBox1->addItem(QStringLiteral("Female"), QStringLiteral("f"));
    cxDBDateEdit1 = new QLineEdit(ident);
    cxDBDateEdit1->setPlaceholderText(QStringLiteral("YYYY-MM-DD"));
    cxDBDateEdit1->setInputMask(QString());
    cxDBDateEdit1->setClearButtonEnabled(true);
    f1->addRow(new QLabel(bold(QStringLiteral("Code number*")), ident), cxDBTextEdit1);
    f1->addRow(QStringLiteral("Surname"), cxDBTextEdit2);
    f1->addRow(QStringLiteral("Name"), cxDBTextEdit3);
    f1->addRow(new QLabel(bold(QStringLiteral("Gender*")), ident), cxDBImageComboBox1);
    f1->addRow(new QLabel(bold(QStringLiteral("Birthdate*")), ident), cxDBDateEdit1);
    f1->addRow(new QLabel(QStringLiteral("*mandatory fields"), ident));

    auto* blood = new QGroupBox(QStringLiteral(" Blood measures "), page);
    auto* f2 = new QFormLayout(blood);
    const char* bloodLabels[] = {"Hematocrit", "Glucose", "Urea", "Creatinine", "Triglycerides", "TC", "LDC-C", "HDL-C"};
    for (int i = 0; i < 8; ++i) {
        cxDBSpinEdit[i] = new OptionalNumberBox(blood);
        f2->addRow(QString::fromLatin1(bloodLabels[i]), cxDBSpinEdit[i]);
    }

    auto* extra = new QGroupBox(QStringLiteral(" Extra information "), page);
    auto* f3 = new QFormLayout(extra);
    cxDBMemo1 = new QPlainTextEdit(extra);
    f3->addRow(QStringLiteral("Comments"), cxDBMemo1);
    const char* lookupLabels[] = {"Vessel", "Phase", "Examination", "Intervention"};
    Statement* lookups[] = {&context_.Data->qGetAllVessel, &context_.Data->qGetAllPhase, &context_.Data->qGetAllExamination, &context_.Data->qGetAllIntervention};
    for (int i = 0; i < 4; ++i) {
        cxDBLookupComboBox[i] = new QComboBox(extra);
        FillLookup(cxDBLookupComboBox[i], *lookups[i]);
        f3->addRow(QString::fromLatin1(lookupLabels[i]), cxDBLookupComboBox[i]);
    }

    auto* left = new QVBoxLayout;
    left->addWidget(ident);
    left->addWidget(blood);
    columns->addLayout(left, 1);
    columns->addWidget(extra, 1);
    return page;
}

void TWizardForm::FillLookup(QComboBox* box, Statement& query)
{
    box->addItem(QString(), QVariant());
    query.Open();
    try {
        for (query.First(); !query.Eof(); query.Next())
            box->addItem(query.FieldByName(QStringLiteral("description")).AsString(),
                         query.FieldByName(QStringLiteral("code")).AsInteger());
    } catch (...) {
        query.Close();
        throw;
    }
    query.Close();
}

QWidget* TWizardForm::BuildSeriesPage(int series, const QString& header)
{
    SeriesPage& p = pages_[series];
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    v->addWidget(Header(header, page));
    auto* grid = new QFormLayout;
    auto row = [&](QLineEdit*& box, QPushButton*& browse) {
        auto* h = new QHBoxLayout;
        box = new QLineEdit(page);
        box->setReadOnly(true);
        browse = new QPushButton(QStringLiteral("Browse..."), page);
        h->addWidget(box, 1);
        h->addWidget(browse);
        return h;
    };
    grid->addRow(QStringLiteral("Dicom file"), row(p.dicomBox, p.dicomBrowse));
    grid->addRow(QStringLiteral("Extract images from folder"), row(p.folderBox, p.folderBrowse));
    v->addLayout(grid);

    auto* content = new QHBoxLayout;
    auto* previewBox = new QGroupBox(QStringLiteral(" Dicom preview "), page);
    auto* pv = new QVBoxLayout(previewBox);
    p.preview = new QTabWidget(previewBox);
    p.player = new TPlayerFrame(p.preview);
    p.preview->addTab(p.player, QStringLiteral("Video mode"));
    p.memo = new QPlainTextEdit; // the hidden "Video Info" tab: nothing fills it
    p.memo->setParent(previewBox);
    p.memo->hide();
    pv->addWidget(p.preview);
    content->addWidget(previewBox, 3);
    if (series == 2) {
        cxGroupBox6 = new TEndDiastolicBox(p.player, page);
        cxGroupBox6->SetFramePrefix(WorkingFolder(p.name) + p.name);
        cxGroupBox6->hide();
        content->addWidget(cxGroupBox6, 2);
    }
    v->addLayout(content, 1);
    return page;
}

int TWizardForm::CurrentPage() const { return cxPageControl1->currentIndex(); }

void TWizardForm::ShowPage(int page)
{
    cxPageControl1->setCurrentIndex(page);
    cxButton2->setVisible(page != 0);
    cxButton1->setText(page == 3 ? QStringLiteral("Finish") : QStringLiteral("Next >"));
}

void TWizardForm::SetNavigationEnabled(bool enabled)
{
    cxButton1->setEnabled(enabled);
    cxButton2->setEnabled(enabled);
}

void TWizardForm::SetBrowseEnabled(bool enabled)
{
    for (SeriesPage& p : pages_) {
        p.dicomBrowse->setEnabled(enabled);
        p.folderBrowse->setEnabled(enabled);
    }
}

bool TWizardForm::cxDBTextEdit1PropertiesValidate()
{
    const QString text = cxDBTextEdit1->text().trimmed();
    if (text.isEmpty())
        return true;
    bool ok = false;
    const int code = text.toInt(&ok);
    // A code that a card, or the leftovers of a deleted card, still use cannot be taken.
    if (ok && !PatientCodeInUse(*context_.Data, code))
        return true;
    Prompt().Error(QStringLiteral("The code number corresponds to another patient"));
    return false;
}

void TWizardForm::cxButton1Click()
{
    const int page = CurrentPage();
    if (page == 0) {
        if (cxDBTextEdit1->text().isEmpty() || cxDBImageComboBox1->currentText().isEmpty() ||
            cxDBDateEdit1->text().trimmed().isEmpty()) {
            Prompt().Warning(QStringLiteral("Please fill all the mandatory fields"));
            return;
        }
        const QDate birth = QDate::fromString(cxDBDateEdit1->text().trimmed(), Qt::ISODate);
        if (!birth.isValid() || birth >= QDate::currentDate()) {
            Prompt().Error(QStringLiteral("Please check birth date"));
            return;
        }
        if (!cxDBTextEdit1PropertiesValidate())
            return;
    } else if (page == 3) {
        Finish();
        return;
    }
    ShowPage(page + 1);
}

void TWizardForm::cxButton2Click()
{
    if (CurrentPage() > 0)
        ShowPage(CurrentPage() - 1);
}

void TWizardForm::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_F4 && CurrentPage() == 3 && IvusFrameCount > 0) {
        PlayerFrame3->dxBarButton3->trigger();
        return;
    }
    TChildForm::keyPressEvent(e);
}

// ---- recordings ----------------------------------------------------------------------
void TWizardForm::BrowseFolder(int series)
{
    SeriesPage& p = pages_[series];
    const bool ivus = series == 2;
    const FolderImportOutcome out =
        BrowseImageFolder(this, p.folderBox, p.player, WorkingFolder(p.name), AppPaths::FramePrefix(p.name), ivus,
                          [this](QWidget* parent) { return ChooseImageFolder ? ChooseImageFolder(parent) : QString(); });
    if (out.cancelled)
        return;
    p.pixelSpacing = 0.0; // the frames no longer come from a DICOM file
    p.angle.clear();
    if (ivus) {
        IvusFrameCount = out.frameCount;
        DicomPixelSpacing = 0.0;
        cxGroupBox6->SetIvusFrameCount(out.frameCount);
        cxGroupBox6->setVisible(out.frameCount > 0);
    }
    // An empty folder leaves Next and Previous as they were (off after a declined or
    // failed DICOM import): the page still has no recording.
    if (out.frameCount > 0)
        SetNavigationEnabled(true);
}

void TWizardForm::BrowseDicom(int series)
{
    SeriesPage& p = pages_[series];
    const QString path = ChooseDicomFile ? ChooseDicomFile(this) : QString();
    if (path.isEmpty())
        return;
    p.dicomBox->setText(QDir::toNativeSeparators(path));
    repaint();
    SetNavigationEnabled(false);
    p.player->setEnabled(false);
    p.player->Timer1->stop();
    if (series != 2)
        p.player->PreparePlayer(false);
    // Next and Previous stay off after a failure or a "No": only frames on the page (the
    // extraction's hand-over or a folder import) bring them back.
    std::int32_t n = 0;
    try {
        n = ImportDicomFile(path, series);
    } catch (...) {
        // Nothing to show: the working folder was emptied and the page still has no
        // recording, so Next and Previous stay off; the user is told what is wrong with the file.
        p.player->ResetPlayer();
        Prompt().ErrorDialog(FileFailureText(path, std::current_exception()));
        return;
    }
    if (n == 0) {
        // Declined: the working folder was emptied, so the player shows nothing.
        p.player->ResetPlayer();
        if (series == 2) {
            IvusFrameCount = 0;
            cxGroupBox6->hide();
        }
    }
}

std::int32_t TWizardForm::ImportDicomFile(const QString& dicomPath, int series)
{
    SeriesPage& p = pages_[series];
    const QString folder = WorkingFolder(p.name);
    EmptyWorkingFolder(folder);
    if (series == 2) {
        IvusFrameCount = 0;
        cxGroupBox6->hide();
    }

    WaitCursor cursor;
    p.pixelSpacing = 0.0;
    p.angle.clear();
    if (series == 2)
        DicomPixelSpacing = 0.0;
    const DicomSummary s = ReadDicomSummary(dicomPath.toStdString());
    p.pixelSpacing = s.pixelSpacing;
    p.angle = QString::fromStdString(s.positionerPrimaryAngle);
    if (series == 2)
        DicomPixelSpacing = s.pixelSpacing;

    QString q = QStringLiteral("The selected DICOM file contains ") + QString::number(s.frameCount) +
                QStringLiteral(" frames\nPatient's name as stated in DICOM info is: ") +
                QString::fromStdString(s.patientName) +
                QStringLiteral("\nPatient's birthdate as stated in DICOM info is: ") +
                QString::fromStdString(s.birthDate) + QStringLiteral("\n");
    if (!s.pixelSpacingText.empty())
        q += QStringLiteral("Pixel spacing as stated in DICOM info is: ") + QString::fromStdString(s.pixelSpacingText) +
             QStringLiteral("\n");
    if (!s.positionerPrimaryAngle.empty())
        q += QStringLiteral("Positioner primary angle as stated in DICOM info is: ") +
             QString::fromStdString(s.positionerPrimaryAngle) + QStringLiteral("\n");
    q += QStringLiteral("Do you want to proceed with frames extraction?");
    cursor.Restore();
    // A frame count other than the one the file states is said before the question.
    if (!s.frameCountWarning.empty())
        Prompt().Warning(QString::fromStdString(s.frameCountWarning));
    if (!Prompt().AskYesNo(q))
        return 0;

    repaint();
    auto* progress = new TProgressAdvancedForm(this);
    ProgressAdvancedForm = progress;
    progress->SetExtractionFrameCount(s.frameCount);
    progress->SetExtractionSource(dicomPath, folder, p.name);
    progress->hide();
    progress->show();
    progress->repaint();
    SetBrowseEnabled(false); // one extraction at a time
    progress->StartExtraction();
    return s.frameCount;
}

void TWizardForm::ExtractionFinished(const QString& seriesName, int written, const QString& error,
                                     const QString& warning)
{
    SetBrowseEnabled(true);
    int series = -1;
    for (int s = 0; s < 3; ++s)
        if (pages_[s].name == seriesName)
            series = s;
    if (series < 0)
        return;
    SeriesPage& p = pages_[series];
    const bool ivus = series == 2;
    if (!error.isEmpty()) {
        // A partial recording is of no use: the page starts over.
        EmptyWorkingFolder(WorkingFolder(p.name));
        written = 0;
    }
    if (written <= 0) {
        p.player->ResetPlayer();
        p.player->setEnabled(ivus);
        if (ivus) {
            IvusFrameCount = 0;
            cxGroupBox6->hide();
        }
    } else {
        // Only the frames written count (a cancel leaves fewer than the file states).
        SetNavigationEnabled(true);
        p.player->SetFrameSource(WorkingFolder(p.name), AppPaths::FramePrefix(p.name), written);
        p.player->ImgView->SetLinearResampling(true);
        p.player->SetFrameRange(written);
        p.player->setEnabled(true);
        if (ivus) {
            IvusFrameCount = written;
            cxGroupBox6->SetIvusFrameCount(written);
            cxGroupBox6->show();
            p.player->PreparePlayer(true);
        } else {
            p.player->ShowFrame(1);
            // The projection of an angiographic recording, as its file states it.
            if (!p.angle.isEmpty())
                p.player->DrawOverlayText(QStringLiteral("Positioner Primary Angle = ") + p.angle, 0xFF00FF00u);
        }
        p.player->dxBarButton2->trigger();
    }
    if (!error.isEmpty())
        Prompt().Error(QStringLiteral("Frame extraction failed: ") + error);
    else if (!warning.isEmpty())
        Prompt().Warning(warning);
}

// ---- Finish -------------------------------------------------------------------------
void TWizardForm::WritePatientRow(int code)
{
    const int row = patients_->rowCount();
    if (!patients_->insertRow(row))
        throw DatabaseError(patients_->lastError().text().toStdString());
    auto set = [&](const char* column, const QVariant& value) {
        const int c = patients_->fieldIndex(QString::fromLatin1(column));
        if (c < 0 || !patients_->setData(patients_->index(row, c), value))
            throw DatabaseError(std::string("Cannot set the patient column ") + column);
    };
    set("code", code);
    set("surname", cxDBTextEdit2->text());
    set("name", cxDBTextEdit3->text());
    set("sex", cxDBImageComboBox1->currentData());
    set("birthdate", QDate::fromString(cxDBDateEdit1->text().trimmed(), Qt::ISODate));
    const char* blood[] = {"hematocrit", "glucose", "urea", "creatinine", "triglycerides", "cholesterol", "LDC-C", "HDL-C"};
    for (int i = 0; i < 8; ++i)
        set(blood[i], OptionalNumber(cxDBSpinEdit[i]));
    set("comment", cxDBMemo1->toPlainText());
    const char* lookups[] = {"vesselId", "phaseId", "examinationId", "interventionId"};
    for (int i = 0; i < 4; ++i)
        set(lookups[i], cxDBLookupComboBox[i]->currentData());
    set("dicomInfoLAO", pages_[0].memo->toPlainText());
    set("dicomInfoRAO", pages_[1].memo->toPlainText());
    set("dicomInfoIVUS", pages_[2].memo->toPlainText());
    if (DicomPixelSpacing > 0.0)
        set("pixelSpacing", DicomPixelSpacing);
    if (!patients_->submitAll())
        throw DatabaseError(patients_->lastError().text().toStdString());
}

void TWizardForm::Finish()
{
    const bool angio = PlayerFrame1->FrameCount() > 0 || PlayerFrame2->FrameCount() > 0;
    const bool ivus = PlayerFrame3->FrameCount() > 0;
    if (context_.Signals)
        emit context_.Signals->recordingsImported(angio, ivus);
    if (!angio && !ivus) {
        close();
        return;
    }
    if (!Prompt().AskOkCancel(QStringLiteral("You have completed the 'new patient card' wizard\nPress OK to save the card")))
        return;

    WaitCursor cursor;
    try {
        const int code = cxDBTextEdit1->text().toInt();
        const QString displayName = cxDBTextEdit3->text() + QLatin1Char(' ') + cxDBTextEdit2->text();

        std::vector<std::uint32_t> list;
        const auto& flags = PlayerFrame3->SelectedFlags();
        for (std::size_t i = 0; i < flags.size(); ++i)
            if (flags[i] == 1)
                list.push_back(static_cast<std::uint32_t>(i));
        if (list.empty() && ivus) {
            cursor.Restore();
            if (context_.Signals)
                emit context_.Signals->endDiastolicListCleared();
            Prompt().Error(QStringLiteral("You have to select at least one end-diastolic frame (or a shifted one)"));
            return;
        }

        // The previous card's analysis windows must not save into the new card.
        if (context_.AnalysisWindowsOpen && context_.AnalysisWindowsOpen()) {
            cursor.Restore();
            if (Prompt().AskYesNo(QStringLiteral("Save the changes of the current card before opening the new one?")))
                context_.SaveCard();
            context_.CloseAnalysisWindows();
        }

        {
            Transaction transaction(context_.Data->MyEmbConnection1);
            if (!list.empty()) {
                context_.Data->qInsertIVUS.Param(QStringLiteral("patientID"), code);
                context_.Data->qInsertIVUS.Param(QStringLiteral("telodiastolic"), QString::fromStdString(PointListText(list)));
                for (const char* c : {"catheterCenterX", "catheterCenterY", "catheterEdgeX", "catheterEdgeY"})
                    context_.Data->qInsertIVUS.Param(QString::fromLatin1(c), 0);
                context_.Data->qInsertIVUS.Execute();
                context_.Data->qInsertIVUS.Close();
            }
            try {
                WritePatientRow(code);
            } catch (...) {
                patients_->revertAll();
                throw;
            }
            transaction.Commit();
        }

        if (context_.Signals)
            emit context_.Signals->patientSelected(code, displayName);
        MoveCacheToPatient(QString::number(code));
        // The stored card as the shell reads it: counts, list, calibration of the new row.
        if (context_.OpenCreatedCard)
            context_.OpenCreatedCard(list);
        cursor.Restore();
    } catch (const std::exception&) {
        context_.Data->qInsertIVUS.Close();
        cursor.Restore();
        Prompt().Error(QStringLiteral("A problem occured while saving card"));
    }
    close();
}

bool TWizardForm::MoveCacheToPatient(const QString& code)
{
    // Nothing of the players may hold the files while they move.
    for (SeriesPage& p : pages_)
        p.player->Timer1->stop();
    const StudyMoveResult r = MoveStudyToPatient(AppPaths::CacheDir().toStdString() + "/tmp",
                                                 AppPaths::PatientDataDir().toStdString(), code.toStdString());
    if (!r.ok) {
        Prompt().Error(QStringLiteral("An error occured while moving files from cache"));
        return false;
    }
    return true;
}

// ---- closing ------------------------------------------------------------------------
bool TWizardForm::FormCloseQuery()
{
    // Also after a cancel, until the worker has finished the frame it was writing.
    if (ProgressAdvancedForm || ExtractionThread) {
        Prompt().Warning(QStringLiteral("Frame extraction is in progress."));
        return false;
    }
    return true;
}

void TWizardForm::FormClose()
{
    for (SeriesPage& p : pages_) {
        p.player->Timer1->stop();
        p.player->FreePlayerLayers();
    }
    if (patients_)
        patients_->revertAll(); // an unsaved row is dropped
    patients_.reset();
}

} // namespace studyimport
