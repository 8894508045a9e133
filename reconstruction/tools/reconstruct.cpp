// reconstruct PROGRAM_DIR CODE OUT_DIR
//
// Opens the card CODE of the workstation folder PROGRAM_DIR (its existing
// data/angiodb.sqlite, read only, and patientData/) as the workstation opens a card, runs
// the 3D reconstruction, writes outerSurface_<CODE>.vsf and innerSurface_<CODE>.vsf into
// OUT_DIR for each fitted wall and then prints the catheter path to standard output (one
// "x y z" line per point, model coordinates, full precision). Warnings (stored contours
// left out, named by wall, frame and card) and the card's messages go to standard error.
// Exit 0 once everything is written. Exit 1, printing no path, when the database is
// missing, empty or damaged (named by its path; nothing is created), the card does not
// exist, has no IVUS row or no readable wall contour, the reconstruction is refused, no
// wall surface could be fitted, or a file cannot be written (the files of an earlier run
// stay whole).
#include "app/connection.h"
#include "app/data.h"
#include "app/forms.h"
#include "app/main_form.h"
#include "app/paths.h"
#include "app/prompter.h"
#include "reconstruction/card/card_input.h"
#include "reconstruction/core/reconstruction.h"
#include "reconstruction/core/surface_export.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <charconv>
#include <filesystem>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace kestrova::reconstruction;

// The card's messages (missing folders, missing frame files) as lines on standard error.
class StderrPrompter : public Prompter {
protected:
    bool Show(Kind, const QString&, const QString& text, Icon) override
    {
        std::cerr << text.toStdString() << '\n';
        return true;
    }
};

std::string Number(double v)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// The patient's display name, or nothing when the card does not exist.
bool PatientName(int code, QString& name)
{
    dm->qGetPatient.Param(QStringLiteral("code"), code);
    dm->qGetPatient.Open();
    const bool found = !dm->qGetPatient.Eof();
    if (found)
        name = dm->qGetPatient.FieldByName(QStringLiteral("name")).AsString() + QLatin1Char(' ') +
               dm->qGetPatient.FieldByName(QStringLiteral("surname")).AsString();
    dm->qGetPatient.Close();
    return found;
}

int Run(const QString& programDir, int code, const QString& outDir)
{
    AppPaths::SetRoot(programDir);
    dm = new Tdm;
    dm->MyEmbConnection1.BaseDir = AppPaths::Root();
    dm->MyEmbConnection1.DataDir = AppPaths::DataDir();
    dm->MyEmbConnection1.ReadOnly = true;
    dm->MyEmbConnection1.Connect();

    QString name;
    if (!PatientName(code, name)) {
        std::cerr << "There is no patient card " << code << ".\n";
        return 1;
    }
    MainForm = new TMainForm;
    MainForm->OpenPatientCard(code, name);

    CardInput read = LoadOpenCardInput(dm.data(), *MainForm);
    for (const std::string& w : read.warnings)
        std::cerr << w << '\n';
    if (!read.hasIvusRow) {
        std::cerr << "Card " << code << " has no IVUS row: there are no wall contours to place. Nothing was written.\n";
        return 1;
    }
    if (!read.hasWallRows) {
        std::cerr << "Card " << code << " has no readable stored wall contour. Nothing was written.\n";
        return 1;
    }
    Reconstruction r;
    try {
        r = ReconstructVessel(read.input);
    } catch (const ReconstructionRefused& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    for (const std::string& w : r.warnings)
        std::cerr << w << '\n';

    // Every fitted wall, or none when one of the files cannot be written: the old files
    // are replaced only once every new one is written beside them.
    const std::filesystem::path folder(QFile::encodeName(outDir).toStdString());
    std::vector<SurfaceFile> files;
    for (const auto& [wall, surface] : {std::pair{Wall::Outer, &r.outerSurface}, std::pair{Wall::Inner, &r.innerSurface}}) {
        if (*surface)
            files.push_back(ComposeSurfaceFile(*surface->get(), wall, code, folder));
    }
    if (files.empty()) {
        std::cerr << "No wall surface of card " << code << " could be fitted. Nothing was written.\n";
        return 1;
    }
    QDir().mkpath(outDir);
    try {
        WriteSurfaceFiles(files);
    } catch (const SurfaceExportError& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }

    // Everything is written: now the path.
    for (const TPointXYZ& p : r.catheterPath)
        std::cout << Number(p.x) << ' ' << Number(p.y) << ' ' << Number(p.z) << '\n';
    std::cout.flush();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cerr << "usage: reconstruct PROGRAM_DIR CODE OUT_DIR\n";
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    StderrPrompter prompter;
    SetPrompter(&prompter);
    int rc = 1;
    try {
        bool ok = false;
        const int code = QString::fromLocal8Bit(argv[2]).toInt(&ok);
        if (!ok) {
            std::cerr << "CODE must be a whole number: " << argv[2] << '\n';
            rc = 2;
        } else {
            rc = Run(QString::fromLocal8Bit(argv[1]), code, QString::fromLocal8Bit(argv[3]));
        }
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        rc = 1;
    }
    delete MainForm.data();
    delete dm.data();
    SetPrompter(nullptr);
    return rc;
}
