// The shared progress window TProgressForm (global pointer `ProgressForm`): a small
// borderless window that stays on top while a long operation runs on the main thread.
//
// Use it through ProgressScope, which follows the window's protocol and closes the
// window on every way out of the scope, also when the operation throws:
//
//     ProgressScope progress(QStringLiteral("Graphs creation in progress"), frameCount);
//     for (...) { ...one step...; progress.Step(); }
//
// The window has no cancel button; Step() repaints it and lets timers run, but no user input.
#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QProgressBar;

class TProgressForm : public QWidget {
    Q_OBJECT
public:
    explicit TProgressForm(QWidget* owner = nullptr);
    ~TProgressForm() override;

    QLabel* cxLabel1;
    QProgressBar* cxProgressBar1;

    // Shows the window with a title and a number of steps, centred on its owner (or the screen).
    void Start(const QString& text, int steps);
    // Adds 1 to the bar and repaints.
    void Step();

protected:
    void closeEvent(QCloseEvent* e) override;
};

class ProgressScope {
public:
    ProgressScope(const QString& text, int steps, QWidget* owner = nullptr);
    ~ProgressScope();
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;
    void Step();
    void Close();
    TProgressForm* Window() const { return form_; }

private:
    QPointer<TProgressForm> form_;
};
