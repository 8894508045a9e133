// The child-window registry: how the main window creates the windows that other folders
// build. The entry function registers a factory per kind at start-up; a kind without a
// factory keeps its toolbar button disabled.
//
//     ChildWindowRegistry registry;
//     registry.Register(ChildWindow::IVUS, [](const WindowContext& c) { return new TIVUSForm(c); });
//
// Factory contract:
// - the window keeps what it needs of the context (app/window_context.h): the open card,
//   the data module, the owner of its dialogs, the signals to report changes by;
// - return a new, not yet shown window: a QMdiSubWindow (preferably a TChildForm,
//   app/child_form.h) for IVUS, ANGIO, Graphs, 3D and Wizard; a QDialog for Export;
// - do not add it to the MDI area or show it: the main window stores it in its global
//   pointer (app/forms.h), adds it to the MDI area centred (or, for a dialog, runs it
//   modally) and brings it to the front;
// - throw (any std::exception) when the window cannot be built; the main window reports
//   "A problem occured while opening window!" followed by the exception's text, and keeps
//   no window (a window that was already created is freed by its own destructor).
#pragma once

#include "app/window_context.h"

#include <QWidget>

#include <array>
#include <functional>

enum class ChildWindow { IVUS, ANGIO, Graphs, Viewer3D, Export, Wizard };
constexpr int kChildWindowKinds = 6;

using ChildWindowFactory = std::function<QWidget*(const WindowContext& context)>;

class ChildWindowRegistry {
public:
    void Register(ChildWindow kind, ChildWindowFactory factory);
    bool IsRegistered(ChildWindow kind) const;
    // Builds the window; throws std::runtime_error when no factory is registered.
    QWidget* Create(ChildWindow kind, const WindowContext& context) const;

private:
    std::array<ChildWindowFactory, kChildWindowKinds> factories_;
};
