// Entry function of the workstation: registers the windows that the main window opens
// from its toolbar, then runs the program (app/application.h).
#include "analysis/ui/angio.h"
#include "analysis/ui/ivus_form.h"
#include "app/application.h"
#include "app/child_registry.h"
#include "import/ui/wizard.h"
#include "reconstruction/ui/export.h"
#include "reconstruction/ui/graph.h"
#include "reconstruction/ui/viewer.h"

namespace {

// The analysis, reconstruction and import windows register their factories here, e.g.
//     registry.Register(ChildWindow::IVUS, [](const WindowContext& c) { return new TIVUSForm(c); });
// A kind left unregistered keeps its toolbar button disabled.
void RegisterChildWindows(ChildWindowRegistry& registry)
{
    registry.Register(ChildWindow::IVUS, [](const WindowContext& c) { return new TIVUSForm(c); });
    registry.Register(ChildWindow::Export, CreateExportForm);
    registry.Register(ChildWindow::ANGIO, CreateAngioForm);
    registry.Register(ChildWindow::Wizard, studyimport::CreateWizardForm);
    registry.Register(ChildWindow::Graphs, CreateGraphForm);
    registry.Register(ChildWindow::Viewer3D, CreateViewerForm);
}

} // namespace

int main(int argc, char** argv)
{
    return WinMain(argc, argv, RegisterChildWindows);
}
