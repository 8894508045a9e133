#pragma once
// The new-patient wizard TWizardForm ("New patient wizard", the main window's `WizardForm`):
// an MDI child with four pages: the patient's data, then the LAO, RAO and IVUS
// recordings, each imported from a DICOM file (frames extracted on a worker thread) or a
// folder of JPEG images and shown in a frame player; on the IVUS page the end-diastolic
// frames are chosen by hand or automatically. Finish stores the card (ivus row and
// patient row in one transaction), moves the working folders into the patient's folder
// and makes the new card the open card.
#include "app/child_form.h"
#include "app/window_context.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class PatientsModel;
class Statement;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTabWidget;

namespace studyimport {

class TPlayerFrame;
class TEndDiastolicBox;

class TWizardForm : public TChildForm {
    Q_OBJECT
public:
    // Builds the wizard over the context's data module; Finish makes the new card the
    // context's open card. Throws DatabaseError without a database.
    explicit TWizardForm(const WindowContext& context, QWidget* parent = nullptr);
    ~TWizardForm() override;

    // ---- fields ----
    std::int32_t IvusFrameCount = 0;
    bool PickEcgRowMode = false;
    // Millimetres per pixel stated by the IVUS recording's DICOM file (0 when none); the
    // angiographic recordings' spacings are kept apart and never stored.
    double DicomPixelSpacing = 0.0;

    // ---- one recording page ----
    struct SeriesPage {
        QString name;             // "LAO", "RAO", "IVUS"
        QLineEdit* dicomBox = nullptr;
        QPushButton* dicomBrowse = nullptr;
        QLineEdit* folderBox = nullptr;
        QPushButton* folderBrowse = nullptr;
        QTabWidget* preview = nullptr;
        TPlayerFrame* player = nullptr;
        QPlainTextEdit* memo = nullptr;
        double pixelSpacing = 0.0; // of this page's DICOM file
        QString angle;             // positioner primary angle of this page's DICOM file
    };
    SeriesPage& Page(int series) { return pages_[series]; } // 0 LAO, 1 RAO, 2 IVUS
    // The working folder of a series: "<program folder>/cache/tmp/<series>/".
    static QString WorkingFolder(const QString& series);

    // ---- components ----
    QStackedWidget* cxPageControl1 = nullptr;
    QPushButton* cxButton1 = nullptr; // "Next >" / "Finish"
    QPushButton* cxButton2 = nullptr; // "< Previous"
    QLineEdit* cxDBTextEdit1 = nullptr; // code
    QLineEdit* cxDBTextEdit2 = nullptr; // surname
    QLineEdit* cxDBTextEdit3 = nullptr; // name
    QComboBox* cxDBImageComboBox1 = nullptr; // gender
    QLineEdit* cxDBDateEdit1 = nullptr;      // birth date, YYYY-MM-DD, may be empty
    std::array<QDoubleSpinBox*, 8> cxDBSpinEdit{}; // blood measures
    QPlainTextEdit* cxDBMemo1 = nullptr;
    std::array<QComboBox*, 4> cxDBLookupComboBox{}; // vessel, phase, examination, intervention
    QPushButton* cxButton3 = nullptr; // DICOM Browse LAO
    QPushButton* cxButton4 = nullptr; // RAO
    QPushButton* cxButton5 = nullptr; // IVUS
    QPushButton* cxButton12 = nullptr; // folder Browse LAO
    QPushButton* cxButton13 = nullptr; // RAO
    QPushButton* cxButton14 = nullptr; // IVUS
    TPlayerFrame* PlayerFrame1 = nullptr;
    TPlayerFrame* PlayerFrame2 = nullptr;
    TPlayerFrame* PlayerFrame3 = nullptr;
    TEndDiastolicBox* cxGroupBox6 = nullptr;

    // The file and folder dialogs (tests put their own choosers here).
    std::function<QString(QWidget*)> ChooseDicomFile;
    std::function<QString(QWidget*)> ChooseImageFolder;

    int CurrentPage() const;

    // ---- handlers ----
    void cxButton1Click();
    void cxButton2Click();
    // Checks the code editor's text; false (after the error box) when a card has it.
    bool cxDBTextEdit1PropertiesValidate();
    void cxButton3Click() { BrowseDicom(0); }
    void cxButton4Click() { BrowseDicom(1); }
    void cxButton5Click() { BrowseDicom(2); }
    void cxButton12Click() { BrowseFolder(0); }
    void cxButton13Click() { BrowseFolder(1); }
    void cxButton14Click() { BrowseFolder(2); }
    // Reads the DICOM file's header, asks, and starts the extraction; returns the number
    // of frames on Yes, 0 on No. Throws DicomImportError when the file cannot be read.
    std::int32_t ImportDicomFile(const QString& dicomPath, int series);
    // The hand-over of a finished, cancelled or failed extraction (main thread).
    void ExtractionFinished(const QString& seriesName, int written, const QString& error,
                            const QString& warning = {});
    // Moves the working folders into the patient's folder; false after the error box.
    bool MoveCacheToPatient(const QString& code);

protected:
    bool FormCloseQuery() override;
    void FormClose() override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QWidget* BuildPatientPage();
    QWidget* BuildSeriesPage(int series, const QString& header);
    void FillLookup(QComboBox* box, ::Statement& query);
    void ShowPage(int page);
    void SetNavigationEnabled(bool enabled);
    void SetBrowseEnabled(bool enabled);
    void BrowseDicom(int series);
    void BrowseFolder(int series);
    void Finish();
    void WritePatientRow(int code);

    WindowContext context_;
    std::array<SeriesPage, 3> pages_;
    std::unique_ptr<PatientsModel> patients_;
};

// The factory the main window's New button uses.
QWidget* CreateWizardForm(const WindowContext& context);

} // namespace studyimport
