// Base class of the workstation's child windows (the windows inside the main window's
// MDI area). A child frees itself when it closes; its close handler FormClose() runs
// first, and the closed() signal then tells the main window to clear the window's
// global pointer at once (the deletion itself is deferred).
//
// Windows of other folders derive from it too (TIVUSForm, TANGIOForm, TGraphForm,
// TViewerForm, TWizardForm) and override FormCloseQuery / FormClose.
#pragma once

#include <QMdiSubWindow>

class TChildForm : public QMdiSubWindow {
    Q_OBJECT
public:
    // A child window with the given object name, caption and client size.
    TChildForm(const QString& name, const QString& caption, QSize client, QWidget* parent = nullptr);

    // The size given at construction (the subwindow is sized to it when it is added).
    QSize DesignSize() const { return design_size_; }

signals:
    void closed(QWidget* self);

protected:
    // Return false to keep the window open.
    virtual bool FormCloseQuery() { return true; }
    // Runs once when the window closes, before it is freed.
    virtual void FormClose() {}
    void closeEvent(QCloseEvent* e) override;

private:
    QSize design_size_;
    bool closing_done_ = false;
};
