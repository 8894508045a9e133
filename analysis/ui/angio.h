// TANGIOForm (the main window's ANGIOForm): the angiography window. It shows the LAO and
// RAO recordings of the open card side by side, each in a TAngioFrame with its tracing
// tools. At opening it sets both views up from the card's frame counts and loads the
// card's stored tracing through the data module; the card save takes a snapshot of both
// views (AngioCardSource). The window keeps no data of its own.
#pragma once

#include "analysis/ui/angio_frame.h"
#include "app/card_sources.h"
#include "app/child_form.h"
#include "app/window_context.h"

class QGroupBox;
class QSplitter;

class TANGIOForm : public TChildForm, public AngioCardSource {
    Q_OBJECT
public:
    // Builds the window over the context's open card (none: two empty views); throws
    // std::runtime_error when a frame file or the stored tracing cannot be read.
    explicit TANGIOForm(const WindowContext& context);
    ~TANGIOForm() override;

    // Reads the stored LAO and RAO tracings of the card `code` into the two views.
    void LoadAngioViews(int code);

    AngioSnapshot TakeAngioSnapshot() const override;

    void FormResize();
    // One wheel turn over the window (positive delta: forward).
    void FormMouseWheel(int delta);

    QGroupBox* Panel1 = nullptr;   // "Left anterior oblique"
    QGroupBox* Panel2 = nullptr;   // "Right anterior oblique"
    QSplitter* cxSplitter1 = nullptr;
    TAngioFrame* AngioFrame1 = nullptr;  // LAO, tag 1
    TAngioFrame* AngioFrame2 = nullptr;  // RAO, tag 2

protected:
    void FormClose() override;
    void resizeEvent(QResizeEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    void SetUpView(TAngioFrame* view, const QString& recording, int count);

    WindowContext context_;
};

// The registry's factory of the "ANGIO" button (app/child_registry.h).
QWidget* CreateAngioForm(const WindowContext& context);
