#include "app/progress.h"

#include "app/forms.h"
#include "app/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

TProgressForm::TProgressForm(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("ProgressForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(361 + 2, 60 + 2);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setStyleSheet(QStringLiteral("TProgressForm { border: 1px solid #808080; }"));
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSize(8);
    setFont(f);
    cxLabel1 = new QLabel(QStringLiteral("Progress"), this);
    cxLabel1->setObjectName(QStringLiteral("cxLabel1"));
    cxLabel1->setGeometry(1 + 8, 1 + 3, 345, 18);
    cxProgressBar1 = new QProgressBar(this);
    cxProgressBar1->setObjectName(QStringLiteral("cxProgressBar1"));
    cxProgressBar1->setGeometry(1 + 8, 1 + 23, 345, 24);
    cxProgressBar1->setRange(0, 100);
    cxProgressBar1->setValue(0);
    cxProgressBar1->setStyleSheet(QStringLiteral(
        "QProgressBar { border: 1px solid #a0a0a0; background: white; text-align: center; color: black; }"
        "QProgressBar::chunk { background: #32cd32; }"));
    ProgressForm = this;
}

TProgressForm::~TProgressForm()
{
    if (ProgressForm == this)
        ProgressForm = nullptr;
}

void TProgressForm::Start(const QString& text, int steps)
{
    hide();
    cxLabel1->setText(text);
    cxProgressBar1->setRange(0, std::max(steps, 1));
    cxProgressBar1->setValue(0);
    const QWidget* anchor = parentWidget() ? parentWidget()->window() : nullptr;
    QRect area = anchor ? anchor->frameGeometry()
                        : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                             : QRect(0, 0, 1024, 768));
    move(area.center() - rect().center());
    show();
    raise();
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TProgressForm::Step()
{
    cxProgressBar1->setValue(std::min(cxProgressBar1->value() + 1, cxProgressBar1->maximum()));
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TProgressForm::closeEvent(QCloseEvent* e)
{
    if (ProgressForm == this)
        ProgressForm = nullptr;
    QWidget::closeEvent(e);
}

ProgressScope::ProgressScope(const QString& text, int steps, QWidget* owner)
{
    if (ProgressForm)
        ProgressForm->close();
    form_ = new TProgressForm(owner ? owner : static_cast<QWidget*>(MainForm.data()));
    form_->Start(text, steps);
}

ProgressScope::~ProgressScope() { Close(); }

void ProgressScope::Step()
{
    if (form_)
        form_->Step();
}

void ProgressScope::Close()
{
    if (form_) {
        TProgressForm* f = form_;
        form_ = nullptr;
        f->close();
    }
}
