// The About window: a modal tool dialog with the program's picture and two links. It
// closes on a click on the picture and on Escape or Space; a link opens in the desktop's
// browser and leaves the window open.
#pragma once

#include <QDialog>

class QLabel;

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* owner = nullptr);
    ~TAboutForm() override;

    QLabel* img1;
    QLabel* Label1;
    QLabel* Label2;

    void img1Click();
    void Label1Click();
    void Label2Click();
    // Closes on Escape (27) or Space (32).
    void FormKeyPress(int key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* e) override;
};
